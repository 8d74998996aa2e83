#include <gtest/gtest.h>

#include <functional>

#include <algorithm>

#include <random>
#include <string>
#include <vector>

#include "common/unicode.h"
#include "registry/backup_file.h"
#include "registry/backup_set.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "support/memory_files.h"
#include "support/memory_platform.h"
#include "support/memory_registry.h"
#include "support/reg_file_reader.h"

namespace wd::test {
namespace {

using namespace wd::registry;
using Bytes = std::vector<std::uint8_t>;

constexpr char kKey[] = "Software\\Test";
constexpr char kFull[] = "HKEY_LOCAL_MACHINE\\Software\\Test";

// The text of a written file, after checking its byte-order mark.
std::string textOf(const std::string& bytes) {
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_EQ(bytes.size() % 2, 0u);
    return common::utf16leToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2));
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        lines.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "every line ends with CRLF";
    return lines;
}

RegFileValue sz(std::string name, std::string_view text) { return {std::move(name), 1, MemoryRegistry::sz(text)}; }

// ---- the file format ----

TEST(RegFileWriter, WritesEachTypeAsTheRegistryEditorDoes) {
    RegFile f;
    f.keys.push_back({kFull,
                      {sz("", "default"),
                       sz("quote\"back\\slash", "C:\\Program Files\\\"x\""),
                       sz("empty", ""),
                       sz("中文", "浏览器"),
                       {"dw", 4, {42, 0, 0, 0}},
                       {"bin", 3, {0xDE, 0xAD}},
                       {"exp", 2, {'%', 0, 0, 0}},
                       {"multi", 7, {'a', 0, 0, 0, 0, 0}},
                       {"q", 11, {1, 0, 0, 0, 0, 0, 0, 0}},
                       {"none", 0, {}},
                       {"nodata", 1, {}},
                       {"odd", 1, {'a', 0, 'b'}},
                       {"newline", 1, {'a', 0, '\n', 0, 0, 0}},
                       {"short dword", 4, {1, 2}},
                       {"big", 0x12345, {0xFF}}}});
    f.keys.push_back({std::string(kFull) + "\\子键", {}});
    EXPECT_EQ(textOf(WriteRegFile(f)),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
              "@=\"default\"\r\n"
              "\"quote\\\"back\\\\slash\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\r\n"
              "\"empty\"=\"\"\r\n"
              "\"中文\"=\"浏览器\"\r\n"
              "\"dw\"=dword:0000002a\r\n"
              "\"bin\"=hex:de,ad\r\n"
              "\"exp\"=hex(2):25,00,00,00\r\n"
              "\"multi\"=hex(7):61,00,00,00,00,00\r\n"
              "\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
              "\"none\"=hex(0):\r\n"
              "\"nodata\"=hex(1):\r\n"
              "\"odd\"=hex(1):61,00,62\r\n"
              "\"newline\"=hex(1):61,00,0a,00,00,00\r\n"
              "\"short dword\"=hex(4):01,02\r\n"
              "\"big\"=hex(12345):ff\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Test\\子键]\r\n"
              "\r\n");
}

TEST(RegFileWriter, ContinuesLongHexDataOnIndentedLines) {
    RegFile f;
    Bytes data(300);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    f.keys.push_back({kFull, {{"blob", 3, data}}});
    const std::vector<std::string> lines = linesOf(textOf(WriteRegFile(f)));
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[3].rfind("\"blob\"=hex:00,01,02,", 0), 0u);
    std::size_t continued = 0;
    for (std::size_t i = 3; i < lines.size() && !lines[i].empty(); ++i) {
        EXPECT_LE(lines[i].size(), 80u) << i;
        if (i > 3) {
            EXPECT_EQ(lines[i].substr(0, 2), "  ");
        }
        if (lines[i].back() == '\\') {
            EXPECT_EQ(lines[i].substr(lines[i].size() - 2), ",\\");
            ++continued;
        }
    }
    EXPECT_GE(continued, 10u);
    EXPECT_EQ(ParseRegFile(WriteRegFile(f)), f);
}

