#pragma once
// Every message to the user: a message box with an OK button and no icon,
// owned by the foreground window when that window is one of ours.

#include <string_view>

namespace calmirande {

void showMessage(std::u16string_view text, std::u16string_view title);

}  // namespace calmirande
