#pragma once
// The Help window: a resizable window whose one read-only rich-text field
// shows the help document with a 10-pixel margin on every side. It exists
// only while open: closing destroys it, and the tray's "Aide" makes it again.
// Main thread only.

#include <windows.h>

#include "common/base_window_win32.h"

namespace calmirande {

class HelpWindow final : public BaseWindow<HelpWindow> {
public:
    HelpWindow() = default;
    ~HelpWindow() override;

    bool isOpen() const noexcept { return hwnd() != nullptr; }

    // Makes and shows the window, centred on the screen. Does nothing when
    // it is open already (it is not brought forward); false when it cannot
    // be made, which the caller leaves at that.
    bool open(HINSTANCE instance) noexcept;

    // Escape closes the window, wherever its focus is. True when the
    // message of the loop was taken.
    bool takesDialogKey(const MSG& message) noexcept;

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    HWND field_ = nullptr;  // a child, destroyed with the window; null without a rich-edit library
};

}  // namespace calmirande