RegFile everyKindOfValue() {
    RegFile f;
    std::mt19937 rng(7);
    Bytes noise(4096);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    Bytes big(65536);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    f.keys.push_back({kFull,
                      {sz("", ""),
                       sz("plain", "text"),
                       sz("\"\\", "\\\\server\\share\"quoted\""),
                       sz("映像劫持", "Кириллица and 😀"),
                       sz(std::string(16383, 'L'), std::string(32767, 'd')),
                       sz("spaces at the end  ", "  and the start"),
                       sz("semicolon;[bracket]", "=at=\"eq\"="),
                       {"lone surrogate", 1, {0x00, 0xD8, 0, 0}},
                       {"no nul", 1, {'a', 0}},
                       {"two nuls", 1, {'a', 0, 0, 0, 0, 0}},
                       {"cr", 1, {'\r', 0, 0, 0}},
                       {"noise", 3, noise},
                       {"big", 3, big},
                       {"empty bin", 3, {}},
                       {"dword", 4, {0xFF, 0xFF, 0xFF, 0xFF}},
                       {"dword long", 4, {1, 2, 3, 4, 5}},
                       {"be", 5, {0, 0, 0, 1}},
                       {"qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
                       {"expand", 2, MemoryRegistry::sz("%PATH%")},
                       {"multi", 7, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
                       {"link", 6, {'x', 0}},
                       {"resource list", 8, {1, 2}},
                       {"huge type", 0xFFFFFFFFu, {9}}}});
    f.keys.push_back({std::string(kFull) + "\\Sub]key", {{"x", 4, {1, 0, 0, 0}}}});
    f.keys.push_back({"HKEY_CURRENT_USER\\Software\\空", {}});
    return f;
}

TEST(RegFileRoundTrip, WhatIsWrittenReadsBackTheSame) {
    const RegFile f = everyKindOfValue();
    const auto back = ParseRegFile(WriteRegFile(f));
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->keys.size(), f.keys.size());
    for (std::size_t k = 0; k < f.keys.size(); ++k) {
        EXPECT_EQ(back->keys[k].path, f.keys[k].path);
        ASSERT_EQ(back->keys[k].values.size(), f.keys[k].values.size()) << k;
        for (std::size_t v = 0; v < f.keys[k].values.size(); ++v)
            EXPECT_EQ(back->keys[k].values[v], f.keys[k].values[v]) << f.keys[k].values[v].name.substr(0, 40);
    }
}

TEST(RegFileParser, ReadsFilesAsTheRegistryEditorWritesThem) {
    // UTF-8 without a byte-order mark, LF line ends, comments and upper-case hex.
    const auto f = ParseRegFile(
        "\nWindows Registry Editor Version 5.00\n\n; a comment\n[HKEY_CURRENT_USER\\A]\n"
        "\"v\" = dword:1F\n@=hex:AB,\\\n    CD\n");
    ASSERT_TRUE(f.has_value());
    ASSERT_EQ(f->keys.size(), 1u);
    EXPECT_EQ(f->keys[0].path, "HKEY_CURRENT_USER\\A");
    EXPECT_EQ(f->keys[0].values,
              (std::vector<RegFileValue>{{"v", 4, {0x1F, 0, 0, 0}}, {"", 3, {0xAB, 0xCD}}}));
}

TEST(RegFileParser, RefusesWhatThisProgramNeverWrites) {
    for (const char* body :
         {"", "REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n", "Windows Registry Editor Version 5.00\r\n\"v\"=\"x\"\r\n",
          "Windows Registry Editor Version 5.00\r\n[-HKEY_CURRENT_USER\\A]\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=-\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:0g\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:01,\\\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex:01,,02\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=hex(zz):01\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=dword:123456789\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"open\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\" y\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"\r\n",
          "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\nv=\"x\"\r\n"})
        EXPECT_EQ(ParseRegFile(body), std::nullopt) << body;
}

TEST(RegFileParser, SurvivesDamagedFiles) {
    // Damaged copies of a real file: each either parses to something that
    // writes and reads back the same, or is refused; none may crash or hang.
    const std::string good = WriteRegFile(everyKindOfValue());
    std::mt19937 rng(1234);
    int parsed = 0;
    for (int round = 0; round < 400; ++round) {
        std::string bad = good.substr(0, 20000 + rng() % 4000);
        const int edits = 1 + static_cast<int>(rng() % 8);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % bad.size();
            switch (rng() % 4) {
                case 0: bad[at] = static_cast<char>(rng()); break;
                case 1: bad.erase(at, 1 + rng() % 6); break;
                case 2: bad.insert(at, std::string(1 + rng() % 3, "\\\"[]\r\n,:("[rng() % 10])); break;
                default: bad.resize(at); break;
            }
            if (bad.empty()) bad = "x";
        }
        if (auto f = ParseRegFile(bad)) {
            ++parsed;
            EXPECT_EQ(ParseRegFile(WriteRegFile(*f)), f) << round;
        }
    }
    EXPECT_GT(parsed, 0);
    std::string noise;
    for (int i = 0; i < 5000; ++i) noise += static_cast<char>(rng());
    EXPECT_EQ(ParseRegFile(noise), std::nullopt);
}

