#include "engine/writing_aid.h"

#include <algorithm>
#include <utility>

#include "common/lower_case.h"

namespace calmirande {

WritingAidModel::WritingAidModel(const AbbreviationList& rows) {
    starts_.reserve(rows.size() + 1);
    std::size_t total = 0;
    for (const Abbreviation& row : rows) total += row.key.size();
    keys_.reserve(total);
    for (const Abbreviation& row : rows) {
        keys_ += toLowerCase(row.key);
        starts_.push_back(static_cast<std::uint32_t>(keys_.size()));
    }
    byKey_.resize(rows.size());
    for (std::size_t row = 0; row < rows.size(); ++row) byKey_[row] = static_cast<std::uint32_t>(row);
    std::stable_sort(byKey_.begin(), byKey_.end(),
                     [this](std::uint32_t a, std::uint32_t b) { return lowerKey(a) < lowerKey(b); });
}

std::optional<AidMatch> matchWritingAid(const WritingAidModel& model, std::u16string_view aidWord) {
    std::u16string lowered(aidWord);
    lowerCaseInPlace(lowered);
    const std::u16string_view word = lowered;

    // Keys beginning with the word sort right after the word itself (or
    // where it would stand), one run in key order.
    const auto begin = std::lower_bound(model.byKey_.begin(), model.byKey_.end(), word,
                                        [&](std::uint32_t row, std::u16string_view w) { return model.lowerKey(row) < w; });
    const auto end = std::partition_point(begin, model.byKey_.end(),
                                          [&](std::uint32_t row) { return model.lowerKey(row).starts_with(word); });
    if (begin == end) return std::nullopt;

    const auto [first, last] = std::minmax_element(begin, end);
    AidMatch match{*first, *last, std::nullopt};
    if (model.lowerKey(*begin) == word) match.exact = *begin;
    return match;
}

bool writingAidSelects(const WritingAidModel& model, std::u16string_view aidWord) {
    return aidWord.size() >= MinAidWordLength && matchWritingAid(model, aidWord).has_value();
}

int writingAidHeight(std::size_t count, int rowHeight) {
    return static_cast<int>(count) * rowHeight + AidFrameHeight;
}

int writingAidX(std::span<const int> displayWidths, const std::optional<ScreenRect>& foreground) {
    if (displayWidths.empty()) return 0;
    const int primaryWidth = displayWidths[0];
    if (displayWidths.size() == 2 && foreground) {
        const int centre = foreground->left + (foreground->right - foreground->left) / 2;
        if (centre > primaryWidth) return primaryWidth + (displayWidths[1] - AidWindowWidth) / 2;
    }
    return (primaryWidth - AidWindowWidth) / 2;
}

std::vector<int> desktopDisplayWidths(std::span<const DisplayDevice> devices) {
    std::vector<int> widths;
    for (const DisplayDevice& device : devices) {
        if (!device.attachedToDesktop) continue;
        if (device.primary) {
            widths.insert(widths.begin(), device.width);
        } else {
            widths.push_back(device.width);
        }
    }
    return widths;
}

WritingAidUpdate decideWritingAidUpdate(const WritingAidModel& model, std::u16string_view aidWord,
                                        bool writingAidEnabled, std::optional<std::size_t> highlightedRow,
                                        int rowHeight) {
    WritingAidUpdate update;
    if (aidWord.size() < MinAidWordLength) return update;
    const std::optional<AidMatch> match = matchWritingAid(model, aidWord);
    if (!match) return update;

    update.hide = false;
    update.height = writingAidHeight(match->last - match->first + 1, rowHeight);
    update.show = writingAidEnabled;
    update.uncolourRow = highlightedRow;
    update.topRow = match->first;
    update.colourRow = match->exact.value_or(match->first);
    update.colouring = match->exact ? AidColouring::Exact : AidColouring::Prefix;
    return update;
}

int writingAidScrollBy(std::size_t targetTop, int currentTop, int rowHeight) {
    return rowHeight * (static_cast<int>(targetTop) - currentTop);
}

}  // namespace calmirande
