// The program's entry point: start-up, the event loop, shutdown. Everything
// here runs on the main thread; the only other threads are the expansion
// workers, which see nothing of this file but the gate and the table slot.

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstdio>

#include "app/app_state.h"
#include "app/message_box_win32.h"
#include "app/startup.h"
#include "common/base_window_win32.h"
#include "common/messages.h"
#include "common/wide_win32.h"
#include "engine/delivery_win32.h"
#include "engine/input_hooks_win32.h"
#include "engine/writing_aid_win32.h"
#include "lists/file_store_win32.h"
#include "lists/folder_listing_win32.h"
#include "lists/list_file.h"

namespace calmirande {
namespace {

// Posted by the hooks: carry out what they left to do.
constexpr UINT WmHookFollowUp = WM_APP + 1;

// The hidden top-level window of the program: it keeps the message loop
// alive, runs what the hooks leave for after their return, and ends the loop
// when closed. (The tray icon and its menu will hang on it.)
class HiddenOwnerWindow final : public BaseWindow<HiddenOwnerWindow> {
public:
    void setHooks(InputHooks* hooks) { hooks_ = hooks; }

    bool create(HINSTANCE instance) {
        static constexpr wchar_t kClass[] = L"Calmirande";
        return registerClass(instance, kClass) &&
               BaseWindow::create(WS_EX_TOOLWINDOW, kClass, L"Calmirande", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance);
    }
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WmHookFollowUp) {
            if (hooks_) hooks_->runFollowUp();
            return 0;
        }
        if (message == WM_DESTROY) {
            ::PostQuitMessage(0);
            return 0;
        }
        return defaultHandling(message, wParam, lParam);
    }

private:
    InputHooks* hooks_ = nullptr;  // we don't own it
};

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

// The program's loop. The hooks are called inside its PeekMessage (the
// system delivers them like sent messages), and what they leave runs right
// after it returns, without a message of their own to wake the loop.
void runMessageLoop(InputHooks& hooks) {
    MSG message;
    for (;;) {
        hooks.setLoopRunsFollowUpNext(true);
        const BOOL got = ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
        hooks.setLoopRunsFollowUpNext(false);
        runPendingHookWork();
        if (!got) {
            ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (message.message == WM_QUIT) return;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

#ifdef CALMIRANDE_INSTRUMENT
// Test builds: the hook's and the deliveries' timings, for the end-to-end run.
void writeTimings(const InputHooks& hooks) {
    FILE* out = _wfopen(L"calmirande-timings.txt", L"w");
    if (!out) return;
    const HookTimings& hook = hooks.timings();
    std::fprintf(out, "hook_samples %zu\nhook_p50_us %.2f\nhook_p99_us %.2f\nhook_max_us %.2f\n", hook.count(),
                 hook.percentile(50), hook.percentile(99), hook.percentile(100));
    for (const DeliveryTiming& delivery : deliveryTimings()) {
        std::fprintf(out, "delivery_ms %.2f floor_ms %.0f settle_ms %.2f ordered %d\n", delivery.elapsedMs,
                     delivery.pacingFloorMs, delivery.settleMs, delivery.orderedThroughout ? 1 : 0);
    }
    std::fclose(out);
}
#endif

int run(HINSTANCE instance) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);
    const bool comReady = SUCCEEDED(::CoInitialize(nullptr));

    AppState state;
    Win32FileStore files;
    Win32FolderListing listing;
    StartupFiles started = prepareStartupFiles(files, listing);
    if (!started.fatalMessage.empty()) {
        showMessage(started.fatalMessage, messages::TitleInfo);
        return 0;
    }
    state.catalogue = std::move(started.catalogue);
    state.activeListFile = std::move(started.activeListFile);
    state.activeListIndex = started.activeListIndex;
    state.writingAidEnabled = started.writingAidEnabled;

    WritingAidWindow aidWindow;
    const bool aidReady = aidWindow.create(instance);
    WritingAidAdapter aidView(aidWindow, state.writingAidEnabled);

    HiddenOwnerWindow owner;
    if (!owner.create(instance)) return 0;

    InputHooks hooks(state.gate, state.tables, state.activeListIndex, aidReady ? &aidView : nullptr);
    owner.setHooks(&hooks);
    hooks.install(instance, owner.hwnd(), WmHookFollowUp);
    state.gate.setExpansionActive(true);

    if (state.activeListIndex != -1) activateList(state, files, aidReady ? &aidWindow : nullptr);

    runMessageLoop(hooks);

    hooks.uninstall();
    owner.setHooks(nullptr);
#ifdef CALMIRANDE_INSTRUMENT
    writeTimings(hooks);
#endif
    if (comReady) ::CoUninitialize();
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