// ---- collecting from the registry ----

class BackupSetTest : public ::testing::Test {
protected:
    BackupSetTest() {
        reg.setString(HKLM, kKey, "Name", "值");
        reg.setDword(HKLM, kKey, "Flags", 3);
        reg.setNoData(HKLM, kKey, "Empty");
        reg.setMultiString(HKLM, std::string(kKey) + "\\Child", "List", {"a", "b"});
        reg.setBinary(HKLM, std::string(kKey) + "\\Child\\Grand", "Blob", {1, 2, 3});
        reg.addKey(HKLM, std::string(kKey) + "\\Second");
    }
    MemoryRegistry reg;
    MemoryText text;
};

TEST_F(BackupSetTest, TakesAKeyWholeParentsBeforeChildren) {
    BackupSet set(reg);
    set.addKeyTree(HKLM, kKey);
    EXPECT_TRUE(set.complete());
    const auto& keys = set.file().keys;
    std::vector<std::string> paths;
    for (const auto& k : keys) paths.push_back(k.path);
    EXPECT_EQ(paths, (std::vector<std::string>{kFull, std::string(kFull) + "\\Child",
                                               std::string(kFull) + "\\Child\\Grand",
                                               std::string(kFull) + "\\Second"}));
    EXPECT_EQ(keys, reg.tree(HKLM, kKey));
    EXPECT_EQ(reg.openHandles(), 0);
}

TEST_F(BackupSetTest, TakesSingleValuesAndWholeKeysOnce) {
    reg.setString(HKLM, kKey, "ÄRGER", "x");
    BackupSet set(reg, &text);
    set.addValue(HKLM, kKey, "flags");   // the registry's spelling is kept
    set.addValue(HKLM, kKey, "ärger");   // letter case beyond ASCII, as the registry folds it
    set.addValue(HKLM, kKey, "FLAGS");   // already there
    set.addValue(HKLM, kKey, "missing");
    set.addValue(HKLM, "Software\\Nowhere", "x");
    set.addKeyTree(HKLM, std::string(kKey) + "\\Child");
    set.addKeyTree(HKLM, std::string(kKey) + "\\CHILD");
    set.addKeyTree(HKLM, "Software\\Nowhere");
    ASSERT_EQ(set.file().keys.size(), 3u);
    EXPECT_EQ(set.file().keys[0].values,
              (std::vector<RegFileValue>{{"Flags", 4, {3, 0, 0, 0}}, {"ÄRGER", 1, MemoryRegistry::sz("x")}}));
    EXPECT_EQ(set.file().keys[1].path, std::string(kFull) + "\\Child");
    EXPECT_EQ(set.file().keys[2].path, std::string(kFull) + "\\Child\\Grand");
}

TEST_F(BackupSetTest, TakesAllValuesOrAllSubkeysOfAKey) {
    BackupSet values(reg);
    values.addAllValues(HKLM, kKey);
    ASSERT_EQ(values.file().keys.size(), 1u);
    EXPECT_EQ(values.file().keys[0], reg.tree(HKLM, kKey)[0]);

    BackupSet subkeys(reg);
    subkeys.addSubkeyTrees(HKLM, kKey);
    auto expected = reg.tree(HKLM, kKey);
    expected.erase(expected.begin());  // the key itself is not deleted
    EXPECT_EQ(subkeys.file().keys, expected);

    BackupSet nothing(reg);
    nothing.addAllValues(HKLM, std::string(kKey) + "\\Second");
    nothing.addSubkeyTrees(HKLM, std::string(kKey) + "\\Second");
    EXPECT_TRUE(nothing.empty());
}

