#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/layout.h"
#include "registry/hijack_page.h"
#include "registry/reg_file.h"
#include "support/fixture.h"
#include "support/reg_file_reader.h"

namespace wd::test {
namespace {

namespace L = wd::layout;
using registry::RegFileKey;

constexpr char kIfeo[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
constexpr char kProtected[] = "Your Image File Name Here without a path";
constexpr char kBackup[] = "C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-30-hijack.reg";

std::string ifeo(const std::string& name) { return std::string(kIfeo) + "\\" + name; }

class HijackPage : public ::testing::Test {
protected:
    void seed(const std::vector<std::string>& names) {
        for (const auto& n : names) app.registry.setString(HKLM, ifeo(n), "Debugger", "C:\\evil\\" + n);
    }
    void seedCount(int n) {
        for (int i = 1; i <= n; ++i) seed({"prog" + std::to_string(i) + ".exe"});
    }
    void open() { app.pageButton(L::kHijack).click(); }
    registry::HijackPage& page() { return app.form.hijackPage(); }
    int count() { return app.form.hijackPage().rows->count(); }
    HCheckBox& row(int k) { return shownRow(*page().rows, k); }
    std::vector<std::string> captions() {
        std::vector<std::string> out;
        for (int k = 1; k <= count(); ++k) out.push_back(row(k).caption());
        return out;
    }
    void tick(const std::string& caption) {
        for (int k = 1; k <= count(); ++k)
            if (row(k).caption() == caption) return row(k).click();
        FAIL() << "no row " << caption;
    }
    void clear() { app.byId<HButton>(L::kCommand3.id).click(); }
    HVScrollBar& bar() { return app.byId<HVScrollBar>(L::kVScroll2.id); }
    std::vector<std::string> deletions() {
        std::vector<std::string> out;
        for (const auto& line : app.registry.log)
            if (line.rfind("delete", 0) == 0) out.push_back(line);
        return out;
    }
    std::optional<registry::RegFile> backup(const char* path = kBackup) {
        auto* f = app.files.find(path);
        if (!f) return std::nullopt;
        return ParseRegFile(f->data);
    }

    App app;
};

// ---- the scan ----

TEST_F(HijackPage, ListsEverySubkeyButTheSampleEntryInOneUnbrokenColumn) {
    seed({"a.exe", kProtected, "b.exe", "映像.exe"});
    app.registry.addKey(HKLM, ifeo(kProtected) + "\\inner");
    open();
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.exe", "b.exe", "映像.exe"}));
    EXPECT_EQ(count(), 3);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(row(k).rect().top, 35 + 285 * (k - 1)) << k;
        EXPECT_EQ(row(k).tag(), std::to_string(35 + 285 * (k - 1)));
        EXPECT_EQ(row(k).value(), 0);
    }
    EXPECT_EQ(app.registry.openHandles(), 0);
}

TEST_F(HijackPage, ToolTipsShowTheValuesThatChangeHowTheProgramStartsFirst) {
    app.registry.setDword(HKLM, ifeo("a.exe"), "MitigationOptions", 256);
    app.registry.setString(HKLM, ifeo("a.exe"), "debugger", "C:\\evil.exe\r\n--quiet");  // the registry's letter case
    app.registry.setString(HKLM, ifeo("a.exe"), "", "default");
    app.registry.setDword(HKLM, ifeo("a.exe"), "GlobalFlag", 512);
    app.registry.addKey(HKLM, ifeo("b.exe"));
    for (int i = 1; i <= 14; ++i) app.registry.setDword(HKLM, ifeo("c.exe"), "Opt" + std::to_string(i), i);
    app.registry.setString(HKLM, ifeo("c.exe"), "VerifierDlls", "x.dll");
    // The filter form: the Debugger one level down, read for the full path.
    app.registry.setDword(HKLM, ifeo("d.exe"), "UseFilter", 1);
    app.registry.setString(HKLM, ifeo("d.exe") + "\\Filter1", "FilterFullPath", "C:\\Apps\\d.exe");
    app.registry.setString(HKLM, ifeo("d.exe") + "\\Filter1", "Debugger", "G:\\worm.exe");
    app.registry.addKey(HKLM, ifeo("d.exe") + "\\Empty");
    open();
    // The scan reads names only: each tip is read as it shows.
    const int scanned = app.registry.enumerationCalls();
    EXPECT_EQ(row(1).toolTipText(),
              "debugger = C:\\evil.exe  --quiet\nGlobalFlag = 512\nMitigationOptions = 256\n（默认） = default");
    EXPECT_GT(app.registry.enumerationCalls(), scanned);
    EXPECT_EQ(row(2).toolTipText(), "（无值）");
    std::string expected = "VerifierDlls = x.dll";
    for (int i = 1; i <= 11; ++i) expected += "\nOpt" + std::to_string(i) + " = " + std::to_string(i);
    EXPECT_EQ(row(3).toolTipText(), expected + "\n…（共 15 个值）");
    EXPECT_EQ(row(4).toolTipText(),
              "Filter1\\Debugger = G:\\worm.exe\nUseFilter = 1\nFilter1\\FilterFullPath = C:\\Apps\\d.exe");
    // A refill forgets the tips: they are read anew.
    const int before = row(1).tipResets;
    clear();
    EXPECT_EQ(row(1).tipResets, before + 1);
}

TEST_F(HijackPage, TheSampleEntryIsSkippedOnlyWhenSpelledExactly) {
    // The registry holds one key whatever its spelling, so each spelling is
    // tried on its own registry.
    for (const char* name :
         {"your image file name here without a path", "YOUR IMAGE FILE NAME HERE WITHOUT A PATH",
          "Your Image File Name Here without a path.exe", " Your Image File Name Here without a path"}) {
        App other;
        other.registry.addKey(HKLM, ifeo(name));
        other.pageButton(L::kHijack).click();
        ASSERT_EQ(other.form.hijackPage().rows->count(), 1) << name;
        EXPECT_EQ(shownRow(*other.form.hijackPage().rows, 1).caption(), name);
    }
}

TEST_F(HijackPage, AMissingOrRefusedKeyGivesAnEmptyList) {
    open();
    EXPECT_EQ(count(), 0);
    clear();
    EXPECT_EQ(count(), 0);

    App denied;
    denied.registry.addKey(HKLM, ifeo("a.exe"));
    denied.registry.denyOpen(HKLM, kIfeo);
    denied.pageButton(L::kHijack).click();
    EXPECT_EQ(denied.form.hijackPage().rows->count(), 0);
}

TEST_F(HijackPage, AKeyRemovedDuringTheScanEndsTheListWhereItWas) {
    seed({"a.exe", "b.exe", "c.exe", "d.exe"});
    app.registry.vanishDuringEnumeration(HKLM, kIfeo, 2);
    open();
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.exe", "b.exe"}));
    clear();  // the key is gone now: an empty list, no failure
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(app.registry.openHandles(), 0);
}

// ---- "清除劫持" ----

struct RangeCase {
    int rows, max;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.rows << " rows"; }
class HijackScrollRange : public HijackPage, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(HijackScrollRange, FollowsTheNewLastRowWithExtraOne) {
    seedCount(GetParam().rows);
    open();
    clear();  // nothing ticked: nothing deleted, the keys listed anew
    EXPECT_EQ(count(), GetParam().rows);
    EXPECT_EQ(bar().max(), GetParam().max);
    EXPECT_TRUE(deletions().empty());
    EXPECT_EQ(app.files.find(kBackup), nullptr);  // nothing to back up
}

INSTANTIATE_TEST_SUITE_P(Rows, HijackScrollRange,
                         ::testing::Values(RangeCase{8, 0}, RangeCase{9, 1}, RangeCase{10, 3}),
                         [](const auto& info) { return std::to_string(info.param.rows) + "Rows"; });

TEST_F(HijackPage, DeletesTickedKeysInRowOrderAndListsWhatIsLeft) {
    seed({"a.exe", "b.exe", "c.exe", "d.exe", "劫持.exe"});
    app.registry.addKey(HKLM, ifeo("c.exe") + "\\PerfOptions");  // a key of its own: it goes too
    open();
    tick("劫持.exe");
    tick("c.exe");
    tick("b.exe");
    clear();
    EXPECT_EQ(deletions(), (std::vector<std::string>{"deleteKey HKLM\\" + ifeo("b.exe"),
                                                     "deleteKey HKLM\\" + ifeo("c.exe") + "\\PerfOptions",
                                                     "deleteKey HKLM\\" + ifeo("c.exe"),
                                                     "deleteKey HKLM\\" + ifeo("劫持.exe")}));
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.exe", "d.exe"}));
    for (int k = 1; k <= count(); ++k) EXPECT_EQ(row(k).value(), 0);
    EXPECT_EQ(app.registry.openHandles(), 0);
    EXPECT_TRUE(app.tk.messageBoxes.empty());
}

TEST_F(HijackPage, BacksUpEveryTickedKeyWholeBeforeDeleting) {
    seed({"a.exe", "b.exe", "c.exe"});
    const std::string c = ifeo("c.exe");
    app.registry.setDword(HKLM, c, "GlobalFlag", 0x200);
    app.registry.setBinary(HKLM, c, "Blob", {0, 1, 2});
    app.registry.setNoData(HKLM, c, "");
    app.registry.setExpandString(HKLM, c + "\\PerfOptions", "Path", "%TEMP%\\x");
    app.registry.setMultiString(HKLM, c + "\\PerfOptions\\Deeper", "List", {"x", "y"});
    open();
    tick("a.exe");
    tick("c.exe");
    std::vector<RegFileKey> expected = app.registry.tree(HKLM, ifeo("a.exe"));
    for (auto& k : app.registry.tree(HKLM, c)) expected.push_back(k);

    const auto before = app.registry.snapshot();

    clear();
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->keys, expected);
    EXPECT_FALSE(app.registry.hasKey(HKLM, ifeo("a.exe")));
    EXPECT_FALSE(app.registry.hasKey(HKLM, c));  // with its subkeys
    EXPECT_EQ(captions(), (std::vector<std::string>{"b.exe"}));
    // Importing the backup gives back exactly the state before the click.
    app.registry.import(*file);
    EXPECT_EQ(app.registry.snapshot(), before);
}

// An entry goes whole, but only as far as its backup read it: a subkey made
// after the backup was written stays (and so does the entry), and a registry
// link inside an entry is never gone through.
TEST_F(HijackPage, AnEntryGoesWholeButNothingItsBackupDidNotRead) {
    seed({"late.exe", "trap.exe", "plain.exe"});
    app.registry.setString(HKLM, ifeo("plain.exe") + "\\Filter", "Debugger", "G:\\worm.exe");
    app.registry.setString(HKLM, "System\\Services\\Vital\\Parameters", "keep", "1");
    app.registry.addLink(HKLM, ifeo("trap.exe") + "\\Filter", HKLM, "System\\Services\\Vital");
    open();
    for (const char* n : {"late.exe", "trap.exe", "plain.exe"}) tick(n);
    app.files.beforeWrite = [&](const std::string&) { app.registry.addKey(HKLM, ifeo("late.exe") + "\\Young"); };
    clear();
    EXPECT_EQ(captions(), (std::vector<std::string>{"late.exe", "trap.exe"}));
    EXPECT_TRUE(app.registry.hasKey(HKLM, ifeo("late.exe") + "\\Young"));
    EXPECT_TRUE(app.registry.hasValue(HKLM, "System\\Services\\Vital\\Parameters", "keep"));
    EXPECT_FALSE(app.registry.hasKey(HKLM, ifeo("plain.exe")));
    // The backup holds what went and what was read, never what a link leads to.
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    for (const auto& k : file->keys) EXPECT_EQ(k.path.find("trap.exe"), std::string::npos) << k.path;
}

TEST_F(HijackPage, ASecondClickInTheSameSecondKeepsTheFirstBackup) {
    seed({"a.exe", "b.exe"});
    open();
    tick("a.exe");
    clear();
    tick("b.exe");
    clear();
    ASSERT_TRUE(backup().has_value());
    EXPECT_EQ(backup()->keys[0].path, "HKEY_LOCAL_MACHINE\\" + ifeo("a.exe"));
    const auto second = backup("C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-30-hijack-2.reg");
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->keys[0].path, "HKEY_LOCAL_MACHINE\\" + ifeo("b.exe"));
    EXPECT_EQ(count(), 0);
}

