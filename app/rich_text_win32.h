#pragma once
// Read-only rich-text fields for the licence and the help. The control comes
// from RICHED20.DLL ("RichEdit20W") or, where that library is missing, from
// RICHED32.DLL ("RichEdit"); the library stays loaded for the rest of the
// process, as the controls' class lives in it. Main thread only.

#include <windows.h>

#include <string_view>

namespace calmirande {

// A read-only, multi-line field that wraps its lines at its own width and
// shows `rtf`. Null when no rich-edit library can be loaded or the control
// cannot be created; the caller then simply has no field.
HWND createRichTextField(HWND parent, int x, int y, int width, int height, int id, std::string_view rtf) noexcept;

// Replaces the field's content with the RTF document `rtf`. Given through
// EM_STREAMIN, never as window text: a Unicode WM_SETTEXT of RTF shows the
// raw code under some rich-edit versions (Wine's among them).
bool streamRtf(HWND field, std::string_view rtf) noexcept;

}  // namespace calmirande