TEST_F(BackupSetTest, LeavesOutWhatCannotBeKeptFaithfullyAndHoldsTheRest) {
    {
        // Data deep in a tree that the system will not hand over: the tree goes whole.
        reg.makeUnreadable(HKLM, std::string(kKey) + "\\Child\\Grand", "Blob");
        BackupSet set(reg);
        set.addKeyTree(HKLM, kKey);
        EXPECT_FALSE(set.complete());
        EXPECT_TRUE(set.empty());
        EXPECT_FALSE(set.holdsKey(HKLM, kKey));
    }
    {
        MemoryRegistry other;
        other.setString(HKLM, kKey, "line\r\nbreak", "x");
        other.setString(HKLM, kKey, "plain", "y");
        other.setString(HKLM, std::string(kKey) + "\\Good", "v", "1");
        other.setString(HKLM, std::string(kKey) + "\\Bad", std::string("nul\0name", 8), "1");
        BackupSet set(other);
        set.addAllValues(HKLM, kKey);
        set.addSubkeyTrees(HKLM, kKey);
        EXPECT_FALSE(set.complete());
        EXPECT_TRUE(set.holdsValue(HKLM, kKey, "plain"));
        EXPECT_TRUE(set.holdsValue(HKLM, kKey, "PLAIN"));  // as the registry matches names
        EXPECT_FALSE(set.holdsValue(HKLM, kKey, "line\r\nbreak"));
        EXPECT_TRUE(set.holdsKey(HKLM, std::string(kKey) + "\\Good"));
        EXPECT_FALSE(set.holdsKey(HKLM, std::string(kKey) + "\\Bad"));
        EXPECT_FALSE(set.holdsKey(HKLM, kKey));  // only its values were asked for
        // What the set holds writes and parses back.
        const auto back = ParseRegFile(WriteRegFile(set.file()));
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, set.file());
    }
}

TEST_F(BackupSetTest, TellsNamesApartAsTheRegistryDoes) {
    // Two values each, one name to the registry only when letter case is all
    // that differs: "I" and "İ" (U+0130), "K" and the Kelvin sign (U+212A)
    // are four names; "ä" and "Ä" would be one.
    for (const char* name : {"I", "\xC4\xB0", "K", "\xE2\x84\xAA"}) reg.setString(HKLM, kKey, name, name);
    BackupSet set(reg, &text);
    for (const char* name : {"I", "\xC4\xB0", "K", "\xE2\x84\xAA", "\xC3\xA4rger"}) set.addValue(HKLM, kKey, name);
    ASSERT_EQ(set.file().keys.size(), 1u);
    std::vector<std::string> kept;
    for (const auto& v : set.file().keys[0].values) kept.push_back(v.name);
    EXPECT_EQ(kept, (std::vector<std::string>{"I", "\xC4\xB0", "K", "\xE2\x84\xAA"}));
    EXPECT_TRUE(set.holdsValue(HKLM, kKey, "k"));
    EXPECT_TRUE(set.holdsValue(HKLM, kKey, "\xE2\x84\xAA"));
    EXPECT_FALSE(set.holdsValue(HKLM, kKey, "i\xCC\x87"));  // "i" and a combining dot: no normalisation
}

TEST_F(BackupSetTest, AKeyWhoseReadingEndedOnAnErrorIsNotHeld) {
    // The walk of the values fails after the first; the subkeys' walk of a
    // child fails at once. Neither key may count as kept.
    for (auto [path, broken] : {std::pair{std::string(kKey), std::uint32_t{1}},
                                std::pair{std::string(kKey) + "\\Child", std::uint32_t{0}}}) {
        MemoryRegistry r;
        r.setString(HKLM, kKey, "a", "1");
        r.setString(HKLM, kKey, "b", "2");
        r.setString(HKLM, std::string(kKey) + "\\Child", "c", "3");
        r.breakEnumeration(HKLM, path, broken);
        BackupSet set(r);
        set.addKeyTree(HKLM, kKey);
        set.addAllValues(HKLM, kKey);
        EXPECT_FALSE(set.holdsKey(HKLM, kKey)) << path;
        EXPECT_FALSE(set.complete()) << path;
    }
}

