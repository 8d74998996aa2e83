#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/layout.h"
#include "registry/browser_page.h"
#include "registry/reg_file.h"
#include "support/fixture.h"
#include "support/reg_file_reader.h"

namespace wd::test {
namespace {

namespace L = wd::layout;
using registry::RegFileKey;
using registry::RegFileValue;
using Strings = std::vector<std::string>;

constexpr char kExt[] = "Software\\Microsoft\\Internet Explorer\\Extensions";
constexpr char kTool[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
constexpr char kHooks[] = "Software\\Microsoft\\Internet Explorer\\URLSearchHooks";
constexpr char kBho[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
constexpr char kBackup[] = "C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-30-browser.reg";

std::string ext(const std::string& name) { return std::string(kExt) + "\\" + name; }
std::string bho(const std::string& name) { return std::string(kBho) + "\\" + name; }

class BrowserPage : public ::testing::Test {
protected:
    void open() { app.pageButton(L::kBrowser).click(); }
    registry::BrowserPage& page() { return app.form.browserPage(); }
    int count() { return app.form.browserPage().rows->count(); }
    HCheckBox& row(int k) { return shownRow(*page().rows, k); }
    Strings captions() {
        Strings out;
        for (int k = 1; k <= count(); ++k) out.push_back(row(k).caption());
        return out;
    }
    Strings entryNames() {
        Strings out;
        for (int k = 1; k <= count(); ++k)
            out.push_back(page().entry(k)->name);
        return out;
    }
    void tick(int k) { row(k).setValue(1); }
    void clear() { app.byId<HButton>(L::kCommand10.id).click(); }
    HVScrollBar& bar() { return app.byId<HVScrollBar>(L::kVScroll1.id); }
    std::optional<registry::RegFile> backup() {
        auto* f = app.files.find(kBackup);
        if (!f) return std::nullopt;
        return ParseRegFile(f->data);
    }
    // Two URL search hooks and two browser helper objects, one of them with a
    // subkey of its own; the same paths under the other root must not be touched.
    void seedWipes() {
        app.registry.setString(HKCU, kHooks, "{HOOK-1}", "");
        app.registry.setString(HKCU, kHooks, "{HOOK-2}", "hook two");
        app.registry.setNoData(HKCU, kHooks, "{HOOK-3}");
        app.registry.setString(HKLM, kHooks, "{MACHINE-HOOK}", "");
        app.registry.setString(HKLM, bho("{BHO-1}"), "", "helper one");
        app.registry.setString(HKLM, bho("{BHO-2}") + "\\Settings", "x", "y");
        app.registry.addKey(HKLM, bho("{BHO-3}"));
        app.registry.addKey(HKCU, bho("{USER-BHO}"));
    }

    App app;
};

// ---- the scan: extensions ----

struct CaptionCase {
    const char* what;
    std::function<void(MemoryRegistry&, const std::string& key)> seed;
    std::string caption;
};
void PrintTo(const CaptionCase& c, std::ostream* os) { *os << c.what; }

class ExtensionCaption : public BrowserPage, public ::testing::WithParamInterface<CaptionCase> {};

TEST_P(ExtensionCaption, ComesFromTheFirstMenuTextOrButtonTextWithData) {
    const std::string key = ext("{EXT}");
    app.registry.addKey(HKLM, key);
    GetParam().seed(app.registry, key);
    open();
    ASSERT_EQ(count(), 1);
    EXPECT_EQ(row(1).caption(), GetParam().caption);
    EXPECT_EQ(page().entry(1)->name, "{EXT}");
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExtensionCaption,
    ::testing::Values(
        CaptionCase{"ButtonTextFirst",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setString(HKLM, k, "ButtonText", "button");
                        r.setString(HKLM, k, "MenuText", "menu");
                    },
                    "button"},
        CaptionCase{"MenuTextFirst",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setString(HKLM, k, "CLSID", "{1}");
                        r.setString(HKLM, k, "MenuText", "菜单");
                        r.setString(HKLM, k, "ButtonText", "button");
                    },
                    "菜单"},
        CaptionCase{"EmptyMenuTextIsTaken",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setString(HKLM, k, "MenuText", "");
                        r.setString(HKLM, k, "ButtonText", "button");
                    },
                    ""},
        CaptionCase{"MenuTextWithoutDataIsPassedOver",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setNoData(HKLM, k, "MenuText");
                        r.setString(HKLM, k, "ButtonText", "button");
                    },
                    "button"},
        CaptionCase{"OtherLetterCaseDoesNotCount",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setString(HKLM, k, "menutext", "menu");
                        r.setString(HKLM, k, "BUTTONTEXT", "button");
                    },
                    "Check3"},
        CaptionCase{"OtherLetterCaseThenTheRightName",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setString(HKLM, k, "menutext", "menu");
                        r.setString(HKLM, k, "ButtonText", "button");
                    },
                    "button"},
        CaptionCase{"NoValues", [](MemoryRegistry&, const std::string&) {}, "Check3"},
        CaptionCase{"OnlyOtherValues",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setString(HKLM, k, "", "default");
                        r.setString(HKLM, k, "Icon", "x.ico");
                        r.setNoData(HKLM, k, "ButtonText");
                    },
                    "Check3"},
        CaptionCase{"BinaryMenuText",
                    [](MemoryRegistry& r, const std::string& k) { r.setBinary(HKLM, k, "MenuText", {0xCA, 0xFE}); },
                    "ca fe"},
        CaptionCase{"DwordMenuText",
                    [](MemoryRegistry& r, const std::string& k) { r.setDword(HKLM, k, "MenuText", 7); }, "7"},
        CaptionCase{"MultiStringMenuText",
                    [](MemoryRegistry& r, const std::string& k) { r.setMultiString(HKLM, k, "MenuText", {"a", "b"}); },
                    "a | b"},
        CaptionCase{"ExpandableButtonText",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setExpandString(HKLM, k, "ButtonText", "%ProgramFiles%\\bar");
                    },
                    "%ProgramFiles%\\bar"},
        CaptionCase{"OddLengthMenuText",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setRaw(HKLM, k, "MenuText", 1, {'o', 0, 'k', 0, 0});
                    },
                    "ok"},
        CaptionCase{"LongMenuText",
                    [](MemoryRegistry& r, const std::string& k) {
                        r.setString(HKLM, k, "MenuText", std::string(300, 'm') + "尾");
                    },
                    std::string(300, 'm') + "尾"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(BrowserPage, AnExtensionThatCannotBeOpenedStillGetsItsRow) {
    app.registry.setString(HKLM, ext("{A}"), "MenuText", "a");
    app.registry.setString(HKLM, ext("{LOCKED}"), "MenuText", "secret");
    app.registry.denyOpen(HKLM, ext("{LOCKED}"));
    app.registry.setString(HKLM, ext("{C}"), "ButtonText", "c");
    open();
    EXPECT_EQ(captions(), (Strings{"a", "Check3", "c"}));
    EXPECT_EQ(entryNames(), (Strings{"{A}", "{LOCKED}", "{C}"}));
}

TEST_F(BrowserPage, ToolTipsNameTheClassAndTheFileItLoads) {
    const std::string classes = "Software\\Classes\\CLSID\\";
    app.registry.setString(HKLM, ext("{E-EXEC}"), "ButtonText", "run");
    app.registry.setString(HKLM, ext("{E-EXEC}"), "Exec", "\"%ProgramFiles%\\Tool\\tool.exe\" /go");
    app.files.addFile("C:\\Program Files\\Tool\\tool.exe");
    app.registry.setString(HKLM, ext("{E-COM}"), "MenuText", "com");
    app.registry.setString(HKLM, ext("{E-COM}"), "ClsidExtension", "{SERVER}");
    app.registry.setExpandString(HKLM, classes + "{SERVER}\\InprocServer32", "", "%SystemRoot%\\ext.dll");
    app.registry.setString(HKLM, kTool, "{T-USER}", "user bar");
    app.registry.setString(HKLM, classes + "{T-USER}\\InprocServer32", "", "C:\\machine.dll");
    app.registry.setString(HKCU, classes + "{T-USER}\\InprocServer32", "", "C:\\Users\\me\\bar.dll");
    app.files.addFile("C:\\Users\\me\\bar.dll");
    app.registry.setString(HKLM, kTool, "{T-NONE}", "unregistered");
    // Files on a network share are shown, never looked for.
    app.registry.setString(HKLM, kTool, "{T-UNC}", "share bar");
    app.registry.setString(HKLM, classes + "{T-UNC}\\InprocServer32", "", "\\\\wdnohost\\share\\x.dll");
    app.registry.setString(HKLM, kTool, "{T-MAPPED}", "mapped bar");
    app.registry.setString(HKLM, classes + "{T-MAPPED}\\InprocServer32", "", "Z:\\x.dll");
    app.files.networkDrives.insert("Z");
    open();
    EXPECT_EQ(captions(), (Strings{"run", "com", "user bar", "unregistered", "share bar", "mapped bar"}));
    EXPECT_EQ(row(1).toolTipText(), "{E-EXEC}\nC:\\Program Files\\Tool\\tool.exe");
    EXPECT_EQ(row(2).toolTipText(), "{E-COM}\nC:\\Windows\\ext.dll（文件不存在）");
    EXPECT_EQ(row(3).toolTipText(), "{T-USER}\nC:\\Users\\me\\bar.dll");  // the user's class comes first
    EXPECT_EQ(row(4).toolTipText(), "{T-NONE}");
    EXPECT_EQ(row(5).toolTipText(), "{T-UNC}\n\\\\wdnohost\\share\\x.dll");
    EXPECT_EQ(row(6).toolTipText(), "{T-MAPPED}\nZ:\\x.dll");
    EXPECT_EQ(app.files.networkLooks, 0);
}

TEST_F(BrowserPage, ToolTipsOfThe32BitViewReadThe32BitView) {
    const std::string classes = "Software\\Classes\\CLSID\\";
    app.registry.setString(HKLM, kTool, "{T}", "bar");
    app.registry.setString(HKLM, classes + "{T}\\InprocServer32", "", "C:\\sixty-four.dll");
    app.registry.setString(HKLM, "Software\\Wow6432Node\\Microsoft\\Internet Explorer\\Toolbar", "{T}", "bar");
    app.registry.setString(HKLM, "Software\\Wow6432Node\\Classes\\CLSID\\{T}\\InprocServer32", "", "C:\\thirty-two.dll");
    open();
    ASSERT_EQ(captions(), (Strings{"bar", "bar（32位）"}));
    EXPECT_EQ(row(1).toolTipText(), "{T}\nC:\\sixty-four.dll（文件不存在）");
    EXPECT_EQ(row(2).toolTipText(), "{T}\nC:\\thirty-two.dll（文件不存在）");
}

// ---- the scan: toolbars, and both together ----

TEST_F(BrowserPage, ToolbarValuesWithDataGiveConsecutiveRows) {
    const std::string longName(16383, 'T');
    app.registry.setString(HKLM, kTool, "{A}", "Bar A");
    app.registry.setNoData(HKLM, kTool, "{NO-DATA}");
    app.registry.setString(HKLM, kTool, "{EMPTY}", "");
    app.registry.setNoData(HKLM, kTool, "{NO-DATA-BINARY}", 3);
    app.registry.setDword(HKLM, kTool, "{DWORD}", 1);
    app.registry.setBinary(HKLM, kTool, "{BINARY}", {0, 0xFF});
    app.registry.setMultiString(HKLM, kTool, "{MULTI}", {"x", "y"});
    app.registry.setExpandString(HKLM, kTool, "{EXPAND}", "%WINDIR%");
    app.registry.setRaw(HKLM, kTool, "{ODD}", 1, {'a', 0, 'b'});
    app.registry.setString(HKLM, kTool, longName, std::string(32767, 'v'));
    open();
    EXPECT_EQ(captions(), (Strings{"Bar A", "", "1", "00 ff", "x | y", "%WINDIR%", "a", std::string(32767, 'v')}));
    EXPECT_EQ(entryNames(),
              (Strings{"{A}", "{EMPTY}", "{DWORD}", "{BINARY}", "{MULTI}", "{EXPAND}", "{ODD}", longName}));
    // No extensions: the first toolbar row stands right below the template.
    for (int k = 1; k <= count(); ++k) EXPECT_EQ(row(k).rect().top, 35 + 285 * (k - 1)) << k;
}

TEST_F(BrowserPage, ExtensionsComeFirstAndEveryRowKeepsItsRegistryName) {
    app.registry.setString(HKLM, ext("{E1}"), "ButtonText", "Research");
    app.registry.addKey(HKLM, ext("{E2}"));
    app.registry.setString(HKLM, kTool, "{T1}", "Toolbar One");
    app.registry.setNoData(HKLM, kTool, "{T2}");
    app.registry.setString(HKLM, kTool, "{T3}", "Toolbar Three");
    open();
    EXPECT_EQ(captions(), (Strings{"Research", "Check3", "Toolbar One", "Toolbar Three"}));
    EXPECT_EQ(entryNames(), (Strings{"{E1}", "{E2}", "{T1}", "{T3}"}));
    EXPECT_EQ(row(4).tag(), std::to_string(35 + 285 * 3));
    EXPECT_EQ(app.registry.openHandles(), 0);
}

TEST_F(BrowserPage, KeysRemovedDuringTheScanEndTheirPartOfTheList) {
    for (const char* n : {"{E1}", "{E2}", "{E3}"}) app.registry.addKey(HKLM, ext(n));
    for (const char* n : {"{T1}", "{T2}", "{T3}"}) app.registry.setString(HKLM, kTool, n, n);
    // The Extensions key goes after two subkeys, the Toolbar key after one value.
    app.registry.beforeEnumerate = [this](const std::string& key, std::uint32_t index) {
        if (key == std::string("HKLM\\") + kExt && index == 2) app.registry.removeTree(HKLM, kExt);
        if (key == std::string("HKLM\\") + kTool && index == 1) app.registry.removeTree(HKLM, kTool);
    };
    open();
    EXPECT_EQ(entryNames(), (Strings{"{E1}", "{E2}", "{T1}"}));
    app.registry.beforeEnumerate = nullptr;
    clear();
    EXPECT_EQ(count(), 0);
    EXPECT_EQ(app.registry.openHandles(), 0);
}

// ---- "清  除" ----

TEST_F(BrowserPage, ATickedRowDeletesItsNameInBothKeys) {
    app.registry.setString(HKLM, ext("{SAME}"), "MenuText", "menu");
    app.registry.setString(HKLM, ext("{OTHER}"), "MenuText", "other");
    app.registry.addKey(HKLM, ext("{BAR}"));
    app.registry.setString(HKLM, kTool, "{same}", "bar of the same name");
    app.registry.setString(HKLM, kTool, "{BAR}", "a bar");
    app.registry.setString(HKLM, kTool, "{KEEP}", "keep");
    open();
    ASSERT_EQ(entryNames(), (Strings{"{SAME}", "{OTHER}", "{BAR}", "{same}", "{BAR}", "{KEEP}"}));
    tick(1);  // an extension row: its toolbar namesake goes too
    tick(5);  // a toolbar row: its extension namesake goes too
    clear();
    EXPECT_EQ(app.registry.subkeyNames(HKLM, kExt), (Strings{"{OTHER}"}));
    EXPECT_EQ(app.registry.valueNames(HKLM, kTool), (Strings{"{KEEP}"}));
    EXPECT_EQ(captions(), (Strings{"other", "keep"}));
    EXPECT_EQ(entryNames(), (Strings{"{OTHER}", "{KEEP}"}));
    EXPECT_TRUE(app.tk.messageBoxes.empty());
}

TEST_F(BrowserPage, ATickedUnnamedToolbarValueLeavesTheExtensionsKeyAlone) {
    // The unnamed value's row has an empty registry name; no subkey is named
    // that, and the empty Extensions key must not be taken for one.
    app.registry.addKey(HKLM, kExt);
    app.registry.setString(HKLM, kTool, "", "default bar");
    app.registry.setString(HKLM, kTool, "{T}", "t");
    open();
    ASSERT_EQ(entryNames(), (Strings{"", "{T}"}));
    tick(1);
    clear();
    EXPECT_TRUE(app.registry.hasKey(HKLM, kExt));
    EXPECT_EQ(app.registry.valueNames(HKLM, kTool), (Strings{"{T}"}));
    EXPECT_EQ(captions(), (Strings{"t"}));
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->keys.size(), 1u);
    EXPECT_EQ(file->keys[0].values, (std::vector<RegFileValue>{{"", 1, MemoryRegistry::sz("default bar")}}));
}

