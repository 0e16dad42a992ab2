// The writing aid's per-key work, against the way a list view answers the
// same question: one LVM_FINDITEMW for the first match, one per row up to
// the last match, one for the exact row (n + 2 searches, each a scan).
//
// Built twice: as benchmarks (calmirande_bench), and with
// CALMIRANDE_AID_AGREEMENT_TEST as a unit test checking that the indexed
// match gives the list view's answer on randomized lists.

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "common/lower_case.h"
#include "engine/writing_aid.h"

namespace calmirande {
namespace {

// The list view's search, as comctl32 does it without LVFI_WRAP: from the row
// after `start`, copy each row's text out of the control and compare it
// without regard to case, whole or over the word's length (LVFI_PARTIAL).
// Generous to the control: no message dispatch per search, and the seam's
// folding costs less than the linguistic comparison comctl32 makes.
int listViewFind(const AbbreviationList& rows, int start, std::u16string_view lowerWord, bool partial) {
    for (int row = start + 1; row < static_cast<int>(rows.size()); ++row) {
        std::u16string text = rows[static_cast<std::size_t>(row)].key;
        if (partial && text.size() > lowerWord.size()) text.resize(lowerWord.size());
        lowerCaseInPlace(text);
        if (text == lowerWord) return row;
    }
    return -1;
}

// The n + 2 searches: first prefix match, then one search after each row up
// to the last match, then the first exact match.
std::optional<AidMatch> listViewMatch(const AbbreviationList& rows, std::u16string_view aidWord) {
    const std::u16string word = toLowerCase(aidWord);
    const int first = listViewFind(rows, -1, word, true);
    if (first < 0) return std::nullopt;
    int count = 1;
    for (int row = first; row <= static_cast<int>(rows.size()); ++row) {
        if (listViewFind(rows, row, word, true) < 0) break;
        ++count;
    }
    AidMatch match{static_cast<std::size_t>(first), static_cast<std::size_t>(first + count - 1), std::nullopt};
    const int exact = listViewFind(rows, -1, word, false);
    if (exact >= 0) match.exact = static_cast<std::size_t>(exact);
    return match;
}

// 2000 rows, 500 of them beginning with "ma" (and one equal to it); the rest
// under other two-letter starts. Sorted by key, as the editor keeps a list,
// or shuffled with a fixed seed.
AbbreviationList benchRows(bool sorted) {
    static const char16_t* const starts[] = {u"ab", u"bo", u"ch", u"de", u"en", u"fa", u"je", u"pr", u"qu", u"vo"};
    AbbreviationList rows;
    rows.push_back({u"ma", u"madame"});
    const auto number = [](int n) {
        const std::string digits = std::to_string(n);
        return std::u16string(digits.begin(), digits.end());
    };
    for (int i = 1; i < 500; ++i) {
        rows.push_back({u"ma" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + number(i), u"texte"});
    }
    for (int i = 0; i < 1500; ++i) rows.push_back({starts[i % 10] + number(i * 7919 % 100000), u"texte"});
    if (sorted) {
        std::sort(rows.begin(), rows.end(), [](const Abbreviation& a, const Abbreviation& b) { return a.key < b.key; });
    } else {
        std::shuffle(rows.begin(), rows.end(), std::mt19937(20261207));
    }
    return rows;
}

}  // namespace
}  // namespace calmirande

#ifdef CALMIRANDE_AID_AGREEMENT_TEST

#include <gtest/gtest.h>

