#pragma once
// The two system-wide low-level hooks. Their procedures only turn the event
// into a HookEvent (or a mouse message), let the KeyboardEngine decide, and
// pass the event on or swallow it as it says; the engine's follow-up runs in
// the loop right after. They never wait and never throw. Main thread only:
// the system calls the hooks on the thread that installed them, between two
// messages of its loop.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string_view>

#include "common/unique_handle_win32.h"
#include "engine/expansion_worker.h"
#include "engine/delivery_win32.h"
#include "engine/hook_timings.h"
#include "engine/keyboard_engine.h"
#include "lists/expansion_table.h"

namespace calmirande {

class InputHooks {
public:
    // The references must outlive the hooks (they live as long as the
    // process); `aid` may be null when the writing aid could not be created.
    InputHooks(ExpansionGate& gate, const ExpansionTableSlot& tables, const std::int32_t& activeListIndex,
               WritingAidView* aid);
    ~InputHooks();
    InputHooks(const InputHooks&) = delete;
    InputHooks& operator=(const InputHooks&) = delete;

    // Keyboard first, then mouse. A hook that cannot be installed does
    // nothing; the program runs without it. The hooks wake the loop by
    // posting `wakeMessage` to `wakeWindow`, whose procedure must then call
    // runFollowUp.
    void install(HINSTANCE module, HWND wakeWindow, UINT wakeMessage);
    // Keyboard first, then mouse. Nothing is captured or held from then on.
    void uninstall();
    // Once the workers and the replay in flight are over (the caller waits
    // for them): the keys still held go in, as typed, when the window they
    // were typed for still has the focus.
    void releaseHeldKeys();

    // The watchdog, on a timer of the main thread: when the system saw input
    // that neither hook was called for (a hook that overran the system's
    // timeout is removed without a word), both are installed again. Returns
    // whether they were. Also lets go of held keys given back that never came
    // back through the hook.
    bool reinstallIfLost();
    // Test builds: both hooks removed behind our back, as the system removes
    // a hook that overran its timeout; the handles are kept, dead.
    void loseHooksForTests();

    // Starts the workers of the words completed, updates the strip, takes the
    // threads' reports and gives held keys back, after the hooks have
    // returned. Main thread, from the loop.
    void runFollowUp();
    bool followUpPending() const;

    // Set by the main loop around each PeekMessage it makes, after which it
    // runs what the hooks left: a hook called inside that retrieval then has
    // no loop to wake. Any other retrieval (message boxes, menus, modal
    // loops) gets the wake-up message. Main thread.
    void setLoopRunsFollowUpNext(bool runs) { loopRunsFollowUpNext_ = runs; }

    const HookTimings& timings() const { return timings_; }

private:
    static LRESULT CALLBACK keyboardProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK mouseProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    // True when the key is held: the hook swallows it.
    bool onKey(WPARAM wParam, const KBDLLHOOKSTRUCT& key);
    void wake();
    void refreshTable();

    ExpansionGate& gate_;
    const ExpansionTableSlot& tables_;
    const std::int32_t& activeListIndex_;
    WritingAidView* aid_;  // we don't own it
    HookCounters counters_;  // shared with the workers and the replays
    KeyboardEngine engine_;
    std::uint32_t tableGeneration_ = 0;  // of the table the engine has
    DWORD lastHookCall_ = 0;  // GetTickCount at the last call of either hook
    HINSTANCE module_ = nullptr;
    HookTimings timings_;
    HWND wakeWindow_ = nullptr;  // we don't own it: the entry point does
    UINT wakeMessage_ = 0;
    bool loopRunsFollowUpNext_ = false;
    UniqueHook keyboardHook_;  // KeyboardHookHandle
    UniqueHook mouseHook_;     // MouseHookHandle
};

// What every loop of the program calls after each message it retrieves, its
// own modal loops included: whatever the hooks left for the loop runs even
// when their wake-up message was dropped or never posted. Main thread.
void runPendingHookWork() noexcept;

}  // namespace calmirande
