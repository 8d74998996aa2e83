#include <gtest/gtest.h>

#include "app/layout.h"
#include "drive/quarantine.h"
#include "support/drive_reference.h"
#include "support/fixture.h"
#include "support/memory_files.h"
#include "support/memory_platform.h"

namespace wd::test {
namespace {

namespace L = wd::layout;

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
    for (const LineCase& c : cases) EXPECT_EQ(nameOnLine(c.line), c.name) << c.line;
}

TEST(Quarantine, LinesEndAtCrLfOrEitherAloneAndBomsDecide) {
    MemoryText text;
    EXPECT_EQ(autorunLines(text, "a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(autorunLines(text, "a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(autorunLines(text, "\xEF\xBB\xBFopen=x"), (std::vector<std::string>{"open=x"}));
    const std::string utf16("\xFF\xFEo\0=\0x\0\r\0\n\0\x7F\x75=\0", 16);
    EXPECT_EQ(autorunLines(text, utf16), (std::vector<std::string>{"o=x", "畿="}));
    EXPECT_TRUE(autorunLines(text, "").empty());
    // A lone surrogate and an odd byte do not stop the decoding.
    EXPECT_EQ(autorunLines(text, std::string("\xFF\xFE\x00\xD8o\0z", 7)),
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
    d.files.addFile("G:\\sub\\virus.exe");                 // a folder part: mirrored in the Quarantine folder
    d.files.addFolder(kFolder);
    d.files.addFolder(kFolder + "\\old.exe.vkq");           // an older target that is a folder
    d.files.addFile("G:\\old.exe");
    d.files.addFile("G:\\locked.exe").locked = true;         // held by another program
    d.files.addFile("G:\\good.exe");
    d.files.addFile("G:\\autorun.inf",
                    "open=sub\\virus.exe\r\nopen=\r\nopen=old.exe\r\nopen=locked.exe\r\nopen=good.exe\r\n");
    d.run();
    EXPECT_TRUE(d.has(kFolder + "\\sub\\virus.exe.vkq"));
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
        EXPECT_FALSE(nameStaysOnDrive(bad)) << bad;
    for (const char* ok : {"virus.exe", "sub\\virus.exe", "..virus", "a.b.c", "病毒.exe"})
        EXPECT_TRUE(nameStaysOnDrive(ok)) << ok;
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

// ---- names with folder parts, device names, "." parts ----

TEST(Quarantine, NamePartsRefuseDevicesAndWayOutsButKeepDotParts) {
    using P = platform::DriveParts;
    EXPECT_EQ(drive::drivePartsOf(".\\virus.exe"), (P{"virus.exe"}));
    EXPECT_EQ(drive::drivePartsOf("./RECYCLER\\S-1-5\\.\\x.exe"), (P{"RECYCLER", "S-1-5", "x.exe"}));
    EXPECT_EQ(drive::drivePartsOf("sub\\\\x.exe"), (P{"sub", "x.exe"}));
    EXPECT_EQ(drive::drivePartsOf("..virus"), (P{"..virus"}));
    for (const char* bad :
         {"CON", "con", "Nul.txt", "sub\\aux", "AUX\\x.exe", "com1", "COM9.exe", "lpt5", "LPT1.a.b", "conin$",
          "CONOUT$", "com\xC2\xB9", "CON .txt", "..", "a\\..\\b", ". .", "\"x.exe\"", "x?.exe",
          "a|b", "x<y", "\x01x", "★优盘VIP房☆", "★优盘vip房☆\\autorun.inf.vkq", ".\\★优盘VIP房☆\\x.exe.vkq",
          "autorun.inf", "AUTORUN.INF", ".", ".\\", "\\\\?\\G:\\x"})
        EXPECT_FALSE(drive::drivePartsOf(bad)) << bad;
    for (const char* ok : {"COM10", "LPT0", "console.exe", "CONX", "nul1", "sub\\autorun.inf", "CO\\M1"})
        EXPECT_TRUE(drive::drivePartsOf(ok)) << ok;
}

struct TrimCase {
    const char* name;
    std::optional<platform::DriveParts> parts;
};

TEST(Quarantine, DotsAndBlanksEndingAPartAreDroppedAsWindowsOpensAPath) {
    using P = platform::DriveParts;
    const TrimCase cases[] = {
        {"dotty.exe.", P{"dotty.exe"}},
        {"virus.exe . .", P{"virus.exe"}},
        {"sub.\\x.exe", P{"sub", "x.exe"}},        // one dot before a separator
        {"sub..\\x.exe", std::nullopt},            // ... and only one
        {"sub \\x.exe", std::nullopt},             // a blank before a separator stays
        {"sub\\...", P{"sub"}},                     // the last part trims to nothing: its folder
        {"sub\\.. ", P{"sub"}},                     // ".. " is no ".." until it is trimmed
        {"...\\x.exe", std::nullopt},              // "..." before a separator becomes ".."
        {"...", std::nullopt},
        {". .", std::nullopt},
        {"CON.", std::nullopt},                    // a device once trimmed
        {"nul .", std::nullopt},
        {"autorun.inf.", std::nullopt},            // the autorun file once trimmed
        {"AUTORUN.INF ", std::nullopt},
        {"★优盘VIP房☆.\\x.exe.vkq", std::nullopt},  // inside the Quarantine folder once trimmed
    };
    for (const TrimCase& c : cases) EXPECT_EQ(drive::drivePartsOf(c.name), c.parts) << c.name;
}

struct AliasCase {
    const char* line;
    const char* source;  // what goes; nullptr: nothing is moved
    const char* target;  // where it goes, inside the Quarantine folder
};

TEST(Quarantine, AnAliasIsQuarantinedUnderTheLongNameItStandsFor) {
    const AliasCase cases[] = {
        {"open=LONG~1DO.EXE", "G:\\longpayloadname.exe", "longpayloadname.exe.vkq"},
        {"shellexecute=long~1do.exe.", "G:\\longpayloadname.exe", "longpayloadname.exe.vkq"},
        {"open=dotty.exe.", "G:\\dotty.exe", "dotty.exe.vkq"},
        {"open=LONG~NYX\\inner.exe", "G:\\longfoldername\\inner.exe", "longfoldername\\inner.exe.vkq"},
        {"icon=LONG~NYX", "G:\\longfoldername", "longfoldername.vkq"},
        {"open=VIP~1\\keep.txt", nullptr, nullptr},  // the Quarantine folder by its alias
        {"open=VIP~1", nullptr, nullptr},
        {"open=JUNCT~1\\x.exe", nullptr, nullptr},   // a link by its alias
    };
    for (const AliasCase& c : cases) {
        Drive d;
        d.files.addFile("G:\\longpayloadname.exe", "MZ long").alias = "LONG~1DO.EXE";
        d.files.addFile("G:\\dotty.exe", "MZ dotty");
        d.files.addFolder("G:\\longfoldername").alias = "LONG~NYX";
        d.files.addFile("G:\\longfoldername\\inner.exe", "MZ inner");
        d.files.addLink("G:\\junction-to-c", "C:\\Windows").alias = "JUNCT~1";
        d.files.addFile("C:\\Windows\\x.exe");
        d.files.addFolder(kFolder).alias = "VIP~1";
        d.files.addFile(kFolder + "\\keep.txt", "mine");
        d.files.addFile("G:\\autorun.inf", std::string("[autorun]\r\n") + c.line + "\r\n");
        d.run();
        int moves = 0;
        for (const std::string& op : d.files.log) moves += op.rfind("move ", 0) == 0;
        if (!c.source) {
            EXPECT_EQ(moves, 1) << c.line;  // autorun.inf alone
            EXPECT_TRUE(d.has(kFolder + "\\keep.txt") && d.has("C:\\Windows\\x.exe")) << c.line;
            continue;
        }
        EXPECT_FALSE(d.has(c.source)) << c.line;
        EXPECT_TRUE(d.has(kFolder + "\\" + c.target)) << c.line;
    }

    // A new autorun.inf named by its alias while the run before it goes on
    // waits in the root for its own run.
    Drive d;
    d.files.addFile("G:\\a.exe");
    d.files.addFile("G:\\autorun.inf", "open=a.exe\r\nopen=AUTORU~1.INF\r\n");
    drive::SliceLimits oneName;
    oneName.names = 1;
    drive::Quarantine q;
    q.tick(d.files, d.text, "G:", oneName);
    d.files.addFile("G:\\autorun.inf", "open=b.exe").alias = "AUTORU~1.INF";
    for (int ticks = 0; q.running() && ticks < 10; ++ticks) q.tick(d.files, d.text, "G:", oneName);
    EXPECT_TRUE(d.has(kFolder + "\\a.exe.vkq"));
    EXPECT_EQ(d.files.find("G:\\autorun.inf")->data, "open=b.exe");
}

TEST(Quarantine, NamesWithFolderPartsAreMirroredInTheQuarantineFolder) {
    Drive d;
    const std::string sid = "S-1-5-21-1004336348-1177238915-682003330-512";
    d.files.addFolder("G:\\RECYCLER");
    d.files.addFolder("G:\\RECYCLER\\" + sid);
    auto& payload = d.files.addFile("G:\\RECYCLER\\" + sid + "\\x.exe", "MZ deep");
    payload.hidden = payload.system = payload.readOnly = true;
    d.files.addFolder("G:\\RECYCLER\\" + sid + "\\sub");
    d.files.addFile("G:\\RECYCLER\\" + sid + "\\sub\\y.dll", "MZ folder");
    d.files.addFile("G:\\dot.exe", "MZ dot");
    d.files.addFolder(kFolder);
    d.files.addFile(kFolder + "\\keep.exe.vkq", "earlier copy");
    d.files.addFile(kFolder + "\\inside.exe", "put here by hand");
    d.files.addFile(kFolder + "\\RECYCLER", "a file where a folder would be made");
    d.files.addFolder("G:\\other");
    d.files.addFile("G:\\other\\z.exe", "MZ z");
    d.files.addFile("G:\\autorun.inf",
                    "shellexecute=RECYCLER\\" + sid + "\\x.exe\r\nopen=.\\dot.exe\r\nopen=missing\\x.exe\r\n"
                    "open=★优盘VIP房☆\\inside.exe\r\nopen=★优盘VIP房☆\\keep.exe.vkq\r\nopen=other\\z.exe\r\n");
    d.run();
    // RECYCLER inside the Quarantine folder is a file: that line is passed over.
    EXPECT_TRUE(d.has("G:\\RECYCLER\\" + sid + "\\x.exe"));
    EXPECT_TRUE(d.has(kFolder + "\\dot.exe.vkq"));
    EXPECT_TRUE(d.has(kFolder + "\\other\\z.exe.vkq"));
    EXPECT_TRUE(d.has("G:\\other"));  // the folders left behind stay
    EXPECT_EQ(d.files.find(kFolder + "\\inside.exe")->data, "put here by hand");
    EXPECT_EQ(d.files.find(kFolder + "\\keep.exe.vkq")->data, "earlier copy");

    // Without the blocking file the payload goes to the mirrored path, its
    // attributes cleared, and only ".vkq" is added to its last part.
    d.files.find(kFolder + "\\RECYCLER")->locked = false;
    ASSERT_TRUE(d.files.deleteFile(kFolder + "\\RECYCLER"));
    d.files.addFile(kFolder + "\\RECYCLER\\" + sid + "\\x.exe.vkq", "older copy");
    d.files.addFile("G:\\autorun.inf", "open=RECYCLER\\" + sid + "\\x.exe\r\nicon=RECYCLER\\" + sid + "\\sub\r\n");
    d.run();
    const auto* moved = d.files.find(kFolder + "\\RECYCLER\\" + sid + "\\x.exe.vkq");
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->data, "MZ deep");
    EXPECT_FALSE(moved->hidden || moved->system || moved->readOnly);
    EXPECT_TRUE(d.has(kFolder + "\\RECYCLER\\" + sid + "\\sub.vkq\\y.dll"));
    EXPECT_TRUE(d.has("G:\\RECYCLER\\" + sid));
}

TEST(Quarantine, AFailedMoveKeepsTheEarlierCopy) {
    Drive d;
    d.files.addFolder(kFolder);
    d.files.addFile(kFolder + "\\autorun.inf.vkq", "earlier autorun").readOnly = true;
    d.files.addFile(kFolder + "\\x.exe.vkq", "earlier x").readOnly = true;
    d.files.addFile("G:\\x.exe", "worm running").locked = true;
    d.files.addFile("G:\\autorun.inf", "open=x.exe").locked = true;
    d.run();  // autorun.inf itself is held: nothing moves, the earlier copy stays
    EXPECT_EQ(d.files.find(kFolder + "\\autorun.inf.vkq")->data, "earlier autorun");
    d.files.find("G:\\autorun.inf")->locked = false;
    d.run();  // x.exe is held: its earlier copy stays
    EXPECT_EQ(d.files.find(kFolder + "\\autorun.inf.vkq")->data, "open=x.exe");
    EXPECT_EQ(d.files.find(kFolder + "\\x.exe.vkq")->data, "earlier x");
    EXPECT_TRUE(d.has("G:\\x.exe"));
    for (const std::string& op : d.files.log) EXPECT_EQ(op.rfind("delete", 0), std::string::npos) << op;
}

// ---- links ----

TEST(Quarantine, NothingIsDoneThroughALink) {
    auto outside = [](Drive& d) {
        auto& sys = d.files.addFile("C:\\Windows\\system32\\kernel.dll", "system");
        sys.system = sys.readOnly = true;
        d.files.addFile("C:\\Windows\\x.exe.vkq", "not ours");
        d.files.addFile("C:\\Windows\\autorun.inf.vkq", "not ours");
        return d.files.listing("C:");
    };
    auto sameOutside = [](Drive& d, const std::vector<std::string>& before) {
        EXPECT_EQ(d.files.listing("C:"), before);
        const auto* sys = d.files.find("C:\\Windows\\system32\\kernel.dll");
        ASSERT_NE(sys, nullptr);
        EXPECT_TRUE(sys->system && sys->readOnly);
        EXPECT_EQ(d.files.find("C:\\Windows\\x.exe.vkq")->data, "not ours");
        for (const std::string& op : d.files.log) EXPECT_EQ(op.find("C:"), std::string::npos) << op;
    };
    {
        Drive d;  // a link as a path part of a name, and a name that is a link
        const auto before = outside(d);
        d.files.addLink("G:\\j", "C:\\Windows");
        d.files.addLink("G:\\f.exe", "C:\\Windows\\system32\\kernel.dll", false);
        d.files.addFile("G:\\good.exe");
        d.files.addFile("G:\\autorun.inf", "open=j\\system32\\kernel.dll\r\nopen=j\r\nopen=f.exe\r\nopen=good.exe\r\n");
        d.run();
        sameOutside(d, before);
        EXPECT_TRUE(d.has(kFolder + "\\good.exe.vkq"));
        EXPECT_TRUE(d.files.find("G:\\j") && d.files.find("G:\\f.exe"));
    }
    {
        Drive d;  // the Quarantine folder is a link: the run ends before anything is touched
        const auto before = outside(d);
        d.files.addLink(kFolder, "C:\\Windows");
        d.files.addFile("G:\\x.exe", "MZ");
        d.files.addFile("G:\\autorun.inf", "open=x.exe");
        d.run();
        d.run();
        sameOutside(d, before);
        EXPECT_TRUE(d.has("G:\\autorun.inf") && d.has("G:\\x.exe"));
        EXPECT_EQ(d.files.writes(), 0);
    }
    {
        Drive d;  // a folder inside the Quarantine folder, and autorun.inf itself, are links
        const auto before = outside(d);
        d.files.addFolder(kFolder);
        d.files.addLink(kFolder + "\\sub", "C:\\Windows");
        d.files.addFolder("G:\\sub");
        d.files.addFile("G:\\sub\\x.exe", "MZ");
        d.files.addFile("G:\\autorun.inf", "open=sub\\x.exe");
        d.run();
        sameOutside(d, before);
        EXPECT_TRUE(d.has("G:\\sub\\x.exe"));
        EXPECT_TRUE(d.has(kFolder + "\\autorun.inf.vkq"));

        d.files.addLink("G:\\autorun.inf", "C:\\Windows\\autorun.inf.vkq", false);
        d.run();
        sameOutside(d, before);
        EXPECT_TRUE(d.files.find("G:\\autorun.inf"));
    }
}

// ---- reading in pieces, runs in slices ----

TEST(Quarantine, TheReaderGivesTheSameNamesInAnyPieces) {
    MemoryText text;
    const std::string utf16("\xFF\xFEo\0=\0x\0\r\0\n\0\x00\xD8=\0\x7F\x75\r\0a\0 \0b\0z", 27);
    for (const std::string& content :
         {std::string("[autorun]\r\nopen=a.exe\r\n\r\nicon=b.exe,0\rx=c\nlabel=USB DISK\r\n=no\r\n x\r\nlast=d"),
          std::string("\xEF\xBB\xBFopen=\xE7\x97\x85.exe\r\n"), utf16, std::string("\xFF\xFE", 2),
          std::string("a=\r\n\r\r\n\n=b= c")}) {
        std::vector<std::string> expected;
        for (const std::string& line : autorunLines(text, content))
            if (auto n = nameOnLine(line)) expected.push_back(*n);
        for (std::size_t piece = 1; piece <= content.size(); ++piece) {
            drive::AutorunReader reader;
            std::vector<std::string> names;
            for (std::size_t at = 0; at < content.size(); at += piece)
                reader.feed(text, std::string_view(content).substr(at, piece), names);
            reader.finish(text, names);
            EXPECT_EQ(names, expected) << "pieces of " << piece;
        }
    }
    // A name too long for any path is passed over; the next line still counts.
    drive::AutorunReader reader;
    std::vector<std::string> names;
    reader.feed(text, "open=" + std::string(drive::kMaxNameBytes + 1, 'x') + "\r\n", names);
    reader.feed(text, "open=" + std::string(drive::kMaxNameBytes, 'y') + "\r\nopen=z", names);
    reader.finish(text, names);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].size(), drive::kMaxNameBytes);
    EXPECT_EQ(names[1], "z");
}

TEST(Quarantine, ARunGoesOnAcrossTicksInSlices) {
    drive::SliceLimits oneName;
    oneName.names = 1;
    oneName.bytes = 16;
    {
        Drive d;
        for (const char* n : {"a.exe", "b.exe", "c.exe"}) d.files.addFile(std::string("G:\\") + n);
        d.files.addFile("G:\\autorun.inf", "open=a.exe\r\nopen=b.exe\r\nopen=c.exe\r\n");
        drive::Quarantine q;
        q.tick(d.files, d.text, "G:", oneName);
        EXPECT_TRUE(q.running());
        EXPECT_FALSE(d.has("G:\\autorun.inf"));
        EXPECT_TRUE(d.has("G:\\c.exe"));
        d.files.addFile("G:\\autorun.inf", "open=late.exe");  // waits for the next run
        d.files.addFile("G:\\late.exe");
        int ticks = 1;
        while (q.running() && ticks < 100) q.tick(d.files, d.text, "G:", oneName), ++ticks;
        EXPECT_GT(ticks, 3);
        for (const char* n : {"a.exe", "b.exe", "c.exe"}) EXPECT_TRUE(d.has(kFolder + "\\" + n + ".vkq")) << n;
        EXPECT_TRUE(d.has("G:\\autorun.inf"));
        q.tick(d.files, d.text, "G:", oneName);
        EXPECT_TRUE(d.has(kFolder + "\\late.exe.vkq"));
        EXPECT_EQ(d.files.find(kFolder + "\\autorun.inf.vkq")->data, "open=late.exe");
    }
    {
        Drive d;  // the drive box changes during a run: the run ends on its own drive
        d.files.addDrive("K:");
        d.files.addFile("G:\\a.exe");
        d.files.addFile("G:\\late.exe");
        d.files.addFile("G:\\autorun.inf", "open=a.exe\r\n" + std::string(200, ';') + "\r\nopen=late.exe\r\n");
        d.files.addFile("K:\\k.exe");
        d.files.addFile("K:\\autorun.inf", "open=k.exe");
        drive::Quarantine q;
        q.tick(d.files, d.text, "G:", oneName);
        q.tick(d.files, d.text, "G:", oneName);
        ASSERT_TRUE(q.running());
        for (int ticks = 0; q.running() && ticks < 100; ++ticks) q.tick(d.files, d.text, "K:", oneName);
        EXPECT_TRUE(d.has(kFolder + "\\late.exe.vkq"));
        EXPECT_TRUE(d.has("K:\\autorun.inf"));  // untouched until the run on G: has ended
        q.tick(d.files, d.text, "K:", oneName);
        EXPECT_TRUE(d.has("K:\\★优盘VIP房☆\\k.exe.vkq"));
    }
    {
        Drive d;  // the drive gone, the copy held or replaced: the run ends
        d.files.addFile("G:\\a.exe");
        d.files.addFile("G:\\z.exe");
        const std::string content = "open=a.exe\r\n" + std::string(200, ';') + "\r\nopen=z.exe\r\n";
        for (int how = 1; how < 3; ++how) {
            d.files.addFile("G:\\autorun.inf", content);
            drive::Quarantine q;
            q.tick(d.files, d.text, "G:", oneName);
            q.tick(d.files, d.text, "G:", oneName);
            ASSERT_TRUE(q.running());
            if (how == 1) d.files.find(kFolder + "\\autorun.inf.vkq")->locked = true;
            if (how == 2) d.files.addFile(kFolder + "\\autorun.inf.vkq", content);
            q.tick(d.files, d.text, "G:", oneName);
            EXPECT_FALSE(q.running()) << how;
            EXPECT_TRUE(d.has("G:\\z.exe")) << how;
            if (how == 1) d.files.find(kFolder + "\\autorun.inf.vkq")->locked = false;
        }
        d.files.addFile("G:\\autorun.inf", "open=z.exe");
        drive::Quarantine q;
        q.tick(d.files, d.text, "G:", oneName);
        d.files.removeDrive("G:");
        q.tick(d.files, d.text, "G:", oneName);
        EXPECT_FALSE(q.running());
    }
}

TEST(Quarantine, DepthCostsOneOpeningPerPartAndEveryStepMayEndASlice) {
    Drive d;
    std::string deep = "G:";
    for (int i = 0; i < 300; ++i) d.files.addFolder(deep += "\\d");
    d.files.addFile(deep + "\\x.exe", "MZ x");
    d.files.addFile(deep + "\\y.exe", "MZ y");
    std::string name;
    for (int i = 0; i < 300; ++i) name += "d\\";
    d.files.addFile("G:\\autorun.inf", "open=" + name + "x.exe\r\nopen=" + name + "y.exe\r\n");
    drive::SliceLimits oneStep;
    oneStep.steps = 1;
    drive::Quarantine q;
    int ticks = 0, most = 0;
    for (; ticks < 5000 && (ticks == 0 || q.running()); ++ticks) {
        int before = 0, after = 0;
        for (const auto& [kind, n] : d.files.rootCalls) before += kind == "open" ? 0 : n;
        q.tick(d.files, d.text, "G:", oneStep);
        for (const auto& [kind, n] : d.files.rootCalls) after += kind == "open" ? 0 : n;
        if (ticks > 0) most = std::max(most, after - before);  // the first also starts the run
    }
    const std::string mirrored = kFolder + deep.substr(2);
    EXPECT_TRUE(d.has(mirrored + "\\x.exe.vkq"));
    EXPECT_TRUE(d.has(mirrored + "\\y.exe.vkq"));
    // Each part is opened once, each folder in the Quarantine folder made
    // once; the second name uses the folders the first left held.
    EXPECT_LE(d.files.rootCalls["step"], 301 + 1 + 3 * 2);
    EXPECT_LE(d.files.rootCalls["enter"], 1 + 300);
    // A step at a time: reading the copy takes four calls, anything else one.
    EXPECT_GT(ticks, 600);
    EXPECT_LE(most, 4);
}

struct SwapCase {
    const char* line;
    const char* folder;  // becomes a link to C:\Windows just before the move
};

TEST(Quarantine, AFolderThatBecomesALinkBeforeTheMoveTakesNothing) {
    const SwapCase cases[] = {
        {"open=sub\\x.exe", "\\sub"},  // made in the Quarantine folder for this name
        {"open=x.exe", ""},            // the Quarantine folder itself
    };
    for (const SwapCase& c : cases) {
        Drive d;
        d.files.addFolder("G:\\sub");
        d.files.addFile("G:\\sub\\x.exe", "MZ");
        d.files.addFile("G:\\x.exe", "MZ");
        d.files.addFile("G:\\autorun.inf", std::string(c.line) + "\r\n");
        d.files.beforeMove = [&](const std::string&, const std::string& to) {
            if (to.find("x.exe.vkq") != std::string::npos) d.files.find(kFolder + c.folder)->linkTo = "C:\\Windows";
        };
        const auto outside = d.files.listing("C:");
        d.run();
        EXPECT_TRUE(d.has(std::string("G:\\") + (c.folder[0] ? "sub\\" : "") + "x.exe")) << c.line;
        EXPECT_EQ(d.files.listing("C:"), outside) << c.line;
    }
}

TEST(Quarantine, FloodsCostOneLookPerNameAtMostAndListingsAfterThat) {
    Drive d;
    d.files.addFile("G:\\held.exe").locked = true;
    d.files.addFolder("G:\\sub");
    d.files.addFile("G:\\sub\\last.exe");
    std::string content;
    for (int i = 0; i < 20000; ++i) content += "open=held.exe\r\nopen=n" + std::to_string(i) + "\r\n";
    for (int i = 0; i < 2000; ++i) content += "open=sub\\m" + std::to_string(i) + "\r\n";
    content += std::string(300000, 'L') + "=" + std::string(100000, '\0') + "\r\nopen=sub\\last.exe";
    d.files.addFile("G:\\autorun.inf", content);
    d.run();
    EXPECT_TRUE(d.has(kFolder + "\\sub\\last.exe.vkq"));
    EXPECT_TRUE(d.has("G:\\held.exe"));
    // 64 looks in each folder before it is listed, one per name that may
    // exist, a few for the run itself.
    EXPECT_LT(d.files.rootCalls["step"], 200);
    EXPECT_LE(d.files.rootCalls["list"], 2);

    // Names that a listing cannot tell apart (only their non-ASCII letters
    // differ) are each still found once the other has moved.
    Drive e;
    e.files.addFile("G:\\病毒.exe");
    e.files.addFile("G:\\木马.exe");
    std::string lines;
    for (int i = 0; i < 100; ++i) lines += "open=x" + std::to_string(i) + "\r\n";
    e.files.addFile("G:\\autorun.inf", lines + "open=病毒.exe\r\nopen=木马.exe\r\n");
    e.run();
    EXPECT_EQ(e.files.rootCalls["list"], 1);
    EXPECT_TRUE(e.has(kFolder + "\\病毒.exe.vkq"));
    EXPECT_TRUE(e.has(kFolder + "\\木马.exe.vkq"));
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