TEST_F(BackupSetTest, KeysOfThe32BitViewStandWhereTheRegistryKeepsThem) {
    const std::string wow = reg.physicalPath(HKLM, kKey, platform::View::Bit32);
    ASSERT_EQ(wow, "Software\\Wow6432Node\\Test");
    reg.setString(HKLM, wow + "\\Sub", "v", "32");
    BackupSet set(reg);
    set.addKeyTree(HKLM, std::string(kKey) + "\\Sub", platform::View::Bit32);
    set.addKeyTree(HKLM, std::string(kKey) + "\\Child");  // the 64-bit view's
    ASSERT_EQ(set.file().keys.size(), 3u);
    EXPECT_EQ(set.file().keys[0].path, "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Test\\Sub");
    EXPECT_TRUE(set.holdsKey(HKLM, std::string(kKey) + "\\Sub", platform::View::Bit32));
    EXPECT_FALSE(set.holdsKey(HKLM, std::string(kKey) + "\\Sub"));
    EXPECT_FALSE(set.holdsKey(HKLM, std::string(kKey) + "\\Child", platform::View::Bit32));
    // Where the system does not tell, a key of the 32-bit view is left out.
    reg.hideStoredPaths = true;
    BackupSet blind(reg);
    blind.addKeyTree(HKLM, std::string(kKey) + "\\Sub", platform::View::Bit32);
    EXPECT_TRUE(blind.empty());
    EXPECT_FALSE(blind.complete());
}

// ---- the backup file ----

class BackupFileTest : public BackupSetTest {
protected:
    BackupFileTest() { set.addKeyTree(HKLM, kKey); }
    static constexpr char kPath[] = "C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-30-hijack.reg";
    BackupSet set{reg};
    MemoryFiles files;
    MemoryEnvironment env;
};

TEST_F(BackupFileTest, GoesUnderLocalAppDataNamedByTimeAndPage) {
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set), kPath);
    ASSERT_NE(files.find(kPath), nullptr);
    EXPECT_TRUE(files.isFolder("C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups"));
    EXPECT_EQ(ParseRegFile(files.find(kPath)->data), set.file());
    // A trailing backslash on the folder changes nothing.
    env.appData += "\\";
    env.timestamp = "2026-12-07_10-20-31";
    EXPECT_EQ(WriteBackupFile(files, env, "browser", set),
              "C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-31-browser.reg");
}

// With full rights the backups go where only administrators can change them:
// whatever a user put in the way is set aside, never used, never lost.
TEST_F(BackupFileTest, WithFullRightsGoesWhereOnlyAdministratorsWrite) {
    const std::string machine = "C:\\ProgramData\\Wardeck\\Backups\\2026-12-07_10-20-30-hijack.reg";
    struct Case {
        const char* what;
        std::function<void(MemoryFiles&)> plant;
        std::string asideAt;  // where what was planted is found afterwards ("" none)
    };
    const Case cases[] = {
        {"nothing there yet", [](MemoryFiles&) {}, ""},
        {"a file named Wardeck", [](MemoryFiles& f) { f.addFile("C:\\ProgramData\\Wardeck", "planted"); },
         "C:\\ProgramData\\Wardeck.set-aside-2"},
        {"a folder a user made, with a backup in it",
         [](MemoryFiles& f) {
             f.addFolder("C:\\ProgramData\\Wardeck");
             f.addFolder("C:\\ProgramData\\Wardeck\\Backups");
             f.addFile("C:\\ProgramData\\Wardeck\\Backups\\old.reg", "forged");
         },
         "C:\\ProgramData\\Wardeck.set-aside-2\\Backups\\old.reg"},
        {"a link to the user's own folder",
         [](MemoryFiles& f) {
             f.addFolder("C:\\Users\\me\\trap");
             f.addLink("C:\\ProgramData\\Wardeck", "C:\\Users\\me\\trap");
         },
         "C:\\ProgramData\\Wardeck.set-aside-2"},
        {"our own folder, with a Backups file in the way",
         [](MemoryFiles& f) {
             f.makeProtectedFolder("C:\\ProgramData\\Wardeck");
             f.addFile("C:\\ProgramData\\Wardeck\\Backups", "planted");
         },
         "C:\\ProgramData\\Wardeck\\Backups.set-aside"},
    };
    for (const Case& c : cases) {
        MemoryFiles files;
        files.addFolder("C:\\ProgramData");
        files.addFile("C:\\ProgramData\\Wardeck.set-aside", "an earlier one");  // the next name is "-2"
        c.plant(files);
        MemoryEnvironment env;
        env.admin = true;
        EXPECT_EQ(WriteBackupFile(files, env, "hijack", set), machine) << c.what;
        EXPECT_EQ(ParseRegFile(files.find(machine)->data), set.file()) << c.what;
        EXPECT_TRUE(files.find("C:\\ProgramData\\Wardeck")->protectedFolder) << c.what;
        EXPECT_TRUE(files.find("C:\\ProgramData\\Wardeck\\Backups")->protectedFolder) << c.what;
        EXPECT_EQ(files.find("C:\\ProgramData\\Wardeck.set-aside")->data, "an earlier one") << c.what;
        if (!c.asideAt.empty()) {
            EXPECT_NE(files.find(c.asideAt), nullptr) << c.what;
        }
        EXPECT_EQ(files.find("C:\\Users\\me\\trap\\Backups"), nullptr) << c.what;
    }
    // Without the machine's folder there is no backup (and so no deletion),
    // never a fall back to the user's.
    env.admin = true;
    env.programData.clear();
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set), std::nullopt);
    EXPECT_EQ(files.find(kPath), nullptr);
}

