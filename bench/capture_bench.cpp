// The keyboard hook's decision work for one key, as the hook does it with a
// 2000-row active list: the capture of the key, then the writing aid's
// decision for the word so far. The platform's translation is a stand-in
// that answers at once (ToUnicode's own cost is not ours to measure here).

#include <benchmark/benchmark.h>

#include "engine/word_capture.h"
#include "engine/writing_aid.h"
#include "lists/list_file.h"
#include "sample_list.h"

namespace calmirande {
namespace {

class InstantTranslator final : public KeyTranslator {
public:
    KeyboardState readKeyboardState() override { return {}; }
    Translation translate(std::uint32_t vkCode, std::uint32_t, const KeyboardState&) override {
        if (vkCode == 0x20) return {1, {u' '}};
        if (vkCode >= 'A' && vkCode <= 'Z') return {1, {char16_t(vkCode - 'A' + 'a')}};
        if (vkCode >= '0' && vkCode <= '9') return {1, {char16_t(vkCode)}};
        return {0, {}};
    }
};

void BM_HookDecisionPerKey(benchmark::State& state) {
    const ActiveList list = parseActiveList(bench::sampleListBytes());
    const WritingAidModel model(list.aidRows);
    WordCapture capture;
    InstantTranslator translator;
    // "ab1234" matches a handful of the sample's keys on the way, then the
    // Space ends the word: the cycle of a typed abbreviation.
    const std::uint32_t keys[] = {'A', 'B', '1', '2', '3', '4', 0x20};
    std::optional<std::size_t> highlighted;
    std::size_t next = 0;
    for (auto _ : state) {
        const std::uint32_t vk = keys[next];
        next = (next + 1) % std::size(keys);
        const CaptureEffects effects = capture.onKey({0, WmKeyDown, vk, 0, 0}, true, true, translator);
        const WritingAidUpdate update = decideWritingAidUpdate(model, effects.aidWord, true, highlighted, 13);
        if (!update.hide) highlighted = update.colourRow;
        benchmark::DoNotOptimize(update);
        benchmark::DoNotOptimize(effects);
    }
}
BENCHMARK(BM_HookDecisionPerKey)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace calmirande
