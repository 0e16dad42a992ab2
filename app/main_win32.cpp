// The program's entry point: start-up, the tray, the event loop, shutdown.
// Everything here runs on the main thread. The only other threads are the
// expansion workers, which see nothing of this file but the gate and the
// table slot of AppState; shutdown waits for them before it releases those.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdint>
#include <cstdio>
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
#include "common/unique_handle_win32.h"
#include "common/wide_win32.h"
#include "editor/editor_entry.h"
#include "editor/editor_model.h"
#include "editor/editor_window_win32.h"
#include "editor/modal_child_win32.h"
#include "engine/delivery_win32.h"
#include "engine/hook_watchdog.h"
#include "engine/input_hooks_win32.h"
#include "engine/writing_aid_win32.h"
#include "lists/file_store_win32.h"
#include "lists/folder_listing_win32.h"
#include "lists/list_file.h"
#include "resources/resource_ids.h"

namespace calmirande {
namespace {

constexpr UINT_PTR TrayRetryTimer = 1;
constexpr UINT_PTR HookWatchdogTimer = 2;

// The hooks' view of the writing-aid strip.
class WritingAidAdapter final : public WritingAidView {
public:
    WritingAidAdapter(WritingAidWindow& window, const std::int32_t& writingAidEnabled)
        : window_(window), writingAidEnabled_(writingAidEnabled) {}
    void update(std::u16string_view aidWord) override { window_.update(aidWord, writingAidEnabled_ != 0); }
    void hide() override { window_.hide(); }
    bool selectsRows(std::u16string_view aidWord) const override { return window_.selects(aidWord); }

private:
    WritingAidWindow& window_;
    const std::int32_t& writingAidEnabled_;
};

// Makes the loaded list the active one: the engine's table and the strip's rows.
void activateList(AppState& state, FileStore& files, WritingAidWindow* aid) {
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
                   WritingAidWindow* aid, EditorEntry& editor)
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

    int hooksReinstalled() const { return hooksReinstalled_; }
#ifdef CALMIRANDE_INSTRUMENT
    double trayIconMs() const { return trayIconMs_; }
    bool trayIconShown() const { return icon_ && icon_->shown(); }
#endif

    // Every message the About window leaves to the shell.
    std::optional<LRESULT> onMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        try {
            if (message == WmHookFollowUp) {
                if (hooks_) hooks_->runFollowUp();
                return 0;
            }
#ifdef CALMIRANDE_INSTRUMENT
            static const UINT loseHooks = ::RegisterWindowMessageW(L"CalmirandeE2eLoseHooks");
            if (message == loseHooks) {
                if (hooks_) hooks_->loseHooksForTests();
                return 0;
            }
#endif
            if (message == WM_TIMER && wParam == HookWatchdogTimer) {
                if (hooks_ && hooks_->reinstallIfLost()) ++hooksReinstalled_;
                return 0;
            }
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
            savePreferences(files_, state_.activeListFile, state_.writingAidEnabled);
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
        if (result.hideWritingAid && aid_) aid_->hide();
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
    WritingAidWindow* aid_;  // null when the strip could not be made
    EditorEntry& editor_;
    InputHooks* hooks_ = nullptr;  // we don't own these: run() does
    int hooksReinstalled_ = 0;
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
    EditorEffects(AppState& state, FileStore& files, WritingAidWindow* aid) : state_(state), files_(files), aid_(aid) {}
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
    WritingAidWindow* aid_;            // null when the strip could not be made
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

// The program's loop. The hooks are called inside its PeekMessage (the
// system delivers them like sent messages), and what they leave runs right
// after it returns, without a message of their own to wake the loop.
// The editor's controls take Tab and the dialog keys while it shows; About
// and Help take theirs.
void runMessageLoop(InputHooks& hooks, const AppState& state, EditorWindow& editor, AboutWindow& about,
                    HelpWindow& help) {
    MSG message;
    while (!state.quitRequested) {
        hooks.setLoopRunsFollowUpNext(true);
        const BOOL got = ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
        hooks.setLoopRunsFollowUpNext(false);
        runPendingHookWork();
        if (!got) {
            ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (message.message == WM_QUIT) return;
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
    std::fprintf(out, "hooks_reinstalled %d\n", tray.hooksReinstalled());
    // One line a delivery: the ending key's hook call to the SendInput call
    // and to its return (-1 when nothing was sent), the block's events and
    // how it went (0 sent, 1 fewer events inserted, 2 typed on, 3 focus
    // changed, 4 no focus, 5 modifiers held).
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

    WritingAidWindow aidWindow;
    const bool aidReady = aidWindow.create(instance, fonts.smallBold.get());
    WritingAidWindow* const aid = aidReady ? &aidWindow : nullptr;
    WritingAidAdapter aidView(aidWindow, state.writingAidEnabled);
    // Built hidden, with the strip hidden first; the program goes on without it
    // when it cannot be made.
    if (aid) aid->hide();
    // The editor's modal children run loops of their own: what the hooks
    // leave must run in them as in ours.
    setModalLoopPendingWork(&runPendingHookWork);
    EditorEffects editorEffects(state, files, aid);
    EditorWindow editor(files, editorEffects, state.catalogue.fileNames);
    editor.create(instance, fonts.list.get());

    AboutWindow about;
    if (!about.create(instance)) return 0;
    HelpWindow help;
    TrayController tray(instance, state, files, about, help, aid, editor);
    editorEffects.setTray(&tray);
    about.setShellMessages([&tray](UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return tray.onMessage(message, wParam, lParam);
    });

    InputHooks hooks(state.gate, state.tables, state.activeListIndex, aidReady ? &aidView : nullptr);
    tray.setHooks(&hooks);
    hooks.install(instance, about.hwnd(), WmHookFollowUp);
#ifdef CALMIRANDE_INSTRUMENT
    if (const wchar_t* hold = _wgetenv(L"CALMIRANDE_E2E_HOLD_DELIVERY_MS")) {
        holdDeliveriesForTests(static_cast<unsigned>(_wtoi(hold)));
    }
#endif
    ::SetTimer(about.hwnd(), HookWatchdogTimer, HookWatchdogPeriodMs, nullptr);

    about.fill(fonts.titleBold.get(), fonts.smallBold.get());
    tray.buildMenu();
    if (!state.activeListFile.empty()) editor.showList(state.activeListFile);
    tray.showIcon();
    state.expansionSwitch = true;
    state.gate.setExpansionActive(true);
    tray.refreshMenu();

    const FirstRunGuidance guidance = firstRunGuidance(state.catalogue, state.activeListIndex);
    if (guidance == FirstRunGuidance::LoadActiveList) {
        activateList(state, files, aid);
    } else {
        showMessage(guidanceMessage(guidance), messages::ProgramName);
        // "Quitter" may have been chosen while the box was up: no editor then.
        if (!state.quitRequested) editor.showForGuidance();
    }

    // "Quitter" may have been chosen while the guidance was shown.
    if (!state.quitRequested) runMessageLoop(hooks, state, editor, about, help);

    // No expansion starts once the hooks are gone; the running ones read the
    // gate and the table, so they end before anything is released. The keys
    // the user typed meanwhile go in after the block and the replay in
    // flight, as they would have.
    hooks.uninstall();
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
