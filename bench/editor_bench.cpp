#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "editor/editor_model.h"
#include "editor/field_guards.h"
#include "lists/file_store_posix.h"
#include "lists/list_file.h"
#include "sample_list.h"

namespace calmirande {
namespace {

// A lists folder holding the sample list, as the current directory for the
// benchmark's lifetime.
class BenchFolder {
public:
    explicit BenchFolder(std::size_t rows) : previous_(std::filesystem::current_path()) {
        std::filesystem::create_directories(dir_ / "Listes");
        const std::string bytes = bench::sampleListBytes(rows);
        std::ofstream(dir_ / "Listes" / "Bench.dat", std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        std::filesystem::current_path(dir_);
    }
    ~BenchFolder() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

private:
    std::filesystem::path dir_ = std::filesystem::temp_directory_path() / "calmirande-editor-bench";
    std::filesystem::path previous_;
};

// Start-up and a tray choice: the selector built and the list's 2000 rows read.
void BM_OpenEditorOn2000Rows(benchmark::State& state) {
    BenchFolder folder(2000);
    PosixFileStore files;
    for (auto _ : state) {
        EditorModel model({u"Bench.dat"});
        benchmark::DoNotOptimize(model.showChosenList(files, u"Bench.dat"));
        benchmark::DoNotOptimize(model.rows().data());
    }
}
BENCHMARK(BM_OpenEditorOn2000Rows)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// "Ajouter" bringing a list of 1999 rows to 2000: the checks, the append and
// the sort of every row. The row is deleted again outside the timing.
void BM_AddAndSort2000Rows(benchmark::State& state) {
    BenchFolder folder(1999);
    PosixFileStore files;
    EditorModel model({u"Bench.dat"});
    model.showChosenList(files, u"Bench.dat");
    for (auto _ : state) {
        model.keyFieldEdited(u"mm");
        model.replacementFieldEdited(u"  Un texte ajouté\r\navec\tune tabulation  ");
        benchmark::DoNotOptimize(model.addAbbreviation());
        state.PauseTiming();
        if (model.rows().size() != 2000) state.SkipWithError("the add was refused");
        model.deleteAbbreviation();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AddAndSort2000Rows)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// A column-title click on the replacement texts, alternating the direction.
void BM_TitleClickSort2000Rows(benchmark::State& state) {
    BenchFolder folder(1999);
    PosixFileStore files;
    EditorModel model({u"Bench.dat"});
    model.showChosenList(files, u"Bench.dat");
    model.keyFieldEdited(u"mm");
    model.replacementFieldEdited(u"texte");
    model.addAbbreviation();
    for (auto _ : state) benchmark::DoNotOptimize(model.clickColumnTitle(1));
}
BENCHMARK(BM_TitleClickSort2000Rows)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// One keystroke in the key field with no row matching: every row is
// lower-cased and compared, the longest walk a search makes.
void BM_KeySearchStep2000Rows(benchmark::State& state) {
    BenchFolder folder(2000);
    PosixFileStore files;
    EditorModel model({u"Bench.dat"});
    model.showChosenList(files, u"Bench.dat");
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        benchmark::DoNotOptimize(model.keyFieldEdited(flip ? u"ZY" : u"ZZ"));
    }
}
BENCHMARK(BM_KeySearchStep2000Rows)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// The same walk over the replacement texts, which are longer and encoded first.
void BM_TextSearchStep2000Rows(benchmark::State& state) {
    const AbbreviationList rows = parseListForEditing(bench::sampleListBytes(2000));
    const std::u16string typed = u"Je vous prie d'agréer, Madame\r\nx";
    for (auto _ : state) benchmark::DoNotOptimize(searchByText(rows, u"", typed));
}
BENCHMARK(BM_TextSearchStep2000Rows)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

// A save of 2000 rows as a switch or "Quitter" does it: serialised, written
// to the temporary file, flushed to the disk and renamed into place.
void BM_Save2000Rows(benchmark::State& state) {
    BenchFolder folder(2000);
    PosixFileStore files;
    const AbbreviationList rows = parseListForEditing(bench::sampleListBytes(2000));
    for (auto _ : state) benchmark::DoNotOptimize(saveList(files, u"Bench.dat", rows));
}
BENCHMARK(BM_Save2000Rows)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace calmirande
