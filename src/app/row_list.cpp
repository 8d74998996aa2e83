#include "app/row_list.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "app/layout.h"

namespace wd::app {

namespace {

// The number a Tag holds; a Tag that is not a number counts as 0.
long long tagNumber(const std::string& tag) {
    long long v = 0;
    std::from_chars(tag.data(), tag.data() + tag.size(), v);
    return v;
}

}  // namespace

RowBoxList::RowBoxList(ui::Toolkit& tk, ui::Picture& box, ui::CheckBox& element0, std::int32_t& count,
                       ui::VScrollBar* bar, Columns columns, int rowWidth)
    : tk_(tk), box_(box), element0_(element0), count_(count), bar_(bar), columns_(columns), rowWidth_(rowWidth) {
    count_ = 0;
}

ui::CheckBox& RowBoxList::element(int k) { return k == 0 ? element0_ : *rows_.at(static_cast<std::size_t>(k - 1)); }

ui::CheckBox& RowBoxList::row(int k) { return *rows_.at(static_cast<std::size_t>(k - 1)); }

void RowBoxList::clear() {
    // Rows are kept, hidden, and made ready again by the next fill: making and
    // destroying hundreds of windows at every refresh costs far more than
    // hiding them, and a row whose own handler started a refill (through a
    // menu's message loop) must outlive that handler anyway.
    for (int k = 1; k <= count_; ++k) row(k).setVisible(false);
    baseTops_.clear();
    count_ = 0;
    ++fills_;
}

void RowBoxList::append(std::string_view caption, std::string_view tag, std::string_view toolTipKey) {
    const int k = count_ + 1;
    if (static_cast<std::size_t>(k) > rows_.size()) {
        rows_.push_back(tk_.copyCheckBox(element0_, k));
        // Set once: a row keeps its number for as long as it lives, and its
        // handler may be running while a refill reuses the row.
        rows_.back()->onMouseDown = [this, k](ui::MouseButton b, int x, int y) {
            if (onRowMouseDown) onRowMouseDown(k, b, x, y);
        };
    } else {
        // A kept row becomes a fresh copy of the template again: unticked,
        // the template's colour; its place and caption follow below.
        ui::CheckBox& kept = *rows_[static_cast<std::size_t>(k - 1)];
        kept.setValue(0);
        kept.setBackColor(element0_.backColor());
    }
    ui::CheckBox& row = *rows_[static_cast<std::size_t>(k - 1)];
    const ui::Rect before = element(k - 1).rect();
    ui::Rect r = element0_.rect();
    if (columns_ == Columns::One) {
        row.setVisible(true);
        r.top = before.top + before.height + layout::kRowGap;
        r.width = rowWidth_;
        row.setRect(r);
        row.setTag(std::to_string(r.top));
    } else {
        row.setVisible(true);
        const int beforeTop = k == 1 ? before.top : baseTops_.back();
        if (k == layout::kProcessColumnRows + 1) {
            const ui::Rect first = element0_.rect();
            r.top = first.top + first.height;
            r.left = layout::kProcessSecondColumnLeft;
        } else {
            r.top = beforeTop + before.height;
            r.left = before.left;
        }
        baseTops_.push_back(r.top);
        if (bar_) r.top -= bar_->value() * r.height;
        row.setRect(r);
        row.setTag(tag);
    }
    row.setCaption(caption);
    row.setToolTip(toolTipKey, [this, k] { return toolTipText && hasRow(k) ? toolTipText(k) : std::string(); });
    count_ = k;
}

void RowBoxList::recomputeScrollRange(int extra) {
    if (!bar_ || columns_ != Columns::One) return;
    const ui::CheckBox& last = count_ > 0 ? row(count_) : element0_;
    const long long overflow = tagNumber(last.tag()) + element0_.rect().height - box_.rect().height;
    const long long maximum = overflow > 0 ? overflow / layout::kRowStep + extra : 0;
    // Lowering the maximum below the value moves the value, which scrolls.
    bar_->setRange(0, static_cast<int>(maximum));
}

void RowBoxList::scrollRows() {
    if (!bar_) return;
    if (columns_ == Columns::Two) {
        const int step = element0_.rect().height;
        for (int k = 1; k <= count_; ++k) row(k).setTop(baseTops_[static_cast<std::size_t>(k - 1)] - bar_->value() * step);
        return;
    }
    const long long offset = static_cast<long long>(bar_->value()) * layout::kRowStep;
    for (int k = 1; k <= count_; ++k) {
        ui::CheckBox& r = row(k);
        r.setTop(static_cast<int>(tagNumber(r.tag()) - offset));
    }
}

void RowBoxList::setColumnScrollBar(ui::VScrollBar* bar) {
    bar_ = bar;
    if (bar_) bar_->setVisible(false);
}

void RowBoxList::fitScrollBar() {
    if (!bar_ || columns_ != Columns::Two) return;
    const int step = element0_.rect().height;
    long long bottom = 0;
    for (int top : baseTops_) bottom = std::max<long long>(bottom, top + step);
    const long long overflow = bottom - box_.rect().height;
    // One unit more than the overflow, so the last row clears the border.
    const long long maximum = overflow > 0 ? (overflow + step - 1) / step + 1 : 0;
    bar_->setVisible(maximum > 0);
    bar_->setRange(0, static_cast<int>(maximum));
}

void RowBoxList::tickAll(bool& selectAllNext, ui::Button& button) {
    const int tick = selectAllNext ? 1 : 0;
    for (int k = 1; k <= count_; ++k) row(k).setValue(tick);
    button.setCaption(selectAllNext ? layout::kUnselectAll : layout::kSelectAll);
    selectAllNext = !selectAllNext;
}

}  // namespace wd::app
