#pragma once
// The Win32 edge of the program's strings: UTF-16 in both, wchar_t on Windows.

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace calmirande {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 edge relies on 16-bit wchar_t");

inline std::wstring toWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string fromWide(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// The whole text of a window or control of this process.
inline std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    const int length = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return text;
}

}  // namespace calmirande