TEST_F(BrowserPage, EveryClickWipesSearchHooksAndHelperObjects) {
    seedWipes();
    app.registry.setString(HKLM, ext("{E}"), "MenuText", "e");
    open();
    clear();  // nothing ticked
    EXPECT_TRUE(app.registry.valueNames(HKCU, kHooks).empty());
    EXPECT_TRUE(app.registry.hasKey(HKCU, kHooks));
    EXPECT_TRUE(app.registry.subkeyNames(HKLM, kBho).empty());  // {BHO-2} with its subkey too
    EXPECT_FALSE(app.registry.hasKey(HKLM, bho("{BHO-2}") + "\\Settings"));
    // Only the current user's hooks and the machine's helper objects.
    EXPECT_EQ(app.registry.valueNames(HKLM, kHooks), (Strings{"{MACHINE-HOOK}"}));
    EXPECT_EQ(app.registry.subkeyNames(HKCU, kBho), (Strings{"{USER-BHO}"}));
    EXPECT_EQ(captions(), (Strings{"e"}));

    // Also with an empty list.
    App empty;
    empty.registry.setString(HKCU, kHooks, "{H}", "");
    empty.registry.addKey(HKLM, bho("{B}"));
    empty.byId<HButton>(L::kCommand10.id).click();
    EXPECT_TRUE(empty.registry.valueNames(HKCU, kHooks).empty());
    EXPECT_TRUE(empty.registry.subkeyNames(HKLM, kBho).empty());
}

