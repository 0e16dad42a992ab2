#pragma once
// The "Editeur" window: the replacement text in a larger, resizable field
// with a menu bar, modally over the editor. Main thread only.

#include <windows.h>

#include <optional>
#include <string>

namespace calmirande {

// Opens over `owner` with `text` and returns the field's whole text when the
// user closes it, changed or not; nothing when the window could not be made
// (the owner is enabled again either way).
std::optional<std::wstring> editTextModally(HINSTANCE instance, HWND owner, HFONT font, const std::wstring& text);
// The text of the "Editeur" window while it is open, for the session's end.
std::optional<std::wstring> textOfOpenTextEditor();

}  // namespace calmirande
