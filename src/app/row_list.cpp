#include "app/row_list.h"

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
    // Newest first, so a toolkit that keeps its children in a list pops them.
    while (!rows_.empty()) rows_.pop_back();
    count_ = 0;
}

void RowBoxList::append(std::string_view caption, std::string_view tag) {
    const int k = count_ + 1;
    auto made = tk_.copyCheckBox(element0_, k);
    ui::CheckBox& row = *made;
    rows_.push_back(std::move(made));
    const ui::Rect before = element(k - 1).rect();
    ui::Rect r = row.rect();
    if (columns_ == Columns::One) {
        row.setVisible(true);
        r.top = before.top + before.height + layout::kRowGap;
        r.width = rowWidth_;
        row.setRect(r);
        row.setTag(std::to_string(r.top));
    } else {
        row.setVisible(true);
        if (k == layout::kProcessColumnRows + 1) {
            const ui::Rect first = element0_.rect();
            r.top = first.top + first.height;
            r.left = layout::kProcessSecondColumnLeft;
        } else {
            r.top = before.top + before.height;
            r.left = before.left;
        }
        row.setRect(r);
        row.setTag(tag);
    }
    row.setCaption(caption);
    row.onMouseDown = [this, k](ui::MouseButton b, int x, int y) {
        if (onRowMouseDown) onRowMouseDown(k, b, x, y);
    };
    count_ = k;
}

void RowBoxList::recomputeScrollRange(int extra) {
    if (!bar_) return;
    const ui::CheckBox& last = count_ > 0 ? row(count_) : element0_;
    const long long overflow = tagNumber(last.tag()) + element0_.rect().height - box_.rect().height;
    const long long maximum = overflow > 0 ? overflow / layout::kRowStep + extra : 0;
    // Lowering the maximum below the value moves the value, which scrolls.
    bar_->setRange(0, static_cast<int>(maximum));
}

void RowBoxList::scrollRows() {
    if (!bar_) return;
    const long long offset = static_cast<long long>(bar_->value()) * layout::kRowStep;
    for (int k = 1; k <= count_; ++k) {
        ui::CheckBox& r = row(k);
        r.setTop(static_cast<int>(tagNumber(r.tag()) - offset));
    }
}

void RowBoxList::tickAll(bool& selectAllNext, ui::Button& button) {
    const int tick = selectAllNext ? 1 : 0;
    for (int k = 1; k <= count_; ++k) row(k).setValue(tick);
    button.setCaption(selectAllNext ? layout::kUnselectAll : layout::kSelectAll);
    selectAllNext = !selectAllNext;
}

}  // namespace wd::app
