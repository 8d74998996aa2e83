#include <gtest/gtest.h>

#include "app/layout.h"
#include "drive/drive_page.h"
#include "support/fixture.h"

namespace wd::test {
namespace {

namespace L = wd::layout;

// Answers the Exit dialog with the button of this index (-1: its close box).
void answerExitDialog(App& app, int index) {
    app.tk.onModal = [index](HWindow& w) {
        ASSERT_EQ(w.caption(), "请选择退出方式");
        if (index < 0) {
            w.requestClose();
        } else {
            w.tk.byId<HButton>(L::kExitButtons[index].id).click();
        }
    };
}

struct State {
    bool shown, icon, monitor;
};

void expectState(App& app, State s) {
    EXPECT_EQ(app.window().visible(), s.shown);
    EXPECT_EQ(app.tray.shown, s.icon);
    EXPECT_EQ(app.timer(1).enabled(), s.monitor);
}

TEST(BackgroundMode, EntersFromTheButtonStartingTheMonitor) {
    App app;
    auto& command1 = app.byId<HButton>(L::kCommand1.id);
    app.byId<HButton>(L::kCommand12.id).click();
    expectState(app, {false, true, true});
    EXPECT_TRUE(app.window().minimized());
    EXPECT_EQ(command1.caption(), "停止 监控");
    EXPECT_EQ(app.tray.tip, "Skorrin助手——Wardeck");
}

TEST(BackgroundMode, WatchArgumentStartsHiddenWithTheIcon) {
    App app("watchG");
    expectState(app, {false, true, true});
    EXPECT_EQ(app.window().showCount, 0);
}

TEST(BackgroundMode, TwiceLeavesOneIcon) {
    App app;
    app.byId<HButton>(L::kCommand12.id).click();
    app.tray.onMouse(platform::TrayMouse::LeftUp);
    expectState(app, {true, true, true});
    EXPECT_FALSE(app.window().minimized());
    app.byId<HButton>(L::kCommand12.id).click();
    EXPECT_TRUE(app.tray.shown);
    EXPECT_EQ(app.tray.adds, 2);  // the second add failed, as it should
}

TEST(TrayIcon, OnlyLeftAndRightButtonReleasesAct) {
    App app("watchG");
    int popups = 0;
    app.tk.onPopup = [&](HPopupMenu& m) {
        ++popups;
        EXPECT_EQ(m.items()[0].caption, "打开窗口");
        EXPECT_EQ(m.items()[1].caption, "退出监控");
        return -1;
    };
    using M = platform::TrayMouse;
    for (M event : {M::Move, M::LeftDown, M::LeftDoubleClick, M::RightDown, M::RightDoubleClick, M::MiddleDown,
                    M::MiddleUp, M::MiddleDoubleClick})
        app.tray.onMouse(event);
    EXPECT_FALSE(app.window().visible());
    EXPECT_EQ(popups, 0);
    app.tray.onMouse(platform::TrayMouse::RightUp);
    EXPECT_EQ(popups, 1);
    EXPECT_EQ(app.tray.foregrounds, 1);
    EXPECT_FALSE(app.window().visible());
    app.tk.onPopup = [](HPopupMenu&) { return 0; };  // "打开窗口"
    app.tray.onMouse(platform::TrayMouse::RightUp);
    expectState(app, {true, true, true});
}

struct ExitCase {
    const char* name;
    bool startInBackground;
    bool viaTrayMenu;
    int answer;  // button index, -1 close box
    State after;
};
void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.name; }

class ExitDialogChoice : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitDialogChoice, LeadsWhereItShould) {
    const ExitCase& c = GetParam();
    App app(c.startInBackground ? "watchG" : "");
    answerExitDialog(app, c.answer);
    if (c.viaTrayMenu) {
        app.tk.onPopup = [](HPopupMenu&) { return 1; };  // "退出监控"
        app.tray.onMouse(platform::TrayMouse::RightUp);
    } else {
        app.window().requestClose();
    }
    expectState(app, c.after);
    EXPECT_EQ(app.background().exitChoice(), drive::ExitChoice::None);
    EXPECT_FALSE(app.window().closed);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ExitDialogChoice,
    ::testing::Values(ExitCase{"BackgroundFromShown", false, false, 1, {false, true, true}},
                      ExitCase{"StayFromShown", false, false, 2, {true, false, false}},
                      ExitCase{"CloseBoxFromShown", false, false, -1, {true, false, false}},
                      ExitCase{"StayFromBackground", true, true, 2, {false, true, true}},
                      ExitCase{"CloseBoxFromBackground", true, true, -1, {false, true, true}},
                      ExitCase{"BackgroundFromBackground", true, true, 1, {false, true, true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExitDialog, QuitRemovesTheIconAndEnds) {
    App app("watchG");
    answerExitDialog(app, 0);
    EXPECT_THROW(app.window().requestClose(), ProgramExited);
    EXPECT_FALSE(app.tray.shown);
    EXPECT_EQ(app.tray.removes, 1);
    EXPECT_EQ(app.background().exitChoice(), drive::ExitChoice::Quit);
}

TEST(ExitDialog, QuitBeforeAnyIconEndsAllTheSame) {
    App app;
    answerExitDialog(app, 0);
    EXPECT_THROW(app.window().requestClose(), ProgramExited);
    EXPECT_EQ(app.tray.adds, 0);
    EXPECT_EQ(app.tray.removes, 1);
}

TEST(ExitDialog, LayoutAndFocus) {
    App app;
    app.tk.onModal = [&](HWindow& w) {
        EXPECT_EQ(w.clientWidth(), 4425);
        EXPECT_EQ(w.clientHeight(), 1890);
        EXPECT_EQ(w.backColor(), L::kFaceColor);
        EXPECT_FALSE(w.style.minimizeButton);
        EXPECT_FALSE(w.style.showInTaskbar);
        EXPECT_EQ(w.modalOwner, &app.form.window());
        const char* captions[] = {"完全退出", "后台监控", "不退出"};
        for (int i = 0; i < 3; ++i) {
            auto& b = app.tk.byId<HButton>(L::kExitButtons[i].id);
            EXPECT_EQ(b.caption(), captions[i]);
            EXPECT_EQ(b.rect(), L::kExitButtons[i].rect);
        }
        auto& banner = app.tk.byId<HPicture>(L::kExitBanner.id);
        EXPECT_EQ(banner.rect(), (ui::Rect{240, 0, 3660, 1170}));
        EXPECT_EQ(banner.backColor(), L::kFaceColor);
        EXPECT_TRUE(app.background().exitDialogOpen());
        // The window cannot come back from the tray while the dialog is open.
        app.tray.onMouse(platform::TrayMouse::LeftUp);
        w.tk.byId<HButton>(L::kExitButtons[2].id).click();
    };
    app.byId<HButton>(L::kCommand12.id).click();
    app.window().requestClose();
    EXPECT_FALSE(app.window().visible());
    EXPECT_FALSE(app.background().exitDialogOpen());
}

TEST(ExitDialog, BackgroundChoiceClosesAnOpenHelpWindow) {
    App app;
    HWindow* help = nullptr;
    bool helpClosed = false;
    app.tk.onModal = [&](HWindow& w) {
        if (w.caption() == "软件说明") {
            help = &w;
            app.background().exitform_Click();  // the tray menu asks to close meanwhile
        } else {
            w.tk.byId<HButton>(L::kExitButtons[1].id).click();
            helpClosed = help && help->closed;
        }
    };
    app.pageButton(L::kHelp).click();
    EXPECT_TRUE(helpClosed);
    expectState(app, {false, true, true});
}

TEST(TrayIcon, ComesBackWhenTheShellRestarts) {
    App app;
    app.tray.restartShell();
    EXPECT_FALSE(app.tray.shown);  // never wanted before background mode
    app.byId<HButton>(L::kCommand12.id).click();
    app.tray.restartShell();
    EXPECT_TRUE(app.tray.shown);
    app.tray.onMouse(platform::TrayMouse::LeftUp);
    app.tray.restartShell();
    EXPECT_TRUE(app.tray.shown);  // it stays while the window is shown too
}

TEST(MainWindow, OwnMinimizeButtonOnlyMinimizes) {
    App app;
    app.window().minimize();
    EXPECT_TRUE(app.window().visible());
    EXPECT_FALSE(app.tray.shown);
    EXPECT_FALSE(app.timer(1).enabled());
}

}  // namespace
}  // namespace wd::test
