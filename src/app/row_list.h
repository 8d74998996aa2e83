// A list of check-box rows inside a bordered box: the findings of the Hijack,
// Browser and Process pages.
//
// The list is data: each row's caption, tick and tool-tip key (what a row
// stands for is the page's to keep, in a row of its own). Real
// check boxes, copies of the hidden template row (element 0), show the rows in
// view and a view's worth around them, and are handed on to other rows as the
// list scrolls; a list of any length costs a few dozen windows. A window
// showing row k is element k of the array (its id is element 0's id + k), so
// what the user and a screen reader meet is the same check box as ever.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace wd::app {

class RowBoxList {
public:
    enum class Columns {
        One,  // rows 30 twips apart, Tag = unscrolled Top, scrolled by a bar
        Two,  // two columns of 16 rows with no gap
    };

    // `bar` is null for a list that does not scroll; `rowWidth` is the width
    // given to one-column rows.
    RowBoxList(ui::Toolkit& tk, ui::Picture& box, ui::CheckBox& element0, ui::VScrollBar* bar, Columns columns,
               int rowWidth);

    // The extra units recomputeScrollRange adds: when the page is selected,
    // and after a removal has listed the rows anew.
    static constexpr int kExtraWhenShown = 2;
    static constexpr int kExtraAfterRemoval = 1;

    // Takes rows 1 to count away; the template stays.
    void clear();
    // Adds row count + 1 with this caption, unticked. `toolTipKey` names what
    // the row's tool tip shows (empty: none); its text comes from toolTipText
    // when the tip is about to show, and is kept while the row's window keeps
    // the key. A window that comes back to a row with what it showed before
    // costs no work (the toolkit skips what does not change).
    void append(std::string_view caption, std::string_view toolTipKey = {});
    // Sets the scroll bar's maximum from the last row's unscrolled Top (its
    // Tag), plus `extra`.
    void recomputeScrollRange(int extra);
    // The scroll bar's change action: every row to its Tag less value × 180.
    void scrollRows();

    // Two-column lists: a scroll bar that shows only while rows lie below the
    // box, one row (255 twips) per unit. fitScrollBar sets its range after a
    // fill and moves the rows to the current value.
    void setColumnScrollBar(ui::VScrollBar* bar);
    void fitScrollBar();
    // The select-all button's action.
    void tickAll(bool& selectAllNext, ui::Button& button);

    std::int32_t count() const { return count_; }
    bool hasRow(int k) const { return k >= 1 && k <= count_; }
    // Row k, 1 to count.
    const std::string& caption(int k) const { return at(k).caption; }
    bool ticked(int k) const { return at(k).ticked; }
    void setTicked(int k, bool on);
    // Where row k stands in the box now, as its window does when it has one.
    ui::Rect rect(int k) const;
    // The window that shows row k (a row in view, or one near it), or null.
    ui::CheckBox* window(int k);
    // How many windows the list holds, shown or waiting for a row.
    std::size_t windowCount() const { return windows_.size(); }

    // A run of rows, `from` to `to`.
    struct Range {
        int from = 0, to = 0;
    };

    // Called with the row number whenever a mouse button goes down on a row.
    std::function<void(int row, ui::MouseButton, int x, int y)> onRowMouseDown;
    // The text of row k's tool tip, asked when the tip is about to show.
    std::function<std::string(int row)> toolTipText;
    // How many times the list has been cleared: a key made with it changes at
    // every refill, for tips that must be read anew after one.
    int fills() const { return fills_; }

private:
    struct Row {
        std::string caption;
        std::string toolTipKey;
        bool ticked = false;
    };
    // A window and the row it shows (0: none).
    struct Shown {
        std::unique_ptr<ui::CheckBox> box;
        int row = 0;
    };

    const Row& at(int k) const { return rows_.at(static_cast<std::size_t>(k - 1)); }
    // The rows that have windows at the current scroll: those in view and a
    // view's worth on either side, in row order (one run per column).
    struct Ranges {
        Range runs[2];
        int count = 0;
    };
    Ranges rangesNearView() const;
    std::vector<int> rowsNearView() const;
    // Whether row k is near the view, and which window (in row order) is its.
    bool nearSlot(int k, std::size_t& slot) const;
    // Gives the windows to the rows near the view, in row order, and hides
    // the ones left over.
    void place();
    void show(Shown& shown, int row);
    long long offset() const;

    ui::Toolkit& tk_;
    ui::Picture& box_;
    ui::CheckBox& element0_;
    std::int32_t count_ = 0;
    ui::VScrollBar* bar_;
    Columns columns_;
    int rowWidth_;
    std::vector<Row> rows_;
    std::vector<Shown> windows_;
    // One column: the scroll offset the rows were last moved by. A refill
    // puts its rows at their unscrolled places until the value changes.
    long long oneColumnOffset_ = 0;
    int fills_ = 0;
};

}  // namespace wd::app