namespace calmirande {
namespace {

// Small alphabets so that prefixes, exact rows, duplicates and gaps are common.
AbbreviationList randomRows(std::mt19937& random) {
    static const char16_t units[] = {u'a', u'A', u'b', u'é', u'É', u'c'};
    std::uniform_int_distribution<int> rowCount(0, 40), keyLength(0, 6), unit(0, 5);
    AbbreviationList rows(static_cast<std::size_t>(rowCount(random)));
    for (Abbreviation& row : rows) {
        const int length = keyLength(random);
        for (int i = 0; i < length; ++i) row.key += units[unit(random)];
    }
    return rows;
}

TEST(WritingAidAgreement, MatchEqualsTheListViewSearches) {
    std::mt19937 random(1207);
    std::uniform_int_distribution<int> wordLength(0, 6), unit(0, 5);
    static const char16_t units[] = {u'a', u'A', u'b', u'é', u'É', u'c'};
    for (int list = 0; list < 3000; ++list) {
        const AbbreviationList rows = randomRows(random);
        const WritingAidModel model(rows);
        for (int w = 0; w < 8; ++w) {
            std::u16string word;
            const int length = wordLength(random);
            for (int i = 0; i < length; ++i) word += units[unit(random)];
            ASSERT_EQ(matchWritingAid(model, word), listViewMatch(rows, word)) << "list " << list << " word " << w;
        }
    }
}

TEST(WritingAidAgreement, BenchmarkRowsGiveTheSameAnswer) {
    for (const bool sorted : {true, false}) {
        const AbbreviationList rows = benchRows(sorted);
        const WritingAidModel model(rows);
        for (const std::u16string_view word : {u"ma", u"MA", u"mab", u"pr1", u"zz", u"de79"}) {
            EXPECT_EQ(matchWritingAid(model, word), listViewMatch(rows, word));
        }
    }
}

}  // namespace
}  // namespace calmirande

#else

#include <benchmark/benchmark.h>

#include "sample_list.h"

namespace calmirande {
namespace {

void listViewSearches(benchmark::State& state, bool sorted) {
    const AbbreviationList rows = benchRows(sorted);
    for (auto _ : state) benchmark::DoNotOptimize(listViewMatch(rows, u"ma"));
}

void aidMatch(benchmark::State& state, bool sorted) {
    const WritingAidModel model(benchRows(sorted));
    for (auto _ : state) benchmark::DoNotOptimize(matchWritingAid(model, u"ma"));
}

// Everything the keyboard hook's call decides for one key, before any
// list-view message: the word "ma" selects 500 of 2000 rows.
void aidDecision(benchmark::State& state, std::u16string_view word) {
    const WritingAidModel model(benchRows(true));
    std::optional<std::size_t> highlighted = 3;
    for (auto _ : state) {
        const WritingAidUpdate update = decideWritingAidUpdate(model, word, true, highlighted, 17);
        benchmark::DoNotOptimize(update);
    }
}

// The sample list's 2000 keys all begin with "ab": the widest walk.
void BM_AidDecisionEveryRowMatches(benchmark::State& state) {
    const WritingAidModel model(parseActiveList(bench::sampleListBytes()).aidRows);
    for (auto _ : state) benchmark::DoNotOptimize(decideWritingAidUpdate(model, u"ab", true, 3, 17));
}

void BM_AidListViewSearchesSorted(benchmark::State& state) { listViewSearches(state, true); }
void BM_AidMatchSorted(benchmark::State& state) { aidMatch(state, true); }
void BM_AidListViewSearchesShuffled(benchmark::State& state) { listViewSearches(state, false); }
void BM_AidMatchShuffled(benchmark::State& state) { aidMatch(state, false); }
void BM_AidDecisionPerKey(benchmark::State& state) { aidDecision(state, u"ma"); }
void BM_AidDecisionLongWord(benchmark::State& state) { aidDecision(state, u"Mab1"); }
void BM_AidDecisionNoMatch(benchmark::State& state) { aidDecision(state, u"xylophone"); }

BENCHMARK(BM_AidListViewSearchesSorted)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AidMatchSorted)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AidListViewSearchesShuffled)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AidMatchShuffled)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AidDecisionPerKey)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AidDecisionLongWord)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AidDecisionNoMatch)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_AidDecisionEveryRowMatches)->Repetitions(9)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace calmirande

#endif
