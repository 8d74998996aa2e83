#include <gtest/gtest.h>

#include <algorithm>

#include "common/unicode.h"
#include "app/command_line.h"
#include "app/layout.h"
#include "drive/autostart.h"
#include "drive/drive_page.h"
#include "registry/registry_access.h"
#include "support/fixture.h"

namespace wd::test {
namespace {

namespace L = wd::layout;
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string runValue(MemoryRegistry& reg, const std::string& name) {
    auto v = reg.value(HKLM, kRun, name);
    if (!v) return "<none>";
    auto text = common::utf16leToUtf8(v->data);
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// A main window whose registry is seeded before start-up.
struct AutostartApp : App {
    explicit AutostartApp(std::function<void(MemoryRegistry&)> seed = {},
                          std::string exePath = "C:\\Program Files\\Wardeck\\wardeck.exe")
        : App({}, std::move(exePath), [&](App& app) {
              app.registry.addKey(HKLM, kRun);
              if (seed) seed(app.registry);
          }) {}
    HCheckBox& box() { return tk.byId<HCheckBox>(L::kCheck4.id); }
    HComboBox& combo() { return tk.byId<HComboBox>(L::kCombo1.id); }
};

TEST(Autostart, CommandIsQuotedAndEndsWithTheLetter) {
    EXPECT_EQ(drive::autostartCommand("C:\\Program Files\\Wardeck\\wardeck.exe", "G:"),
              "\"C:\\Program Files\\Wardeck\\wardeck.EXE\" watchG");
    EXPECT_EQ(drive::autostartCommand("C:\\guard.exe", "G:"), "\"C:\\\\guard.EXE\" watchG");
    EXPECT_EQ(drive::autostartCommand("C:\\Tools\\Guard.Exe", ""), "\"C:\\Tools\\Guard.EXE\" watch");
    EXPECT_EQ(drive::autostartCommand("C:\\Tools\\g.exe", "優盘"), "\"C:\\Tools\\g.EXE\" watch優");
    // What start-up reads back from such a command.
    const std::string arg = app::argumentFromCommandLine(drive::autostartCommand("C:\\Program Files\\w.exe", "G:"));
    EXPECT_EQ(arg, "watchG");
    EXPECT_EQ(app::parseWatchArgument(arg).driveText, "G:");
}

TEST(Autostart, StartUpFollowsTheValueAndNeverChangesIt) {
    {
        AutostartApp app([](MemoryRegistry& r) { r.setString(HKLM, kRun, "wardeck", "old command"); });
        EXPECT_EQ(app.box().value(), 1);
        EXPECT_EQ(runValue(app.registry, "wardeck"), "old command");
        EXPECT_TRUE(app.registry.log.empty());
    }
    {
        // The box starts ticked and is cleared: that change asks for no deletion.
        AutostartApp app;
        EXPECT_EQ(app.box().value(), 0);
        EXPECT_EQ(runValue(app.registry, "wardeck"), "<none>");
        EXPECT_EQ(app.registry.openHandles(), 0);
        EXPECT_TRUE(app.registry.log.empty());
    }
    {
        AutostartApp app([](MemoryRegistry& r) { r.denyOpen(HKLM, kRun); });
        EXPECT_EQ(app.box().value(), 0);
        EXPECT_TRUE(app.registry.log.empty());
    }
}

TEST(Autostart, TickingWritesTheValueAndClearingRemovesIt) {
    AutostartApp app;
    app.combo().setText("G:");
    app.box().click();
    EXPECT_EQ(app.box().value(), 1);
    EXPECT_EQ(runValue(app.registry, "wardeck"), "\"C:\\Program Files\\Wardeck\\wardeck.EXE\" watchG");
    app.combo().setText("K:");  // a later change of the drive box does not follow
    EXPECT_EQ(runValue(app.registry, "wardeck"), "\"C:\\Program Files\\Wardeck\\wardeck.EXE\" watchG");
    app.box().click();
    EXPECT_EQ(app.box().value(), 0);
    EXPECT_EQ(runValue(app.registry, "wardeck"), "<none>");
    EXPECT_EQ(app.registry.openHandles(), 0);
}

TEST(Autostart, RefusedWriteLeavesTheBoxClear) {
    AutostartApp app;
    app.registry.makeReadOnly(HKLM, kRun);
    app.box().click();
    EXPECT_EQ(app.box().value(), 0);
    EXPECT_EQ(runValue(app.registry, "wardeck"), "<none>");
}

TEST(Autostart, RefusedDeleteTicksTheBoxAgainAndRewritesTheValue) {
    AutostartApp app([](MemoryRegistry& r) { r.setString(HKLM, kRun, "wardeck", "old"); });
    app.registry.failDeletes = true;
    app.combo().setText("Q:");
    app.box().click();
    EXPECT_EQ(app.box().value(), 1);
    EXPECT_EQ(runValue(app.registry, "wardeck"), "\"C:\\Program Files\\Wardeck\\wardeck.EXE\" watchQ");
}

TEST(Autostart, AValueSpelledOtherwiseIsNotOursAndStartUpLeavesIt) {
    // The box only counts the exact spelling, so it shows clear; the registry
    // holds names without regard to case, and start-up must not delete the
    // value through the click that clearing the box raises.
    for (const char* name : {"WARDECK", "Wardeck", "wardecK"}) {
        AutostartApp app([&](MemoryRegistry& r) { r.setString(HKLM, kRun, name, "C:\\Other\\wardeck.exe watchG"); });
        EXPECT_EQ(app.box().value(), 0) << name;
        EXPECT_EQ(runValue(app.registry, name), "C:\\Other\\wardeck.exe watchG") << name;
        EXPECT_TRUE(app.registry.log.empty()) << name;
        // The user's own clicks still write and delete: ticking writes the
        // value, which the registry keeps under its old spelling.
        app.combo().setText("K:");
        app.box().click();
        EXPECT_NE(std::find(app.registry.log.begin(), app.registry.log.end(),
                            std::string("setValue HKLM\\") + kRun + ":wardeck"),
                  app.registry.log.end())
            << name;
    }
}

TEST(Autostart, TheValueIsReadAndWrittenInThe64BitView) {
    // A Run value of the 32-bit view belongs to 32-bit programs.
    AutostartApp app([](MemoryRegistry& r) {
        r.setString(HKLM, r.physicalPath(HKLM, kRun, platform::View::Bit32), "wardeck", "32-bit");
    });
    EXPECT_EQ(app.box().value(), 0);
    app.box().click();
    EXPECT_EQ(runValue(app.registry, "wardeck"), "\"C:\\Program Files\\Wardeck\\wardeck.EXE\" watchH");
    EXPECT_TRUE(app.registry.hasValue(HKLM, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run", "wardeck"));
}

TEST(Autostart, ProgramInADriveRoot) {
    AutostartApp app({}, "D:\\Guard.exe");
    app.combo().setText("G:");
    app.box().click();
    EXPECT_EQ(runValue(app.registry, "Guard"), "\"D:\\\\Guard.EXE\" watchG");
}

}  // namespace
}  // namespace wd::test
