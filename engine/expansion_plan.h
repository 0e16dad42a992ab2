#pragma once
// The decision of one expansion, apart from Windows: from the completed word,
// the key that ended it and the active table, the exact messages to post to
// the focused window of the foreground application, each with its wait.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/virtual_keys.h"
#include "lists/expansion_table.h"

namespace calmirande {

// Pacing: after each Backspace and character, and after each Left arrow and
// the ending key.
inline constexpr std::uint8_t CharacterWaitMs = 5;
inline constexpr std::uint8_t CaretWaitMs = 1;

inline constexpr std::size_t MaxParameters = 4;

enum class MessageKind : std::uint8_t { KeyDown, Char };  // WM_KEYDOWN, WM_CHAR; lParam is always 0

struct PlannedMessage {
    MessageKind kind;
    std::uint16_t code;  // virtual-key code or UTF-16 unit
    std::uint8_t waitMs;
    friend bool operator==(const PlannedMessage&, const PlannedMessage&) = default;
};

struct ExpansionPlan {
    std::vector<PlannedMessage> messages;
};

// The word cut at its stars: slot 0 is the abbreviation as typed, slots 1 to
// `parameterCount` the parameters. An empty field ends the parameters.
struct SplitWord {
    std::array<std::u16string_view, MaxParameters + 1> slots;
    std::size_t parameterCount = 0;
    bool hasStar = false;
};
SplitWord splitWord(std::u16string_view word);

// The text to type for a found entry and where the caret goes.
struct PreparedText {
    std::u16string text;           // line breaks as single CRs
    bool noTrailer = false;        // the entry ended with "-"
    std::optional<std::size_t> leftArrows;  // set when a parameter place stayed empty
};
PreparedText prepareText(const SplitWord& word, std::u16string_view replacement);

// Nothing when the lower-cased abbreviation is not in the table: nothing is
// erased or typed then.
std::optional<ExpansionPlan> planExpansion(std::u16string_view word, std::uint32_t trigger, const ExpansionTable& table);

}  // namespace calmirande
