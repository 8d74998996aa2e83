#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "common/unicode.h"
#include "registry/registry_access.h"
#include "support/memory_registry.h"
#include "support/registry_extras.h"

namespace wd::test {
namespace {

using namespace wd::registry;
using Bytes = std::vector<std::uint8_t>;

constexpr char kKey[] = "Software\\Test";

Bytes utf16(std::u16string_view s, bool nul = true) {
    Bytes out;
    for (char16_t c : s) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    if (nul) out.insert(out.end(), {0, 0});
    return out;
}

std::vector<std::string> names(const std::vector<ValueEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.Name);
    return out;
}

// ---- root keys ----

TEST(RootKeyName, NamesTheTwoRoots) {
    EXPECT_EQ(RootKeyName(RootKey::CurrentUser), "HKEY_CURRENT_USER");
    EXPECT_EQ(RootKeyName(RootKey::LocalMachine), "HKEY_LOCAL_MACHINE");
}

// ---- opening and closing ----

TEST(OpenKey, MissingOrRefusedKeysGiveAStatusAndNoHandle) {
    MemoryRegistry reg;
    reg.addKey(HKLM, kKey);
    reg.addKey(HKLM, "Software\\Locked");
    reg.denyOpen(HKLM, "Software\\Locked");

    OpenResult missing = OpenKey(reg, HKLM, "Software\\Nowhere");
    EXPECT_EQ(missing.status, platform::RegStatus::NotFound);
    EXPECT_EQ(missing.key, nullptr);
    OpenResult denied = OpenKey(reg, HKLM, "Software\\Locked");
    EXPECT_EQ(denied.status, platform::RegStatus::AccessDenied);
    EXPECT_EQ(denied.key, nullptr);
    // The same path under the other root is another key.
    EXPECT_NE(OpenKey(reg, HKCU, kKey).status, platform::RegStatus::Success);
    {
        OpenResult ok = OpenKey(reg, HKLM, "software\\TEST");  // letter case does not matter
        EXPECT_EQ(ok.status, platform::RegStatus::Success);
        ASSERT_NE(ok.key, nullptr);
        EXPECT_EQ(reg.openHandles(), 1);
    }
    EXPECT_EQ(reg.openHandles(), 0);  // closed with its handle
}

TEST(CreateKey, MakesMissingKeysAndOpensThem) {
    MemoryRegistry reg;
    KeyHandle k = CreateKey(reg, HKLM, "Software\\A\\B");
    ASSERT_NE(k, nullptr);
    EXPECT_TRUE(reg.hasKey(HKLM, "Software\\A\\B"));
    reg.failWrites = true;
    EXPECT_EQ(CreateKey(reg, HKLM, "Software\\C"), nullptr);
    EXPECT_NE(CreateKey(reg, HKLM, "Software\\A"), nullptr);  // exists: just opened
}

// ---- enumerations ----

TEST(Enumeration, EmptyKeyEndsOnTheFirstCall) {
    MemoryRegistry reg;
    reg.addKey(HKLM, kKey);
    OpenResult k = OpenKey(reg, HKLM, kKey);
    EXPECT_TRUE(EnumSubkeyNames(reg, *k.key).empty());
    EXPECT_TRUE(EnumValues(reg, *k.key).empty());
    EXPECT_EQ(reg.enumerationCalls(), 2);
}

TEST(Enumeration, KeepsTheRegistryOrderAndNamesInAnyLanguage) {
    MemoryRegistry reg;
    const std::vector<std::string> keys{"zeta", "阿尔法", "Ärger", "Кириллица", "emoji😀", "alpha"};
    for (const auto& n : keys) reg.addKey(HKLM, std::string(kKey) + "\\" + n);
    for (const auto& n : keys) reg.setString(HKLM, kKey, "值" + n, "数据" + n);
    OpenResult k = OpenKey(reg, HKLM, kKey);
    EXPECT_EQ(EnumSubkeyNames(reg, *k.key), keys);
    const auto values = EnumValues(reg, *k.key);
    ASSERT_EQ(values.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(values[i].Name, "值" + keys[i]);
        EXPECT_EQ(values[i].Text, "数据" + keys[i]);
    }
}

TEST(Enumeration, AWalkStopsWhenTheVisitorSaysSo) {
    MemoryRegistry reg;
    for (const char* n : {"a", "b", "c", "d"}) reg.setString(HKLM, kKey, n, n);
    OpenResult k = OpenKey(reg, HKLM, kKey);
    std::vector<std::string> seen;
    const WalkEnd end = WalkValues(reg, *k.key, [&](const ValueEntry& e) {
        seen.push_back(e.Name);
        return e.Name != "b";
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(end.status, platform::RegStatus::Success);
    EXPECT_EQ(reg.enumerationCalls(), 2);
}

TEST(Enumeration, AKeyRemovedMeanwhileEndsTheWalkWithWhatWasSeen) {
    MemoryRegistry reg;
    for (const char* n : {"a", "b", "c", "d"}) reg.addKey(HKLM, std::string(kKey) + "\\" + n);
    reg.vanishDuringEnumeration(HKLM, kKey, 2);
    OpenResult k = OpenKey(reg, HKLM, kKey);
    std::vector<std::string> seen;
    const WalkEnd end = WalkSubkeyNames(reg, *k.key, [&](const std::string& n) {
        seen.push_back(n);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(end.status, platform::RegStatus::KeyDeleted);
    EXPECT_FALSE(reg.hasKey(HKLM, kKey));
    EXPECT_EQ(reg.enumerationCalls(), 3);  // no call after the failure
}

TEST(Enumeration, DataTooLargeToReadIsPassedOverAndTheWalkGoesOn) {
    MemoryRegistry reg;
    for (const char* n : {"a", "huge", "c"}) reg.setString(HKLM, kKey, n, n);
    reg.makeUnreadable(HKLM, kKey, "huge");
    OpenResult k = OpenKey(reg, HKLM, kKey);
    std::vector<std::string> seen;
    const WalkEnd end = WalkValues(reg, *k.key, [&](const ValueEntry& e) {
        seen.push_back(e.Name);
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(end.unreadable, 1u);
    EXPECT_EQ(end.status, platform::RegStatus::NoMoreItems);
}

TEST(Enumeration, LongNamesAndLargeDataComeWhole) {
    MemoryRegistry reg;
    const std::string longName(16383, 'n');
    const std::string bigText(32767, 'x');  // 64 KB of UTF-16 with its NUL
    reg.setString(HKLM, kKey, longName, bigText);
    reg.setBinary(HKLM, kKey, "blob", Bytes(65536, 0xAB));
    OpenResult k = OpenKey(reg, HKLM, kKey);
    const auto values = EnumValues(reg, *k.key);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].Name, longName);
    EXPECT_EQ(values[0].ByteCount, 65536);
    EXPECT_EQ(values[0].Text, bigText);
    EXPECT_EQ(values[1].ByteCount, 65536);
    // Binary captions stop after 1024 bytes.
    EXPECT_EQ(values[1].Text.size(), 1024u * 3 - 1 + std::string("…").size());
    EXPECT_EQ(values[1].Text.substr(values[1].Text.size() - 3), "…");
}

// ---- value entries ----

struct CaptionCase {
    const char* what;
    std::uint32_t type;
    Bytes data;
    std::int32_t byteCount;
    std::string text;
};

class ValueEntryCaption : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(ValueEntryCaption, IsReadableForEveryType) {
    const CaptionCase& c = GetParam();
    const ValueEntry e = MakeValueEntry({"v", c.type, c.data});
    EXPECT_EQ(e.Name, "v");
    EXPECT_EQ(e.ByteCount, c.byteCount);
    EXPECT_EQ(e.Text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ValueEntryCaption,
    ::testing::Values(
        CaptionCase{"empty string", 1, {0, 0}, 2, ""}, CaptionCase{"no data", 1, {}, 0, ""},
        CaptionCase{"string", 1, utf16(u"abc"), 8, "abc"},
        CaptionCase{"chinese", 1, utf16(u"工具栏"), 8, "工具栏"},
        CaptionCase{"without its NUL", 1, utf16(u"abc", false), 6, "abc"},
        CaptionCase{"odd length", 1, {'a', 0, 'b', 0, 'c'}, 5, "ab"},
        CaptionCase{"one byte", 1, {'a'}, 1, ""},
        CaptionCase{"text ends at a NUL", 1, {'a', 0, 0, 0, 'b', 0, 0, 0}, 8, "a"},
        CaptionCase{"lone high surrogate", 1, {0x3D, 0xD8, 'a', 0, 0, 0}, 6, "\xEF\xBF\xBD" "a"},
        CaptionCase{"lone low surrogate", 1, {0x00, 0xDC, 0, 0}, 4, "\xEF\xBF\xBD"},
        CaptionCase{"surrogate pair", 1, utf16(u"\U0001F600"), 6, "\xF0\x9F\x98\x80"},
        CaptionCase{"expandable", 2, utf16(u"%SystemRoot%\\x.dll"), 38, "%SystemRoot%\\x.dll"},
        CaptionCase{"link", 6, utf16(u"\\Registry\\Machine", false), 34, "\\Registry\\Machine"},
        CaptionCase{"dword", 4, {42, 0, 0, 0}, 4, "42"},
        CaptionCase{"dword max", 4, {0xFF, 0xFF, 0xFF, 0xFF}, 4, "4294967295"},
        CaptionCase{"short dword", 4, {1, 2, 3}, 3, "01 02 03"},
        CaptionCase{"big-endian dword", 5, {0, 0, 1, 0}, 4, "256"},
        CaptionCase{"qword", 11, {0, 0, 0, 0, 1, 0, 0, 0}, 8, "4294967296"},
        CaptionCase{"binary", 3, {0xDE, 0xAD, 0xBE, 0xEF}, 4, "de ad be ef"},
        CaptionCase{"none", 0, {0x00, 0x7F}, 2, "00 7f"},
        CaptionCase{"unknown type", 0x12345, {0x10}, 1, "10"}),
    [](const auto& info) {
        std::string n = info.param.what;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

TEST(ValueEntryCaption, MultiStringsAreJoinedVisibly) {
    const Bytes data = utf16(std::u16string(u"one\0two\0\0", 9), false);
    EXPECT_EQ(MakeValueEntry({"m", 7, data}).Text, "one | two");
    EXPECT_EQ(MakeValueEntry({"m", 7, {0, 0}}).Text, "");
    // A list that lacks its final NULs still shows every string.
    EXPECT_EQ(MakeValueEntry({"m", 7, utf16(std::u16string(u"a\0b", 3), false)}).Text, "a | b");
}

TEST(ValueEntryCaption, NeverFailsOnArbitraryBytes) {
    // Every type with every short pattern of bytes: only that it returns.
    for (std::uint32_t type = 0; type <= 12; ++type)
        for (int len = 0; len <= 5; ++len)
            for (int seed = 0; seed < 64; ++seed) {
                Bytes data;
                for (int i = 0; i < len; ++i) data.push_back(static_cast<std::uint8_t>(seed * 37 + i * 101 + 0xD8));
                const ValueEntry e = MakeValueEntry({"x", type, data});
                EXPECT_EQ(e.ByteCount, len);
            }
}

// ---- writing and deleting ----

TEST(SetStringValue, WritesUtf16WithItsNul) {
    MemoryRegistry reg;
    reg.addKey(HKLM, kKey);
    OpenResult k = OpenKey(reg, HKLM, kKey);
    SetStringValue(reg, *k.key, "name", "abc");
    SetStringValue(reg, *k.key, "路径", "C:\\程序\\x.exe watch");
    SetStringValue(reg, *k.key, "empty", "");
    EXPECT_EQ(reg.value(HKLM, kKey, "name")->data, utf16(u"abc"));
    EXPECT_EQ(reg.value(HKLM, kKey, "name")->type, 1u);
    EXPECT_EQ(reg.value(HKLM, kKey, "路径")->data, utf16(u"C:\\程序\\x.exe watch"));
    EXPECT_EQ(reg.value(HKLM, kKey, "empty")->data, (Bytes{0, 0}));
    // What was written reads back as it went in.
    EXPECT_EQ(EnumValues(reg, *k.key)[1].Text, "C:\\程序\\x.exe watch");
}

TEST(DeleteSubkey, DeletesOneLevelOnly) {
    MemoryRegistry reg;
    reg.addKey(HKLM, std::string(kKey) + "\\leaf");
    reg.addKey(HKLM, std::string(kKey) + "\\parent\\child");
    OpenResult k = OpenKey(reg, HKLM, kKey);
    EXPECT_EQ(DeleteSubkey(reg, *k.key, "LEAF"), platform::RegStatus::Success);
    EXPECT_EQ(DeleteSubkey(reg, *k.key, "parent"), platform::RegStatus::AccessDenied);
    EXPECT_EQ(DeleteSubkey(reg, *k.key, "missing"), platform::RegStatus::NotFound);
    // Neither an empty name (the open key itself) nor a path is a direct subkey.
    EXPECT_NE(DeleteSubkey(reg, *k.key, ""), platform::RegStatus::Success);
    EXPECT_NE(DeleteSubkey(reg, *k.key, "parent\\child"), platform::RegStatus::Success);
    EXPECT_EQ(reg.subkeyNames(HKLM, kKey), (std::vector<std::string>{"parent"}));
    EXPECT_TRUE(reg.hasKey(HKLM, std::string(kKey) + "\\parent\\child"));

    reg.addKey(HKLM, "Software\\Empty");
    OpenResult empty = OpenKey(reg, HKLM, "Software\\Empty");
    EXPECT_NE(DeleteSubkey(reg, *empty.key, ""), platform::RegStatus::Success);
    EXPECT_TRUE(reg.hasKey(HKLM, "Software\\Empty"));
}

// A tree goes from the bottom up, each key through its own handle; a registry
// link inside it (which leads anywhere, the machine's services included) is
// never gone through, and keeps the keys above it.
TEST(DeleteKeyTree, DeletesWholeTreesButNothingThroughALink) {
    const std::string key = std::string(kKey);
    MemoryRegistry reg;
    reg.setString(HKLM, key + "\\plain\\Filter\\deep", "Debugger", "x.exe");
    reg.setString(HKLM, key + "\\plain", "UseFilter", "1");
    reg.setString(HKLM, "System\\Services\\Vital\\Parameters", "keep", "1");
    reg.addKey(HKLM, key + "\\trap\\inner");
    reg.addLink(HKLM, key + "\\trap\\inner\\link", HKLM, "System\\Services\\Vital");
    reg.addLink(HKLM, key + "\\itself", HKLM, "System\\Services\\Vital");
    reg.addKey(HKLM, key + "\\refused\\young");
    OpenResult k = OpenKey(reg, HKLM, kKey);
    EXPECT_EQ(DeleteKeyTree(reg, *k.key, "PLAIN"), platform::RegStatus::Success);
    EXPECT_NE(DeleteKeyTree(reg, *k.key, "trap"), platform::RegStatus::Success);
    EXPECT_EQ(DeleteKeyTree(reg, *k.key, "itself"), platform::RegStatus::LinkRefused);
    EXPECT_EQ(DeleteSubkey(reg, *k.key, "itself"), platform::RegStatus::LinkRefused);
    std::vector<std::string> asked;
    EXPECT_NE(DeleteKeyTree(reg, *k.key, "refused",
                            [&](const std::string& path) {
                                asked.push_back(path);
                                return path != "refused\\young";
                            }),
              platform::RegStatus::Success);
    EXPECT_EQ(asked, (std::vector<std::string>{"refused", "refused\\young"}));
    EXPECT_EQ(reg.subkeyNames(HKLM, kKey), (std::vector<std::string>{"trap", "itself", "refused"}));
    EXPECT_TRUE(reg.hasKey(HKLM, key + "\\trap\\inner"));
    EXPECT_TRUE(reg.hasKey(HKLM, key + "\\refused\\young"));
    EXPECT_TRUE(reg.hasValue(HKLM, "System\\Services\\Vital\\Parameters", "keep"));
    EXPECT_EQ(reg.openHandles(), 1);
}

TEST(DeleteValue, DeletesByNameWhateverTheLetterCase) {
    MemoryRegistry reg;
    reg.setString(HKLM, kKey, "Keep", "1");
    reg.setString(HKLM, kKey, "Gone", "2");
    reg.setNoData(HKLM, kKey, "");
    OpenResult k = OpenKey(reg, HKLM, kKey);
    EXPECT_EQ(DeleteValue(reg, *k.key, "gONE"), platform::RegStatus::Success);
    EXPECT_EQ(DeleteValue(reg, *k.key, ""), platform::RegStatus::Success);  // the unnamed value
    EXPECT_EQ(names(EnumValues(reg, *k.key)), (std::vector<std::string>{"Keep"}));
}

TEST(NulInNames, NeverReachesTheRegistryAsAShorterName) {
    // The system reads a wide name up to its first NUL: "evil\0x" would be
    // "evil". Such a name is refused before it gets there.
    MemoryRegistry reg;
    reg.addKey(HKLM, std::string(kKey) + "\\evil");
    reg.addKey(HKLM, std::string(kKey) + std::string("\\evil\0x", 7));
    reg.setString(HKLM, kKey, "v", "keep");
    reg.setString(HKLM, kKey, std::string("v\0x", 3), "hidden");
    OpenResult k = OpenKey(reg, HKLM, kKey);
    EXPECT_EQ(OpenKey(reg, HKLM, std::string(kKey) + std::string("\\evil\0x", 7)).key, nullptr);
    EXPECT_NE(DeleteSubkey(reg, *k.key, std::string("evil\0x", 6)), platform::RegStatus::Success);
    EXPECT_NE(DeleteValue(reg, *k.key, std::string("v\0x", 3)), platform::RegStatus::Success);
    EXPECT_NE(SetStringValue(reg, *k.key, std::string("v\0x", 3), "changed"), platform::RegStatus::Success);
    EXPECT_EQ(reg.subkeyNames(HKLM, kKey).size(), 2u);
    EXPECT_EQ(names(EnumValues(reg, *k.key)), (std::vector<std::string>{"v", std::string("v\0x", 3)}));
    EXPECT_EQ(EnumValues(reg, *k.key)[0].Text, "keep");
    EXPECT_TRUE(reg.log.empty());
}

// ---- views ----

TEST(Views, The32BitViewCountsOnlyWithAKeyOfItsOwn) {
    MemoryRegistry reg;
    const std::string ext = "Software\\Microsoft\\Internet Explorer\\Extensions";
    const std::string ifeo = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
    EXPECT_TRUE(ViewHasOwnKey(reg, HKLM, ext, View::Bit64));
    EXPECT_FALSE(ViewHasOwnKey(reg, HKLM, ext, View::Bit32));  // missing
    // Redirected: the 32-bit view's key is stored below Wow6432Node.
    reg.addKey(HKLM, "Software\\Wow6432Node\\Microsoft\\Internet Explorer\\Extensions\\{32}");
    EXPECT_TRUE(ViewHasOwnKey(reg, HKLM, ext, View::Bit32));
    reg.addKey(HKLM, ext + "\\{64}");
    EXPECT_TRUE(ViewHasOwnKey(reg, HKLM, ext, View::Bit32));
    OpenResult k32 = OpenKey(reg, HKLM, ext, View::Bit32);
    EXPECT_EQ(EnumSubkeyNames(reg, *k32.key), (std::vector<std::string>{"{32}"}));
    EXPECT_EQ(reg.storedPath(*k32.key), "Software\\Wow6432Node\\Microsoft\\Internet Explorer\\Extensions");
    // Shared: both views show one key, so only the 64-bit view counts.
    reg.addKey(HKLM, ifeo + "\\a.exe");
    EXPECT_TRUE(OpenKey(reg, HKLM, ifeo, View::Bit32).key != nullptr);
    EXPECT_FALSE(ViewHasOwnKey(reg, HKLM, ifeo, View::Bit32));
    EXPECT_FALSE(ViewHasOwnKey(reg, HKCU, "Software", View::Bit32));
    // When the system does not tell where a key is kept, the 32-bit view is not read.
    reg.hideStoredPaths = true;
    EXPECT_FALSE(ViewHasOwnKey(reg, HKLM, ext, View::Bit32));
}

// ---- text ----

TEST(TextConversion, Utf8AndUtf16RoundTrip) {
    for (const char* s : {"", "abc", "映像劫持", "Ärger", "😀x", "a\tb\"c\\d"}) {
        EXPECT_EQ(common::utf16leToUtf8(common::utf8ToUtf16le(s)), s) << s;
    }
    // Bytes that are not UTF-8 become U+FFFD, one each.
    EXPECT_EQ(common::utf16leToUtf8(common::utf8ToUtf16le("a\xFF" "b")), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(common::utf16leToUtf8(common::utf8ToUtf16le("\xE6\x98")), "\xEF\xBF\xBD\xEF\xBF\xBD");
    // An encoded surrogate is not UTF-8 either.
    EXPECT_EQ(common::utf8ToUtf16le("\xED\xA0\x80").size(), 6u);
}

}  // namespace
}  // namespace wd::test