TEST_F(HijackPage, DeletesNothingWithoutABackup) {
    const std::vector<std::function<void(App&)>> breakages{
        [](App& a) { a.files.failWrites = true; },
        [](App& a) { a.environment.appData.clear(); },
        [](App& a) { a.files.failFlush = true; },
        [](App& a) { a.files.spaceLeft = 100; },
    };
    for (std::size_t i = 0; i < breakages.size(); ++i) {
        App a;
        for (const char* n : {"a.exe", "b.exe"}) a.registry.setString(HKLM, ifeo(n), "Debugger", "x");
        a.pageButton(L::kHijack).click();
        auto& rows = *a.form.hijackPage().rows;
        shownRow(rows, 1).setValue(1);
        shownRow(rows, 2).setValue(1);
        breakages[i](a);
        a.byId<HButton>(L::kCommand3.id).click();
        EXPECT_EQ(a.registry.subkeyNames(HKLM, kIfeo), (std::vector<std::string>{"a.exe", "b.exe"})) << i;
        EXPECT_EQ(a.form.hijackPage().rows->count(), 2) << i;  // listed again, unticked
        EXPECT_EQ(shownRow(rows, 1).value(), 0);
        EXPECT_TRUE(a.tk.messageBoxes.empty());
        EXPECT_EQ(a.files.find(kBackup), nullptr) << i;
    }
}

