#include "registry/reg_backup.h"

#include <array>
#include <cstdio>

#include "common/unicode.h"
#include "registry/registry_access.h"

namespace wd::registry {

namespace {

using platform::RegValue;
using platform::RootKey;
using platform::ValueType;

// The registry nests keys at most 512 levels deep; deeper means a loop.
constexpr int kMaxDepth = 512;
// Lines of hex data end at about this column, as the registry editor's do.
constexpr std::size_t kHexLineEnd = 77;
// How many "-2", "-3", ... a backup name may try.
constexpr int kMaxNameTries = 1000;

constexpr std::uint32_t typeOf(ValueType t) { return static_cast<std::uint32_t>(t); }

// ---- writing ----

std::string escaped(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

bool hasLineBreakOrNul(std::string_view s) {
    for (char c : s)
        if (c == '\r' || c == '\n' || c == '\0') return true;
    return false;
}

// The text of REG_SZ data when a quoted string reads back to exactly these
// bytes: whole UTF-16 units, one terminating NUL, nothing a line cannot hold.
std::optional<std::string> quotable(const RegFileValue& v) {
    if (v.type != typeOf(ValueType::String) || v.data.size() < 2 || v.data.size() % 2 != 0) return std::nullopt;
    const std::size_t n = v.data.size();
    if (v.data[n - 2] != 0 || v.data[n - 1] != 0) return std::nullopt;
    std::string text = common::utf16leToUtf8(std::span(v.data.data(), n - 2));
    if (hasLineBreakOrNul(text)) return std::nullopt;
    std::vector<std::uint8_t> back = common::utf8ToUtf16le(text);
    back.push_back(0);
    back.push_back(0);
    if (back != v.data) return std::nullopt;
    return text;
}

void writeHex(std::string& out, std::string line, const std::vector<std::uint8_t>& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::size_t column = line.size();
    out += line;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && column + 3 > kHexLineEnd) {
            out += "\\\r\n  ";
            column = 2;
        }
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0xF];
        column += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++column;
        }
    }
    out += "\r\n";
}

void writeValue(std::string& out, const RegFileValue& v) {
    // Built by appending: GCC 12 warns (-Wrestrict, bug 105329) on a literal
    // put in front of a temporary string.
    std::string line;
    if (v.name.empty()) {
        line = "@=";
    } else {
        line = '"';
        line += escaped(v.name);
        line += "\"=";
    }
    if (auto text = quotable(v)) {
        out += line + "\"" + escaped(*text) + "\"\r\n";
        return;
    }
    if (v.type == typeOf(ValueType::Dword) && v.data.size() == 4) {
        const std::uint32_t d = std::uint32_t{v.data[0]} | (std::uint32_t{v.data[1]} << 8) |
                                (std::uint32_t{v.data[2]} << 16) | (std::uint32_t{v.data[3]} << 24);
        std::array<char, 16> buf{};
        std::snprintf(buf.data(), buf.size(), "%08x", static_cast<unsigned>(d));
        out += line + "dword:" + buf.data() + "\r\n";
        return;
    }
    if (v.type == typeOf(ValueType::Binary)) {
        line += "hex:";
    } else {
        std::array<char, 16> buf{};
        std::snprintf(buf.data(), buf.size(), "%x", static_cast<unsigned>(v.type));
        line += "hex(" + std::string(buf.data()) + "):";
    }
    writeHex(out, std::move(line), v.data);
}

