#pragma once
// Modal children of the editor (the "Nouvelle Liste" dialog and the
// "Editeur" window): the owner is disabled while the child is open, and the
// child's own loop serves it alone. Main thread only.

#include <windows.h>

namespace calmirande {

// The frame around an inner area of width x height, centred on the screen or
// on `owner`'s window.
RECT modalChildFrame(HWND owner, DWORD style, int innerWidth, int innerHeight, bool centreOnOwner) noexcept;

// Serves `child` until `finished` is set: its messages are dispatched (with
// dialog keys when `dialogKeys`); the other windows keep painting, their
// timers and the writing aid's follow-up, and lose their input, commands
// and the tray icon's clicks. A WM_QUIT ends the loop and is posted again
// for the outer loop. (The keyboard hooks run on a thread of their own: no
// loop here delays them.)
void runModalLoop(HWND child, const bool& finished, bool dialogKeys) noexcept;

// Enables `owner` again, makes it the active window; the caller then
// destroys the child (in that order, so activation returns to the owner).
void endModal(HWND owner) noexcept;

// Opens `child` with `open` (which makes it and disables `owner`), serves
// it until it finishes, and gives `owner` back. False when it could not be
// made; the owner is enabled again either way.
template <typename Child, typename Open>
bool serveModalChild(Child& child, HWND owner, Open open, bool dialogKeys) noexcept {
    bool opened = false;
    try {
        opened = open();
    } catch (...) {
    }
    if (!opened) {
        ::EnableWindow(owner, TRUE);
        return false;
    }
    runModalLoop(child.hwnd(), child.finishedFlag(), dialogKeys);
    endModal(owner);
    return true;
}

}  // namespace calmirande
