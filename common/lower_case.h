#pragma once
// The one lower-casing seam of the program. On Windows it is CharLowerBuffW
// (what the list view and the editor use, so the engine folds the same way);
// elsewhere a simple one-unit-to-one-unit case mapping of the BMP.

#include <string>
#include <string_view>

namespace calmirande {

void lowerCaseInPlace(std::u16string& text);

inline std::u16string toLowerCase(std::u16string_view text) {
    std::u16string out(text);
    lowerCaseInPlace(out);
    return out;
}

}  // namespace calmirande