// ---- reading ----

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted text starting at s[0] == '"'; `rest` gets what follows the closing quote.
std::optional<std::string> readQuoted(std::string_view s, std::string_view& rest) {
    if (s.empty() || s[0] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\') {
            if (i + 1 >= s.size()) return std::nullopt;
            out += s[++i];
        } else if (s[i] == '"') {
            rest = s.substr(i + 1);
            return out;
        } else {
            out += s[i];
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> readHexList(std::string_view s) {
    std::vector<std::uint8_t> out;
    s = trimRight(trimLeft(s));
    if (s.empty()) return out;
    for (;;) {
        s = trimLeft(s);
        if (s.size() < 2) return std::nullopt;
        const int hi = hexDigit(s[0]), lo = hexDigit(s[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        s = trimLeft(s.substr(2));
        if (s.empty()) return out;
        if (s[0] != ',') return std::nullopt;
        s.remove_prefix(1);
    }
}

std::optional<std::uint32_t> readHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

std::string decodeFile(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        bytes.remove_prefix(2);
        return common::utf16leToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
}

}  // namespace

std::string WriteRegFile(const RegFile& file) {
    std::string text = std::string(kRegFileHeader) + "\r\n\r\n";
    for (const RegFileKey& key : file.keys) {
        text += "[" + key.path + "]\r\n";
        for (const RegFileValue& v : key.values) writeValue(text, v);
        text += "\r\n";
    }
    const std::vector<std::uint8_t> wide = common::utf8ToUtf16le(text);
    std::string bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(wide.data()), wide.size());
    return bytes;
}

std::optional<RegFile> ParseRegFile(std::string_view bytes) {
    const std::string text = decodeFile(bytes);
    const std::vector<std::string_view> lines = splitLines(text);
    std::size_t i = 0;
    while (i < lines.size() && trimRight(lines[i]).empty()) ++i;
    if (i >= lines.size() || trimRight(lines[i]) != kRegFileHeader) return std::nullopt;
    ++i;

    RegFile file;
    for (; i < lines.size(); ++i) {
        const std::string_view line = trimRight(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']' || line[1] == '-') return std::nullopt;
            file.keys.push_back({std::string(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (file.keys.empty()) return std::nullopt;

        RegFileValue v;
        std::string_view rest;
        if (line[0] == '@') {
            rest = line.substr(1);
        } else {
            auto name = readQuoted(line, rest);
            if (!name || name->empty()) return std::nullopt;
            v.name = std::move(*name);
        }
        rest = trimLeft(rest);
        if (rest.empty() || rest[0] != '=') return std::nullopt;
        rest = trimLeft(rest.substr(1));

        if (!rest.empty() && rest[0] == '"') {
            std::string_view after;
            auto data = readQuoted(rest, after);
            if (!data || !trimLeft(after).empty()) return std::nullopt;
            v.type = typeOf(ValueType::String);
            v.data = common::utf8ToUtf16le(*data);
            v.data.push_back(0);
            v.data.push_back(0);
        } else if (rest.substr(0, 6) == "dword:") {
            auto d = readHexNumber(rest.substr(6), 8);
            if (!d) return std::nullopt;
            v.type = typeOf(ValueType::Dword);
            for (int b = 0; b < 4; ++b) v.data.push_back(static_cast<std::uint8_t>(*d >> (8 * b)));
        } else if (rest.substr(0, 3) == "hex") {
            rest.remove_prefix(3);
            if (!rest.empty() && rest[0] == ':') {
                v.type = typeOf(ValueType::Binary);
                rest.remove_prefix(1);
            } else {
                const std::size_t close = rest.find("):");
                if (rest.empty() || rest[0] != '(' || close == std::string_view::npos) return std::nullopt;
                auto t = readHexNumber(rest.substr(1, close - 1), 8);
                if (!t) return std::nullopt;
                v.type = *t;
                rest.remove_prefix(close + 2);
            }
            // Continuation lines: ",\" at the end carries on with the next line.
            std::string list(rest);
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                if (++i >= lines.size()) return std::nullopt;
                list += trimLeft(trimRight(lines[i]));
            }
            auto data = readHexList(list);
            if (!data) return std::nullopt;
            v.data = std::move(*data);
        } else {
            return std::nullopt;  // "-" (a deletion) or something unknown
        }
        file.keys.back().values.push_back(std::move(v));
    }
    return file;
}

// ---- collecting ----

BackupSet::BackupSet(platform::Registry& reg, platform::Text* text) : reg_(reg), text_(text) {}

bool BackupSet::sameName(std::string_view a, std::string_view b) const {
    if (SameRegistryName(a, b)) return true;
    return text_ && text_->lowerCase(a) == text_->lowerCase(b);
}

namespace {

// A name must come back from the file as it went in.
bool fitsInFile(std::string_view name) {
    return !hasLineBreakOrNul(name) && common::utf16leToUtf8(common::utf8ToUtf16le(name)) == name;
}

std::string fullPath(RootKey root, std::string_view path) {
    return std::string(RootKeyName(root)) + "\\" + std::string(path);
}

}  // namespace

const RegFileKey* BackupSet::findBlock(RootKey root, std::string_view path) const {
    const std::string full = fullPath(root, path);
    for (const RegFileKey& k : file_.keys)
        if (sameName(k.path, full)) return &k;
    return nullptr;
}

RegFileKey& BackupSet::block(RootKey root, std::string_view path) {
    if (const RegFileKey* k = findBlock(root, path)) return const_cast<RegFileKey&>(*k);
    file_.keys.push_back({fullPath(root, path), {}});
    return file_.keys.back();
}

bool BackupSet::addTo(RegFileKey& key, const RegValue& v) {
    for (const RegFileValue& have : key.values)
        if (sameName(have.name, v.name)) return true;
    if (!fitsInFile(v.name)) return false;
    key.values.push_back({v.name, v.type, v.data});
    return true;
}

bool BackupSet::addTree(RootKey root, const std::string& path, int depth) {
    if (depth > kMaxDepth || !fitsInFile(path)) return false;
    OpenResult k = OpenKey(reg_, root, path);
    if (k.status != platform::kSuccess) return false;
    if (findBlock(root, path)) return true;  // already collected, with all below it
    RegFileKey* key = &block(root, path);
    bool whole = true;
    const WalkEnd values = WalkRawValues(reg_, *k.key, [&](const RegValue& v) {
        whole = addTo(*key, v) && whole;
        return true;
    });
    std::vector<std::string> children;
    const WalkEnd subkeys = WalkSubkeyNames(reg_, *k.key, [&](const std::string& n) {
        children.push_back(n);
        return true;
    });
    if (values.unreadable || subkeys.unreadable) whole = false;
    k.key.reset();
    for (const std::string& child : children) whole = addTree(root, path + "\\" + child, depth + 1) && whole;
    return whole;
}

void BackupSet::addKeyTree(RootKey root, std::string_view path) {
    const std::size_t before = file_.keys.size();
    if (findBlock(root, path)) return;
    if (addTree(root, std::string(path), 0)) {
        if (file_.keys.size() > before) wholeKeys_.push_back(fullPath(root, path));
        return;
    }
    // Left out whole: what was collected of it goes again.
    file_.keys.erase(file_.keys.begin() + static_cast<std::ptrdiff_t>(before), file_.keys.end());
    complete_ = false;
}

void BackupSet::addSubkeyTrees(RootKey root, std::string_view path) {
    std::vector<std::string> children;
    {
        OpenResult k = OpenKey(reg_, root, path);
        if (k.status != platform::kSuccess) return;
        const WalkEnd end = WalkSubkeyNames(reg_, *k.key, [&](const std::string& n) {
            children.push_back(n);
            return true;
        });
        if (end.unreadable) complete_ = false;
    }
    for (const std::string& child : children) addKeyTree(root, std::string(path) + "\\" + child);
}

void BackupSet::addValue(RootKey root, std::string_view path, std::string_view name) {
    OpenResult k = OpenKey(reg_, root, path);
    if (k.status != platform::kSuccess) return;
    const WalkEnd end = WalkRawValues(reg_, *k.key, [&](const RegValue& v) {
        if (!sameName(v.name, name)) return true;
        if (!fitsInFile(path) || !addTo(block(root, path), v)) complete_ = false;
        return false;
    });
    if (end.unreadable) complete_ = false;
}

void BackupSet::addAllValues(RootKey root, std::string_view path) {
    OpenResult k = OpenKey(reg_, root, path);
    if (k.status != platform::kSuccess) return;
    const WalkEnd end = WalkRawValues(reg_, *k.key, [&](const RegValue& v) {
        if (!fitsInFile(path) || !addTo(block(root, path), v)) complete_ = false;
        return true;
    });
    if (end.unreadable) complete_ = false;
}

bool BackupSet::holdsKey(RootKey root, std::string_view path) const {
    const std::string full = fullPath(root, path);
    for (const std::string& k : wholeKeys_)
        if (sameName(k, full)) return true;
    return false;
}

bool BackupSet::holdsValue(RootKey root, std::string_view path, std::string_view name) const {
    const RegFileKey* k = findBlock(root, path);
    if (!k) return false;
    for (const RegFileValue& v : k->values)
        if (sameName(v.name, name)) return true;
    return false;
}

std::optional<std::string> WriteBackupFile(platform::Files& files, platform::Environment& env, std::string_view page,
                                           const BackupSet& set) {
    std::string folder = env.localAppDataFolder();
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    if (folder.empty()) return std::nullopt;
    const std::string stem = folder + "\\" + kBackupFolder + "\\" + env.localTimestamp() + "-" + std::string(page);
    const std::string bytes = WriteRegFile(set.file());
    for (int n = 1; n <= kMaxNameTries; ++n) {
        std::string path = stem;
        if (n > 1) {
            path += '-';
            path += std::to_string(n);
        }
        path += ".reg";
        if (files.exists(path)) continue;
        if (!files.writeAll(path, bytes)) return std::nullopt;
        return path;
    }
    return std::nullopt;
}

}  // namespace wd::registry
