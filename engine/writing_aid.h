#pragma once
// The writing aid's decisions, apart from Windows: which rows of the active
// list the typed word selects, how tall the strip is, where it goes on the
// screen, and what one key does to the strip. The window layer
// (writing_aid_win32.cpp) only applies the results.
//
// Everything here runs on the main thread, called from the keyboard hook:
// the keys are lower-cased and sorted once when a list becomes active, so one
// key costs a binary search and a walk over the rows it selects, and
// allocates nothing for words of up to seven units.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lists/list_file.h"

namespace calmirande {

// Shorter aid words hide the strip.
inline constexpr std::size_t MinAidWordLength = 2;

inline constexpr int AidWindowWidth = 800;
inline constexpr int AidWindowInitialHeight = 77;
// Room for the panel's border and the list view's edge around the rows.
inline constexpr int AidFrameHeight = 4;

// Rows whose key begins with the word, compared without regard to case.
struct AidMatch {
    std::size_t first = 0;                // first row beginning with the word
    std::size_t last = 0;                 // last such row; the strip shows first..last
    std::optional<std::size_t> exact;     // first row equal to the word
    friend bool operator==(const AidMatch&, const AidMatch&) = default;
};

// The rows' keys, lower-cased once when a list becomes active. Rows keep
// their file order and their duplicates: row i here is row i of the list view.
class WritingAidModel {
public:
    WritingAidModel() = default;
    explicit WritingAidModel(const AbbreviationList& rows);

    std::size_t rowCount() const noexcept { return byKey_.size(); }
    std::u16string_view lowerKey(std::size_t row) const noexcept {
        return std::u16string_view(keys_).substr(starts_[row], starts_[row + 1] - starts_[row]);
    }

private:
    friend std::optional<AidMatch> matchWritingAid(const WritingAidModel&, std::u16string_view);

    // Key i is keys_[starts_[i], starts_[i + 1]).
    std::vector<std::uint32_t> starts_{0};
    std::u16string keys_;
    // Row numbers sorted by lower-cased key, equal keys in row order: the
    // rows beginning with a word are one run of it, found by binary search,
    // and the first of the run is the first row equal to the word, if any.
    std::vector<std::uint32_t> byKey_;
};

// "Without regard to case": both sides are lower-cased through the program's
// one lower-casing seam (CharLowerBuffW on Windows) and compared unit by
// unit. The list view's own search folds case with lstrcmpiW-style
// comparison (CompareStringW with NORM_IGNORECASE; Wine's comctl32 uses
// StrCmpNIW / StrCmpIW); the two agree on single-unit case pairs, which is
// all a typed abbreviation holds, and the seam is what the expansion uses to
// lower-case the typed word, so the strip and the expansion fold alike.
// Nothing when no key begins with the word. The word is taken as typed.
std::optional<AidMatch> matchWritingAid(const WritingAidModel& model, std::u16string_view aidWord);

// Whether the word shows any row: long enough, and some key begins with it.
// When it does not, a key only hides the strip.
bool writingAidSelects(const WritingAidModel& model, std::u16string_view aidWord);

// Pixels of the strip for `count` rows of `rowHeight` pixels.
int writingAidHeight(std::size_t count, int rowHeight);

// A window rectangle in screen pixels.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The strip's left edge: centred on display 0 (the primary), or on display 1
// when there are exactly two displays and the foreground window's centre is
// right of display 0's width. Widths are in display order, primary first;
// without a foreground rectangle the strip goes to display 0. Divisions
// truncate toward zero, as the strip has always been placed.
int writingAidX(std::span<const int> displayWidths, const std::optional<ScreenRect>& foreground);

// One display device as the system enumerates it.
struct DisplayDevice {
    int width = 0;  // current horizontal resolution
    bool attachedToDesktop = false;
    bool primary = false;
};
// Widths of the displays attached to the desktop: the primary first, then
// the others in enumeration order.
std::vector<int> desktopDisplayWidths(std::span<const DisplayDevice> devices);

enum class AidColouring : std::uint8_t {
    Exact,   // the row equals the word: red on white
    Prefix,  // no row equals it, the first match: blue on white
};

struct Rgb {
    std::uint8_t red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb AidBackground{255, 255, 255};
inline constexpr Rgb aidTextColour(AidColouring colouring) {
    return colouring == AidColouring::Exact ? Rgb{255, 0, 0} : Rgb{0, 0, 255};
}

// What one captured key does to the strip, in the order the window layer
// applies it: hide and stop; or resize to `height`, show it (without
// activating it) when `show` and a foreground window exists, take the
// colours off `uncolourRow`, scroll so that `topRow` is the top row, and
// colour `colourRow`. Everything after the resize happens whether the strip
// is shown or not, so it is right the moment the setting is switched on.
struct WritingAidUpdate {
    bool hide = true;
    int height = 0;
    bool show = false;
    std::optional<std::size_t> uncolourRow;
    std::size_t topRow = 0;
    std::size_t colourRow = 0;
    AidColouring colouring = AidColouring::Prefix;
    friend bool operator==(const WritingAidUpdate&, const WritingAidUpdate&) = default;
};

// `highlightedRow` is the row coloured by the previous update, if any; after
// an update that does not hide, it becomes `colourRow`. A hide leaves the
// colours as they are.
WritingAidUpdate decideWritingAidUpdate(const WritingAidModel& model, std::u16string_view aidWord,
                                        bool writingAidEnabled, std::optional<std::size_t> highlightedRow,
                                        int rowHeight);

// Vertical pixels to scroll the list view by so that `targetTop` becomes its
// top row, from the top row it shows now.
int writingAidScrollBy(std::size_t targetTop, int currentTop, int rowHeight);

}  // namespace calmirande
