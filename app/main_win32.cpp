// The program's entry point: start-up, the tray, the event loop, shutdown.
// Everything here runs on the main thread. The only other threads are the
// expansion workers, which see nothing of this file but the gate and the
// table slot of AppState; shutdown waits for them before it releases those.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/about_window_win32.h"
#include "app/app_state.h"
#include "app/help_window_win32.h"
#include "app/preferences.h"
#include "app/session_end.h"
#include "app/shell_decisions.h"
#include "app/shell_fonts_win32.h"
#include "app/startup.h"
#include "app/tray_icon_win32.h"
#include "app/tray_menu.h"
#include "app/tray_menu_win32.h"
#include "common/app_messages_win32.h"
#include "common/message_box_win32.h"
#include "common/messages.h"
#include "common/sync.h"
#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"
#include "editor/editor_entry.h"
#include "editor/editor_model.h"
#include "editor/editor_window_win32.h"
#include "editor/modal_child_win32.h"
#include "engine/delivery_win32.h"
#include "engine/input_hooks_win32.h"
#include "engine/writing_aid_win32.h"
#include "lists/file_store_win32.h"
#include "lists/folder_listing_win32.h"
#include "lists/list_file.h"
#include "resources/resource_ids.h"

namespace calmirande {
namespace {

constexpr UINT_PTR TrayRetryTimer = 1;

// The hooks' view of the writing-aid strip, across threads. The hooks'
// thread asks whether a word selects rows (from its own snapshot of the
// rows' keys, published here with each new list) and what to show; the
// strip is the main thread's, which shows the last request when the posted
// WmAidFollowUp comes.
class WritingAidAdapter final : public WritingAidView {
public:
    WritingAidAdapter(WritingAidWindow& window, const std::int32_t& writingAidEnabled)
        : window_(window), writingAidEnabled_(writingAidEnabled) {
        pendingWord_.reserve(MaxTypedWordLength);
    }

    // Main thread, before the hooks start: where the requests are posted.
    void setMainWindow(HWND window) noexcept { mainWindow_ = window; }
    // Main thread: the strip itself, for the shell's own hides.
    WritingAidWindow& window() noexcept { return window_; }

    // Main thread: the rows of a newly loaded active list.
    void setRows(const AbbreviationList& rows) noexcept {
        window_.setRows(rows);
        try {
            auto model = std::make_shared<const WritingAidModel>(rows);
            const LockGuard lock(mutex_);
            model_ = std::move(model);
            ++modelGeneration_;
        } catch (...) {
            // The hooks keep the rows they had: the strip may show for a word it then hides.
        }
    }
    // Main thread, on WmAidFollowUp.
    void showPending() noexcept {
        Action action;
        std::u16string word;
        {
            const LockGuard lock(mutex_);
            action = std::exchange(pending_, Action::None);
            try {
                word = pendingWord_;
            } catch (...) {
                action = Action::Hide;
            }
        }
        if (action == Action::Update) window_.update(word, writingAidEnabled_ != 0);
        if (action == Action::Hide) window_.hide();
    }

    // The hooks' thread.
    void update(std::u16string_view aidWord) override { request(Action::Update, aidWord); }
    void hide() override { request(Action::Hide, {}); }
    bool selectsRows(std::u16string_view aidWord) const override {
        if (modelGeneration_ != seenGeneration_) {
            const LockGuard lock(mutex_);
            hookModel_ = model_;
            seenGeneration_ = modelGeneration_;
        }
        try {
            return hookModel_ && writingAidSelects(*hookModel_, aidWord);
        } catch (...) {
            return true;  // let update() decide
        }
    }

private:
    enum class Action { None, Update, Hide };

    void request(Action action, std::u16string_view aidWord) noexcept {
        bool post = false;
        {
            const LockGuard lock(mutex_);
            // Room reserved once: a word of up to MaxTypedWordLength never allocates.
            pendingWord_.assign(aidWord.substr(0, MaxTypedWordLength));
            post = pending_ == Action::None;
            pending_ = action;
        }
        if (post) ::PostMessageW(mainWindow_, WmAidFollowUp, 0, 0);
    }

