#include "editor/field_guards.h"

#include <string>

#include "common/lower_case.h"
#include "common/messages.h"

namespace calmirande {
namespace {

// Compares the first |lowered| units of each row's column with `lowered`,
// reusing one buffer: this runs on every keystroke over up to 2000 rows.
template <typename Column>
std::optional<std::size_t> firstRowBeginningWith(const AbbreviationList& rows, const std::u16string& lowered,
                                                 Column column) {
    const std::size_t n = lowered.size();
    std::u16string prefix;
    prefix.reserve(n);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::u16string& text = column(rows[i]);
        // The lower-casing maps unit to unit: a shorter text cannot match.
        if (text.size() < n) continue;
        prefix.assign(text, 0, n);
        lowerCaseInPlace(prefix);
        if (prefix == lowered) return i;
    }
    return std::nullopt;
}

}  // namespace

GuardDecision guardKeyFieldCharacter(char16_t character, std::size_t fieldLength) {
    if (character == u' ') return {false, messages::SpacesForbidden};
    if (character == u'\b') return {true, std::nullopt};
    if (fieldLength > MaxKeyLength - 1) return {false, messages::KeyLengthReached};
    return {true, std::nullopt};
}

GuardDecision guardKeyFieldPaste() { return {false, std::nullopt}; }

GuardDecision guardKeyFieldContextMenu() { return {false, std::nullopt}; }

GuardDecision guardKeyFieldKeyDown(std::uint16_t virtualKey, bool shift, bool control) {
    constexpr std::uint16_t Insert = 0x2D;  // VK_INSERT
    if (virtualKey == Insert && shift && !control) return guardKeyFieldPaste();
    return {true, std::nullopt};
}

std::optional<std::size_t> searchByKey(const AbbreviationList& rows, std::u16string_view typed) {
    if (typed.empty()) return std::nullopt;
    return firstRowBeginningWith(rows, toLowerCase(typed), [](const Abbreviation& row) -> const std::u16string& {
        return row.key;
    });
}

std::optional<std::size_t> searchByText(const AbbreviationList& rows, std::u16string_view keyField,
                                        std::u16string_view replacementField) {
    if (!keyField.empty() || replacementField.empty()) return std::nullopt;
    std::u16string stored = encodeStoredText(replacementField);
    lowerCaseInPlace(stored);
    return firstRowBeginningWith(rows, stored, [](const Abbreviation& row) -> const std::u16string& {
        return row.storedText;
    });
}

}  // namespace calmirande
