#pragma once
// The writing aid's window: a translucent strip at the top of the screen,
// topmost, never activated, that mouse clicks go through. A panel with a
// one-pixel border holds a list view of the active list's rows (key, stored
// text). Every decision comes from engine/writing_aid.h; this layer applies
// it to the windows.
//
// Main thread only: created at start-up, updated from the keyboard hook,
// hidden from the mouse hook, the tray and the editor. If creation fails,
// every later call does nothing.

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "common/base_window_win32.h"
#include "common/unique_handle_win32.h"
#include "engine/writing_aid.h"
#include "lists/list_file.h"

namespace calmirande {

class WritingAidWindow;

// The list view's parent: it receives the list view's custom-draw
// notifications and hands them to the strip.
class WritingAidPanel final : public BaseWindow<WritingAidPanel> {
public:
    bool create(HINSTANCE instance, HWND strip, WritingAidWindow& owner) noexcept;
    void destroy() noexcept;
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    WritingAidWindow* owner_ = nullptr;  // we don't own it: it owns us
};

class WritingAidWindow final : public BaseWindow<WritingAidWindow> {
public:
    WritingAidWindow() = default;
    ~WritingAidWindow() override;

    // `font` is the program's Arial 8 pt bold, owned by the caller and alive
    // as long as this window; without one, the window makes its own.
    // False when the strip could not be made: it then stays inert.
    bool create(HINSTANCE instance, HFONT font = nullptr) noexcept;

    // The rows of a newly loaded active list, in file order.
    void setRows(const AbbreviationList& rows) noexcept;

    // After each key the keyboard hook processes, with the abbreviation part
    // of the typed word.
    void update(std::u16string_view aidWord, bool writingAidEnabled) noexcept;

    void hide() noexcept;
    // Whether update() would show rows for this word rather than hide.
    bool selects(std::u16string_view aidWord) const noexcept;

    int rowHeight() const noexcept { return rowHeight_; }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    friend class WritingAidPanel;

    LRESULT customDraw(NMLVCUSTOMDRAW& draw) const noexcept;
    bool place() noexcept;
    void refreshDisplays() noexcept;
    void resize(int height) noexcept;
    void redrawRow(std::size_t row) noexcept;
    int measureRowHeight() noexcept;

    WritingAidPanel panel_;
    UniqueWindow listView_;  // a child of the panel, destroyed before it
    UniqueFont ownFont_;
    HFONT font_ = nullptr;  // ownFont_ or the caller's; we don't own the caller's

    WritingAidModel model_;
    std::vector<int> displayWidths_;  // primary first; refreshed on WM_DISPLAYCHANGE
    int rowHeight_ = 0;
    std::optional<std::size_t> highlightedRow_;
    AidColouring highlight_ = AidColouring::Prefix;
};

}  // namespace calmirande
