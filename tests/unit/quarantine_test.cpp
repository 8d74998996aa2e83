#include <gtest/gtest.h>

#include "app/layout.h"
#include "drive/quarantine.h"
#include "support/fixture.h"
#include "support/memory_files.h"
#include "support/memory_platform.h"

namespace wd::test {
namespace {

namespace L = wd::layout;
using drive::QuarantineDrive;

const std::string kFolder = "G:\\★优盘VIP房☆";

struct Drive {
    MemoryFiles files;
    MemoryText text;
    Drive() { files.addDrive("G:"); }
    void run(const std::string& drive = "G:") { QuarantineDrive(files, text, drive); }
    bool has(const std::string& path) { return files.find(path) != nullptr; }
};

TEST(Quarantine, NothingIsWrittenWithoutAutorunInf) {
    Drive d;
    d.files.addFile("G:\\virus.exe");
    d.files.addFile("G:\\autorun.inf.txt");
    d.run();
    EXPECT_EQ(d.files.writes(), 0);
    EXPECT_TRUE(d.files.log.empty());
    EXPECT_FALSE(d.has(kFolder));
}

TEST(Quarantine, MovesAHiddenReadOnlyAutorunAndTheFilesItNames) {
    Drive d;
    auto& inf = d.files.addFile("G:\\AUTORUN.INF", "[autorun]\r\nopen=virus.exe\r\nicon=virus.exe,0\r\n");
    inf.hidden = inf.system = inf.readOnly = true;
    auto& virus = d.files.addFile("G:\\virus.exe", "MZ");
    virus.hidden = virus.readOnly = true;
    d.run();
    EXPECT_EQ(d.files.listing("G:"), (std::vector<std::string>{kFolder + "\\", kFolder + "\\autorun.inf.vkq",
                                                               kFolder + "\\virus.exe.vkq"}));
    const auto* moved = d.files.find(kFolder + "\\virus.exe.vkq");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->data, "MZ");
    EXPECT_FALSE(moved->hidden || moved->readOnly);
    // A later run finds no autorun.inf and writes nothing.
    const int writes = d.files.writes();
    d.run();
    EXPECT_EQ(d.files.writes(), writes);
}

TEST(Quarantine, ReusesTheFolderAndReplacesOlderCopies) {
    Drive d;
    d.files.addFolder(kFolder);
    d.files.addFile(kFolder + "\\autorun.inf.vkq", "old").readOnly = true;
    d.files.addFile(kFolder + "\\virus.exe.vkq", "old virus").hidden = true;
    d.files.addFile(kFolder + "\\keep.txt", "mine");
    d.files.addFile("G:\\autorun.inf", "open=virus.exe");
    d.files.addFile("G:\\virus.exe", "new virus");
    d.run();
    EXPECT_EQ(d.files.find(kFolder + "\\autorun.inf.vkq")->data, "open=virus.exe");
    EXPECT_EQ(d.files.find(kFolder + "\\virus.exe.vkq")->data, "new virus");
    EXPECT_EQ(d.files.find(kFolder + "\\keep.txt")->data, "mine");
    EXPECT_FALSE(d.has("G:\\virus.exe"));
}

TEST(Quarantine, FailuresBeforeTheMoveLeaveAutorunForTheNextRun) {
    {
        Drive d;  // a file where the folder should be
        d.files.addFile(kFolder, "blocker");
        d.files.addFile("G:\\autorun.inf", "open=virus.exe");
        d.files.addFile("G:\\virus.exe");
        for (int i = 0; i < 3; ++i) d.run();
        EXPECT_TRUE(d.has("G:\\autorun.inf"));
        EXPECT_TRUE(d.has("G:\\virus.exe"));
        EXPECT_EQ(d.files.writes(), 0);
    }
    {
        Drive d;  // write-protected
        d.files.addFile("G:\\autorun.inf", "open=virus.exe");
        d.files.setWriteProtected("G:", true);
        d.run();
        EXPECT_TRUE(d.has("G:\\autorun.inf"));
        EXPECT_FALSE(d.has(kFolder));
        d.files.setWriteProtected("G:", false);
        d.run();  // retried at the next tick
        EXPECT_FALSE(d.has("G:\\autorun.inf"));
    }
    {
        Drive d;  // the older copy cannot be deleted
        d.files.addFolder(kFolder);
        d.files.addFile(kFolder + "\\autorun.inf.vkq").locked = true;
        d.files.addFile("G:\\autorun.inf", "open=virus.exe");
        d.run();
        EXPECT_TRUE(d.has("G:\\autorun.inf"));
    }
}

struct LineCase {
    const char* line;
    std::optional<std::string> name;
};

TEST(Quarantine, NameOnEachLine) {
    const LineCase cases[] = {
        {"open=virus.exe", "virus.exe"},
        {"shell\\open\\command=virus.exe", "virus.exe"},
        {"open = virus.exe", "virus.exe"},
        {"open=virus.exe -x", "-x"},
        {"icon=virus.exe,0", "virus.exe,0"},
        {"open=\"virus.exe\"", "\"virus.exe\""},
        {"[autorun]", std::nullopt},
        {";open=virus.exe", "virus.exe"},
        {"open=", ""},
        {"open ", ""},
        {"", std::nullopt},
        {"=", std::nullopt},
        {"=virus.exe", std::nullopt},
        {" virus.exe", std::nullopt},
        {"x", std::nullopt},
        {"open\tvirus.exe", std::nullopt},
        {"open＝virus.exe", std::nullopt},
        {"label=USB DISK", "DISK"},
        {"打开=病毒.exe", "病毒.exe"},
    };
    for (const LineCase& c : cases) EXPECT_EQ(drive::nameOnLine(c.line), c.name) << c.line;
}

TEST(Quarantine, LinesEndAtCrLfOrEitherAloneAndBomsDecide) {
    MemoryText text;
    EXPECT_EQ(drive::autorunLines(text, "a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(drive::autorunLines(text, "a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(drive::autorunLines(text, "\xEF\xBB\xBFopen=x"), (std::vector<std::string>{"open=x"}));
    const std::string utf16("\xFF\xFEo\0=\0x\0\r\0\n\0\x7F\x75=\0", 16);
    EXPECT_EQ(drive::autorunLines(text, utf16), (std::vector<std::string>{"o=x", "畿="}));
    EXPECT_TRUE(drive::autorunLines(text, "").empty());
    // A lone surrogate and an odd byte do not stop the decoding.
    EXPECT_EQ(drive::autorunLines(text, std::string("\xFF\xFE\x00\xD8o\0z", 7)),
              (std::vector<std::string>{"\xEF\xBF\xBDo"}));
}

TEST(Quarantine, EveryNamedFileOnALineIsHandledInOrder) {
    Drive d;
    d.files.addFolder("G:\\DISK");
    d.files.addFile("G:\\DISK\\inside.txt", "i");
    d.files.addFile("G:\\virus.exe");
    d.files.addFile("G:\\x");
    d.files.addFile("G:\\autorun.inf",
                    "[autorun]\r\nopen=virus.exe\r\nshell\\open\\command=virus.exe\r\nlabel=USB DISK\r\n"
                    "action=run x\r\n;comment=nothing.exe\r\n");
    d.run();
    EXPECT_TRUE(d.has(kFolder + "\\virus.exe.vkq"));
    EXPECT_TRUE(d.has(kFolder + "\\DISK.vkq\\inside.txt"));
    EXPECT_TRUE(d.has(kFolder + "\\x.vkq"));
    EXPECT_FALSE(d.has("G:\\virus.exe"));
}

TEST(Quarantine, OneBadLineDoesNotEndTheRun) {
    Drive d;
    d.files.addFolder("G:\\sub");
    d.files.addFile("G:\\sub\\virus.exe");                 // a folder part: cannot be moved
    d.files.addFolder(kFolder);
    d.files.addFolder(kFolder + "\\old.exe.vkq");           // an older target that is a folder
    d.files.addFile("G:\\old.exe");
    d.files.addFile("G:\\locked.exe").locked = true;         // held by another program
    d.files.addFile("G:\\good.exe");
    d.files.addFile("G:\\autorun.inf",
                    "open=sub\\virus.exe\r\nopen=\r\nopen=old.exe\r\nopen=locked.exe\r\nopen=good.exe\r\n");
    d.run();
    EXPECT_TRUE(d.has("G:\\sub\\virus.exe"));
    EXPECT_TRUE(d.has("G:\\old.exe"));
    EXPECT_TRUE(d.has("G:\\locked.exe"));
    EXPECT_TRUE(d.has(kFolder + "\\good.exe.vkq"));
    // The empty name never touched the drive's root.
    for (const std::string& op : d.files.log) EXPECT_NE(op, "setNormal G:\\") << op;
}

TEST(Quarantine, LongLinesLineFeedsAndUtf16HideNoName) {
    for (const std::string& content :
         {std::string(100000, 'A') + "\r\nopen=virus.exe", std::string("[autorun]\nopen=virus.exe\n"),
          std::string("\xFF\xFE[\0a\0]\0\r\0\n\0o\0p\0e\0n\0=\0v\0i\0r\0u\0s\0.\0e\0x\0e\0", 40)}) {
        Drive d;
        d.files.addFile("G:\\virus.exe");
        d.files.addFile("G:\\autorun.inf", content);
        d.run();
        EXPECT_TRUE(d.has(kFolder + "\\virus.exe.vkq")) << content.size();
    }
}

TEST(Quarantine, NamesNeverLeadOffTheDrive) {
    Drive d;
    d.files.addFile("C:\\Windows\\system.dll");
    d.files.addFile("C:\\boot.ini");
    d.files.addFile("G:\\sub\\x.exe");
    d.files.addFolder("G:\\sub");
    d.files.addFile("G:\\autorun.inf",
                    "a=..\\..\\C:\\boot.ini\r\nb=C:\\Windows\\system.dll\r\nc=\\boot.ini\r\nd=sub\\..\\..\\boot.ini\r\n"
                    "e=...\r\nf=.\r\ng=CON\r\nh=NUL\r\ni=G:\\sub\\x.exe\r\nj=sub\\x.exe:stream\r\n" +
                        std::string("k=virus\0.exe\r\n", 15));
    d.run();
    EXPECT_TRUE(d.has("C:\\Windows\\system.dll"));
    EXPECT_TRUE(d.has("C:\\boot.ini"));
    EXPECT_TRUE(d.has("G:\\sub\\x.exe"));
    for (const std::string& op : d.files.log) EXPECT_EQ(op.find("C:"), std::string::npos) << op;
    for (const char* bad : {"..\\x", "C:x", "\\x", "/x", "a\\..\\b", "...", ". .", ""})
        EXPECT_FALSE(drive::nameStaysOnDrive(bad)) << bad;
    for (const char* ok : {"virus.exe", "sub\\virus.exe", "..virus", "a.b.c", "病毒.exe"})
        EXPECT_TRUE(drive::nameStaysOnDrive(ok)) << ok;
}

TEST(Quarantine, EmptyAutorunIsMovedAndNothingElse) {
    Drive d;
    d.files.addFile("G:\\autorun.inf");
    d.files.addFile("G:\\virus.exe");
    d.run();
    EXPECT_EQ(d.files.listing("G:"),
              (std::vector<std::string>{"G:\\virus.exe", kFolder + "\\", kFolder + "\\autorun.inf.vkq"}));
}

TEST(Quarantine, OddDriveTexts) {
    Drive d;
    d.files.addFile("C:\\autorun.inf", "open=virus.exe");
    d.files.addFile("C:\\virus.exe");
    d.run("");  // an empty drive box means the root of the current drive
    EXPECT_TRUE(d.has("C:\\★优盘VIP房☆\\virus.exe.vkq"));

    Drive e;
    e.files.addFile("G:\\autorun.inf", "open=virus.exe");
    e.run(std::string(300, 'G'));
    e.run("G");
    e.run("\\\\server\\share");
    EXPECT_TRUE(e.has("G:\\autorun.inf"));
    e.files.removeDrive("G:");  // the drive went away between two ticks
    e.run();
    EXPECT_EQ(e.files.writes(), 0);
}

TEST(Quarantine, GarbageAndHugeFilesEndCleanly) {
    Drive d;
    std::string garbage;
    for (unsigned i = 0; i < 10u * 1024 * 1024; ++i) garbage += static_cast<char>((i * 7919u) % 256u);
    d.files.addFile("G:\\autorun.inf", garbage + "\r\nopen=virus.exe");
    d.files.addFile("G:\\virus.exe");
    d.run();
    EXPECT_TRUE(d.has(kFolder + "\\autorun.inf.vkq"));
    EXPECT_TRUE(d.has(kFolder + "\\virus.exe.vkq"));
}

TEST(Monitor, SwitchRunsAQuarantineOnTheDriveBoxEveryTick) {
    App app;
    app.files.addDrive("G:");
    app.files.addFile("G:\\autorun.inf", "open=virus.exe");
    app.files.addFile("G:\\virus.exe");
    auto& button = app.byId<HButton>(L::kCommand1.id);
    auto& combo = app.byId<HComboBox>(L::kCombo1.id);
    button.click();
    EXPECT_EQ(button.caption(), "停止 监控");
    EXPECT_TRUE(app.timer(1).enabled());
    app.timer(1).fire();  // the box still reads H:
    EXPECT_TRUE(app.files.find("G:\\autorun.inf"));
    combo.setText("G:");
    app.timer(1).fire();
    EXPECT_TRUE(app.files.find("G:\\★优盘VIP房☆\\virus.exe.vkq"));
    button.click();
    EXPECT_EQ(button.caption(), "开启优盘监控");
    EXPECT_FALSE(app.timer(1).enabled());
}

}  // namespace
}  // namespace wd::test
