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

namespace {

void press(std::vector<InputEvent>& out, InputKind kind, std::uint16_t code, std::size_t times = 1) {
    for (std::size_t i = 0; i < times; ++i) {
        out.push_back({kind, code, false});
        out.push_back({kind, code, true});
    }
}

}  // namespace

std::optional<ExpansionPlan> planExpansion(std::u16string_view word, std::uint32_t trigger, const ExpansionTable& table) {
    const SplitWord split = splitWord(word);
    const std::u16string key = toLowerCase(split.slots[0]);
    const std::u16string* replacement = table.find(key);
    if (!replacement) return std::nullopt;

    const PreparedText prepared = prepareText(split, *replacement);
    ExpansionPlan plan;
    std::vector<InputEvent>& out = plan.events;
    out.reserve(2 * (word.size() + 1 + prepared.text.size() + prepared.leftArrows.value_or(1)));

    // The extra Backspace is for the character the ending key already typed.
    // Backspace, a line break, a tab, the caret and the ending key go as the
    // keys a person presses: browsers, Scintilla, office suites, Java and Qt
    // act on the key-down and ignore or print a control character. Every
    // other unit, each half of a surrogate pair included, is a Unicode event,
    // which needs no key of the user's layout.
    press(out, InputKind::VirtualKey, VkBack, word.size() + 1);
    for (char16_t unit : prepared.text) {
        if (unit == u'\r') press(out, InputKind::VirtualKey, VkReturn);
        else if (unit == u'\t') press(out, InputKind::VirtualKey, VkTab);
        else press(out, InputKind::Unicode, unit);
    }

    if (prepared.leftArrows) {
        press(out, InputKind::VirtualKey, VkLeft, *prepared.leftArrows);
    } else if (!prepared.noTrailer) {
        press(out, InputKind::VirtualKey, static_cast<std::uint16_t>(trigger));
    }
    return plan;
}

}  // namespace calmirande
