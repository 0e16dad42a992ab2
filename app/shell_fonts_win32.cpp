#include "app/shell_fonts_win32.h"

#include "common/wide_win32.h"

namespace calmirande {

UniqueFont createShellFont(const FontChoice& choice, int pixelsPerInch) noexcept {
    try {
        const std::wstring face = toWide(choice.faceName);
        return UniqueFont(::CreateFontW(fontHeightForPoints(choice.points, pixelsPerInch), 0, 0, 0,
                                        choice.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                        DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    } catch (...) {
        return UniqueFont();
    }
}

ShellFonts createShellFonts() noexcept {
    const HDC screen = ::GetDC(nullptr);
    const int pixelsPerInch = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    ShellFonts fonts;
    fonts.list = createShellFont(ListFont, pixelsPerInch);
    fonts.smallBold = createShellFont(SmallBoldFont, pixelsPerInch);
    fonts.titleBold = createShellFont(TitleBoldFont, pixelsPerInch);
    return fonts;
}

UniqueFont createUnderlinedFont(HFONT font) noexcept {
    LOGFONTW description{};
    if (!font || ::GetObjectW(font, sizeof description, &description) != sizeof description) return UniqueFont();
    description.lfUnderline = TRUE;
    return UniqueFont(::CreateFontIndirectW(&description));
}

}  // namespace calmirande
