#pragma once
// What the shell asks of the abbreviation editor: to follow the active list,
// to be shown by the first-run guidance, and to be opened from the tray.
// Main thread only.

#include <string_view>

namespace calmirande {

class EditorEntry {
public:
    virtual ~EditorEntry() = default;

    // Start-up, and a list chosen in the tray menu: the editor, shown or not,
    // holds that list's rows and reports itself a list it cannot read.
    virtual void showList(std::u16string_view fileName) = 0;
    // The first-run guidance: the editor comes up; the expansion is left as it is.
    virtual void showForGuidance() = 0;
    // Tray item "Editer les Abréviations": the expansion is suspended already,
    // and leaving the editor brings it back when the user's switch is on.
    virtual void openFromTray() = 0;
};

}  // namespace calmirande