TEST_F(BackupFileTest, NeverReplacesAnEarlierBackup) {
    files.addFile(kPath, "earlier");
    const auto second = WriteBackupFile(files, env, "hijack", set);
    EXPECT_EQ(second, "C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-30-hijack-2.reg");
    EXPECT_EQ(files.find(kPath)->data, "earlier");
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set),
              "C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-30-hijack-3.reg");
}

TEST_F(BackupFileTest, NeverWritesIntoAFileAnotherCopyMakesAtTheSameMoment) {
    // The other program makes the file between any look and the write.
    files.beforeWrite = [&](const std::string& path) {
        if (path == kPath && !files.find(kPath)) files.addFile(kPath, "the other program's backup");
    };
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set),
              "C:\\Users\\me\\AppData\\Local\\Wardeck\\Backups\\2026-12-07_10-20-30-hijack-2.reg");
    EXPECT_EQ(files.find(kPath)->data, "the other program's backup");
}

TEST_F(BackupFileTest, ReportsEveryWayItCanFail) {
    env.appData = "";
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set), std::nullopt);
    env.appData = "C:\\Users\\me\\AppData\\Local";
    files.failWrites = true;
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set), std::nullopt);
    EXPECT_EQ(files.find(kPath), nullptr);
    EXPECT_EQ(files.writes(), 0);
    files.failWrites = false;
    // A disk that fills up part of the way, and one that cannot flush: no
    // part of the file stays.
    files.spaceLeft = 100;
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set), std::nullopt);
    EXPECT_EQ(files.find(kPath), nullptr);
    files.spaceLeft = UINT64_MAX;
    files.failFlush = true;
    EXPECT_EQ(WriteBackupFile(files, env, "hijack", set), std::nullopt);
    EXPECT_EQ(files.find(kPath), nullptr);
    EXPECT_EQ(files.openNewFiles, 0);
}

TEST_F(BackupFileTest, LargeDataIsWrittenInBoundedPieces) {
    Bytes blob(2u << 20);
    for (std::size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 31 + (i >> 12));
    reg.setBinary(HKLM, kKey, "Blob", blob);
    reg.setString(HKLM, kKey, "Text", std::string(1u << 20, 'x') + "\\\"尾");
    BackupSet big(reg);
    big.addKeyTree(HKLM, kKey);
    std::size_t pieces = 0, largest = 0;
    std::string whole;
    ASSERT_TRUE(WriteRegFile(big.file(), [&](std::string_view piece) {
        ++pieces;
        largest = std::max(largest, piece.size());
        whole.append(piece);
        return true;
    }));
    EXPECT_LE(largest, kRegFilePiece);
    EXPECT_GT(pieces, whole.size() / kRegFilePiece);
    EXPECT_EQ(ParseRegFile(whole), big.file());
    // A sink that fails ends the writing at once.
    pieces = 0;
    EXPECT_FALSE(WriteRegFile(big.file(), [&](std::string_view) { return ++pieces < 3; }));
    EXPECT_EQ(pieces, 3u);

    ASSERT_TRUE(WriteBackupFile(files, env, "hijack", big).has_value());
    EXPECT_LE(files.largestWrite, kRegFilePiece);
    EXPECT_EQ(files.find(kPath)->data, whole);
}

}  // namespace
}  // namespace wd::test