// A registry link where a wiped key should be leads anywhere: to the
// machine's Run key, say. The wipes and their backup never go through one.
TEST_F(BrowserPage, TheWipesNeverGoThroughALink) {
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    for (int variant = 0; variant < 2; ++variant) {
        App fresh;
        MemoryRegistry& reg = fresh.registry;
        reg.setString(HKLM, run, "Antivirus", "C:\\av.exe");
        reg.setString(HKLM, kHooks, "{MACHINE-HOOK}", "");
        if (variant == 0) {
            reg.addLink(HKCU, kHooks, HKLM, run);  // the user's hooks key itself
        } else {
            reg.addLink(HKCU, "Software\\Microsoft\\Internet Explorer", HKLM, "Software\\Microsoft\\Internet Explorer");
        }
        reg.setString(HKLM, "System\\Services\\Vital\\Parameters", "keep", "1");
        reg.addLink(HKLM, bho("{BHO-LINK}"), HKLM, "System\\Services\\Vital");
        reg.addKey(HKLM, bho("{BHO-PLAIN}"));
        fresh.byId<HButton>(L::kCommand10.id).click();
        EXPECT_EQ(reg.valueNames(HKLM, run), (Strings{"Antivirus"})) << variant;
        EXPECT_EQ(reg.valueNames(HKLM, kHooks), (Strings{"{MACHINE-HOOK}"})) << variant;
        EXPECT_TRUE(reg.hasValue(HKLM, "System\\Services\\Vital\\Parameters", "keep")) << variant;
        EXPECT_EQ(reg.subkeyNames(HKLM, kBho), (Strings{"{BHO-LINK}"})) << variant;
    }
}

