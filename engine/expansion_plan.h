#pragma once
// The decision of one expansion, apart from Windows: from the completed word,
// the key that ended it and the active table, the exact key events to put
// into the system's input stream, as one block, for the focused control of
// the foreground application.

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

inline constexpr std::size_t MaxParameters = 4;

// A virtual key (KEYEVENTF_UNICODE clear) or one UTF-16 unit typed as a
// KEYEVENTF_UNICODE event.
enum class InputKind : std::uint8_t { VirtualKey, Unicode };

struct InputEvent {
    InputKind kind;
    std::uint16_t code;  // virtual-key code or UTF-16 unit
    bool keyUp;
    friend bool operator==(const InputEvent&, const InputEvent&) = default;
};

// Every key is pressed and released before the next one: a down and its up.
struct ExpansionPlan {
    std::vector<InputEvent> events;
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

// How many presses of the keys the plan holds (each is a down and an up):
// n + 1 Backspaces, m text units (line breaks and tabs included), and the
// caret's Left arrows or the ending key.
inline std::size_t pressCount(const ExpansionPlan& plan) { return plan.events.size() / 2; }

}  // namespace calmirande
