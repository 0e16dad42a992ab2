#include "engine/expansion_worker.h"

#include <algorithm>
#include <cstddef>

namespace calmirande {
namespace {

// Ends the expansion the hook began, on every path out of the worker.
class TypingEnd {
public:
    explicit TypingEnd(ExpansionGate& gate) : gate_(gate) {}
    ~TypingEnd() { gate_.endTyping(); }
    TypingEnd(const TypingEnd&) = delete;
    TypingEnd& operator=(const TypingEnd&) = delete;

private:
    ExpansionGate& gate_;
};

void appendShift(std::vector<InputEvent>& out, const ModifierKeys& modifiers, bool keyUp) {
    if (modifiers.leftShift) out.push_back({InputKind::VirtualKey, static_cast<std::uint16_t>(VkLShift), keyUp});
    if (modifiers.rightShift) out.push_back({InputKind::VirtualKey, static_cast<std::uint16_t>(VkRShift), keyUp});
}

DeliveryResult sendBlock(const std::vector<InputEvent>& block, const WordEnd& end, InputSink& sink) {
    std::vector<InputEvent> part;
    for (std::size_t first = 0; first < block.size(); first += part.size()) {
        if (first > 0 && sink.stopRequested()) return DeliveryResult::Stopped;
        if (first > 0 && !(sink.focus() == end.focus)) return DeliveryResult::FocusLost;
        const std::size_t count = std::min(MaxEventsPerCall, block.size() - first);
        part.assign(block.begin() + static_cast<std::ptrdiff_t>(first),
                    block.begin() + static_cast<std::ptrdiff_t>(first + count));
        if (sink.send(part) != part.size()) return DeliveryResult::Incomplete;
    }
    return DeliveryResult::Sent;
}

}  // namespace

DeliveryVerdict judgeDelivery(const WordEnd& end, const FocusTarget& focusNow, std::uint32_t userKeyPressesNow,
                              const ModifierKeys& modifiers, bool modifierWaitOver) {
    // A key typed on is already in the target after the ending key: the
    // Backspaces would erase it instead of the word.
    if (userKeyPressesNow != end.userKeyPresses) return DeliveryVerdict::DropTypedOn;
    if (focusNow.focus == 0) return DeliveryVerdict::DropNoFocus;
    if (!(focusNow == end.focus)) return DeliveryVerdict::DropFocusChanged;
    if (modifiers.control || modifiers.alt || modifiers.windows) {
        return modifierWaitOver ? DeliveryVerdict::DropModifiersHeld : DeliveryVerdict::Wait;
    }
    return DeliveryVerdict::Send;
}

std::vector<InputEvent> blockToSend(const ExpansionPlan& plan, const ModifierKeys& atWordEnd) {
    std::vector<InputEvent> block;
    block.reserve(plan.events.size() + 4);
    appendShift(block, atWordEnd, true);
    block.insert(block.end(), plan.events.begin(), plan.events.end());
    appendShift(block, atWordEnd, false);
    return block;
}

DeliveryResult deliverPlan(const ExpansionPlan& plan, const WordEnd& end, InputSink& sink) {
    const std::int64_t start = sink.nowMicroseconds();
    for (;;) {
        const ModifierKeys modifiers = sink.modifiers();
        const bool waitOver = sink.nowMicroseconds() - start >= ModifierReleaseTimeoutMicroseconds;
        switch (judgeDelivery(end, sink.focus(), sink.userKeyPresses(), modifiers, waitOver)) {
            case DeliveryVerdict::Send: {
                const PacketSupport packets = sink.packetSupport();
                if (packets == PacketSupport::All) return sendBlock(blockToSend(plan, end.modifiers), end, sink);
                const std::optional<ExpansionPlan> typed = planForTarget(plan, packets, sink);
                if (!typed) return DeliveryResult::Untypable;
                return sendBlock(blockToSend(*typed, end.modifiers), end, sink);
            }
            case DeliveryVerdict::Wait: sink.waitMicroseconds(ModifierPollMicroseconds); break;
            case DeliveryVerdict::DropTypedOn: return DeliveryResult::TypedOn;
            case DeliveryVerdict::DropFocusChanged: return DeliveryResult::FocusChanged;
            case DeliveryVerdict::DropNoFocus: return DeliveryResult::NoFocus;
            case DeliveryVerdict::DropModifiersHeld: return DeliveryResult::ModifiersHeld;
        }
    }
}

std::optional<ExpansionPlan> runExpansion(const CompletedWord& word, const ExpansionTable& table, ExpansionGate& gate,
                                          InputSink& sink, DeliveryResult* result) {
    const TypingEnd typingEnd(gate);
    std::optional<ExpansionPlan> plan = planExpansion(word.word, word.trigger, table);
    if (!plan) return plan;
    const DeliveryResult delivered = deliverPlan(*plan, word.end, sink);
    if (result) *result = delivered;
    return plan;
}

}  // namespace calmirande
