#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "lists/file_store_posix.h"
#include "lists/list_file.h"
#include "sample_list.h"

namespace calmirande {
namespace {

void BM_ParseActiveList2000(benchmark::State& state) {
    const std::string bytes = bench::sampleListBytes();
    for (auto _ : state) benchmark::DoNotOptimize(parseActiveList(bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_ParseActiveList2000)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// The whole load as the program does it: open, read, parse, build the table.
void BM_LoadActiveList2000(benchmark::State& state) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "calmirande-bench";
    std::filesystem::create_directories(dir / "Listes");
    {
        const std::string bytes = bench::sampleListBytes();
        std::ofstream(dir / "Listes" / "Bench.dat", std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    PosixFileStore files;
    ActiveList list;
    for (auto _ : state) {
        benchmark::DoNotOptimize(loadActiveList(files, u"Bench.dat", list));
        benchmark::DoNotOptimize(list);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadActiveList2000)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_ParseListForEditing2000(benchmark::State& state) {
    const std::string bytes = bench::sampleListBytes();
    for (auto _ : state) benchmark::DoNotOptimize(parseListForEditing(bytes));
}
BENCHMARK(BM_ParseListForEditing2000)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_SerializeList2000(benchmark::State& state) {
    const AbbreviationList rows = parseListForEditing(bench::sampleListBytes());
    for (auto _ : state) benchmark::DoNotOptimize(serializeList(rows));
}
BENCHMARK(BM_SerializeList2000)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace calmirande
