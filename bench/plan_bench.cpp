#include <benchmark/benchmark.h>

#include "engine/expansion_plan.h"
#include "lists/list_file.h"
#include "sample_list.h"

namespace calmirande {
namespace {

void planWord(benchmark::State& state, std::u16string word) {
    // The 2000 rows of the sample list, plus the words planned.
    ActiveList list = parseActiveList(bench::sampleListBytes());
    ExpansionTable::Builder builder(list.aidRows.size() + 2);
    for (const Abbreviation& row : list.aidRows) builder.set(row.key, decodeStoredText(row.storedText));
    builder.set(u"fpol", u"Je vous prie d'agréer, (*1), mes sentiments distingués");
    builder.set(u"bjr", u"Bonjour\r\nPaul");
    list.table = std::move(builder).build();
    for (auto _ : state) benchmark::DoNotOptimize(planExpansion(word, 0x20, *list.table));
}

void BM_PlanPlainWord(benchmark::State& state) { planWord(state, u"BJR"); }
void BM_PlanWordWithParameter(benchmark::State& state) { planWord(state, u"fpol*Monsieur*"); }
void BM_PlanCaretPlacement(benchmark::State& state) { planWord(state, u"fpol"); }
void BM_PlanUnknownWord(benchmark::State& state) { planWord(state, u"inconnu"); }

BENCHMARK(BM_PlanPlainWord)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlanWordWithParameter)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlanCaretPlacement)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_PlanUnknownWord)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace calmirande