    WritingAidWindow& window_;
    const std::int32_t& writingAidEnabled_;
    HWND mainWindow_ = nullptr;  // we don't own it: the entry point does
    mutable Mutex mutex_;
    Action pending_ = Action::None;
    std::u16string pendingWord_;
    std::shared_ptr<const WritingAidModel> model_;
    std::atomic<std::uint32_t> modelGeneration_{0};
    // The hooks' thread's own copy.
    mutable std::shared_ptr<const WritingAidModel> hookModel_;
    mutable std::uint32_t seenGeneration_ = 0;
};

// Makes the loaded list the active one: the engine's table and the strip's rows.
void activateList(AppState& state, FileStore& files, WritingAidAdapter* aid) {
    ActiveList list;
    const OperationResult loaded = loadActiveList(files, state.activeListFile, list);
    if (!loaded.succeeded) showMessage(loaded.message, messages::TitleInfo);
    state.tables.publish(list.table);
    if (aid) aid->setRows(list.aidRows);
}

#ifdef CALMIRANDE_INSTRUMENT
// Milliseconds since the process was created, as the system counts it.
double millisecondsSinceProcessStart() noexcept {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    ::GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}
#endif

// The About window's other duties: the tray icon and its menu, the menu's
// commands, and the hooks' wake-up. Lives as long as run(); its handlers run
// inside the About window's procedure and never throw out of it.
class TrayController {
public:
    TrayController(HINSTANCE instance, AppState& state, FileStore& files, AboutWindow& about, HelpWindow& help,
                   WritingAidAdapter* aid, EditorEntry& editor)
        : instance_(instance), state_(state), files_(files), about_(about), help_(help), aid_(aid), editor_(editor) {}

    void setHooks(InputHooks* hooks) noexcept { hooks_ = hooks; }

    void buildMenu() {
        menu_ = buildTrayMenu(state_);
        hmenu_ = createTrayMenu(menu_);
    }
    const TrayMenu& menu() const noexcept { return menu_; }
    void refreshMenu() {
        refreshTrayMenu(menu_, state_);
        updateTrayMenu(hmenu_.get(), menu_);
    }

    void showIcon() noexcept {
        UniqueIcon image(static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_CALMIRANDE), IMAGE_ICON, 16,
                                                         16, LR_DEFAULTCOLOR)));
        try {
            const std::wstring tooltip = toWide(messages::ProgramName);
            icon_.emplace(about_.hwnd(), WmTrayIcon, TrayRetryTimer, std::move(image), tooltip.c_str());
        } catch (...) {
            return;
        }
        [[maybe_unused]] const bool shown = icon_->show();
#ifdef CALMIRANDE_INSTRUMENT
        if (shown) trayIconMs_ = millisecondsSinceProcessStart();
#endif
    }
    void removeIcon() noexcept { icon_.reset(); }

    int hooksReinstalled() const { return hooks_ ? hooks_->hooksReinstalled() : 0; }
#ifdef CALMIRANDE_INSTRUMENT
    double trayIconMs() const { return trayIconMs_; }
    bool trayIconShown() const { return icon_ && icon_->shown(); }
#endif

    // Every message the About window leaves to the shell.
    std::optional<LRESULT> onMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        try {
            if (message == WmAidFollowUp) {
                if (aid_) aid_->showPending();
                return 0;
            }
#ifdef CALMIRANDE_INSTRUMENT
            static const UINT loseHooks = ::RegisterWindowMessageW(L"CalmirandeE2eLoseHooks");
            if (message == loseHooks) {
                if (hooks_) hooks_->loseHooksForTests();
                return 0;
            }
#endif
            if (message == WmTrayIcon) {
                if (trayMenuOpens(trayMouse(LOWORD(lParam)), editor_.busy())) showTrayMenu(about_.hwnd(), hmenu_.get());
                return 0;
            }
            if (message == WM_QUERYENDSESSION || message == WM_ENDSESSION) {
                return onSessionEnd(message == WM_QUERYENDSESSION ? SessionMessage::QueryEnd : SessionMessage::End,
                                    wParam != FALSE);
            }
            if (message == WM_COMMAND && lParam == 0) {
                // The About window's own controls carry their handle: this is the menu.
                runCommand(LOWORD(wParam));
                return 0;
            }
            if (icon_ && icon_->handleMessage(message, wParam)) return 0;
        } catch (...) {
            return 0;
        }
        return std::nullopt;
    }

