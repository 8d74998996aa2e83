// A list of check-box rows inside a bordered box: the findings of the Hijack,
// Browser and Process pages. Rows are copies of a hidden template row
// (element 0), made and destroyed whole at every refill.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace wd::app {

class RowBoxList {
public:
    enum class Columns {
        One,  // rows 30 twips apart, Tag = unscrolled Top, scrolled by a bar
        Two,  // two columns of 16 rows with no gap, Tag = caller's text
    };

    // `count` is the row count the main window keeps for this list; `bar` is
    // null for a list that does not scroll; `rowWidth` is the width given to
    // one-column rows.
    RowBoxList(ui::Toolkit& tk, ui::Picture& box, ui::CheckBox& element0, std::int32_t& count,
               ui::VScrollBar* bar, Columns columns, int rowWidth);

    // Takes rows 1 to count away (hidden, kept for the next fill); the
    // template stays.
    void clear();
    // Adds row count + 1 with this caption. For a two-column list `tag` is the
    // row's Tag; a one-column row's Tag is its unscrolled Top. `toolTipKey`
    // names what the row's tool tip shows (empty: none); its text comes from
    // toolTipText when the tip is about to show, and is kept while the row
    // keeps the key. A kept row that comes back with what it showed before
    // costs no window any work (the toolkit skips what does not change).
    void append(std::string_view caption, std::string_view tag = {}, std::string_view toolTipKey = {});
    // Sets the scroll bar's maximum from the last row's Tag.
    void recomputeScrollRange(int extra);
    // The scroll bar's change action: every row to its Tag less value × 180.
    void scrollRows();

    // Two-column lists: a scroll bar that shows only while rows lie below the
    // box, one row (255 twips) per unit. fitScrollBar sets its range after a
    // fill and moves the new rows to the current value.
    void setColumnScrollBar(ui::VScrollBar* bar);
    void fitScrollBar();
    // The select-all button's action.
    void tickAll(bool& selectAllNext, ui::Button& button);

    std::int32_t count() const { return count_; }
    // Row k, 1-based; element 0 is the template.
    ui::CheckBox& row(int k);
    bool hasRow(int k) const { return k >= 1 && k <= count_; }

    // Called with the row number whenever a mouse button goes down on a row.
    std::function<void(int row, ui::MouseButton, int x, int y)> onRowMouseDown;
    // The text of row k's tool tip, asked when the tip is about to show.
    std::function<std::string(int row)> toolTipText;
    // How many times the list has been cleared: a key made with it changes at
    // every refill, for tips that must be read anew after one.
    int fills() const { return fills_; }

private:
    ui::CheckBox& element(int k);

    ui::Toolkit& tk_;
    ui::Picture& box_;
    ui::CheckBox& element0_;
    std::int32_t& count_;
    ui::VScrollBar* bar_;
    Columns columns_;
    int rowWidth_;
    // rows_[k - 1] is row k for k up to count; beyond count, rows made for an
    // earlier, longer fill wait hidden for the next one.
    std::vector<std::unique_ptr<ui::CheckBox>> rows_;
    std::vector<int> baseTops_;                        // two columns: unscrolled Tops
    int fills_ = 0;
};

}  // namespace wd::app