TEST_F(BrowserPage, TheWipesWorkOnTheRootKeyGiven) {
    seedWipes();
    page().DeleteAllValues(HKLM, kHooks);
    EXPECT_TRUE(app.registry.valueNames(HKLM, kHooks).empty());
    EXPECT_EQ(app.registry.valueNames(HKCU, kHooks).size(), 3u);
    page().DeleteAllSubkeys(HKCU, kBho);
    EXPECT_TRUE(app.registry.subkeyNames(HKCU, kBho).empty());
    EXPECT_EQ(app.registry.valueNames(HKCU, kHooks).size(), 3u);
    EXPECT_EQ(app.registry.subkeyNames(HKLM, kBho).size(), 3u);
    page().DeleteAllValues(HKCU, "Software\\Nowhere");  // a missing key: nothing happens
}

TEST_F(BrowserPage, BacksUpAllTheClickDeletesInOneFile) {
    seedWipes();
    app.registry.setString(HKLM, ext("{E1}"), "ButtonText", "one");
    app.registry.setDword(HKLM, ext("{E1}"), "Flags", 5);
    app.registry.setString(HKLM, ext("{E1}") + "\\Sub", "Script", "x.htm");
    app.registry.setString(HKLM, ext("{E2}"), "MenuText", "two");
    app.registry.setBinary(HKLM, kTool, "{E1}", {1, 2, 3});  // namesake of a ticked extension
    app.registry.setString(HKLM, kTool, "{T1}", "bar");
    app.registry.setString(HKLM, kTool, "{T2}", "kept");
    open();
    ASSERT_EQ(entryNames(), (Strings{"{E1}", "{E2}", "{E1}", "{T1}", "{T2}"}));
    tick(1);
    tick(4);

    std::vector<RegFileKey> expected = app.registry.tree(HKLM, ext("{E1}"));
    expected.push_back({"HKEY_LOCAL_MACHINE\\" + std::string(kTool),
                        {{"{E1}", 3, {1, 2, 3}}, {"{T1}", 1, MemoryRegistry::sz("bar")}}});
    expected.push_back(app.registry.tree(HKCU, kHooks)[0]);
    for (const char* b : {"{BHO-1}", "{BHO-2}", "{BHO-3}"})
        for (auto& k : app.registry.tree(HKLM, bho(b))) expected.push_back(k);

    const auto before = app.registry.snapshot();

    clear();
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->keys, expected);
    EXPECT_EQ(app.files.writes(), 1);
    // {E1} and {BHO-2} go with their subkeys.
    EXPECT_EQ(captions(), (Strings{"two", "kept"}));
    EXPECT_TRUE(app.registry.subkeyNames(HKLM, kBho).empty());
    // Importing the backup gives back exactly the state before the click.
    app.registry.import(*file);
    EXPECT_EQ(app.registry.snapshot(), before);
}

