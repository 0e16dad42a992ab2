#include <windows.h>

#include <limits>

#include "common/lower_case.h"

namespace calmirande {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 edge relies on 16-bit wchar_t");

void lowerCaseInPlace(std::u16string& text) {
    // CharLowerBuffW works in place, unit by unit, with the system's casing
    // tables; it takes a DWORD length, so very long texts go in slices.
    std::size_t done = 0;
    while (done < text.size()) {
        const std::size_t slice = std::min<std::size_t>(text.size() - done, std::numeric_limits<DWORD>::max());
        CharLowerBuffW(reinterpret_cast<LPWSTR>(text.data() + done), static_cast<DWORD>(slice));
        done += slice;
    }
}

}  // namespace calmirande
