#include "engine/expansion_worker.h"

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

}  // namespace

void deliverPlan(const ExpansionPlan& plan, MessagePoster& poster) {
    const MessagePoster::Window target = poster.focusedWindow();
    if (target == 0) return;
    poster.awaitPendingInput(target);
    for (const PlannedMessage& message : plan.messages) {
        poster.post(target, message);
        poster.wait(message.waitMs);
    }
}

std::optional<ExpansionPlan> runExpansion(std::u16string_view word, std::uint32_t trigger, const ExpansionTable& table,
                                          ExpansionGate& gate, MessagePoster& poster) {
    std::optional<ExpansionPlan> plan = planExpansion(word, trigger, table);
    if (!plan) return plan;
    const TypingScope typing(gate);
    deliverPlan(*plan, poster);
    return plan;
}

}  // namespace calmirande
