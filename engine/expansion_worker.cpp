#include "engine/expansion_worker.h"

#include <algorithm>

namespace calmirande {
namespace {

class TypingScope {
public:
    explicit TypingScope(ExpansionGate& gate) : gate_(gate) { gate_.beginTyping(); }
    ~TypingScope() { gate_.endTyping(); }
    TypingScope(const TypingScope&) = delete;
    TypingScope& operator=(const TypingScope&) = delete;

private:
    ExpansionGate& gate_;
};

// Whether the target ends up with a character from it: a character, or a
// key-down its TranslateMessage turns into one (Backspace, Tab, Enter, Space).
bool makesCharacter(const PlannedMessage& message) {
    return message.kind == MessageKind::Char || message.code != VkLeft;
}

}  // namespace

DeliveryOutcome deliverPlan(const ExpansionPlan& plan, MessagePoster& poster) {
    DeliveryOutcome outcome;
    const MessagePoster::Window target = poster.focusedWindow();
    if (target == 0) return outcome;
    outcome.delivered = true;
    bool ordered = poster.awaitPendingInput(target);
    const std::vector<PlannedMessage>& messages = plan.messages;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const PlannedMessage& message = messages[i];
        // A key-down whose character coming late would show: the last
        // Backspace before the text, a line break before the next line.
        const bool transition = message.kind == MessageKind::KeyDown && message.code != VkLeft &&
                                i + 1 < messages.size() && !(messages[i + 1] == message);
        const std::optional<CaretPosition> caretBefore =
            ordered && transition ? poster.caret(target) : std::optional<CaretPosition>();
        const std::int64_t posted = poster.nowMicroseconds();
        poster.post(target, message);
        std::int64_t due = posted + std::int64_t{message.waitMs} * 1000;
        if (ordered) {
            ordered = poster.roundTrip(target);
            if (ordered && makesCharacter(message)) {
                due = std::max(due, poster.nowMicroseconds() +
                                        (transition ? BarrierTransitionPauseMicroseconds : BarrierPauseMicroseconds));
            }
        }
        std::int64_t now = poster.nowMicroseconds();
        if (now < due) poster.waitMicroseconds(due - now);
        if (ordered) ordered = poster.roundTrip(target);
        if (ordered && caretBefore) {
            const std::int64_t giveUp = poster.nowMicroseconds() + CaretMoveTimeoutMicroseconds;
            while (poster.caret(target) == caretBefore && (now = poster.nowMicroseconds()) < giveUp) {
                poster.waitMicroseconds(1'000);
            }
        }
    }
    outcome.orderedThroughout = ordered;
    return outcome;
}

std::optional<ExpansionPlan> runExpansion(std::u16string_view word, std::uint32_t trigger, const ExpansionTable& table,
                                          ExpansionGate& gate, MessagePoster& poster, DeliveryOutcome* outcome) {
    std::optional<ExpansionPlan> plan = planExpansion(word, trigger, table);
    if (!plan) return plan;
    const TypingScope typing(gate);
    const DeliveryOutcome delivered = deliverPlan(*plan, poster);
    if (outcome) *outcome = delivered;
    return plan;
}

}  // namespace calmirande