private:
    // Sent, so it may come inside a question or a modal child of the editor:
    // what it saves and ends never asks anything.
    LRESULT onSessionEnd(SessionMessage message, bool ending) {
        const SessionEndSteps steps = sessionEndSteps(message, ending);
        if (steps.save) {
            editor_.saveForSessionEnd();
            savePreferencesOf(state_, files_);
        }
        if (steps.quit) {
            runTrayCommand(state_, menu_, files_, tray_command::Quit, help_.isOpen(), [](std::u16string_view) {});
            ::PostQuitMessage(0);
        }
        return message == SessionMessage::QueryEnd ? (steps.mayEnd ? TRUE : FALSE) : 0;
    }

    static TrayMouse trayMouse(UINT mouseMessage) noexcept {
        switch (mouseMessage) {
            case WM_LBUTTONDOWN: return TrayMouse::LeftPress;
            case WM_RBUTTONDOWN: return TrayMouse::RightPress;
            case WM_LBUTTONDBLCLK: return TrayMouse::LeftDoubleClick;
            case WM_RBUTTONDBLCLK: return TrayMouse::RightDoubleClick;
            default: return TrayMouse::Other;
        }
    }

    void runCommand(std::uint32_t id) {
        const TrayCommandResult result = chooseTrayCommand(state_, menu_, files_, editor_, id, help_.isOpen());
        updateTrayMenu(hmenu_.get(), menu_);
        if (result.hideWritingAid && aid_) aid_->window().hide();
        switch (result.action) {
            case TrayAction::ShowAbout:
                about_.show();
                break;
            case TrayAction::OpenHelp:
                help_.open(instance_);
                break;
            case TrayAction::OpenEditor:
                editor_.openFromTray();
                break;
            case TrayAction::Quit:
                // Ends a message box's loop or a menu's as well as ours: the
                // program ends now, not at the next event.
                ::PostQuitMessage(0);
                break;
            case TrayAction::ListSelected:
                if (result.selection) {
                    if (aid_) aid_->setRows(result.selection->aidRows);
                    if (result.selection->message) showMessage(*result.selection->message, messages::TitleInfo);
                }
                break;
            case TrayAction::None:
            case TrayAction::WritingAidSwitched:
            case TrayAction::ExpansionSwitched:
                break;
        }
    }

    HINSTANCE instance_;
    AppState& state_;
    FileStore& files_;
    AboutWindow& about_;
    HelpWindow& help_;
    WritingAidAdapter* aid_;  // null when the strip could not be made
    EditorEntry& editor_;
    InputHooks* hooks_ = nullptr;  // we don't own these: run() does
    TrayMenu menu_;
    UniqueMenu hmenu_;
    std::optional<TrayIcon> icon_;
#ifdef CALMIRANDE_INSTRUMENT
    double trayIconMs_ = -1;
#endif
};

// What leaving the editor, and its lists created or deleted, change in the
// rest of the program, as the shell's decisions say. Main thread only.
class EditorEffects final : public EditorHost {
public:
    EditorEffects(AppState& state, FileStore& files, WritingAidAdapter* aid) : state_(state), files_(files), aid_(aid) {}
    void setTray(TrayController* tray) noexcept { tray_ = tray; }

    void catalogueChanged(const std::vector<std::u16string>& fileNames) override {
        const TrayMenu none;
        const bool rebuild = followCatalogueChange(state_, fileNames, tray_ ? tray_->menu() : none);
        if (rebuild && tray_) tray_->buildMenu();
    }

    void editorLeft(LeaveOutcome& outcome) override {
        const EditorLeftEffects effects = followEditorLeave(state_, files_, outcome);
        if (effects.aidRows && aid_) aid_->setRows(*effects.aidRows);
        if (effects.rebuildTrayMenu && tray_) tray_->buildMenu();
    }

private:
    AppState& state_;
    FileStore& files_;
    WritingAidAdapter* aid_;           // null when the strip could not be made
    TrayController* tray_ = nullptr;   // we don't own it: run() does
};

WindowsVersionQuery queryWindowsVersion() noexcept {
    WindowsVersionQuery query;
    OSVERSIONINFOA plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    if (!::GetVersionExA(&plain)) return query;
    query.succeeded = true;
    query.platformId = plain.dwPlatformId;
    query.majorVersion = plain.dwMajorVersion;
    query.minorVersion = plain.dwMinorVersion;
    // Only the extended answer tells a workstation from a server.
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    if (::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
        query.extendedSucceeded = true;
        query.productType = extended.wProductType;
    }
    return query;
}

