#pragma once
// The two rich-text documents carried inside the program: the licence shown
// in the About window's "Licence" tab and the help shown in the Help window.
// Both are RTF in Windows-1252 and pure ASCII bytes; the views end just
// before a terminating zero byte, for controls that want one.

#include <string_view>

namespace calmirande {

std::string_view licenceDocument();
std::string_view helpDocument();

}  // namespace calmirande
