#pragma once
// Every message to the user: a message box with no icon, owned by the
// foreground window when that window is one of ours. While it shows, the
// program's other visible windows are disabled, so that nothing behind it
// acts on a state the box is still asking about. Main thread only.

#include <string_view>

namespace calmirande {

void showMessage(std::u16string_view text, std::u16string_view title);
// Yes and No buttons; true for Yes.
bool askYesNo(std::u16string_view text, std::u16string_view title, bool defaultNo = false);

}  // namespace calmirande
