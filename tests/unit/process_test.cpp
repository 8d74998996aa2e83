#include <gtest/gtest.h>

#include "app/layout.h"
#include "process/file_work.h"
#include "process/process_page.h"
#include "process/termination.h"
#include "support/fixture.h"

namespace wd::test {
namespace {

namespace L = wd::layout;

std::vector<std::string> captions(app::RowBoxList& rows) {
    std::vector<std::string> v;
    for (int k = 1; k <= rows.count(); ++k) v.push_back(rows.caption(k));
    return v;
}

std::vector<std::string> suspects(App& app) { return app.byId<HListBox>(L::kList1.id).items; }

struct ProcessApp : App {
    ProcessApp() : App({}, "C:\\Tools\\Wardeck.exe") {}
    process::ProcessPage& page() { return form.processPage(); }
    app::RowBoxList& rows() { return *page().rows; }
    HListBox& list() { return byId<HListBox>(L::kList1.id); }
    HTextBox& text1() { return byId<HTextBox>(L::kText1.id); }
    HButton& button(const ui::Layout& l) { return byId<HButton>(l.id); }
    HCheckBox& row(int k) { return shownRow(rows(), k); }
    void openPage() { pageButton(L::kProcess).click(); }
};

TEST(ProcessList, RowsFollowTheSnapshotWithLowerCaseNamesAndPaths) {
    ProcessApp app;
    app.processes.start("System");
    app.processes.start("Dummy.EXE", "G:\\x\\Dummy.EXE");
    app.processes.start("Wardeck.exe");   // the program itself
    app.processes.start("WARDECK.EXE");   // another copy of the same name
    for (int i = 0; i < 3; ++i) app.processes.start("copy.exe", "G:\\x\\copy.exe");
    app.processes.start("locked.exe", {}, false);
    app.processes.start("ПРОЦЕСС.EXE", "C:\\Программы\\ПРОЦЕСС.EXE");
    app.processes.start(std::string("cut.exe\0junk", 12));
    app.openPage();
    EXPECT_EQ(captions(app.rows()), (std::vector<std::string>{"system", "dummy.exe", "copy.exe", "copy.exe", "copy.exe",
                                                              "locked.exe", "процесс.exe", "cut.exe"}));
    EXPECT_EQ(app.form.processPage().rows->count(), 8);
    EXPECT_EQ(app.page().pathOf(2), "G:\\x\\Dummy.EXE");
    EXPECT_EQ(app.row(2).toolTipText(), "G:\\x\\Dummy.EXE\n签名：无");
    EXPECT_EQ(app.page().pathOf(3), "G:\\x\\copy.exe");
    EXPECT_EQ(app.page().pathOf(6), "");  // access refused, the row before has a path
    EXPECT_EQ(app.row(6).toolTipText(), "");
    EXPECT_EQ(app.page().pathOf(7), "C:\\Программы\\ПРОЦЕСС.EXE");
}

TEST(ProcessList, OwnNameKeyFoldsOnlyAsciiCapitals) {
    EXPECT_EQ(process::ownNameKey("WarDeck"), "wardeck.exe");
    EXPECT_EQ(process::ownNameKey("ÄRGER"), "Ärger.exe");
    EXPECT_EQ(process::ownNameKey(""), ".exe");
}

TEST(ProcessList, FortyProcessesFillTwoColumnsAndScroll) {
    ProcessApp app;
    for (int i = 1; i <= 40; ++i) app.processes.start("p" + std::to_string(i) + ".exe");
    app.processes.start("wardeck.exe");
    app.openPage();
    ASSERT_EQ(app.form.processPage().rows->count(), 40);
    EXPECT_EQ(app.row(16).rect(), (ui::Rect{30, 3830, 1750, 255}));
    EXPECT_EQ(app.row(17).rect(), (ui::Rect{1800, 5, 1750, 255}));
    EXPECT_EQ(app.row(40).rect().top, 4085 + 255 * 7);
    auto& bar = app.byId<HVScrollBar>(L::kVScroll3.id);
    EXPECT_TRUE(bar.visible());
    bar.setValue(bar.max());
    // Every row can be brought into the box.
    EXPECT_LE(app.row(40).rect().top + 255, 4095);
    EXPECT_EQ(app.row(1).rect().top, 5 - 255 * bar.max());
    // An Auto refresh keeps the place the user scrolled to.
    app.rows().clear();
    app.page().ListProcesses();
    EXPECT_EQ(app.row(40).rect().top, 4085 + 255 * 7 - 255 * bar.value());
}

TEST(ProcessList, ThirtyTwoRowsNeedNoScrollBar) {
    ProcessApp app;
    for (int i = 1; i <= 32; ++i) app.processes.start("p.exe");
    app.openPage();
    EXPECT_FALSE(app.byId<HVScrollBar>(L::kVScroll3.id).visible());
    EXPECT_EQ(app.byId<HVScrollBar>(L::kVScroll3.id).max(), 0);
    EXPECT_EQ(app.row(32).rect().top, 3830);
}

TEST(ProcessList, FailedSnapshotLeavesTheListEmpty) {
    ProcessApp app;
    app.processes.start("a.exe");
    app.processes.snapshotFails = true;
    app.openPage();
    EXPECT_EQ(app.form.processPage().rows->count(), 0);
    EXPECT_EQ(app.rows().count(), 0);
}

TEST(AutoRefresh, SwitchRebuildsEveryTickAndClearsTicks) {
    ProcessApp app;
    app.processes.start("a.exe");
    app.openPage();
    app.row(1).click();
    auto& button = app.button(L::kCommand6);
    button.click();
    EXPECT_TRUE(app.timer(3).enabled());
    EXPECT_EQ(button.caption(), "停止 刷新");
    app.processes.start("b.exe");
    app.timer(3).fire();
    EXPECT_EQ(captions(app.rows()), (std::vector<std::string>{"a.exe", "b.exe"}));
    EXPECT_EQ(app.row(1).value(), 0);
    button.click();
    EXPECT_FALSE(app.timer(3).enabled());
    EXPECT_EQ(button.caption(), "自动刷新进程");
}

TEST(AutoRefresh, ReadsThePathOfNewProcessesOnly) {
    ProcessApp app;
    app.processes.start("a.exe");
    const std::uint32_t b = app.processes.start("b.exe");
    app.openPage();
    app.button(L::kCommand6).click();
    EXPECT_EQ(app.processes.pathReads, 2);
    app.timer(3).fire();
    app.timer(3).fire();
    EXPECT_EQ(app.processes.pathReads, 2);  // nothing new: nothing read
    app.processes.start("c.exe");
    app.timer(3).fire();
    EXPECT_EQ(app.processes.pathReads, 3);
    // b ends and a new process is given its id: it is read anew.
    app.processes.kill(b);
    app.processes.procs.insert(app.processes.procs.begin() + 1,
                               {b, "b2.exe", "D:\\new\\b2.exe", true, true, 99999});
    app.timer(3).fire();
    EXPECT_EQ(app.processes.pathReads, 4);
    EXPECT_EQ(captions(app.rows()), (std::vector<std::string>{"a.exe", "b2.exe", "c.exe"}));
    EXPECT_EQ(app.page().pathOf(2), "D:\\new\\b2.exe");
}

TEST(ProcessList, ToolTipsTellWhoSignedTheFileWhenTheyShow) {
    ProcessApp app;
    app.trust.signatures["C:\\Windows\\explorer.exe"] = {platform::Signature::State::Valid, "Microsoft Windows"};
    app.trust.signatures["G:\\bad.exe"] = {platform::Signature::State::Invalid, ""};
    app.processes.start("explorer.exe", "C:\\Windows\\explorer.exe");
    app.processes.start("bad.exe", "G:\\bad.exe");
    app.processes.start("other.exe", "C:\\Windows\\explorer.exe");
    app.openPage();
    app.button(L::kCommand6).click();
    for (int i = 0; i < 3; ++i) app.timer(3).fire();
    // Listing and refreshing read no signature: a tip is read as it shows.
    EXPECT_TRUE(app.trust.verified.empty());
    EXPECT_EQ(app.row(1).toolTipText(), "C:\\Windows\\explorer.exe\n签名：Microsoft Windows");
    EXPECT_EQ(app.row(2).toolTipText(), "G:\\bad.exe\n签名：无效");
    EXPECT_EQ(app.row(3).toolTipText(), "C:\\Windows\\explorer.exe\n签名：Microsoft Windows");
    EXPECT_EQ(app.trust.verified, (std::vector<std::string>{"C:\\Windows\\explorer.exe", "G:\\bad.exe"}));
    // A refresh keeps each row's tip while its path stays; a changed file is checked again.
    app.timer(3).fire();
    EXPECT_EQ(app.row(1).tipResets, 1);
    app.trust.stamps["G:\\bad.exe"] = 2;
    app.trust.signatures["G:\\bad.exe"] = {platform::Signature::State::Valid, "Repaired"};
    EXPECT_EQ(app.row(2).toolTipText(), "G:\\bad.exe\n签名：Repaired");
    EXPECT_EQ(app.trust.verified.size(), 3u);
    // A program started from a network share: its file is never opened.
    app.files.networkDrives.insert("Z");
    app.processes.start("share.exe", "\\\\host\\share\\share.exe");
    app.processes.start("mapped.exe", "Z:\\mapped.exe");
    app.timer(3).fire();
    EXPECT_EQ(app.row(4).toolTipText(), "\\\\host\\share\\share.exe\n签名：未检查");
    EXPECT_EQ(app.row(5).toolTipText(), "Z:\\mapped.exe\n签名：未检查");
    EXPECT_EQ(app.trust.verified.size(), 3u);
}

TEST(AutoRefresh, ATickThatThrowsLeavesTheProgramRunning) {
    ProcessApp app;
    app.processes.start("a.exe");
    app.openPage();
    app.button(L::kCommand6).click();
    // Memory runs out while a tick reads the processes: the tick is given up,
    // the program and its timers go on.
    app.processes.snapshotThrows = true;
    app.timer(3).fire();
    EXPECT_EQ(app.tk.thrown, (std::vector<std::string>{"std::bad_alloc"}));
    app.processes.snapshotThrows = false;
    app.processes.start("b.exe");
    app.timer(3).fire();
    EXPECT_EQ(captions(app.rows()), (std::vector<std::string>{"a.exe", "b.exe"}));
    app.button(L::kCommand6).click();
    EXPECT_EQ(app.button(L::kCommand6).caption(), "自动刷新进程");
    EXPECT_EQ(app.tk.thrown.size(), 1u);
}

TEST(SuspectList, CopyTickedRowsRefusesDuplicatesAndSelectsTheLastHandled) {
    ProcessApp app;
    for (const char* n : {"a.exe", "b.exe", "b.exe", "c.exe"}) app.processes.start(n);
    app.openPage();
    app.list().addItem("c.exe");
    for (int k : {2, 3, 4}) app.row(k).click();
    app.button(L::kCommand5).click();
    EXPECT_EQ(suspects(app), (std::vector<std::string>{"c.exe", "b.exe"}));
    EXPECT_EQ(app.list().selectedIndex(), 0);  // the last ticked row matched "c.exe"
    app.row(4).click();
    app.button(L::kCommand5).click();
    EXPECT_EQ(app.list().selectedIndex(), 1);
    EXPECT_EQ(app.row(2).value(), 1);  // ticks stay
}

TEST(SuspectList, ManualAddOnEnter) {
    ProcessApp app;
    app.text1().typeText("Abc");
    EXPECT_TRUE(suspects(app).empty());
    app.text1().type(13);
    app.text1().typeText("abc.exe");
    app.text1().type(13);
    app.text1().type(13);  // empty box: nothing
    app.text1().typeText("  病毒 ");
    app.text1().type(13);
    app.text1().typeText(std::string(300, 'x'));
    app.text1().type(13);
    EXPECT_EQ(suspects(app), (std::vector<std::string>{"Abc.exe", "abc.exe.exe", "  病毒 .exe", std::string(300, 'x') + ".exe"}));
    EXPECT_EQ(app.text1().text(), "");
    EXPECT_EQ(app.list().selectedIndex(), 3);
    app.list().addItem("");  // an empty entry ends nothing, not even a process still unnamed
    const auto unnamed = app.processes.start("");
    app.timer(2).setEnabled(true);
    app.timer(2).fire();
    EXPECT_TRUE(app.processes.running(unnamed));
}

TEST(SuspectSearch, BaselineIsRecordedOnceAndKeptAcrossSwitching) {
    ProcessApp app;
    app.processes.start("a.exe");
    app.processes.start("A.EXE");
    auto& button = app.button(L::kCommand8);
    button.click();
    EXPECT_EQ(button.caption(), "停止 寻找");
    app.timer(4).fire();
    EXPECT_TRUE(suspects(app).empty());
    EXPECT_EQ(app.form.processPage().baselineCount(), 2);
    app.processes.start("New.exe");
    app.processes.start("new.exe");
    app.timer(4).fire();
    EXPECT_EQ(suspects(app), (std::vector<std::string>{"new.exe"}));
    button.click();
    EXPECT_EQ(button.caption(), "寻找可疑进程");
    app.processes.start("later.exe");
    const auto a = app.processes.procs.front().pid;
    app.processes.kill(a);
    app.processes.start("a.exe");  // restarted: its name is in the baseline
    button.click();
    app.timer(4).fire();
    EXPECT_EQ(suspects(app), (std::vector<std::string>{"new.exe", "later.exe"}));
    EXPECT_EQ(app.form.processPage().baselineCount(), 2);
}

TEST(SuspectSearch, HandTypedCapitalsDoNotHideTheProcess) {
    ProcessApp app;
    app.processes.start("system");
    app.timer(4).setEnabled(true);
    app.timer(4).fire();
    app.text1().typeText("Evil");
    app.text1().type(13);
    app.processes.start("evil.exe");
    app.timer(4).fire();
    EXPECT_EQ(suspects(app), (std::vector<std::string>{"Evil.exe", "evil.exe"}));
}

TEST(SuspectSearch, AProcessWithoutANameYetIsNeitherRecordedNorFlagged) {
    ProcessApp app;
    app.processes.start("a.exe");
    app.processes.start("");
    app.timer(4).setEnabled(true);
    app.timer(4).fire();
    EXPECT_EQ(app.page().baseline(), (std::vector<std::string>{"a.exe"}));
    app.processes.start("");
    app.processes.start(std::string("\0tail", 5));
    app.timer(4).fire();
    EXPECT_TRUE(suspects(app).empty());
}

TEST(SuspectSearch, FailedSnapshotOnTheFirstTickRecordsLater) {
    ProcessApp app;
    app.processes.start("a.exe");
    app.processes.snapshotFails = true;
    app.timer(4).setEnabled(true);
    app.timer(4).fire();
    EXPECT_EQ(app.form.processPage().baselineCount(), 0);
    app.processes.snapshotFails = false;
    app.timer(4).fire();
    EXPECT_EQ(app.form.processPage().baselineCount(), 1);
    EXPECT_TRUE(suspects(app).empty());
}

TEST(ListMenu, RightButtonShowsItAndItsItemsRemoveEntries) {
    ProcessApp app;
    for (const char* n : {"a.exe", "b.exe", "c.exe"}) app.list().addItem(n);
    int choice = -1;
    app.tk.onPopup = [&](HPopupMenu& m) {
        EXPECT_EQ(m.caption(), "列表管理");
        return choice;
    };
    app.list().mouseDown(ui::MouseButton::Left);
    EXPECT_EQ(dynamic_cast<HPopupMenu&>(app.form.processPage().listm()).shownCount, 0);
    choice = 0;  // "清 除" with nothing selected
    app.list().mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(suspects(app).size(), 3u);
    app.list().setSelectedIndex(1);
    app.list().mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(suspects(app), (std::vector<std::string>{"a.exe", "c.exe"}));
    choice = 1;
    app.list().mouseDown(ui::MouseButton::Right);
    EXPECT_TRUE(suspects(app).empty());
    choice = 0;
    app.list().mouseDown(ui::MouseButton::Right);  // empty list: nothing
    EXPECT_TRUE(suspects(app).empty());
}

TEST(EndProcessByName, EndsTheFirstMatchOnly) {
    MemoryProcesses procs;
    MemoryText text;
    const auto first = procs.start("A.exe");
    const auto second = procs.start("a.exe");
    EXPECT_EQ(process::EndProcessByName(procs, text, "a.exe"), (process::Ending{first, true}));
    EXPECT_TRUE(procs.running(second));
    EXPECT_EQ(process::EndProcessByName(procs, text, "A.exe"), std::nullopt);
    EXPECT_EQ(process::EndProcessByName(procs, text, "missing.exe"), std::nullopt);
    procs.snapshotFails = true;
    EXPECT_EQ(process::EndProcessByName(procs, text, "a.exe"), std::nullopt);
    EXPECT_TRUE(procs.running(second));
}

TEST(EndProcessByName, AnEmptyNameEndsNothing) {
    MemoryProcesses procs;
    MemoryText text;
    const auto starting = procs.start("");
    EXPECT_EQ(process::EndProcessByName(procs, text, ""), std::nullopt);
    EXPECT_TRUE(procs.running(starting));
    EXPECT_TRUE(procs.terminateCalls.empty());
}

TEST(EndProcessByName, RefusedAccessDoesNotMoveOnToTheNextInstance) {
    MemoryProcesses procs;
    MemoryText text;
    const auto guarded = procs.start("x.exe", {}, true, false);
    const auto other = procs.start("x.exe");
    EXPECT_EQ(process::EndProcessByName(procs, text, "x.exe"), (process::Ending{guarded, false}));
    EXPECT_TRUE(procs.running(other));
}

// What Windows cannot lose is never ended: by name the next process of the
// name is reached instead, as Loop kill needs to end a copy that borrows it.
TEST(EndProcessByName, PassesOverWhatWindowsCannotLose) {
    struct Case {
        const char* what;
        std::string path;
        bool pathReadable;
        bool critical;
        bool spared;
    };
    const Case cases[] = {
        {"system process from the system folder", "C:\\Windows\\System32\\lsass.exe", true, false, true},
        {"the same in other letter case", "c:\\windows\\SYSTEM32\\LSASS.EXE", true, false, true},
        {"system name, path unreadable", "", false, false, true},
        {"system name from another folder", "G:\\RECYCLER\\lsass.exe", true, false, false},
        {"system name one folder deeper", "C:\\Windows\\System32\\x\\lsass.exe", true, false, false},
        {"marked critical by Windows", "G:\\evil\\lsass.exe", true, true, true},
    };
    for (const Case& c : cases) {
        MemoryProcesses procs;
        MemoryText text;
        const auto real = procs.start("lsass.exe", c.path, c.pathReadable);
        procs.proc(real).critical = c.critical;
        const auto copy = procs.start("LSASS.EXE", "G:\\copy\\lsass.exe");
        const auto ending = process::EndProcessByName(procs, text, "lsass.exe");
        ASSERT_TRUE(ending.has_value()) << c.what;
        EXPECT_EQ(ending->pid, c.spared ? copy : real) << c.what;
        EXPECT_EQ(procs.running(real), c.spared) << c.what;
        // Ending by identity spares it too.
        if (c.spared) {
            EXPECT_EQ(process::EndProcess(procs, text, procs.snapshot()->at(0)), std::nullopt) << c.what;
        }
    }
    // The other session and system processes; explorer.exe is none of them.
    MemoryProcesses procs;
    MemoryText text;
    for (const char* n : {"smss.exe", "csrss.exe", "wininit.exe", "winlogon.exe", "services.exe", "lsaiso.exe"}) {
        procs.start(n, "C:\\Windows\\System32\\" + std::string(n));
        EXPECT_EQ(process::EndProcessByName(procs, text, n), std::nullopt) << n;
    }
    procs.start("explorer.exe", "C:\\Windows\\explorer.exe");
    EXPECT_TRUE(process::EndProcessByName(procs, text, "explorer.exe").has_value());
}

TEST(LoopKill, EndsOneInstancePerTickWithOneSnapshotPerEntry) {
    ProcessApp app;
    for (int i = 0; i < 3; ++i) app.processes.start("worm.exe");
    app.processes.start("Keep.exe");
    for (const char* n : {"worm.exe", "Keep.exe", "absent.exe"}) app.list().addItem(n);
    auto& button = app.button(L::kCommand7);
    button.click();
    EXPECT_EQ(button.caption(), "停止 结束");
    EXPECT_EQ(app.timer(2).interval(), 50);
    const int before = app.processes.snapshots;
    app.timer(2).fire();
    EXPECT_EQ(app.processes.snapshots - before, 3);
    EXPECT_EQ(app.processes.countNamed("worm.exe"), 2);
    EXPECT_EQ(app.processes.countNamed("Keep.exe"), 1);  // capitals in the list match nothing
    EXPECT_EQ(app.list().selectedIndex(), 2);
    app.timer(2).fire();
    app.timer(2).fire();
    app.timer(2).fire();
    EXPECT_EQ(app.processes.countNamed("worm.exe"), 0);
    button.click();
    EXPECT_EQ(button.caption(), "循环结束疑进程");
    EXPECT_FALSE(app.timer(2).enabled());
}

TEST(LoopKill, CanEndTheProgramItself) {
    ProcessApp app;
    const auto self = app.processes.start("Wardeck.exe");
    app.list().addItem("wardeck.exe");
    app.timer(2).setEnabled(true);
    app.timer(2).fire();
    EXPECT_FALSE(app.processes.running(self));
}

struct MenuApp : ProcessApp {
    MenuApp() {
        for (int i = 1; i <= 8; ++i) processes.start("p" + std::to_string(i) + ".exe", "C:\\p" + std::to_string(i) + ".exe");
        openPage();
    }
};

TEST(ProcessMenu, OnlyRowsAfterTheFifthOpenIt) {
    MenuApp app;
    auto& menu = dynamic_cast<HPopupMenu&>(app.form.processPage().mangerpro());
    app.tk.onPopup = [](HPopupMenu&) { return -1; };
    for (int k = 1; k <= 5; ++k) app.row(k).mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(menu.shownCount, 0);
    EXPECT_EQ(app.form.processPage().currentRow(), 0);
    app.row(6).mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(menu.shownCount, 1);
    EXPECT_EQ(app.form.processPage().currentRow(), 6);
    app.row(8).mouseDown(ui::MouseButton::Left);
    EXPECT_EQ(menu.shownCount, 1);
    EXPECT_EQ(app.form.processPage().currentRow(), 6);
}

TEST(ProcessMenu, PropertiesHandTheRowsPathToTheShell) {
    MenuApp app;
    app.tk.onPopup = [](HPopupMenu& m) {
        EXPECT_EQ(m.items()[0].caption, "查看文件属性");
        return 0;
    };
    app.row(7).mouseDown(ui::MouseButton::Right);
    ASSERT_EQ(app.shell.requests.size(), 1u);
    const auto& r = app.shell.requests[0];
    EXPECT_EQ(r.file, "C:\\p7.exe");
    EXPECT_EQ(r.owner, app.form.window().nativeHandle());
    EXPECT_TRUE(app.tk.messageBoxes.empty());
}

TEST(ProcessMenu, EndAsksFirstWithTheExactText) {
    MenuApp app;
    app.tk.onPopup = [](HPopupMenu&) { return 1; };
    app.tk.messageBoxAnswers = {ui::MessageBoxAnswer::Cancel, ui::MessageBoxAnswer::Ok};
    app.row(6).mouseDown(ui::MouseButton::Right);
    ASSERT_EQ(app.tk.messageBoxes.size(), 1u);
    EXPECT_EQ(app.tk.messageBoxes[0].text, "某些进程是系统进程，结束会引起系统不稳定，真的要结束进程p6.exe");
    EXPECT_EQ(app.tk.messageBoxes[0].title, "结束进程");
    EXPECT_EQ(app.tk.messageBoxes[0].buttons, ui::MessageBoxButtons::OkCancel);
    EXPECT_EQ(app.processes.countNamed("p6.exe"), 1);  // Cancel ends nothing
    app.row(6).mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(app.processes.countNamed("p6.exe"), 0);
}

TEST(ProcessMenu, RowsRebuiltWhileTheMenuIsOpenAreNeverTouched) {
    MenuApp app;
    app.timer(3).setEnabled(true);
    // The menu's own message loop runs a refresh that leaves fewer rows.
    app.tk.onPopup = [&](HPopupMenu&) {
        while (app.processes.procs.size() > 3) app.processes.kill(app.processes.procs.back().pid);
        app.timer(3).fire();
        return 0;
    };
    app.row(7).mouseDown(ui::MouseButton::Right);
    EXPECT_TRUE(app.shell.requests.empty());
    app.tk.onPopup = [](HPopupMenu&) { return 1; };
    EXPECT_EQ(app.form.processPage().currentRow(), 7);
    app.form.processPage().endpro_Click();
    EXPECT_TRUE(app.tk.messageBoxes.empty());
}

TEST(ProcessMenu, EndsTheProcessOfTheRightClickedRowOnly) {
    MenuApp app;
    app.timer(3).setEnabled(true);
    app.tk.onPopup = [](HPopupMenu&) { return 1; };
    // While the box is open a refresh drops rows 7 and 8; OK then ends nothing.
    app.tk.onMessageBox = [&](const HeadlessToolkit::MessageBoxCall&) {
        app.processes.kill(app.processes.procs.back().pid);
        app.processes.kill(app.processes.procs.back().pid);
        app.timer(3).fire();
    };
    app.tk.messageBoxAnswers = {ui::MessageBoxAnswer::Ok};
    app.row(8).mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(app.tk.messageBoxes.size(), 1u);
    EXPECT_EQ(app.processes.procs.size(), 6u);
    EXPECT_EQ(app.form.processPage().rows->count(), 6);
    // p6 ends while the box is open and a refresh gives its row to late.exe,
    // which was given p6's id: OK ends neither.
    app.tk.onMessageBox = [&](const HeadlessToolkit::MessageBoxCall&) {
        const auto p6 = app.processes.procs.at(5).pid;
        app.processes.kill(p6);
        app.processes.procs.push_back({p6, "late.exe", "C:\\late.exe", true, true, 424242});
        app.timer(3).fire();
    };
    app.tk.messageBoxAnswers = {ui::MessageBoxAnswer::Ok};
    app.row(6).mouseDown(ui::MouseButton::Right);
    EXPECT_EQ(app.tk.messageBoxes.back().text.substr(app.tk.messageBoxes.back().text.size() - 6), "p6.exe");
    EXPECT_EQ(app.processes.countNamed("late.exe"), 1);
    // Two processes of one name: the row of the second ends the second.
    app.tk.onMessageBox = nullptr;
    const auto first = app.processes.start("twin.exe", "C:\\a\\twin.exe");
    const auto second = app.processes.start("twin.exe", "G:\\b\\twin.exe");
    app.timer(3).fire();
    ASSERT_EQ(app.page().pathOf(8), "G:\\b\\twin.exe");
    app.tk.messageBoxAnswers = {ui::MessageBoxAnswer::Ok};
    app.row(8).mouseDown(ui::MouseButton::Right);
    EXPECT_TRUE(app.processes.running(first));
    EXPECT_FALSE(app.processes.running(second));
}

TEST(FileWork, ReturnsWhatTheShellLeft) {
    MemoryShell shell;
    shell.accepted = false;
    EXPECT_FALSE(process::ShowFileProperties(shell, "", 0x1234));
    EXPECT_EQ(shell.requests.at(0).owner, 0x1234u);
    EXPECT_EQ(shell.requests.at(0).file, "");
}

}  // namespace
}  // namespace wd::test
