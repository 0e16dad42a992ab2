// The modal children's loop filter and the "Editeur" window's menu states.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/modal_filter.h"
#include "editor/text_editor_menu.h"

namespace calmirande {
namespace {

constexpr std::uint32_t kTray = 0x8002;  // WM_APP + 2

struct FilterCase {
    const char* name;
    std::uint32_t message;
    bool forModalChild;
    ModalDisposition expected;
    friend void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }
};

class ModalLoopFilter : public ::testing::TestWithParam<FilterCase> {};
TEST_P(ModalLoopFilter, DropsOnlyOtherWindowsInputAndCommands) {
    EXPECT_EQ(modalDisposition(GetParam().message, GetParam().forModalChild, kTray), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Modal, ModalLoopFilter,
    ::testing::Values(FilterCase{"ChildKeyDown", 0x0100, true, ModalDisposition::Dispatch},
                      FilterCase{"ChildCommand", 0x0111, true, ModalDisposition::Dispatch},
                      FilterCase{"ChildClose", 0x0010, true, ModalDisposition::Dispatch},
                      FilterCase{"OtherKeyDown", 0x0100, false, ModalDisposition::Drop},
                      FilterCase{"OtherSysKeyUp", 0x0105, false, ModalDisposition::Drop},
                      FilterCase{"OtherUnicodeChar", 0x0109, false, ModalDisposition::Drop},
                      FilterCase{"OtherLeftPress", 0x0201, false, ModalDisposition::Drop},
                      FilterCase{"OtherWheel", 0x020A, false, ModalDisposition::Drop},
                      FilterCase{"OtherTitleBarPress", 0x00A1, false, ModalDisposition::Drop},
                      FilterCase{"OtherCommand", 0x0111, false, ModalDisposition::Drop},
                      FilterCase{"OtherSysCommand", 0x0112, false, ModalDisposition::Drop},
                      FilterCase{"OtherClose", 0x0010, false, ModalDisposition::Drop},
                      FilterCase{"TrayIconClick", kTray, false, ModalDisposition::Drop},
                      FilterCase{"OtherPaint", 0x000F, false, ModalDisposition::Dispatch},
                      FilterCase{"OtherTimer", 0x0113, false, ModalDisposition::Dispatch},
                      FilterCase{"HookWakeUp", 0x8001, false, ModalDisposition::Dispatch},
                      FilterCase{"ThreadQuitIsNotInput", 0x0012, false, ModalDisposition::Dispatch}),
    [](const auto& test) { return std::string(test.param.name); });

// One "Edition" menu opening after another, as the user goes.
struct MenuStep {
    TextEditorState state;
    TextEditorMenu expected;
};
struct MenuCase {
    const char* name;
    std::vector<MenuStep> steps;
    friend void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }
};

class EditeurMenu : public ::testing::TestWithParam<MenuCase> {};
TEST_P(EditeurMenu, FollowsTheText) {
    TextEditorMenuRules rules;
    for (std::size_t i = 0; i < GetParam().steps.size(); ++i) {
        EXPECT_EQ(rules.onEnterMenu(GetParam().steps[i].state), GetParam().steps[i].expected) << "opening " << i;
    }
}
// Fields: text empty, differs from start, selection empty, clipboard text.
// Menus: undo, cut, copy, paste, clear, select all.
INSTANTIATE_TEST_SUITE_P(
    Modal, EditeurMenu,
    ::testing::Values(
        MenuCase{"EmptyFieldAllOff", {{{true, false, true, false}, {false, false, false, false, false, false}}}},
        MenuCase{"OneCharacterTypedEnablesUndoAndSelectAll",
                 {{{true, false, true, false}, {false, false, false, false, false, false}},
                  {{false, true, true, false}, {true, false, false, false, false, true}}}},
        MenuCase{"UndoneBackToStartKeepsUndo",
                 {{{false, true, true, false}, {true, false, false, false, false, true}},
                  {{false, false, true, false}, {true, false, false, false, false, true}}}},
        MenuCase{"SelectionEnablesCutCopyClear",
                 {{{false, false, false, false}, {false, true, true, false, true, true}}}},
        MenuCase{"ClipboardTextEnablesPaste",
                 {{{true, false, true, true}, {false, false, false, true, false, false}}}}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace calmirande