TEST_F(BrowserPage, WritesNoBackupWhenThereIsNothingToDelete) {
    app.registry.setString(HKLM, kTool, "{T}", "bar");
    app.registry.addKey(HKCU, kHooks);
    app.registry.addKey(HKLM, kBho);
    open();
    clear();
    EXPECT_EQ(app.files.find(kBackup), nullptr);
    EXPECT_EQ(captions(), (Strings{"bar"}));
}

TEST_F(BrowserPage, DeletesNothingWithoutABackup) {
    const std::vector<std::function<void(App&)>> breakages{
        [](App& a) { a.files.failWrites = true; },
        [](App& a) { a.environment.appData.clear(); },
        [](App& a) { a.files.failFlush = true; },
        [](App& a) { a.files.spaceLeft = 200; },
    };
    for (std::size_t i = 0; i < breakages.size(); ++i) {
        App a;
        a.registry.setString(HKCU, kHooks, "{HOOK}", "");
        a.registry.setString(HKLM, bho("{BHO-1}"), "", "helper");
        a.registry.setString(HKLM, ext("{E}"), "MenuText", "e");
        a.registry.setString(HKLM, kTool, "{T}", "t");
        a.pageButton(L::kBrowser).click();
        auto& rows = *a.form.browserPage().rows;
        shownRow(rows, 1).setValue(1);
        shownRow(rows, 2).setValue(1);
        breakages[i](a);
        a.byId<HButton>(L::kCommand10.id).click();
        EXPECT_TRUE(a.registry.hasKey(HKLM, ext("{E}"))) << i;
        EXPECT_TRUE(a.registry.hasValue(HKLM, kTool, "{T}")) << i;
        EXPECT_TRUE(a.registry.hasValue(HKCU, kHooks, "{HOOK}")) << i;
        EXPECT_TRUE(a.registry.hasKey(HKLM, bho("{BHO-1}"))) << i;
        EXPECT_EQ(a.form.browserPage().rows->count(), 2) << i;
        EXPECT_EQ(shownRow(rows, 1).value(), 0);
        EXPECT_TRUE(a.tk.messageBoxes.empty());
        EXPECT_EQ(a.files.find(kBackup), nullptr) << i;  // no half-written backup either
    }
}

