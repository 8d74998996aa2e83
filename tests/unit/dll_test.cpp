#include <gtest/gtest.h>

#include "app/layout.h"
#include "common/paths.h"
#include "dll/dll_page.h"
#include "support/fixture.h"

namespace wd::test {
namespace {

namespace L = wd::layout;
using platform::StartStyle;

struct DllApp : App {
    DllApp() {
        shellPid = processes.start("explorer.exe", "C:\\Windows\\explorer.exe");
        files.addDrive("G:");
    }
    void run(const std::string& path) {
        byId<HTextBox>(L::kText2.id).setText(path);
        byId<HButton>(L::kCommand11.id).click();
    }
    std::uint32_t shellPid;
};

TEST(ForcedDelete, MissingPathsShowTheExactMessageAndLeaveTheShell) {
    for (const std::string& path : {std::string(), std::string("G:\\nothing.dll"), std::string("G:\\a.dll\r\n"),
                                   std::string(5000, 'x'), std::string("G:\\病毒\\木马.dll")}) {
        DllApp app;
        app.files.addFile("G:\\a.dll");
        app.run(path);
        ASSERT_EQ(app.tk.messageBoxes.size(), 1u);
        EXPECT_EQ(app.tk.messageBoxes[0].text, "没有找到" + path + "文件，请检查文件名与路径是否正确！");
        EXPECT_EQ(app.tk.messageBoxes[0].title, "没有找到！");
        EXPECT_EQ(app.tk.messageBoxes[0].buttons, ui::MessageBoxButtons::Ok);
        EXPECT_TRUE(app.processes.running(app.shellPid));
        EXPECT_TRUE(app.shell.started.empty());
        EXPECT_TRUE(app.files.find("G:\\a.dll"));
    }
}

TEST(ForcedDelete, EndsTheShellWaitsDeletesAndStartsItAgain) {
    DllApp app;
    auto& f = app.files.addFile("G:\\evil.dll");
    f.readOnly = f.hidden = f.system = true;
    app.run("G:\\evil.dll");
    EXPECT_TRUE(app.tk.messageBoxes.empty());
    EXPECT_FALSE(app.processes.running(app.shellPid));
    ASSERT_EQ(app.processes.waits.size(), 1u);
    EXPECT_EQ(app.processes.waits[0].first, app.shellPid);
    EXPECT_GT(app.processes.waits[0].second, 0);
    EXPECT_FALSE(app.files.find("G:\\evil.dll"));
    ASSERT_EQ(app.shell.started.size(), 1u);
    EXPECT_EQ(app.shell.started[0].first, "C:\\Windows\\explorer.exe");
    EXPECT_EQ(app.shell.started[0].second, StartStyle::MinimizedActive);
}

TEST(ForcedDelete, AFailedDeletionRestartsTheShellHidden) {
    {
        DllApp app;  // held by another process
        app.files.addFile("G:\\held.dll").locked = true;
        app.run("G:\\held.dll");
        EXPECT_TRUE(app.files.find("G:\\held.dll"));
        EXPECT_EQ(app.shell.started.at(0).second, StartStyle::Hidden);
        EXPECT_TRUE(app.tk.messageBoxes.empty());
    }
    {
        DllApp app;  // no shell running: nothing to wait for, the shell is started anyway
        app.processes.kill(app.shellPid);
        app.files.addFile("G:\\x.dll");
        app.run("G:\\x.dll");
        EXPECT_TRUE(app.processes.waits.empty());
        EXPECT_EQ(app.shell.started.at(0).second, StartStyle::MinimizedActive);
    }
}

// Only a plain file reached without a link counts as there: a junction in a
// folder the malware can write would turn "delete this DLL" into "delete
// any file an administrator may delete".
TEST(ForcedDelete, OnlyAPlainFileReachedWithoutALinkIsThere) {
    for (const std::string& path :
         {std::string("G:\\folder.dll"), std::string("G:\\j\\kernel32.dll"), std::string("G:\\f.dll"),
          std::string("G:\\x.dll:hidden"), std::string("G:\\sub\\..\\x.dll"), std::string("G:\\x.dll."),
          std::string("x.dll"), std::string("\\\\.\\G:\\x.dll"), std::string("G:x.dll")}) {
        DllApp app;
        app.files.addFolder("G:\\folder.dll");
        app.files.addFolder("G:\\sub");
        app.files.addFile("G:\\x.dll");
        app.files.addFile("C:\\Windows\\System32\\kernel32.dll", "system");
        app.files.addLink("G:\\j", "C:\\Windows\\System32");
        app.files.addLink("G:\\f.dll", "C:\\Windows\\System32\\kernel32.dll", false);
        app.run(path);
        ASSERT_EQ(app.tk.messageBoxes.size(), 1u) << path;
        EXPECT_EQ(app.tk.messageBoxes[0].text, "没有找到" + path + "文件，请检查文件名与路径是否正确！");
        EXPECT_TRUE(app.processes.running(app.shellPid)) << path;
        EXPECT_TRUE(app.shell.started.empty()) << path;
        EXPECT_EQ(app.files.find("C:\\Windows\\System32\\kernel32.dll")->data, "system") << path;
        EXPECT_TRUE(app.files.find("G:\\x.dll")) << path;
        EXPECT_TRUE(app.files.find("G:\\folder.dll")) << path;
    }
}

TEST(ForcedDelete, TheShellStartsAgainAsTheUserNeverWithWardecksRights) {
    struct Case {
        const char* what;
        bool shellRuns, shellElevated, linked;
        std::string startedAs;  // empty: the token of the ended shell
    };
    const Case cases[] = {
        {"an ordinary shell", true, false, true, ""},
        {"an elevated shell", true, true, true, "linked token"},
        {"no shell running", false, false, true, "linked token"},
        {"no unelevated token anywhere", true, true, false, "wardeck's own token"},
    };
    for (const Case& c : cases) {
        DllApp app;
        app.processes.proc(app.shellPid).elevated = c.shellElevated;
        if (!c.shellRuns) app.processes.kill(app.shellPid);
        app.processes.hasLinkedToken = c.linked;
        app.files.addFile("G:\\x.dll");
        app.run("G:\\x.dll");
        EXPECT_FALSE(app.processes.running(app.shellPid)) << c.what;
        ASSERT_EQ(app.shell.startedAs.size(), 1u) << c.what;
        EXPECT_EQ(app.shell.startedAs[0], c.startedAs.empty() ? "token of " + std::to_string(app.shellPid) : c.startedAs)
            << c.what;
    }
}

TEST(ForcedDelete, OnlyTheFirstShellIsEnded) {
    DllApp app;
    const auto second = app.processes.start("explorer.exe");
    app.files.addFile("G:\\x.dll");
    app.run("G:\\x.dll");
    EXPECT_FALSE(app.processes.running(app.shellPid));
    EXPECT_TRUE(app.processes.running(second));
}

TEST(ForcedDelete, TheShellComesFromTheWindowsFolderOnly) {
    {
        // An explorer.exe beside wardeck.exe (an infected stick) is never the one started.
        DllApp app;
        app.files.addFile("C:\\Tools\\explorer.exe");
        app.shell.windows = "D:\\WINNT";
        app.files.addFile("G:\\x.dll");
        app.run("G:\\x.dll");
        ASSERT_EQ(app.shell.started.size(), 1u);
        EXPECT_EQ(app.shell.started[0].first, "D:\\WINNT\\explorer.exe");
    }
    {
        // Without a Windows folder nothing is looked for elsewhere: no shell is started.
        DllApp app;
        app.shell.windows.clear();
        app.files.addFile("G:\\x.dll");
        app.run("G:\\x.dll");
        EXPECT_FALSE(app.files.find("G:\\x.dll"));
        EXPECT_TRUE(app.shell.started.empty());
    }
}

TEST(ForcedDelete, WaitsOnlyForAShellThatWasReallyEnded) {
    {
        DllApp app;  // ending it is refused: it runs on, and nothing waits for it
        app.processes.proc(app.shellPid).terminable = false;
        app.files.addFile("G:\\x.dll");
        app.run("G:\\x.dll");
        EXPECT_EQ(app.processes.terminateCalls, std::vector<std::uint32_t>{app.shellPid});
        EXPECT_TRUE(app.processes.waits.empty());
        EXPECT_TRUE(app.processes.running(app.shellPid));
        EXPECT_FALSE(app.files.find("G:\\x.dll"));
        EXPECT_EQ(app.shell.started.size(), 1u);
    }
    {
        DllApp app;  // ended, but it never exits: the wait runs out, the shell is started all the same
        auto& shell = app.processes.proc(app.shellPid);
        shell.exitsSlowly = shell.hangs = true;
        app.files.addFile("G:\\x.dll");
        app.run("G:\\x.dll");
        ASSERT_EQ(app.processes.waits.size(), 1u);
        EXPECT_EQ(app.processes.waits[0], std::make_pair(app.shellPid, dll::kShellExitWaitMs));
        EXPECT_EQ(app.shell.started.size(), 1u);
        EXPECT_TRUE(app.byId<HButton>(L::kCommand11.id).enabled());
    }
}

// While the shell exits, the program handles its timers and the messages sent
// to it: nothing of that may end the program with the shell down, or end the
// shell a second time.
TEST(ForcedDelete, TheProgramLivesWhileTheShellExits) {
    DllApp app;
    app.processes.proc(app.shellPid).exitsSlowly = true;
    const auto worm = app.processes.start("worm.exe");
    app.byId<HListBox>(L::kList1.id).addItem("worm.exe");
    app.timer(2).setEnabled(true);  // Loop kill
    app.files.addFile("G:\\x.dll");
    auto& button = app.byId<HButton>(L::kCommand11.id);
    std::size_t startedWhenAsked = 99;
    app.tk.onModal = [&](HWindow& w) {
        startedWhenAsked = app.shell.started.size();
        w.tk.byId<HButton>(L::kExitButtons[0].id).click();  // "完全退出"
    };
    app.processes.duringWait = [&] {
        app.timer(2).fire();
        EXPECT_FALSE(app.processes.running(worm)) << "Loop kill ticks during the wait";
        EXPECT_FALSE(button.enabled());
        button.click();
        app.form.dllPage().Command11_Click();  // as a click sent to the button
        app.pageButton(L::kProcess).click();
        app.window().requestClose();  // the close box, the tray menu's "退出监控"
        EXPECT_TRUE(app.shell.started.empty()) << "the Exit dialog waits for the shell";
    };
    app.byId<HTextBox>(L::kText2.id).setText("G:\\x.dll");
    EXPECT_THROW(button.click(), ProgramExited);
    EXPECT_EQ(startedWhenAsked, 1u) << "the Exit dialog opened once the shell was started again";
    EXPECT_EQ(app.processes.waits.size(), 1u);
    EXPECT_EQ(app.processes.countNamed("explorer.exe"), 0);
    EXPECT_EQ(std::count(app.processes.terminateCalls.begin(), app.processes.terminateCalls.end(), app.shellPid), 1);
    EXPECT_TRUE(app.tk.messageBoxes.empty());
    EXPECT_FALSE(app.files.find("G:\\x.dll"));
    EXPECT_TRUE(app.container(L::kProcess).visible());
    EXPECT_TRUE(button.enabled());
}

TEST(ForcedDelete, APathBeyondThePlainLengthIsHandledLikeAnyOther) {
    DllApp app;
    const std::string folder = "G:\\" + std::string(150, 'a') + "\\" + std::string(100, 'b');
    const std::string path = folder + "\\恶意模块.dll";
    app.files.addFolder("G:\\" + std::string(150, 'a'));
    app.files.addFolder(folder);
    app.files.addFile(path).readOnly = true;
    app.files.maxPlainPath = 260;  // plain paths that long name nothing: the parts are reached one by one
    app.run(path);
    EXPECT_TRUE(app.tk.messageBoxes.empty());
    EXPECT_FALSE(app.files.find(path));
    EXPECT_EQ(app.shell.started.at(0).second, StartStyle::MinimizedActive);
    // Missing, it is named in the message as it was typed.
    app.run(path);
    ASSERT_EQ(app.tk.messageBoxes.size(), 1u);
    EXPECT_EQ(app.tk.messageBoxes[0].text, "没有找到" + path + "文件，请检查文件名与路径是否正确！");
}

TEST(SplitFullPath, TakesThePathApartAsWindowsReadsIt) {
    using common::splitFullPath;
    const std::string a(130, 'a'), b(130, 'b');
    struct Case {
        std::string path, root;
        std::vector<std::string> parts;
    };
    const Case taken[] = {
        {"G:\\x.dll", "G:", {"x.dll"}},
        {"G:\\" + a + "\\" + b, "G:", {a, b}},
        {"g:/sub//x.dll", "g:", {"sub", "x.dll"}},
        {"G:\\.\\sub\\.\\x.dll", "G:", {"sub", "x.dll"}},
        {"\\\\?\\G:\\sub\\x.dll", "\\\\?\\G:", {"sub", "x.dll"}},
        {"\\\\srv\\share\\x.dll", "\\\\srv\\share", {"x.dll"}},
        {"\\\\?\\UNC\\srv\\share\\d\\x.dll", "\\\\?\\UNC\\srv\\share", {"d", "x.dll"}},
        {"G:\\病毒\\木马.dll", "G:", {"病毒", "木马.dll"}},
    };
    for (const Case& c : taken) {
        const auto split = splitFullPath(c.path);
        ASSERT_TRUE(split.has_value()) << c.path;
        EXPECT_EQ(split->root, c.root) << c.path;
        EXPECT_EQ(split->parts, c.parts) << c.path;
    }
    for (const std::string& refused :
         {std::string(), std::string("x.dll"), std::string("G:x.dll"), std::string("\\x.dll"), std::string("G:\\"),
          std::string("G:\\sub\\..\\x.dll"), std::string("G:\\x.dll:stream"), std::string("G:\\x.dll."),
          std::string("G:\\x.dll "), std::string("G:\\x*.dll"), std::string("G:\\x.dll\r\n"),
          std::string("\\\\.\\G:\\x.dll"), std::string("\\\\srv"), std::string("\\\\srv\\"),
          std::string("\\\\?\\UNC\\srv")}) {
        EXPECT_FALSE(splitFullPath(refused).has_value()) << refused;
    }
}

TEST(FullPath, OnlyPathsThatNeedNoFolderToStartFrom) {
    for (const char* full : {"C:\\Windows\\explorer.exe", "c:/x", "\\\\srv\\share\\a.exe", "\\\\?\\C:\\a"})
        EXPECT_TRUE(common::isFullPath(full)) << full;
    for (const char* relative : {"", "explorer.exe", "C:explorer.exe", "\\explorer.exe", ".\\explorer.exe", "C:",
                                 "\\\\", "\\\\\\x", "http://example.com/a.exe", "shell:::{20D04FE0}"})
        EXPECT_FALSE(common::isFullPath(relative)) << relative;
}

}  // namespace
}  // namespace wd::test
