#include <algorithm>
#include <cstdint>
#include <iterator>

#include "common/lower_case.h"

namespace calmirande {
namespace {

struct CaseRun {
    std::uint16_t first;
    std::uint16_t last;
    std::int32_t delta;
    std::uint16_t step;
};

constexpr CaseRun kRuns[] = {
#include "common/lower_case_table.inc"
};

char16_t lowerUnit(char16_t unit) {
    if (unit < 0x80) return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + 32) : unit;
    const auto after = std::upper_bound(std::begin(kRuns), std::end(kRuns), unit,
                                        [](char16_t u, const CaseRun& run) { return u < run.first; });
    if (after == std::begin(kRuns)) return unit;
    const CaseRun& run = *std::prev(after);
    if (unit > run.last || (unit - run.first) % run.step != 0) return unit;
    return static_cast<char16_t>(unit + run.delta);
}

}  // namespace

void lowerCaseInPlace(std::u16string& text) {
    for (char16_t& unit : text) unit = lowerUnit(unit);
}

}  // namespace calmirande