TEST_F(BrowserPage, NamesThatDifferOnlyBeyondTheRegistrysLetterCaseAreTwo) {
    // "K" and the Kelvin sign, "I" and "İ": a rule that takes them for one
    // name would count the second as backed up without writing it.
    for (const char* n : {"K", "\xE2\x84\xAA", "I", "\xC4\xB0"}) app.registry.setString(HKLM, kTool, n, n);
    app.registry.setString(HKLM, kTool, "{KEEP}", "keep");
    open();
    for (int k = 1; k <= 4; ++k) tick(k);
    const auto before = app.registry.snapshot();
    clear();
    EXPECT_EQ(app.registry.valueNames(HKLM, kTool), (Strings{"{KEEP}"}));
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->keys.size(), 1u);
    EXPECT_EQ(file->keys[0].values.size(), 4u);
    app.registry.import(*file);
    EXPECT_EQ(app.registry.snapshot(), before);
}

TEST_F(BrowserPage, ANameWithANulIsNeverOpenedBackedUpOrDeleted) {
    const std::string hidden = std::string("{E}\0hidden", 11);
    app.registry.setString(HKLM, ext("{E}"), "MenuText", "the shorter name's");
    app.registry.setString(HKLM, ext(hidden), "MenuText", "hidden");
    app.registry.setString(HKCU, kHooks, "h", "");
    app.registry.setString(HKCU, kHooks, std::string("h\0x", 3), "");
    app.registry.addKey(HKLM, bho("{B}"));
    app.registry.addKey(HKLM, bho(std::string("{B}\0x", 5)));
    open();
    EXPECT_EQ(captions(), (Strings{"the shorter name's", "Check3"}));
    tick(2);
    clear();
    EXPECT_TRUE(app.registry.hasKey(HKLM, ext("{E}")));
    EXPECT_TRUE(app.registry.hasKey(HKLM, ext(hidden)));
    EXPECT_EQ(app.registry.valueNames(HKCU, kHooks), (Strings{std::string("h\0x", 3)}));
    EXPECT_EQ(app.registry.subkeyNames(HKLM, kBho), (Strings{std::string("{B}\0x", 5)}));
    // Also without a click's backup, the wipes never reach the shorter names.
    app.registry.setString(HKCU, kHooks, "h", "");
    app.registry.addKey(HKLM, bho("{B}"));
    page().DeleteAllValues(registry::kUrlSearchHooksRoot, kHooks);
    page().DeleteAllSubkeys(registry::kHelperObjectsRoot, kBho);
    EXPECT_EQ(app.registry.valueNames(HKCU, kHooks), (Strings{std::string("h\0x", 3)}));
    EXPECT_EQ(app.registry.subkeyNames(HKLM, kBho), (Strings{std::string("{B}\0x", 5)}));
}

