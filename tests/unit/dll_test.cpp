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
        EXPECT_EQ(app.tk.messageBoxes[0].style, 0);
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
        DllApp app;  // a folder
        app.files.addFolder("G:\\folder.dll");
        app.run("G:\\folder.dll");
        EXPECT_TRUE(app.files.find("G:\\folder.dll"));
        EXPECT_EQ(app.shell.started.at(0).second, StartStyle::Hidden);
        EXPECT_TRUE(app.tk.messageBoxes.empty());
    }
    {
        DllApp app;  // held by another process
        app.files.addFile("G:\\held.dll").locked = true;
        app.run("G:\\held.dll");
        EXPECT_TRUE(app.files.find("G:\\held.dll"));
        EXPECT_EQ(app.shell.started.at(0).second, StartStyle::Hidden);
    }
    {
        DllApp app;  // no shell running: nothing to wait for, the shell is started anyway
        app.processes.terminate(app.shellPid);
        app.files.addFile("G:\\x.dll");
        app.run("G:\\x.dll");
        EXPECT_TRUE(app.processes.waits.empty());
        EXPECT_EQ(app.shell.started.at(0).second, StartStyle::MinimizedActive);
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

TEST(FullPath, OnlyPathsThatNeedNoFolderToStartFrom) {
    for (const char* full : {"C:\\Windows\\explorer.exe", "c:/x", "\\\\srv\\share\\a.exe", "\\\\?\\C:\\a"})
        EXPECT_TRUE(common::isFullPath(full)) << full;
    for (const char* relative : {"", "explorer.exe", "C:explorer.exe", "\\explorer.exe", ".\\explorer.exe", "C:",
                                 "\\\\", "\\\\\\x", "http://example.com/a.exe", "shell:::{20D04FE0}"})
        EXPECT_FALSE(common::isFullPath(relative)) << relative;
}

}  // namespace
}  // namespace wd::test