TEST_F(HijackPage, AKeyWhoseReadingFailedPartOfTheWayStays) {
    seed({"a.exe", "b.exe"});
    app.registry.setString(HKLM, ifeo("a.exe"), "GlobalFlag", "512");
    app.registry.breakEnumeration(HKLM, ifeo("a.exe"), 1);  // its second value cannot be read
    open();
    tick("a.exe");
    tick("b.exe");
    clear();
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.exe"}));
    EXPECT_EQ(app.registry.value(HKLM, ifeo("a.exe"), "GlobalFlag")->data, MemoryRegistry::sz("512"));
}

TEST_F(HijackPage, ASharedKeyIsListedOnceAndARedirectedOneInBothViews) {
    // Windows 7 and later share the hijack key between the views.
    const std::string wowIfeo = "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
    seed({"a.exe"});
    app.registry.setString(HKLM, wowIfeo + "\\stray.exe", "Debugger", "x");  // not what either view shows
    open();
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.exe"}));

    // Redirected, as older Windows had it: the 32-bit view's own subkeys
    // follow, marked, and each goes in its own view.
    App old({}, "C:\\Tools\\wardeck.exe", [&](App& a) {
        a.registry.share(HKLM, kIfeo, false);
        a.registry.addKey(HKLM, ifeo("a.exe"));
        a.registry.addKey(HKLM, wowIfeo + "\\a.exe");
        a.registry.addKey(HKLM, wowIfeo + "\\b.exe");
    });
    old.pageButton(L::kHijack).click();
    auto& rows = *old.form.hijackPage().rows;
    ASSERT_EQ(old.form.hijackPage().rows->count(), 3);
    EXPECT_EQ(shownRow(rows, 2).caption(), "a.exe（32位）");
    EXPECT_EQ(shownRow(rows, 3).caption(), "b.exe（32位）");
    shownRow(rows, 2).setValue(1);
    old.byId<HButton>(L::kCommand3.id).click();
    EXPECT_TRUE(old.registry.hasKey(HKLM, ifeo("a.exe")));
    EXPECT_FALSE(old.registry.hasKey(HKLM, wowIfeo + "\\a.exe"));
    const auto file = ParseRegFile(old.files.find(kBackup)->data);
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->keys.at(0).path, "HKEY_LOCAL_MACHINE\\" + wowIfeo + "\\a.exe");
}