// ---- both views ----

class BrowserViews : public BrowserPage {
protected:
    static std::string wow(const std::string& path) {
        return "Software\\Wow6432Node" + path.substr(std::string("Software").size());
    }
    std::vector<registry::View> views() {
        std::vector<registry::View> out;
        for (int k = 1; k <= count(); ++k) out.push_back(page().entry(k)->view);
        return out;
    }
    void seedBothViews() {
        app.registry.setString(HKLM, ext("{A}"), "MenuText", "a");
        app.registry.setString(HKLM, ext("{SAME}"), "MenuText", "same 64");
        app.registry.setString(HKLM, kTool, "{T}", "bar");
        app.registry.setString(HKLM, wow(ext("{SAME}")), "MenuText", "same 32");
        app.registry.addKey(HKLM, wow(ext("{B}")));
        app.registry.setString(HKLM, wow(kTool), "{T32}", "bar 32");
        app.registry.setString(HKLM, wow(bho("{BHO-32}")), "", "helper 32");
        app.registry.setString(HKLM, bho("{BHO-64}"), "", "helper 64");
        app.registry.setString(HKCU, kHooks, "{HOOK}", "");
    }
};

TEST_F(BrowserViews, The32BitRowsFollowWithTheirSuffixAndKeepTheirView) {
    seedBothViews();
    open();
    using V = registry::View;
    // Every extension before every toolbar; of each kind the 32-bit rows last.
    EXPECT_EQ(captions(), (Strings{"a", "same 64", "same 32（32位）", "Check3（32位）", "bar", "bar 32（32位）"}));
    EXPECT_EQ(entryNames(), (Strings{"{A}", "{SAME}", "{SAME}", "{B}", "{T}", "{T32}"}));
    EXPECT_EQ(views(), (std::vector<V>{V::Bit64, V::Bit64, V::Bit32, V::Bit32, V::Bit64, V::Bit32}));
    app.byId<HButton>(L::kCommand9.id).click();  // select-all reaches every row
    for (int k = 1; k <= count(); ++k) EXPECT_EQ(row(k).value(), 1) << k;
    // Without word of where the system keeps a key, only the 64-bit view is listed.
    App blind;
    blind.registry.hideStoredPaths = true;
    blind.registry.addKey(HKLM, wow(ext("{B}")));
    blind.pageButton(L::kBrowser).click();
    EXPECT_EQ(blind.form.browserPage().rows->count(), 0);
}

TEST_F(BrowserViews, ARowIsDeletedInItsViewAndTheBackupPutsBothViewsBack) {
    seedBothViews();
    open();
    const auto before = app.registry.snapshot();
    tick(3);  // {SAME} of the 32-bit view
    tick(6);  // {T32}
    clear();
    EXPECT_TRUE(app.registry.hasKey(HKLM, ext("{SAME}")));
    EXPECT_FALSE(app.registry.hasKey(HKLM, wow(ext("{SAME}"))));
    EXPECT_FALSE(app.registry.hasValue(HKLM, wow(kTool), "{T32}"));
    // The helper objects go in both views; the user's search hooks, one key
    // for both views, are read and wiped once.
    EXPECT_TRUE(app.registry.subkeyNames(HKLM, kBho).empty());
    EXPECT_TRUE(app.registry.subkeyNames(HKLM, wow(kBho)).empty());
    EXPECT_TRUE(app.registry.valueNames(HKCU, kHooks).empty());
    EXPECT_EQ(captions(), (Strings{"a", "same 64", "Check3（32位）", "bar"}));
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    Strings paths;
    for (const auto& k : file->keys) paths.push_back(k.path);
    EXPECT_EQ(paths, (Strings{"HKEY_LOCAL_MACHINE\\" + wow(ext("{SAME}")), "HKEY_LOCAL_MACHINE\\" + wow(kTool),
                              "HKEY_CURRENT_USER\\" + std::string(kHooks), "HKEY_LOCAL_MACHINE\\" + bho("{BHO-64}"),
                              "HKEY_LOCAL_MACHINE\\" + wow(bho("{BHO-32}"))}));
    app.registry.import(*file);
    EXPECT_EQ(app.registry.snapshot(), before);
}