// The program's loop (the hooks have a thread and a loop of their own). The
// editor's controls take Tab and the dialog keys while it shows; About and
// Help take theirs.
void runMessageLoop(const AppState& state, EditorWindow& editor, AboutWindow& about, HelpWindow& help) {
    MSG message;
    while (!state.quitRequested) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) return;  // WM_QUIT, or a loop that cannot go on
        if (editor.takesDialogKey(message) || about.takesDialogKey(message) || help.takesDialogKey(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

#ifdef CALMIRANDE_INSTRUMENT
// Test builds: the hook's and the deliveries' timings and the time to the
// tray icon, for the end-to-end run.
void writeTimings(const InputHooks& hooks, const TrayController& tray) {
    FILE* out = _wfopen(L"calmirande-timings.txt", L"w");
    if (!out) return;
    const HookTimings& hook = hooks.timings();
    std::fprintf(out, "hook_samples %zu\nhook_p50_us %.2f\nhook_p99_us %.2f\nhook_max_us %.2f\n", hook.count(),
                 hook.percentile(50), hook.percentile(99), hook.percentile(100));
    std::fprintf(out, "tray_icon_shown %d\ntray_icon_ms %.1f\n", tray.trayIconShown() ? 1 : 0, tray.trayIconMs());
    std::fprintf(out, "hooks_reinstalled %d\nreplays_short %u\n", tray.hooksReinstalled(),
                 static_cast<unsigned>(hooks.replaysShort()));
    // One line a delivery: the ending key's hook call to the SendInput call
    // and to its return (-1 when nothing was sent), the block's events and
    // how it went (0 sent, 1 fewer events inserted, 2 typed on, 3 focus
    // changed, 4 no focus, 5 modifiers held, 6 focus lost during a long
    // text, 7 stopped).
    for (const DeliveryTiming& delivery : deliveryTimings()) {
        std::fprintf(out, "delivery hook_to_sending_ms %.3f hook_to_sent_ms %.3f events %zu result %d\n",
                     delivery.hookToSendingMs, delivery.hookToSentMs, delivery.events,
                     static_cast<int>(delivery.result));
    }
    std::fclose(out);
}
#endif

// COM for the process, from the first step to the last.
// The shutdown wait's clock: GetTickCount, counted from the clock's creation
// so that its wrap after 49 days never shows, and Sleep. (The C++ runtime's
// steady clock follows the wall clock in this build.)
class TickShutdownClock final : public ShutdownClock {
public:
    std::chrono::steady_clock::time_point now() override {
        const DWORD elapsed = ::GetTickCount() - start_;
        return std::chrono::steady_clock::time_point(std::chrono::milliseconds(elapsed));
    }
    void sleepFor(std::chrono::milliseconds duration) override { ::Sleep(static_cast<DWORD>(duration.count())); }

private:
    const DWORD start_ = ::GetTickCount();
};

class ComScope {
public:
    ComScope() noexcept : ready_(SUCCEEDED(::CoInitialize(nullptr))) {}
    ~ComScope() {
        if (ready_) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool ready_;
};

// Start-up in its order, the loop, and shutdown in its order. Every return
// ends the process with exit code 0; a refusal returns before anything that
// shutdown would have to undo exists.
int run(HINSTANCE instance) {
    AppState state;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);
    const ComScope com;

    if (const auto refusal = refuseWindowsVersion(windowsVersionLevel(queryWindowsVersion()))) {
        showMessage(*refusal, messages::TitleInfo);
        return 0;
    }

    // A second instance touches nothing of the first: it only looks at the mutex.
    const std::wstring mutexName = toWide(messages::ProgramName);
    ::SetLastError(0);
    UniqueKernelHandle instanceMutex(::CreateMutexW(nullptr, FALSE, mutexName.c_str()));
    if (const auto refusal = refuseSecondInstance(::GetLastError())) {
        instanceMutex.reset();
        showMessage(*refusal, messages::TitleInfo);
        return 0;
    }

    ShellFonts fonts = createShellFonts();

    Win32FileStore files;
    Win32FolderListing listing;
    StartupFiles started = prepareStartupFiles(files, listing);
    if (!started.fatalMessage.empty()) {
        showMessage(started.fatalMessage, messages::TitleInfo);
        return 0;
    }
    state.catalogue = std::move(started.catalogue);
    state.activeListFile = std::move(started.activeListFile);
    // By exact file name, once: the menu's check mark, the editor and the
    // loading of the active list all go by this one position.
    state.activeListIndex = started.activeListIndex;
    state.writingAidEnabled = started.writingAidEnabled;
    state.preferencesUnread = started.preferencesUnread;

    WritingAidWindow aidWindow;
    const bool aidReady = aidWindow.create(instance, fonts.smallBold.get());
    WritingAidWindow* const aid = aidReady ? &aidWindow : nullptr;
    WritingAidAdapter aidView(aidWindow, state.writingAidEnabled);
    WritingAidAdapter* const aidRows = aidReady ? &aidView : nullptr;
    // Built hidden, with the strip hidden first; the program goes on without it
    // when it cannot be made.
    if (aid) aid->hide();
    EditorEffects editorEffects(state, files, aidRows);
    EditorWindow editor(files, editorEffects, state.catalogue.fileNames);
    editor.create(instance, fonts.list.get());

    AboutWindow about;
    if (!about.create(instance)) return 0;
    HelpWindow help;
    TrayController tray(instance, state, files, about, help, aidRows, editor);
    editorEffects.setTray(&tray);
    about.setShellMessages([&tray](UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return tray.onMessage(message, wParam, lParam);
    });

    aidView.setMainWindow(about.hwnd());
    InputHooks hooks(state.gate, state.tables, state.activeListIndex, aidRows);
    tray.setHooks(&hooks);
#ifdef CALMIRANDE_INSTRUMENT
    if (const wchar_t* hold = _wgetenv(L"CALMIRANDE_E2E_HOLD_DELIVERY_MS")) {
        holdDeliveriesForTests(static_cast<unsigned>(_wtoi(hold)));
    }
    if (const wchar_t* pause = _wgetenv(L"CALMIRANDE_E2E_CALL_PAUSE_MS")) {
        pauseBetweenCallsForTests(static_cast<unsigned>(_wtoi(pause)));
    }
#endif

    about.fill(fonts.titleBold.get(), fonts.smallBold.get());
    tray.buildMenu();
    if (!state.activeListFile.empty()) editor.showList(state.activeListFile);
    tray.showIcon();
    state.expansionSwitch = true;
    state.gate.setExpansionActive(true);
    tray.refreshMenu();

    // The hooks come once the list is in: the first key they see can expand,
    // and a process seen idle (its hooks' thread waits for input from the
    // start) has its list. Nothing is to expand while the guidance is up.
    const FirstRunGuidance guidance = firstRunGuidance(state.catalogue, state.activeListIndex);
    if (guidance == FirstRunGuidance::LoadActiveList) {
        activateList(state, files, aidRows);
    } else {
        showMessage(guidanceMessage(guidance), messages::ProgramName);
        // "Quitter" may have been chosen while the box was up: no editor then.
        if (!state.quitRequested) editor.showForGuidance();
    }
    hooks.start(instance);

    // "Quitter" may have been chosen while the guidance was shown.
    if (!state.quitRequested) runMessageLoop(state, editor, about, help);

    // No expansion starts once the hooks are gone; the running ones read the
    // gate and the table, so they end before anything is released. The keys
    // the user typed meanwhile go in after the block and the replay in
    // flight, as they would have.
    hooks.stop();
    TickShutdownClock clock;
    const bool drained = waitWhileBusy([&state] { return state.gate.workersRunning(); }, clock);
    if (drained) hooks.releaseHeldKeys();
#ifdef CALMIRANDE_INSTRUMENT
    writeTimings(hooks, tray);
#endif
    if (!drained) {
        // A worker stuck past the bound still reads the state: release
        // nothing, take the icon away and end here.
        tray.removeIcon();
        ::ExitProcess(0);
    }
    tray.setHooks(nullptr);
    editorEffects.setTray(nullptr);
    instanceMutex.reset();
    // Then the tray icon, and on return the menu, every window and the fonts
    // (declared in the reverse order of their release).
    tray.removeIcon();
    return 0;
}

}  // namespace
}  // namespace calmirande

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    try {
        calmirande::run(instance);
    } catch (...) {
        // Whatever went wrong, the program ends as it always does.
    }
    return 0;
}
