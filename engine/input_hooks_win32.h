#pragma once
// The two system-wide low-level hooks. Their procedures only turn the event
// into a KeyEvent (or a mouse message), let WordCapture decide, carry out its
// effects and pass the event on; they never wait and never throw. Main
// thread only: the system calls the hooks on the thread that installed them,
// between two messages of its loop.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "common/unique_handle_win32.h"
#include "engine/expansion_worker.h"
#include "engine/hook_timings.h"
#include "engine/word_capture.h"
#include "lists/expansion_table.h"

namespace calmirande {

// What the hooks show the writing aid. Implemented by the window layer.
class WritingAidView {
public:
    virtual ~WritingAidView() = default;
    virtual void update(std::u16string_view aidWord) = 0;
    virtual void hide() = 0;
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
    // nothing; the program runs without it.
    void install(HINSTANCE module);
    // Keyboard first, then mouse.
    void uninstall();

    const HookTimings& timings() const { return timings_; }

private:
    static LRESULT CALLBACK keyboardProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    static LRESULT CALLBACK mouseProcedure(int nCode, WPARAM wParam, LPARAM lParam) noexcept;
    void onKey(int nCode, WPARAM wParam, const KBDLLHOOKSTRUCT& key);

    ExpansionGate& gate_;
    const ExpansionTableSlot& tables_;
    const std::int32_t& activeListIndex_;
    WritingAidView* aid_;  // we don't own it
    WordCapture capture_;
    HookTimings timings_;
    UniqueHook keyboardHook_;  // KeyboardHookHandle
    UniqueHook mouseHook_;     // MouseHookHandle
};

}  // namespace calmirande
