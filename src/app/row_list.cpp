#include "app/row_list.h"

#include <algorithm>
#include <optional>

#include "app/layout.h"

namespace wd::app {

namespace {

// Rounds towards minus infinity, where plain division rounds towards zero.
long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// One column of rows: rows `first` to `last`, row `first` at `top` before
// scrolling, `step` apart, `height` high.
struct Column {
    long long first, last, top, step, height;
};

// The rows of a column whose place lies within `margin` rows of the box.
std::optional<RowBoxList::Range> nearView(const Column& c, long long offset, long long boxHeight, long long margin) {
    if (c.last < c.first) return std::nullopt;
    // Row r stands at c.top + (r - c.first) * c.step - offset; it shows while
    // it overlaps 0 to boxHeight.
    const long long shownFrom = c.first + floorDiv(offset - c.top - c.height, c.step) + 1;
    const long long shownTo = c.first + floorDiv(offset + boxHeight - 1 - c.top, c.step);
    const long long from = std::max(c.first, shownFrom - margin);
    const long long to = std::min(c.last, shownTo + margin);
    if (to < from) return std::nullopt;
    return RowBoxList::Range{static_cast<int>(from), static_cast<int>(to)};
}

}  // namespace

RowBoxList::RowBoxList(ui::Toolkit& tk, ui::Picture& box, ui::CheckBox& element0, ui::VScrollBar* bar,
                       Columns columns, int rowWidth)
    : tk_(tk), box_(box), element0_(element0), bar_(bar), columns_(columns), rowWidth_(rowWidth) {}

long long RowBoxList::offset() const {
    if (columns_ == Columns::One) return oneColumnOffset_;
    return bar_ ? static_cast<long long>(bar_->value()) * element0_.rect().height : 0;
}

ui::Rect RowBoxList::rect(int k) const {
    const ui::Rect t = element0_.rect();
    ui::Rect r = t;
    long long top = 0;
    if (columns_ == Columns::One) {
        top = t.top + t.height + layout::kRowGap + static_cast<long long>(k - 1) * (t.height + layout::kRowGap);
        r.width = rowWidth_;
    } else if (k <= layout::kProcessColumnRows) {
        top = t.top + static_cast<long long>(k) * t.height;
    } else {
        top = t.top + t.height + static_cast<long long>(k - layout::kProcessColumnRows - 1) * t.height;
        r.left = layout::kProcessSecondColumnLeft;
    }
    // Only rows near the box ever get a window, so their places fit.
    r.top = static_cast<int>(std::clamp<long long>(top - offset(), INT32_MIN / 2, INT32_MAX / 2));
    return r;
}

RowBoxList::Ranges RowBoxList::rangesNearView() const {
    Ranges out;
    const ui::Rect t = element0_.rect();
    const long long boxHeight = box_.rect().height;
    const long long off = offset();
    const auto add = [&](const Column& c, long long margin) {
        if (const std::optional<Range> r = nearView(c, off, boxHeight, margin)) out.runs[out.count++] = *r;
    };
    if (columns_ == Columns::One) {
        const long long step = t.height + layout::kRowGap;
        add({1, count_, t.top + step, step, t.height}, boxHeight / step + 1);  // a view's worth of rows
    } else {
        add({1, std::min(count_, layout::kProcessColumnRows), t.top + t.height, t.height, t.height},
            layout::kProcessColumnRows);
        add({layout::kProcessColumnRows + 1, count_, t.top + t.height, t.height, t.height}, layout::kProcessColumnRows);
    }
    return out;
}

std::vector<int> RowBoxList::rowsNearView() const {
    std::vector<int> out;
    const Ranges near = rangesNearView();
    for (int i = 0; i < near.count; ++i)
        for (int k = near.runs[i].from; k <= near.runs[i].to; ++k) out.push_back(k);
    return out;
}

bool RowBoxList::nearSlot(int k, std::size_t& slot) const {
    std::size_t before = 0;
    const Ranges near = rangesNearView();
    for (int i = 0; i < near.count; ++i) {
        const Range& r = near.runs[i];
        if (k >= r.from && k <= r.to) {
            slot = before + static_cast<std::size_t>(k - r.from);
            return true;
        }
        before += static_cast<std::size_t>(r.to - r.from + 1);
    }
    return false;
}

void RowBoxList::show(Shown& shown, int row) {
    ui::CheckBox& b = *shown.box;
    const Row& r = at(row);
    if (shown.row != row) b.setArrayIndex(row);
    shown.row = row;
    // What does not change costs the toolkit nothing.
    b.setBackColor(element0_.backColor());
    b.setRect(rect(row));
    b.setCaption(r.caption);
    if (columns_ == Columns::One) b.setTag(std::to_string(static_cast<long long>(rect(row).top) + offset()));
    b.setValue(r.ticked ? 1 : 0);
    b.setToolTip(r.toolTipKey, [this, slot = static_cast<std::size_t>(&shown - windows_.data())] {
        const int k = slot < windows_.size() ? windows_[slot].row : 0;
        return toolTipText && hasRow(k) ? toolTipText(k) : std::string();
    });
    b.setVisible(true);
}

void RowBoxList::place() {
    // The keyboard focus stays with its row, not with the window that showed it.
    int focusedRow = 0;
    for (const Shown& s : windows_)
        if (s.row && s.box->hasFocus()) focusedRow = s.row;
    const std::vector<int> near = rowsNearView();
    for (std::size_t i = 0; i < near.size(); ++i) {
        if (i == windows_.size()) {
            windows_.push_back({tk_.copyCheckBox(element0_, near[i]), 0});
            // Set once for the window's life: whatever row it shows when the
            // event comes is the row the event is for.
            ui::CheckBox& box = *windows_.back().box;
            box.onClick = [this, i] {
                Shown& s = windows_[i];
                if (hasRow(s.row)) rows_[static_cast<std::size_t>(s.row - 1)].ticked = s.box->value() == 1;
            };
            box.onMouseDown = [this, i](ui::MouseButton b, int x, int y) {
                const int k = windows_[i].row;
                if (hasRow(k) && onRowMouseDown) onRowMouseDown(k, b, x, y);
            };
        }
        show(windows_[i], near[i]);
    }
    for (std::size_t i = near.size(); i < windows_.size(); ++i) {
        windows_[i].box->setVisible(false);
        windows_[i].row = 0;
    }
    if (ui::CheckBox* w = focusedRow ? window(focusedRow) : nullptr; w && !w->hasFocus()) w->setFocus();
}

void RowBoxList::clear() {
    // The windows are kept, hidden, for the next fill: a row whose own handler
    // started a refill (through a menu's message loop) must outlive that
    // handler anyway.
    rows_.clear();
    count_ = 0;
    oneColumnOffset_ = 0;
    ++fills_;
    for (Shown& s : windows_) {
        s.box->setVisible(false);
        s.row = 0;
    }
}

void RowBoxList::append(std::string_view caption, std::string_view toolTipKey) {
    rows_.push_back({std::string(caption), std::string(toolTipKey), false});
    count_ = static_cast<std::int32_t>(rows_.size());
    // Rows come in order: the new one gets a window only when it is near the
    // view, and then the next free one.
    std::size_t slot = 0;
    if (!nearSlot(count_, slot)) return;
    if (slot < windows_.size() && windows_[slot].row == 0) {
        show(windows_[slot], count_);
        return;
    }
    place();
}

void RowBoxList::recomputeScrollRange(int extra) {
    if (!bar_ || columns_ != Columns::One) return;
    const ui::Rect t = element0_.rect();
    // An empty list counts from the template's Tag, "0".
    const long long last = count_ > 0 ? rect(count_).top + oneColumnOffset_ : 0;
    const long long overflow = last + t.height - box_.rect().height;
    const long long maximum = overflow > 0 ? overflow / layout::kRowStep + extra : 0;
    // Lowering the maximum below the value moves the value, which scrolls.
    bar_->setRange(0, static_cast<int>(maximum));
}

void RowBoxList::scrollRows() {
    if (!bar_) return;
    if (columns_ == Columns::One) oneColumnOffset_ = static_cast<long long>(bar_->value()) * layout::kRowStep;
    place();
}

void RowBoxList::setColumnScrollBar(ui::VScrollBar* bar) {
    bar_ = bar;
    if (bar_) bar_->setVisible(false);
}

void RowBoxList::fitScrollBar() {
    if (!bar_ || columns_ != Columns::Two) return;
    const int step = element0_.rect().height;
    // The lower of the two columns' last rows.
    const long long bottom =
        count_ > 0 ? std::max(rect(std::min(count_, layout::kProcessColumnRows)).top, rect(count_).top) + offset() + step
                   : 0;
    const long long overflow = bottom - box_.rect().height;
    // One unit more than the overflow, so the last row clears the border.
    const long long maximum = overflow > 0 ? (overflow + step - 1) / step + 1 : 0;
    bar_->setVisible(maximum > 0);
    bar_->setRange(0, static_cast<int>(maximum));
    place();
}

void RowBoxList::setTicked(int k, bool on) {
    if (!hasRow(k)) return;
    rows_[static_cast<std::size_t>(k - 1)].ticked = on;
    if (ui::CheckBox* w = window(k)) w->setValue(on ? 1 : 0);
}

ui::CheckBox* RowBoxList::window(int k) {
    if (!hasRow(k)) return nullptr;
    for (Shown& s : windows_)
        if (s.row == k) return s.box.get();
    return nullptr;
}

void RowBoxList::tickAll(bool& selectAllNext, ui::Button& button) {
    for (Row& r : rows_) r.ticked = selectAllNext;
    for (Shown& s : windows_)
        if (s.row) s.box->setValue(selectAllNext ? 1 : 0);
    button.setCaption(selectAllNext ? layout::kUnselectAll : layout::kSelectAll);
    selectAllNext = !selectAllNext;
}

}  // namespace wd::app
