#include "engine/expansion_plan.h"

#include "common/lower_case.h"
#include "common/text.h"

namespace calmirande {
namespace {

constexpr char16_t kStar = u'*';

std::u16string marker(std::size_t number) {
    return {u'(', u'*', static_cast<char16_t>(u'0' + number), u')'};
}

// Removes every occurrence of `what` (one left-to-right pass) and moves
// `caret`, when it is set, to the same place among the characters that stay:
// it counts the characters before it that survive, so a removed marker that
// straddles the caret leaves it where that marker began.
void removeAll(std::u16string& text, std::u16string_view what, std::optional<std::size_t>& caret) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    std::optional<std::size_t> movedCaret;
    for (std::size_t hit; (hit = text.find(what, pos)) != std::u16string::npos; pos = hit + what.size()) {
        if (caret && !movedCaret && *caret <= hit) movedCaret = out.size() + (*caret - pos);
        out.append(text, pos, hit - pos);
        if (caret && !movedCaret && *caret < hit + what.size()) movedCaret = out.size();
    }
    if (caret && !movedCaret) movedCaret = out.size() + (*caret - pos);
    out.append(text, pos);
    text = std::move(out);
    if (caret) caret = movedCaret;
}

}  // namespace

SplitWord splitWord(std::u16string_view word) {
    SplitWord split;
    split.hasStar = word.find(kStar) != std::u16string_view::npos;
    std::size_t fieldStart = 0;
    for (std::size_t slot = 0; slot <= MaxParameters; ++slot) {
        std::u16string_view field;
        if (fieldStart <= word.size()) {
            const std::size_t star = word.find(kStar, fieldStart);
            field = word.substr(fieldStart, star == std::u16string_view::npos ? std::u16string_view::npos : star - fieldStart);
            fieldStart = star == std::u16string_view::npos ? word.size() + 1 : star + 1;
        }
        split.slots[slot] = field;
        if (field.empty()) break;
        if (slot > 0) split.parameterCount = slot;
    }
    return split;
}

PreparedText prepareText(const SplitWord& word, std::u16string_view replacement) {
    PreparedText prepared;
    std::u16string& text = prepared.text;
    text.reserve(replacement.size());
    for (char16_t unit : replacement) {
        if (unit != u'\n') text.push_back(unit);
    }
    if (!text.empty() && text.back() == u'-') {
        prepared.noTrailer = true;
        text.pop_back();
    }

    const std::u16string firstMarker = marker(1);
    if (word.hasStar && text.find(firstMarker) == std::u16string::npos) return prepared;

    for (std::size_t i = 1; i <= word.parameterCount; ++i) text = replaceAll(text, marker(i), word.slots[i]);
    std::optional<std::size_t> caret;
    for (std::size_t j = 1; j <= MaxParameters; ++j) {
        const std::u16string m = marker(j);
        const std::size_t first = text.find(m);
        if (first == std::u16string::npos) continue;
        if (!caret) caret = first;
        removeAll(text, m, caret);
    }
    if (caret) prepared.leftArrows = text.size() - *caret;
    return prepared;
}

std::optional<ExpansionPlan> planExpansion(std::u16string_view word, std::uint32_t trigger, const ExpansionTable& table) {
    const SplitWord split = splitWord(word);
    const std::u16string key = toLowerCase(split.slots[0]);
    const std::u16string* replacement = table.find(key);
    if (!replacement) return std::nullopt;

    const PreparedText prepared = prepareText(split, *replacement);
    ExpansionPlan plan;
    std::vector<PlannedMessage>& out = plan.messages;
    out.reserve(word.size() + 1 + prepared.text.size() + prepared.leftArrows.value_or(1));

    // The extra Backspace is for the character the ending key already typed.
    // Backspace, line breaks, the caret and the ending key go as key presses:
    // many targets (browsers, Scintilla, office suites, Java and Qt) act on
    // the key-down and ignore or print a control character. Delivery keeps
    // them in order with the characters (see deliverPlan).
    out.insert(out.end(), word.size() + 1, PlannedMessage{MessageKind::KeyDown, VkBack, CharacterWaitMs});
    for (char16_t unit : prepared.text) {
        out.push_back(unit == u'\r' ? PlannedMessage{MessageKind::KeyDown, VkReturn, CharacterWaitMs}
                                    : PlannedMessage{MessageKind::Char, unit, CharacterWaitMs});
    }

    if (prepared.leftArrows) {
        out.insert(out.end(), *prepared.leftArrows, PlannedMessage{MessageKind::KeyDown, VkLeft, CaretWaitMs});
    } else if (!prepared.noTrailer) {
        out.push_back({MessageKind::KeyDown, static_cast<std::uint16_t>(trigger), CaretWaitMs});
    }
    return plan;
}

}  // namespace calmirande
