#include <gtest/gtest.h>

#include "app/help_window.h"
#include "app/layout.h"
#include "registry/browser_page.h"
#include "registry/hijack_page.h"
#include "process/process_page.h"
#include "support/fixture.h"

namespace wd::test {
namespace {

namespace L = wd::layout;

int visibleContainers(App& app) {
    int n = 0;
    for (int p = 0; p < L::kPageCount; ++p) n += app.container(p).visible() ? 1 : 0;
    return n;
}

TEST(PageBar, CaptionsAndPlacesFollowTheDesign) {
    App app;
    const char* captions[] = {"优盘监控", "映像劫持清理", "进程管理", "清理IE流氓", "强力删除dll", "帮助说明"};
    const int tops[] = {1080, 1560, 2520, 2040, 3000, 3480};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(app.pageButton(i).caption(), captions[i]);
        EXPECT_EQ(app.pageButton(i).rect(), (ui::Rect{240, tops[i], 1455, 375}));
    }
}

struct PageCase {
    int page;
    int width, height, top, left;
};
void PrintTo(const PageCase& c, std::ostream* os) { *os << "page " << c.page; }

class SelectPage : public ::testing::TestWithParam<PageCase> {};

TEST_P(SelectPage, SizesTheWindowAndShowsOnlyThatPage) {
    const PageCase& c = GetParam();
    App app;
    // Start-up makes the Drive page's controls only; another page's are made
    // when it is first shown, once.
    const auto controls = [&] { return app.tk.childrenOf(&app.container(c.page)).size(); };
    EXPECT_EQ(controls() == 0, c.page != L::kDrive);
    app.pageButton(c.page).click();
    const std::size_t made = controls();
    EXPECT_GT(made, 0u);
    EXPECT_EQ(app.window().outerWidth(), c.width);
    EXPECT_EQ(app.window().outerHeight(), c.height);
    EXPECT_EQ(app.container(c.page).rect().top, c.top);
    EXPECT_EQ(app.container(c.page).rect().left, c.left);
    EXPECT_TRUE(app.container(c.page).visible());
    EXPECT_EQ(visibleContainers(app), 1);
    // Back to the Drive page: the window shrinks again.
    app.pageButton(L::kDrive).click();
    EXPECT_EQ(app.window().outerWidth(), 7260);
    EXPECT_EQ(app.window().outerHeight(), 5280);
    EXPECT_TRUE(app.container(L::kDrive).visible());
    EXPECT_EQ(visibleContainers(app), 1);
    app.pageButton(c.page).click();
    EXPECT_EQ(controls(), made);
}

INSTANTIATE_TEST_SUITE_P(Pages, SelectPage,
                         ::testing::Values(PageCase{0, 7260, 5280, 1200, 1920}, PageCase{1, 7260, 5280, 1200, 2200},
                                           PageCase{2, 7995, 6060, 1000, 1920}, PageCase{3, 7260, 5280, 1200, 2200},
                                           PageCase{4, 7260, 5280, 1010, 1920}),
                         [](const auto& info) { return "Page" + std::to_string(info.param.page); });

TEST(SelectPage, RefillFlagsAreClearedOnlyByTheirOwnPage) {
    App app;
    auto& hijack = app.form.hijackPage();
    auto& browser = app.form.browserPage();
    app.pageButton(L::kProcess).click();
    app.pageButton(L::kDll).click();
    app.pageButton(L::kDrive).click();
    EXPECT_TRUE(hijack.needsRefill());
    EXPECT_TRUE(browser.needsRefill());
    app.pageButton(L::kHijack).click();
    EXPECT_FALSE(hijack.needsRefill());
    EXPECT_TRUE(browser.needsRefill());
    app.pageButton(L::kBrowser).click();
    EXPECT_FALSE(browser.needsRefill());
}

TEST(SelectPage, HijackListIsKeptWhenThePageIsSelectedAgain) {
    App app;
    app.pageButton(L::kHijack).click();
    auto& rows = *app.form.hijackPage().rows;
    for (int i = 0; i < 12; ++i) rows.append("k" + std::to_string(i));
    shownRow(rows, 3).setValue(1);
    rows.recomputeScrollRange(2);
    auto& bar = app.byId<HVScrollBar>(L::kVScroll2.id);
    bar.setValue(2);
    app.pageButton(L::kDrive).click();
    app.pageButton(L::kHijack).click();
    EXPECT_EQ(rows.count(), 12);
    EXPECT_EQ(shownRow(rows, 3).value(), 1);
    EXPECT_EQ(bar.value(), 2);
    EXPECT_EQ(shownRow(rows, 1).rect().top, 35 - 360);
}

TEST(SelectPage, ProcessPageIsRebuiltOnEverySelection) {
    App app;
    auto& rows = *app.form.processPage().rows;
    app.pageButton(L::kProcess).click();
    rows.append("a.exe");
    app.pageButton(L::kProcess).click();
    EXPECT_EQ(rows.count(), 0);  // old rows removed before listing anew
    EXPECT_EQ(app.form.processPage().rows->count(), 0);
    EXPECT_EQ(app.window().outerWidth(), 7995);
    EXPECT_EQ(app.window().outerHeight(), 6060);
}

TEST(SelectPage, BrowserPageRecomputesItsScrollRangeEveryTime) {
    App app;
    app.pageButton(L::kBrowser).click();
    auto& rows = *app.form.browserPage().rows;
    for (int i = 0; i < 9; ++i) rows.append("t");
    auto& bar = app.byId<HVScrollBar>(L::kVScroll1.id);
    EXPECT_EQ(bar.max(), 0);
    app.pageButton(L::kBrowser).click();
    EXPECT_EQ(bar.max(), 2);  // 9 rows with extra 2
    EXPECT_EQ(rows.count(), 9);
}

TEST(SelectPage, HelpOpensModallyAndKeepsThePage) {
    App app;
    app.pageButton(L::kProcess).click();
    int modalShows = 0;
    std::string caption;
    app.tk.onModal = [&](HWindow& w) {
        ++modalShows;
        caption = w.caption();
        EXPECT_EQ(w.modalOwner, &app.form.window());
        EXPECT_EQ(w.backColor(), L::kFaceColor);
        EXPECT_FALSE(w.style.minimizeButton);
        EXPECT_FALSE(w.style.showInTaskbar);
    };
    app.pageButton(L::kHelp).click();
    EXPECT_EQ(modalShows, 1);
    EXPECT_EQ(caption, "软件说明");
    EXPECT_TRUE(app.container(L::kProcess).visible());
    EXPECT_EQ(visibleContainers(app), 1);
    EXPECT_EQ(app.window().outerWidth(), 7995);
    EXPECT_EQ(app.window().outerHeight(), 6060);
}

TEST(HelpWindow, LabelsStand120TwipsApartAfterWrapping) {
    HeadlessToolkit tk;
    auto owner = tk.window("owner", {});
    for (int pass = 0; pass < 2; ++pass) {  // the same layout at every opening
        app::HelpWindow help(tk);
        help.showModal(*owner);
        const ui::Rect l1 = help.Label1->rect(), l2 = help.Label2->rect(), l3 = help.Label3->rect(),
                       l4 = help.Label4->rect();
        EXPECT_EQ(help.Label1->caption(), app::kHelpText1);
        EXPECT_EQ(help.Label2->caption(), "    Skorrin是为了拯救杀软。");
        EXPECT_EQ(l1.width, 3420);
        EXPECT_GT(l1.height, HeadlessToolkit::kLineHeight);  // the first text wraps
        EXPECT_EQ(l2.top, l1.top + l1.height + 120);
        EXPECT_EQ(l3.top, l2.top + l2.height + 120);
        EXPECT_EQ(l4.top, l3.top + l3.height + 120);
        for (const ui::Rect& r : {l1, l2, l3, l4}) EXPECT_EQ(r.left, 360);
        for (ui::Label* l : {help.Label1.get(), help.Label2.get(), help.Label3.get(), help.Label4.get()})
            EXPECT_EQ(l->caption().rfind("    ", 0), 0u);
        const int clientWidth = help.window->clientWidth();
        EXPECT_EQ(clientWidth, 4140);
        EXPECT_EQ(help.window->clientHeight(), 2565);
    }
}

TEST(Layout, EveryControlLiesInsideItsContainer) {
    App app;
    for (int p = 0; p < L::kPageCount; ++p) {
        const ui::Rect box = app.container(p).rect();
        for (Node* n : app.tk.childrenOf(&app.container(p))) {
            // A label's box may reach below the page; its text does not.
            if (!n->shown || dynamic_cast<HLabel*>(n)) continue;
            EXPECT_GE(n->r.left, 0) << n->nodeName;
            EXPECT_GE(n->r.top, 0) << n->nodeName;
            EXPECT_LE(n->r.left + n->r.width, box.width) << n->nodeName << " on page " << p;
            EXPECT_LE(n->r.top + n->r.height, box.height) << n->nodeName << " on page " << p;
        }
    }
}

TEST(Layout, ColoursFollowTheDesign) {
    App app;
    const ui::Rgb face = L::kFaceColor;
    EXPECT_EQ(app.byId<HPicture>(L::kPicture2.id).backColor(), ui::kWhite);
    EXPECT_EQ(app.byId<HPicture>(L::kPicture4.id).backColor(), ui::kWhite);
    EXPECT_EQ(app.byId<HPicture>(L::kPicture3.id).backColor(), face);
    for (int id : {L::kCheck1.id, L::kCheck2.id, L::kCheck3.id, L::kCheck4.id})
        EXPECT_EQ(app.byId<HCheckBox>(id).backColor(), face) << id;
    EXPECT_EQ(app.byId<HListBox>(L::kList1.id).backColor(), face);
    EXPECT_EQ(app.byId<HLabel>(L::kLabel8.id).foreColor(), L::kRed);
    for (int p = 0; p < L::kPageCount; ++p) EXPECT_EQ(app.container(p).backColor(), face);
}

TEST(Layout, DrivePageTexts) {
    App app;
    auto& note = app.byId<HTextBox>(L::kText3.id);
    EXPECT_TRUE(note.style.multiLine);
    EXPECT_TRUE(note.style.readOnly);
    EXPECT_TRUE(note.style.vScroll);
    EXPECT_EQ(note.text().rfind("说明：若您的优盘存在可疑的优盘病毒，本\r\n模块", 0), 0u);
    EXPECT_EQ(note.text().size() - note.text().rfind("对您的优盘进行任何的写操作。\r\n"),
              std::string("对您的优盘进行任何的写操作。\r\n").size());
    int lines = 0;
    for (std::size_t i = note.text().find("\r\n"); i != std::string::npos; i = note.text().find("\r\n", i + 2))
        ++lines;
    EXPECT_EQ(lines, 8);
    EXPECT_EQ(app.byId<HCheckBox>(L::kCheck4.id).caption(), "下次开机“优盘监控”自动进入监控状态。");
    EXPECT_EQ(app.byId<HButton>(L::kCommand12.id).caption(), "后台运行监控");
    EXPECT_EQ(app.byId<HLabel>(L::kLabel1.id).caption(), "优盘盘符：");
}

TEST(Layout, HiddenMenusHoldTheirItems) {
    App app;
    auto names = [](ui::PopupMenu& m) {
        std::vector<std::string> v;
        for (auto& i : m.items()) v.push_back(i.name + "=" + i.caption);
        return v;
    };
    EXPECT_EQ(app.form.processPage().mangerpro().caption(), "进程管理");
    EXPECT_EQ(names(app.form.processPage().mangerpro()), (std::vector<std::string>{"showfile=查看文件属性", "endpro=结束进程"}));
    EXPECT_EQ(app.form.processPage().listm().caption(), "列表管理");
    EXPECT_EQ(names(app.form.processPage().listm()), (std::vector<std::string>{"clear=清 除", "clearall=清除所有"}));
    EXPECT_EQ(names(app.background().formma()), (std::vector<std::string>{"openform=打开窗口", "exitform=退出监控"}));
}

}  // namespace
}  // namespace wd::test
