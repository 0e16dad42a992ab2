#pragma once
// The "Editeur" window's "Edition" menu, decided from the state of its text
// each time the user enters the menu bar. Main thread only.

namespace calmirande {

// What the text field reports when the menu bar is entered.
struct TextEditorState {
    bool textEmpty = true;
    bool textDiffersFromStart = false;  // from the text the window opened with
    bool selectionEmpty = true;
    bool clipboardHasText = false;
};

struct TextEditorMenu {
    bool undo = false;
    bool cut = false;
    bool copy = false;
    bool paste = false;
    bool clear = false;
    bool selectAll = false;
    friend bool operator==(const TextEditorMenu&, const TextEditorMenu&) = default;
};

// "Annuler" starts disabled and, once enabled by a change, stays enabled
// while the window is open, even when the text is undone back to the start.
class TextEditorMenuRules {
public:
    TextEditorMenu onEnterMenu(const TextEditorState& state);

private:
    bool undoEnabled_ = false;
};

}  // namespace calmirande
