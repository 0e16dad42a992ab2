#pragma once
// The two system-wide low-level hooks. Their procedures only turn the event
// into a KeyEvent (or a mouse message), let WordCapture and KeyHold decide,
// leave the effects to the loop (HookFollowUp) and pass the event on, or
// swallow a key the hold keeps for later; they never wait and never throw.
// Main thread only: the system calls the hooks on the thread that installed
// them, between two messages of its loop.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string_view>

#include "common/unique_handle_win32.h"
#include "engine/expansion_worker.h"
#include "engine/hook_follow_up.h"
#include "engine/delivery_win32.h"
#include "engine/hook_timings.h"
#include "engine/key_hold.h"
#include "engine/word_capture.h"
#include "lists/expansion_table.h"

namespace calmirande {

// What the hooks show the writing aid. Implemented by the window layer.
class WritingAidView {
public:
    virtual ~WritingAidView() = default;
    virtual void update(std::u16string_view aidWord) = 0;
    virtual void hide() = 0;
    // Whether the word shows rows; when not, the key only hides the strip.
    // Cheap: called from the hook.
    virtual bool selectsRows(std::u16string_view aidWord) const = 0;
};

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
    // Keyboard first, then mouse; then the keys still held go in, as typed.
    void uninstall();

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
    bool onKey(int nCode, WPARAM wParam, const KBDLLHOOKSTRUCT& key);
    void wakeIfNeeded(DWORD eventTime);
    void takeReports();
    void startDueBatch();

    ExpansionGate& gate_;
    const ExpansionTableSlot& tables_;
    const std::int32_t& activeListIndex_;
    WritingAidView* aid_;  // we don't own it
    WordCapture capture_;
    HookFollowUp followUp_;
    KeyHold hold_;
    HookCounters counters_;  // shared with the workers and the replays
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