TEST_F(HijackPage, AKeyThatCannotBeBackedUpStaysAndTheOthersGo) {
    seed({"a.exe", "b.exe", "c.exe"});
    app.registry.makeUnreadable(HKLM, ifeo("b.exe"), "Debugger");
    app.registry.setString(HKLM, ifeo("c.exe") + "\\Deep", "line\nbreak", "x");
    open();
    tick("a.exe");
    tick("b.exe");
    tick("c.exe");
    clear();
    EXPECT_EQ(captions(), (std::vector<std::string>{"b.exe", "c.exe"}));
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->keys.size(), 1u);
    EXPECT_EQ(file->keys[0].path, "HKEY_LOCAL_MACHINE\\" + ifeo("a.exe"));
}

TEST_F(HijackPage, RefusedDeletionsAreListedAgain) {
    seed({"a.exe", "b.exe"});
    app.registry.makeReadOnly(HKLM, kIfeo);
    open();
    tick("a.exe");
    clear();
    EXPECT_EQ(deletions().size(), 1u);
    EXPECT_EQ(captions(), (std::vector<std::string>{"a.exe", "b.exe"}));
}

TEST_F(HijackPage, ATickedKeyThatVanishedBeforeTheClickIsNoTrouble) {
    seed({"a.exe", "b.exe"});
    open();
    tick("a.exe");
    app.registry.removeTree(HKLM, ifeo("a.exe"));
    clear();
    EXPECT_EQ(captions(), (std::vector<std::string>{"b.exe"}));
    EXPECT_EQ(app.files.find(kBackup), nullptr);
}

TEST_F(HijackPage, SelectAllTicksThenUnticksEveryRow) {
    seedCount(3);
    open();
    HButton& command4 = app.byId<HButton>(L::kCommand4.id);
    command4.click();
    EXPECT_EQ(command4.caption(), "取消全部");
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(row(k).value(), 1);
    command4.click();
    EXPECT_EQ(command4.caption(), "选定全部");
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(row(k).value(), 0);
    // Select all, then remove: every key goes.
    command4.click();
    clear();
    EXPECT_EQ(count(), 0);
    EXPECT_TRUE(app.registry.subkeyNames(HKLM, kIfeo).empty());
    EXPECT_EQ(command4.caption(), "取消全部");  // a refill does not reset the toggle
}

}  // namespace
}  // namespace wd::test
