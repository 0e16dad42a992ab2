#pragma once
// The two system-wide low-level hooks, on a thread of their own. The system
// calls a low-level hook on the thread that installed it, between two
// messages of that thread's loop; with nothing else on it (no window, no
// list to sort, no file to save, no message box), no work of the shell or
// the editor can delay a key past LowLevelHooksTimeout, after which Windows
// 7 and later pass the key on ahead of the held ones and then remove the
// hook without a word.
//
// The hook procedures only turn the event into a HookEvent (or a mouse
// message), let the KeyboardEngine decide, and pass the event on or swallow
// it as it says; the engine's follow-up runs in the thread's loop right
// after. They never wait and never throw. Everything of the engine belongs
// to the hooks' thread; the main thread and the typist reach it only through
// atomics (the gate, the counters, the active list's index), the published
// table's slot and posted messages.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string_view>

#include "common/unique_handle_win32.h"
#include "engine/delivery_win32.h"
#include "engine/hook_timings.h"
#include "engine/keyboard_engine.h"
#include "lists/expansion_table.h"

namespace calmirande {

class InputHooks {
public:
    // The references must outlive the hooks (they live as long as the
    // process); `aid` may be null when the writing aid could not be created,
    // and is called on the hooks' thread.
    InputHooks(ExpansionGate& gate, const ExpansionTableSlot& tables, const std::atomic<std::int32_t>& activeListIndex,
               WritingAidView* aid);
    ~InputHooks();
    InputHooks(const InputHooks&) = delete;
    InputHooks& operator=(const InputHooks&) = delete;

    // Starts the hooks' thread, which installs the keyboard hook, then the
    // mouse hook, and runs their loop and watchdog; returns once they are
    // installed. A hook that cannot be installed does nothing; the program
    // runs without it.
    void start(HINSTANCE module);
    // Ends the thread, and the hooks with it. Nothing is captured or held
    // from then on.
    void stop();
    // Once the hooks are stopped and the typist's jobs are over (the caller
    // waits for them): the keys still held go in, as typed, when the window
    // they were typed for still has the focus.
    void releaseHeldKeys();

    // Test builds: both hooks removed behind the program's back, as the
    // system removes a hook that overran its timeout; the handles are kept,
    // dead. Any thread.
    void loseHooksForTests();

    // The watchdog's count of reinstalls. Any thread.
    int hooksReinstalled() const { return hooksReinstalled_.load(std::memory_order_relaxed); }
    // Batches of held keys that SendInput took fewer of than given. Any thread.
    std::uint32_t replaysShort() const { return counters_.replaysShort.load(std::memory_order_relaxed); }
    // The hook's own time per key press; read once the hooks are stopped.
    const HookTimings& timings() const { return timings_; }

private:
    static unsigned __stdcall threadMain(void* self) noexcept;
    static LRESULT CALLBACK keyboardProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK mouseProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept;

    void runLoop() noexcept;
    void install();
    void reinstallIfLost();
    // True when the key is swallowed.
    bool onKey(WPARAM wParam, const KBDLLHOOKSTRUCT& key);
    void wake();
    void refreshTable();
    void runFollowUp();

    ExpansionGate& gate_;
    const ExpansionTableSlot& tables_;
    const std::atomic<std::int32_t>& activeListIndex_;
    WritingAidView* aid_;    // we don't own it
    HookCounters counters_;  // shared with the typist
    KeyboardEngine engine_;  // the hooks' thread only, and after stop()
    std::uint32_t tableGeneration_ = 0;  // of the table the engine has
    HINSTANCE module_ = nullptr;
    HookTimings timings_;
    DWORD lastHookCall_ = 0;  // GetTickCount at the last call of either hook
    std::atomic<int> hooksReinstalled_{0};
    bool loopRunsFollowUpNext_ = false;
    DWORD threadId_ = 0;
    UniqueKernelHandle thread_;
    UniqueKernelHandle ready_;  // set once the hooks are installed
    UniqueHook keyboardHook_;   // KeyboardHookHandle
    UniqueHook mouseHook_;      // MouseHookHandle
};

}  // namespace calmirande
