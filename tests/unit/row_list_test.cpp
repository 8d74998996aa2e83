#include <gtest/gtest.h>

#include "app/layout.h"
#include "process/process_page.h"
#include "registry/browser_page.h"
#include "registry/hijack_page.h"
#include "support/fixture.h"

namespace wd::test {
namespace {

namespace L = wd::layout;

void fill(app::RowBoxList& rows, int n) {
    for (int i = 1; i <= n; ++i) rows.append("row" + std::to_string(i));
}

TEST(ScrollingList, RowsStand285TwipsApartAndCopyTheTemplate) {
    App app;
    auto& rows = *app.form.hijackPage().rows;
    fill(rows, 20);
    EXPECT_EQ(app.form.hijackPage().rows->count(), 20);
    for (int k : {1, 8, 9, 16, 17, 20}) {
        const int top = 35 + 285 * (k - 1);
        EXPECT_EQ(rows.rect(k), (ui::Rect{30, top, 4515, 255})) << k;
        EXPECT_EQ(rows.caption(k), "row" + std::to_string(k));
        EXPECT_FALSE(rows.ticked(k));
        // The rows in view and a view's worth below have windows of their own.
        if (k > 18) {
            EXPECT_EQ(rows.window(k), nullptr) << k;
            continue;
        }
        auto& r = shownRow(rows, k);
        EXPECT_EQ(r.rect(), rows.rect(k));
        EXPECT_EQ(r.tag(), std::to_string(top));
        EXPECT_EQ(r.caption(), "row" + std::to_string(k));
        EXPECT_TRUE(r.visible());
        EXPECT_EQ(r.value(), 0);
        EXPECT_EQ(r.backColor(), L::kFaceColor);
        EXPECT_EQ(r.parent, static_cast<ui::Container*>(app.form.hijackPage().Picture2.get()));
        EXPECT_EQ(r.id(), L::kCheck1.id + k);
    }
    // The browser template sits 10 twips further left; its rows copy that.
    auto& browser = *app.form.browserPage().rows;
    fill(browser, 1);
    EXPECT_EQ(shownRow(browser, 1).rect(), (ui::Rect{20, 35, 4515, 255}));
}

struct RangeCase {
    int rows, extra, max;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.rows << " rows, extra " << c.extra; }
class ScrollRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ScrollRange, MaximumFollowsTheLastRow) {
    const RangeCase& c = GetParam();
    App app;
    auto& rows = *app.form.hijackPage().rows;
    fill(rows, c.rows);
    rows.recomputeScrollRange(c.extra);
    auto& bar = app.byId<HVScrollBar>(L::kVScroll2.id);
    EXPECT_EQ(bar.min(), 0);
    EXPECT_EQ(bar.max(), c.max);
}

INSTANTIATE_TEST_SUITE_P(Counts, ScrollRange,
                         ::testing::Values(RangeCase{0, 2, 0}, RangeCase{1, 2, 0}, RangeCase{8, 2, 0},
                                           RangeCase{8, 1, 0}, RangeCase{9, 2, 2}, RangeCase{9, 1, 1},
                                           RangeCase{10, 1, 3}, RangeCase{20, 2, 20}, RangeCase{20, 1, 19},
                                           RangeCase{123, 1, 181 + 1}, RangeCase{500, 2, 778 + 2}),
                         [](const auto& info) {
                             return std::to_string(info.param.rows) + "RowsExtra" + std::to_string(info.param.extra);
                         });

TEST(ScrollingList, ScrollingMovesRowsFromTheirTagsWithoutDrift) {
    App app;
    auto& rows = *app.form.hijackPage().rows;
    fill(rows, 20);
    rows.recomputeScrollRange(2);
    auto& bar = app.byId<HVScrollBar>(L::kVScroll2.id);
    EXPECT_EQ(bar.smallChange(), 1);
    EXPECT_EQ(bar.largeChange(), 11);
    bar.setValue(20);
    EXPECT_EQ(rows.rect(1).top, -3565);
    EXPECT_EQ(shownRow(rows, 20).rect().top, 35 + 285 * 19 - 3600);
    for (int v : {3, 17, 5, 0}) bar.setValue(v);
    EXPECT_EQ(shownRow(rows, 1).rect().top, 35);
    EXPECT_EQ(rows.rect(20).top, 35 + 285 * 19);
    EXPECT_EQ(shownRow(rows, 7).tag(), std::to_string(35 + 285 * 6));
}

// The list is data; its windows show the rows in view and a view's worth on
// either side, and are handed on as it scrolls: the design's largest list
// costs a few dozen windows, and every row can still be reached, ticked,
// clicked and right-clicked through one.
TEST(ScrollingList, ThirtyTwoThousandRowsCostAFewWindowsAndStayReachable) {
    App app;
    auto& rows = *app.form.browserPage().rows;
    auto& bar = app.byId<HVScrollBar>(L::kVScroll1.id);
    std::vector<int> pressed;
    rows.onRowMouseDown = [&](int k, ui::MouseButton, int, int) { pressed.push_back(k); };
    const std::size_t before = app.tk.nodes.size();
    fill(rows, 32767);
    rows.recomputeScrollRange(2);
    const std::size_t windows = app.tk.nodes.size() - before;
    EXPECT_LE(windows, 30u);
    // The scroll arithmetic of the design, in 64 bits: the last row comes
    // into view at the maximum.
    const long long last = 35 + 285LL * 32766;
    EXPECT_EQ(bar.max(), static_cast<int>((last + 255 - 2415) / 180 + 2));
    shownRow(rows, 5).click();
    bar.setValue(bar.max());
    EXPECT_EQ(rows.window(5), nullptr);
    auto& lastRow = shownRow(rows, 32767);
    EXPECT_EQ(lastRow.rect().top, static_cast<int>(last - bar.max() * 180LL));
    EXPECT_GE(lastRow.rect().top, 0);
    EXPECT_LT(lastRow.rect().top + 255, 2415);
    EXPECT_EQ(lastRow.id(), L::kCheck3.id + 32767);
    EXPECT_EQ(lastRow.caption(), "row32767");
    lastRow.click();
    lastRow.mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(pressed, std::vector<int>{32767});
    // Scrolling made no window: the same ones show other rows. The keyboard
    // focus stays with its row.
    EXPECT_EQ(app.tk.nodes.size() - before, windows);
    shownRow(rows, 32760).setFocus();
    bar.setValue(bar.max() - 3);
    EXPECT_TRUE(shownRow(rows, 32760).hasFocus());
    const std::size_t most = app.tk.nodes.size() - before;  // a row more in view here
    EXPECT_LE(most, 30u);
    // Ticks live with the rows, not with the windows that showed them.
    bar.setValue(0);
    EXPECT_EQ(shownRow(rows, 5).value(), 1);
    EXPECT_EQ(shownRow(rows, 6).value(), 0);
    EXPECT_TRUE(rows.ticked(5));
    EXPECT_TRUE(rows.ticked(32767));
    // Select-all reaches rows without windows; a refill starts unticked.
    app.byId<HButton>(L::kCommand9.id).click();
    EXPECT_TRUE(rows.ticked(20000));
    app.byId<HButton>(L::kCommand9.id).click();
    EXPECT_FALSE(rows.ticked(5));
    EXPECT_FALSE(rows.ticked(32767));
    rows.setTicked(7, true);
    EXPECT_EQ(shownRow(rows, 7).value(), 1);
    rows.clear();
    fill(rows, 10);
    EXPECT_EQ(shownRow(rows, 7).value(), 0);
    EXPECT_EQ(app.tk.nodes.size() - before, most);
}

TEST(ScrollingList, OffsetsBeyondSixteenBits) {
    App app;
    auto& rows = *app.form.browserPage().rows;
    fill(rows, 400);
    rows.recomputeScrollRange(1);
    auto& bar = app.byId<HVScrollBar>(L::kVScroll1.id);
    bar.setValue(bar.max());
    const int last = 35 + 285 * 399;
    EXPECT_EQ(shownRow(rows, 400).rect().top, last - bar.max() * 180);
    EXPECT_GT(bar.max() * 180, 32767);
    EXPECT_LT(shownRow(rows, 400).rect().top, 2415);  // the last row is reachable
}

TEST(ScrollingList, RefillWithFewerRowsClampsTheValueAndScrolls) {
    App app;
    auto& rows = *app.form.hijackPage().rows;
    auto& bar = app.byId<HVScrollBar>(L::kVScroll2.id);
    fill(rows, 20);
    rows.recomputeScrollRange(2);
    bar.setValue(3);
    rows.clear();
    EXPECT_EQ(app.form.hijackPage().rows->count(), 0);
    fill(rows, 9);
    // New rows stand unscrolled until the value changes.
    EXPECT_EQ(shownRow(rows, 1).rect().top, 35);
    rows.recomputeScrollRange(1);
    EXPECT_EQ(bar.max(), 1);
    EXPECT_EQ(bar.value(), 1);
    EXPECT_EQ(shownRow(rows, 1).rect().top, 35 - 180);
    // A maximum that stays above the value leaves rows where they are.
    rows.clear();
    fill(rows, 20);
    rows.recomputeScrollRange(1);
    EXPECT_EQ(bar.value(), 1);
    EXPECT_EQ(shownRow(rows, 1).rect().top, 35);
}

TEST(ScrollingList, ClearHidesRowsAndARefillMakesThemFreshCopies) {
    App app;
    auto& rows = *app.form.hijackPage().rows;
    const std::size_t before = app.tk.nodes.size();
    fill(rows, 30);
    const std::size_t windows = app.tk.nodes.size() - before;
    EXPECT_EQ(windows, 18u);  // the 9 rows in view and 9 below
    shownRow(rows, 4).setValue(1);
    shownRow(rows, 4).setToolTip("tip");
    shownRow(rows, 4).setLeft(999);
    rows.clear();
    EXPECT_EQ(rows.count(), 0);
    EXPECT_FALSE(rows.hasRow(1));
    EXPECT_EQ(rows.window(4), nullptr);
    for (Node* n : app.tk.nodes) {
        if (n->nodeId > L::kCheck1.id && n->nodeId <= L::kCheck1.id + 30) {
            EXPECT_FALSE(n->shown) << n->nodeId;
        }
    }
    // Refills reuse the windows: none is made again, none leaks.
    for (int pass = 0; pass < 5; ++pass) {
        rows.clear();
        fill(rows, 20 + pass);
    }
    EXPECT_EQ(app.tk.nodes.size() - before, windows);
    auto& r = shownRow(rows, 4);
    EXPECT_EQ(r.value(), 0);
    EXPECT_EQ(r.tipKey, "");
    EXPECT_EQ(r.rect(), (ui::Rect{30, 35 + 285 * 3, 4515, 255}));
    EXPECT_EQ(r.caption(), "row4");
    EXPECT_EQ(r.id(), L::kCheck1.id + 4);
    EXPECT_EQ(app.byId<HCheckBox>(L::kCheck1.id).caption(), "Check1");
    EXPECT_EQ(app.byId<HCheckBox>(L::kCheck1.id).tag(), "0");
}

TEST(TickAll, TogglesTicksCaptionAndFlag) {
    App app;
    auto& page = app.form.hijackPage();
    auto& button = dynamic_cast<HButton&>(*page.Command4);
    fill(*page.rows, 5);
    shownRow(*page.rows, 2).setValue(1);
    button.click();
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(shownRow(*page.rows, k).value(), 1);
    EXPECT_EQ(button.caption(), "取消全部");
    EXPECT_FALSE(app.form.hijackPage().selectAllNext());
    // A refill keeps the flag: the next click clears whatever is ticked.
    page.rows->clear();
    fill(*page.rows, 3);
    shownRow(*page.rows, 1).setValue(1);
    button.click();
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(shownRow(*page.rows, k).value(), 0);
    EXPECT_EQ(button.caption(), "选定全部");
    EXPECT_TRUE(app.form.hijackPage().selectAllNext());
}

TEST(TickAll, OnAnEmptyListStillFlips) {
    App app;
    auto& button = dynamic_cast<HButton&>(*app.form.browserPage().Command9);
    button.click();
    EXPECT_EQ(button.caption(), "取消全部");
    EXPECT_FALSE(app.form.browserPage().selectAllNext());
    EXPECT_TRUE(app.form.hijackPage().selectAllNext());
    button.click();
    EXPECT_EQ(button.caption(), "选定全部");
    EXPECT_TRUE(app.form.browserPage().selectAllNext());
}

TEST(TickAll, ClickingARowTogglesIt) {
    App app;
    auto& rows = *app.form.hijackPage().rows;
    fill(rows, 2);
    auto& r = shownRow(rows, 2);
    r.click();
    EXPECT_EQ(r.value(), 1);
    r.click();
    EXPECT_EQ(r.value(), 0);
}

TEST(ProcessList, TwoColumnsOfSixteen) {
    App app;
    auto& rows = *app.form.processPage().rows;
    fill(rows, 40);
    EXPECT_EQ(app.form.processPage().rows->count(), 40);
    struct Expect {
        int k, left, top;
    };
    for (Expect e : {Expect{1, 30, 5}, Expect{8, 30, 5 + 255 * 7}, Expect{16, 30, 3830}, Expect{17, 1800, 5},
                     Expect{20, 1800, 5 + 255 * 3}, Expect{32, 1800, 3830}, Expect{33, 1800, 4085},
                     Expect{40, 1800, 4085 + 255 * 7}}) {
        auto& r = shownRow(rows, e.k);
        EXPECT_EQ(r.rect(), (ui::Rect{e.left, e.top, 1750, 255})) << e.k;
        EXPECT_EQ(r.caption(), "row" + std::to_string(e.k));
        EXPECT_TRUE(r.visible());
    }
}

}  // namespace
}  // namespace wd::test
