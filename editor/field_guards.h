#pragma once
// The key field's guards and the listing's incremental searches, apart from
// the subclassed controls that call them. Main thread only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "lists/list_file.h"

namespace calmirande {

// A character typed into a key field of this many units or more is refused.
inline constexpr std::size_t MaxKeyLength = 20;

// What the key field's window procedure does with a message: pass it on to
// the control or swallow it, and the message box to show, if any ("Info").
struct GuardDecision {
    bool passOn = true;
    std::optional<std::u16string_view> message;
    friend bool operator==(const GuardDecision&, const GuardDecision&) = default;
};

// A WM_CHAR for the key field, which holds `fieldLength` units. A space is
// refused first, even in a full field; backspace always passes; any other
// character, control characters of Ctrl shortcuts included, is refused once
// the field holds MaxKeyLength units, whatever the selection would replace.
GuardDecision guardKeyFieldCharacter(char16_t character, std::size_t fieldLength);
// Nothing is ever pasted into the key field, and it has no context menu.
GuardDecision guardKeyFieldPaste();
// A key press for the key field (a virtual-key code). Shift+Insert is a
// paste that some edit controls carry out without a WM_PASTE: it is
// swallowed in silence. Every other key passes (Ctrl+V ends in WM_PASTE,
// Shift+Delete cuts, Ctrl+Insert copies).
GuardDecision guardKeyFieldKeyDown(std::uint16_t virtualKey, bool shift, bool control);
GuardDecision guardKeyFieldContextMenu();

// The first row, in display order, whose key begins with `typed`, letter case
// ignored through the lower-casing seam. Nothing for an empty text.
std::optional<std::size_t> searchByKey(const AbbreviationList& rows, std::u16string_view typed);

// The first row whose stored text begins with the replacement field's text in
// stored form (a typed line break matches "<R>"), letter case ignored. Only
// while the key field is empty and the replacement field is not.
std::optional<std::size_t> searchByText(const AbbreviationList& rows, std::u16string_view keyField,
                                        std::u16string_view replacementField);

}  // namespace calmirande
