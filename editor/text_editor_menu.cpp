#include "editor/text_editor_menu.h"

namespace calmirande {

TextEditorMenu TextEditorMenuRules::onEnterMenu(const TextEditorState& state) {
    if (state.textDiffersFromStart) undoEnabled_ = true;
    TextEditorMenu menu;
    menu.undo = undoEnabled_;
    menu.cut = menu.copy = menu.clear = !state.selectionEmpty;
    menu.paste = state.clipboardHasText;
    menu.selectAll = !state.textEmpty;
    return menu;
}

}  // namespace calmirande
