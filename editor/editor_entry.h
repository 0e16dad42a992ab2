#pragma once
// The editor and the shell, each as the other sees it. EditorEntry is what
// the shell asks of the abbreviation editor: to follow the active list, to
// be shown by the first-run guidance, to be opened from the tray, and to keep
// the user's rows when the program ends. EditorHost is what the editor
// changes in the rest of the program. Main thread only.

#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_model.h"

namespace calmirande {

class EditorEntry {
public:
    virtual ~EditorEntry() = default;

    // Start-up, and a list chosen in the tray menu: the editor, shown or not,
    // holds that list's rows (saving the rows it had first, when they
    // changed) and reports itself a list it cannot read.
    virtual void showList(std::u16string_view fileName) = 0;
    // The first-run guidance: the editor comes up; the expansion is left as it is.
    virtual void showForGuidance() = 0;
    // Tray item "Editer les Abréviations": the expansion is suspended already,
    // and leaving the editor brings it back when the user's switch is on.
    virtual void openFromTray() = 0;
    // Tray item "Quitter": rows changed since their load are saved. When
    // they cannot be, the user is asked whether to quit without saving;
    // false when they answer No: the program goes on.
    virtual bool saveBeforeQuit() = 0;
    // The session ends: changed rows are saved, or set aside when they cannot
    // be, without a question.
    virtual void saveForSessionEnd() noexcept = 0;
    // A question or a modal child of the editor is up: the tray menu waits.
    virtual bool busy() const = 0;
};

class EditorHost {
public:
    virtual ~EditorHost() = default;
    // A list was created or deleted: the catalogue is now `fileNames`.
    virtual void catalogueChanged(const std::vector<std::u16string>& fileNames) = 0;
    // "Quitter" was answered: the preferences, the active list, the
    // expansion and the tray menu follow.
    virtual void editorLeft(LeaveOutcome& outcome) = 0;
};

}  // namespace calmirande
