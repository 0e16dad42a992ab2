#pragma once
// The program's three fonts, made at start-up for the screen's resolution and
// kept until shutdown. The windows that use them do not own them.

#include <windows.h>

#include "app/shell_decisions.h"
#include "common/unique_handle_win32.h"

namespace calmirande {

struct ShellFonts {
    UniqueFont list;       // the editor's listing and fields
    UniqueFont smallBold;  // the About texts and the writing aid
    UniqueFont titleBold;  // the program's name in the About window
};

// A font that cannot be made is missing (null): its users fall back to the
// system's.
UniqueFont createShellFont(const FontChoice& choice, int pixelsPerInch) noexcept;
ShellFonts createShellFonts() noexcept;

// `font` with an underline added, for the About window's links. Null when
// `font` is null or the copy cannot be made.
UniqueFont createUnderlinedFont(HFONT font) noexcept;

}  // namespace calmirande
