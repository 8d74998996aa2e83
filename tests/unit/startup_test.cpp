#include <gtest/gtest.h>

#include <cctype>

#include "app/command_line.h"
#include "app/elevation.h"
#include "common/paths.h"
#include "app/layout.h"
#include "drive/drive_page.h"
#include "process/process_page.h"
#include "registry/browser_page.h"
#include "registry/hijack_page.h"
#include "support/fixture.h"

namespace wd::test {
namespace {

namespace L = wd::layout;

TEST(StartUp, WithoutArgumentShowsTheDrivePageAndFirstState) {
    App app;
    auto& w = app.window();
    EXPECT_EQ(app.tk.commonControlsInits, 1);
    EXPECT_TRUE(w.visible());
    EXPECT_FALSE(w.minimized());
    EXPECT_EQ(w.caption(), "Skorrin助手——Wardeck");
    EXPECT_EQ(w.outerWidth(), 7260);
    EXPECT_EQ(w.outerHeight(), 5280);
    EXPECT_EQ(w.backColor(), (ui::Rgb{236, 233, 216}));

    // Each page starts with its list empty and its flags set.
    app.allPages();
    auto& f = app.form;
    EXPECT_EQ(f.hijackPage().rows->count(), 0);
    EXPECT_EQ(f.browserPage().rows->count(), 0);
    EXPECT_EQ(f.processPage().rows->count(), 0);
    EXPECT_EQ(f.processPage().baselineCount(), 0);
    EXPECT_TRUE(f.hijackPage().selectAllNext());
    EXPECT_TRUE(f.browserPage().selectAllNext());
    EXPECT_EQ(f.processPage().currentRow(), 0);
    EXPECT_TRUE(f.hijackPage().needsRefill());
    EXPECT_TRUE(f.browserPage().needsRefill());
    EXPECT_EQ(app.background().exitChoice(), drive::ExitChoice::None);

    for (int n = 1; n <= 4; ++n) EXPECT_FALSE(app.timer(n).enabled()) << "Timer" << n;
    EXPECT_EQ(app.timer(1).interval(), 100);
    EXPECT_EQ(app.timer(2).interval(), 50);
    EXPECT_EQ(app.timer(3).interval(), 200);
    EXPECT_EQ(app.timer(4).interval(), 200);

    auto& combo = app.byId<HComboBox>(L::kCombo1.id);
    EXPECT_EQ(combo.text(), "H:");
    ASSERT_EQ(combo.itemCount(), 23);
    for (int k = 0; k < 23; ++k) EXPECT_EQ(combo.item(k), std::string(1, static_cast<char>('D' + k)) + ":");

    auto& drive = app.container(L::kDrive);
    EXPECT_TRUE(drive.visible());
    EXPECT_EQ(drive.rect().top, 1200);
    EXPECT_EQ(drive.rect().left, 1920);
    for (int p = 1; p < L::kPageCount; ++p) EXPECT_FALSE(app.container(p).visible()) << p;
    EXPECT_EQ(app.byId<HButton>(L::kCommand1.id).caption(), "开启优盘监控");
}

struct WatchCase {
    const char* argument;
    bool background;
    const char* driveText;
};
void PrintTo(const WatchCase& c, std::ostream* os) { *os << '"' << c.argument << '"'; }

class WatchArgument : public ::testing::TestWithParam<WatchCase> {};

TEST_P(WatchArgument, DecidesBackgroundModeAndTheDrive) {
    const WatchCase& c = GetParam();
    App app(c.argument);
    auto& combo = app.byId<HComboBox>(L::kCombo1.id);
    EXPECT_EQ(combo.text(), c.driveText);
    EXPECT_EQ(combo.itemCount(), 23);
    EXPECT_EQ(app.window().visible(), !c.background);
    EXPECT_EQ(app.window().minimized(), c.background);
    EXPECT_EQ(app.timer(1).enabled(), c.background);
    EXPECT_EQ(app.byId<HButton>(L::kCommand1.id).caption(), c.background ? "停止 监控" : "开启优盘监控");
    EXPECT_FALSE(app.timer(2).enabled());
    EXPECT_EQ(app.background().exitChoice(), drive::ExitChoice::None);
    EXPECT_TRUE(app.container(L::kDrive).visible());
}

INSTANTIATE_TEST_SUITE_P(Cases, WatchArgument,
                         ::testing::Values(WatchCase{"", false, "H:"}, WatchCase{"watchG", true, "G:"},
                                           WatchCase{"watch", true, "h:"}, WatchCase{"Watch", false, "H:"},
                                           WatchCase{"WATCHG", false, "H:"}, WatchCase{" watchG", false, "H:"},
                                           WatchCase{"xwatchG", false, "H:"}, WatchCase{"watchG ", true, " :"},
                                           WatchCase{"watc", false, "H:"}, WatchCase{"watch優", true, "優:"},
                                           WatchCase{"ｗatchG", false, "H:"}, WatchCase{"watchGH", true, "H:"}),
                         [](const auto& info) {
                             // Test names take letters, digits and underscores only.
                             std::string name = "Case" + std::to_string(info.index) + "_";
                             for (char c : std::string(info.param.argument))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(WatchArgument, TenThousandCharacters) {
    std::string longArg(10000, 'x');
    App plain(longArg);
    EXPECT_TRUE(plain.window().visible());
    EXPECT_EQ(plain.byId<HComboBox>(L::kCombo1.id).text(), "H:");

    App watching("watch" + std::string(9994, 'a') + "Q");
    EXPECT_FALSE(watching.window().visible());
    EXPECT_EQ(watching.byId<HComboBox>(L::kCombo1.id).text(), "Q:");
}

TEST(WatchArgument, BrokenUtf8TailIsOneCharacter) {
    // A stray continuation byte at the end is taken as it is, never read past.
    auto r = app::parseWatchArgument(std::string("watch\x80", 6));
    EXPECT_TRUE(r.watch);
    EXPECT_EQ(r.driveText, std::string("\x80:", 2));
    r = app::parseWatchArgument(std::string("watch\xE5\xAE", 7));
    EXPECT_EQ(r.driveText, std::string("\xAE:", 2));
}

TEST(CommandLine, ArgumentIsTheTextAfterTheProgramPath) {
    using app::argumentFromCommandLine;
    EXPECT_EQ(argumentFromCommandLine(R"("C:\Program Files\Wardeck\wardeck.exe" watchG)"), "watchG");
    EXPECT_EQ(argumentFromCommandLine(R"(C:\Tools\wardeck.exe watchG)"), "watchG");
    EXPECT_EQ(argumentFromCommandLine(R"("C:\x\wardeck.exe"watchG)"), "watchG");
    EXPECT_EQ(argumentFromCommandLine(R"(C:\Tools\wardeck.exe)"), "");
    EXPECT_EQ(argumentFromCommandLine(R"("C:\Tools\wardeck.exe")"), "");
    EXPECT_EQ(argumentFromCommandLine(R"(wardeck.exe watchG )"), "watchG ");
    EXPECT_EQ(argumentFromCommandLine(R"(wardeck.exe  watchG)"), " watchG");
    EXPECT_EQ(argumentFromCommandLine(R"("C:\unterminated watchG)"), "");
    EXPECT_EQ(argumentFromCommandLine(""), "");
}

TEST(CommandLine, ExecutableBaseName) {
    EXPECT_EQ(common::executableBaseName(R"(C:\Tools\Wardeck.exe)"), "Wardeck");
    EXPECT_EQ(common::executableBaseName(R"(C:\a.b\guard.v2.EXE)"), "guard.v2");
    EXPECT_EQ(common::executableBaseName("noext"), "noext");
    EXPECT_EQ(common::executableBaseName(R"(C:\Tools\)"), "");
}

using platform::Elevation;

const StartInfo kInteractive{"", "C:\\Tools\\wardeck.exe"};

TEST(StartRights, AFilteredAdministratorAsksOnceForTheFullRights) {
    {
        MemoryRights rights;
        rights.token = Elevation::Limited;
        EXPECT_EQ(app::takeRights(rights, {"anything", "G:\\wardeck.exe"}), app::StartRights::Quit);
        ASSERT_EQ(rights.restarts.size(), 1u);
        // The verb comes from the machine's class of programs, never from the
        // merged root where the user's own classes win.
        EXPECT_EQ(rights.restarts[0],
                  (platform::ElevationRequest{"G:\\wardeck.exe", "anything", "runas", "Software\\Classes\\exefile"}));
        EXPECT_EQ(rights.debugRequests, 0) << "the copy that ends takes nothing";
    }
    {
        MemoryRights rights;  // the prompt declined: on as before
        rights.token = Elevation::Limited;
        rights.consent = false;
        EXPECT_EQ(app::takeRights(rights, kInteractive), app::StartRights::Run);
        EXPECT_EQ(rights.restarts.size(), 1u);
        EXPECT_EQ(rights.debugRequests, 1);
    }
    {
        MemoryRights rights;  // the copy it started, filtered again: never asks a second time
        rights.token = Elevation::Limited;
        rights.restartedCopy = true;
        EXPECT_EQ(app::takeRights(rights, kInteractive), app::StartRights::Run);
        EXPECT_TRUE(rights.restarts.empty());
        EXPECT_FALSE(rights.restartedCopy) << "the mark is not handed on";
    }
}

TEST(StartRights, FullAndDefaultTokensAndTheWatchStartNeverAsk) {
    for (const Elevation token : {Elevation::Full, Elevation::Default}) {
        MemoryRights rights;
        rights.token = token;
        rights.holdsDebug = token == Elevation::Full;
        EXPECT_EQ(app::takeRights(rights, kInteractive), app::StartRights::Run);
        EXPECT_TRUE(rights.restarts.empty());
        EXPECT_EQ(rights.debugRequests, 1);
    }
    for (const char* watch : {"watchG", "watch"}) {
        MemoryRights rights;
        rights.token = Elevation::Limited;
        EXPECT_EQ(app::takeRights(rights, {watch, "C:\\Tools\\wardeck.exe"}), app::StartRights::Run) << watch;
        EXPECT_TRUE(rights.restarts.empty()) << "no prompt at log-on";
        EXPECT_EQ(rights.debugRequests, 1);
    }
}

}  // namespace
}  // namespace wd::test