TEST_F(BrowserPage, WhatCannotBeBackedUpStaysAndBlocksNothingElse) {
    // A hook value whose name cannot stand in a backup file, and a helper
    // object whose data the system will not hand over.
    app.registry.setString(HKCU, kHooks, "line\nbreak", "planted");
    app.registry.setString(HKCU, kHooks, "{HOOK}", "");
    app.registry.setString(HKLM, bho("{BHO-1}"), "", "helper");
    app.registry.setString(HKLM, bho("{BHO-2}"), "", "other");
    app.registry.makeUnreadable(HKLM, bho("{BHO-2}"), "");
    app.registry.setString(HKLM, ext("{E}"), "MenuText", "e");
    app.registry.setString(HKLM, kTool, "{T}", "t");
    open();
    tick(1);
    tick(2);
    clear();
    EXPECT_FALSE(app.registry.hasKey(HKLM, ext("{E}")));
    EXPECT_FALSE(app.registry.hasValue(HKLM, kTool, "{T}"));
    EXPECT_FALSE(app.registry.hasValue(HKCU, kHooks, "{HOOK}"));
    EXPECT_FALSE(app.registry.hasKey(HKLM, bho("{BHO-1}")));
    EXPECT_TRUE(app.registry.hasValue(HKCU, kHooks, "line\nbreak"));
    EXPECT_TRUE(app.registry.hasKey(HKLM, bho("{BHO-2}")));
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    for (const auto& key : file->keys) {
        EXPECT_EQ(key.path.find("{BHO-2}"), std::string::npos);
        for (const auto& v : key.values) EXPECT_NE(v.name, "line\nbreak");
    }
}

TEST_F(BrowserPage, RefusedDeletionsAreListedAgain) {
    app.registry.setString(HKLM, ext("{E}"), "MenuText", "e");
    app.registry.setString(HKLM, kTool, "{T}", "t");
    seedWipes();
    app.registry.failDeletes = true;
    open();
    tick(1);
    tick(2);
    clear();
    EXPECT_EQ(captions(), (Strings{"e", "t"}));
    EXPECT_EQ(app.registry.valueNames(HKCU, kHooks).size(), 3u);
    EXPECT_EQ(app.registry.subkeyNames(HKLM, kBho).size(), 3u);
}

TEST_F(BrowserPage, HugeNamesAndDataAreDeletedAndKept) {
    const std::string longName(16383, 'N');
    const std::string bigText(32767, 'D');
    app.registry.setString(HKLM, kTool, longName, bigText);
    app.registry.setString(HKLM, kTool, "{SMALL}", "small");
    open();
    ASSERT_EQ(count(), 2);
    EXPECT_EQ(row(1).caption(), bigText);
    tick(1);
    clear();
    EXPECT_EQ(app.registry.valueNames(HKLM, kTool), (Strings{"{SMALL}"}));
    const auto file = backup();
    ASSERT_TRUE(file.has_value());
    ASSERT_EQ(file->keys.size(), 1u);
    EXPECT_EQ(file->keys[0].values, (std::vector<RegFileValue>{{longName, 1, MemoryRegistry::sz(bigText)}}));
}

struct RangeCase {
    int rows, max;
};
void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.rows << " rows"; }
class BrowserScrollRange : public BrowserPage, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(BrowserScrollRange, FollowsTheNewLastRowWithExtraOne) {
    for (int i = 1; i <= GetParam().rows; ++i) app.registry.setString(HKLM, kTool, "{" + std::to_string(i) + "}", "t");
    app.registry.setString(HKLM, ext("{GONE}"), "MenuText", "gone");
    open();
    tick(1);
    clear();
    EXPECT_EQ(count(), GetParam().rows);
    EXPECT_EQ(bar().max(), GetParam().max);
}

INSTANTIATE_TEST_SUITE_P(Rows, BrowserScrollRange,
                         ::testing::Values(RangeCase{8, 0}, RangeCase{9, 1}, RangeCase{10, 3}),
                         [](const auto& info) { return std::to_string(info.param.rows) + "Rows"; });

TEST_F(BrowserPage, SelectAllTicksThenUnticksEveryRow) {
    for (const char* n : {"{A}", "{B}", "{C}"}) app.registry.setString(HKLM, kTool, n, n);
    open();
    HButton& command9 = app.byId<HButton>(L::kCommand9.id);
    command9.click();
    EXPECT_EQ(command9.caption(), "取消全部");
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(row(k).value(), 1);
    command9.click();
    EXPECT_EQ(command9.caption(), "选定全部");
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(row(k).value(), 0);
}

}  // namespace
}  // namespace wd::test
