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

// The file's UTF-16LE bytes, handed on in pieces of kRegFilePiece bytes.
class PieceWriter {
public:
    explicit PieceWriter(const RegFileSink& sink) : sink_(sink) { buffer_.reserve(kRegFilePiece); }

    void unit(char16_t u) {
        buffer_ += static_cast<char>(u & 0xFF);
        buffer_ += static_cast<char>(u >> 8);
        if (buffer_.size() >= kRegFilePiece) drain();
    }
    void ascii(std::string_view s) {
        for (char c : s) unit(static_cast<unsigned char>(c));
    }
    // Text of the program (UTF-8), with \ and " escaped when asked.
    void text(std::string_view utf8, bool escape) {
        const std::vector<std::uint8_t> wide = common::utf8ToUtf16le(utf8);
        for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
            const auto u = static_cast<char16_t>(wide[i] | (wide[i + 1] << 8));
            if (escape && (u == u'\\' || u == u'"')) unit(u'\\');
            unit(u);
        }
    }
    bool finish() {
        drain();
        return ok_;
    }

private:
    void drain() {
        if (ok_ && !buffer_.empty()) ok_ = sink_(buffer_);
        buffer_.clear();
    }

    const RegFileSink& sink_;
    std::string buffer_;
    bool ok_ = true;
};

char16_t unitAt(const std::vector<std::uint8_t>& data, std::size_t i) {
    return static_cast<char16_t>(data[i] | (data[i + 1] << 8));
}

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Whether REG_SZ data can stand as a quoted string that reads back to exactly
// these bytes: whole UTF-16 units, one terminating NUL, well-formed
// surrogate pairs, nothing a line cannot hold. Looked at in place, so that
// large data is not copied.
bool quotable(const RegFileValue& v) {
    const std::size_t n = v.data.size();
    if (v.type != typeOf(ValueType::String) || n < 2 || n % 2 != 0) return false;
    if (unitAt(v.data, n - 2) != 0) return false;
    for (std::size_t i = 0; i + 2 < n; i += 2) {
        const char16_t u = unitAt(v.data, i);
        if (u == 0 || u == u'\r' || u == u'\n' || isLowSurrogate(u)) return false;
        if (isHighSurrogate(u)) {
            if (i + 4 >= n || !isLowSurrogate(unitAt(v.data, i + 2))) return false;
            i += 2;
        }
    }
    return true;
}

void writeHex(PieceWriter& out, std::size_t column, const std::vector<std::uint8_t>& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && column + 3 > kHexLineEnd) {
            out.ascii("\\\r\n  ");
            column = 2;
        }
        out.unit(static_cast<char16_t>(kDigits[data[i] >> 4]));
        out.unit(static_cast<char16_t>(kDigits[data[i] & 0xF]));
        column += 2;
        if (i + 1 < data.size()) {
            out.unit(u',');
            ++column;
        }
    }
    out.ascii("\r\n");
}

void writeValue(PieceWriter& out, const RegFileValue& v) {
    // The column the data starts at, for the line breaks of hex data.
    std::size_t column = 0;
    if (v.name.empty()) {
        out.ascii("@=");
        column = 2;
    } else {
        out.unit(u'"');
        out.text(v.name, true);
        out.ascii("\"=");
        column = common::utf8ToUtf16le(escaped(v.name)).size() / 2 + 3;
    }
    if (quotable(v)) {
        out.unit(u'"');
        for (std::size_t i = 0; i + 2 < v.data.size(); i += 2) {
            const char16_t u = unitAt(v.data, i);
            if (u == u'\\' || u == u'"') out.unit(u'\\');
            out.unit(u);
        }
        out.ascii("\"\r\n");
        return;
    }
    if (v.type == typeOf(ValueType::Dword) && v.data.size() == 4) {
        const std::uint32_t d = std::uint32_t{v.data[0]} | (std::uint32_t{v.data[1]} << 8) |
                                (std::uint32_t{v.data[2]} << 16) | (std::uint32_t{v.data[3]} << 24);
        std::array<char, 16> buf{};
        std::snprintf(buf.data(), buf.size(), "%08x", static_cast<unsigned>(d));
        out.ascii("dword:");
        out.ascii(buf.data());
        out.ascii("\r\n");
        return;
    }
    std::string prefix;
    if (v.type == typeOf(ValueType::Binary)) {
        prefix = "hex:";
    } else {
        std::array<char, 16> buf{};
        std::snprintf(buf.data(), buf.size(), "%x", static_cast<unsigned>(v.type));
        prefix = "hex(";
        prefix += buf.data();
        prefix += "):";
    }
    out.ascii(prefix);
    writeHex(out, column + prefix.size(), v.data);
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

bool WriteRegFile(const RegFile& file, const RegFileSink& sink) {
    PieceWriter out(sink);
    out.unit(0xFEFF);  // the byte-order mark, FF FE
    out.ascii(kRegFileHeader);
    out.ascii("\r\n\r\n");
    for (const RegFileKey& key : file.keys) {
        out.unit(u'[');
        out.text(key.path, false);
        out.ascii("]\r\n");
        for (const RegFileValue& v : key.values) writeValue(out, v);
        out.ascii("\r\n");
    }
    return out.finish();
}

std::string WriteRegFile(const RegFile& file) {
    std::string bytes;
    WriteRegFile(file, [&](std::string_view piece) {
        bytes.append(piece);
        return true;
    });
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

namespace {

// A name must come back from the file as it went in.
bool fitsInFile(std::string_view name) {
    return !hasLineBreakOrNul(name) && common::utf16leToUtf8(common::utf8ToUtf16le(name)) == name;
}

std::string fullPath(RootKey root, std::string_view path) {
    return std::string(RootKeyName(root)) + "\\" + std::string(path);
}

// A walk that ended before the registry said "no more items" (the key went
// away meanwhile, a read failed) or passed over an entry did not see it all.
bool sawAll(const WalkEnd& end) { return end.status == platform::RegStatus::NoMoreItems && end.unreadable == 0; }

}  // namespace

std::string BackupSet::nameKey(std::string_view name) const {
    // Only the registry's own rule: a looser one would take two names for one
    // and count the second as kept without writing it.
    if (text_) return text_->nameKey(name);
    std::string key(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

std::string BackupSet::placeKey(const Place& place) const {
    std::string key = place.root == RootKey::CurrentUser ? "U" : "M";
    key += place.view == View::Bit32 ? '3' : '6';
    return key + nameKey(place.path);
}

std::optional<std::string> BackupSet::filePath(const Place& place, platform::RegKey& key) const {
    if (place.view == View::Bit64) return fullPath(place.root, place.path);
    // The 32-bit view's key stands where the registry keeps it.
    std::optional<std::string> stored = reg_.storedPath(key);
    if (!stored || !fitsInFile(*stored)) return std::nullopt;
    return fullPath(place.root, *stored);
}

const RegFileKey* BackupSet::findBlock(const Place& place) const {
    const auto it = blocks_.find(placeKey(place));
    return it == blocks_.end() ? nullptr : &file_.keys[it->second];
}

std::size_t BackupSet::block(const Place& place, const std::string& path) {
    std::string key = placeKey(place);
    if (const auto it = blocks_.find(key); it != blocks_.end()) return it->second;
    file_.keys.push_back({path, {}});
    valueKeys_.emplace_back();
    placeKeys_.push_back(key);
    blocks_.emplace(std::move(key), file_.keys.size() - 1);
    return file_.keys.size() - 1;
}

void BackupSet::dropBlocksFrom(std::size_t first) {
    for (std::size_t i = first; i < placeKeys_.size(); ++i) blocks_.erase(placeKeys_[i]);
    const auto at = static_cast<std::ptrdiff_t>(first);
    file_.keys.erase(file_.keys.begin() + at, file_.keys.end());
    valueKeys_.erase(valueKeys_.begin() + at, valueKeys_.end());
    placeKeys_.erase(placeKeys_.begin() + at, placeKeys_.end());
}

bool BackupSet::addTo(std::size_t block, const RegValue& v) {
    if (!fitsInFile(v.name)) return false;
    if (!valueKeys_[block].insert(nameKey(v.name)).second) return true;  // kept already
    file_.keys[block].values.push_back({v.name, v.type, v.data});
    return true;
}

bool BackupSet::addTree(const Place& place, platform::RegKey& key, int depth) {
    if (depth > kMaxDepth || !fitsInFile(place.path)) return false;
    if (findBlock(place)) return true;  // already collected, with all below it
    const std::optional<std::string> path = filePath(place, key);
    if (!path) return false;
    const std::size_t block = this->block(place, *path);
    bool whole = true;
    const WalkEnd values = WalkRawValues(reg_, key, [&](const RegValue& v) {
        whole = addTo(block, v) && whole;
        if (between) between();
        return true;
    });
    std::vector<std::string> children;
    const WalkEnd subkeys = WalkSubkeyNames(reg_, key, [&](const std::string& n) {
        children.push_back(n);
        return true;
    });
    if (!sawAll(values) || !sawAll(subkeys)) whole = false;
    for (const std::string& child : children) {
        // Each subkey as itself: a registry link inside the tree leads
        // elsewhere, and what it leads to is no part of the key.
        OpenResult sub = OpenSubkey(reg_, key, child);
        whole = sub.status == platform::RegStatus::Success &&
                addTree({place.root, place.view, place.path + "\\" + child}, *sub.key, depth + 1) && whole;
    }
    return whole;
}

void BackupSet::addKeyTree(RootKey root, std::string_view path, View view) {
    const Place place{root, view, std::string(path)};
    if (findBlock(place)) return;
    OpenResult key = OpenKeyAsItself(reg_, root, path, view);
    addTreeOf(place, key);
}

void BackupSet::addTreeOf(const Place& place, OpenResult& key) {
    const std::size_t before = file_.keys.size();
    if (between) between();
    if (key.status == platform::RegStatus::Success && addTree(place, *key.key, 0)) {
        if (file_.keys.size() > before) wholeKeys_.insert(placeKey(place));
        return;
    }
    // Left out whole: what was collected of it goes again.
    dropBlocksFrom(before);
    complete_ = false;
}

void BackupSet::addSubkeyTrees(RootKey root, std::string_view path, View view) {
    OpenResult parent = OpenKeyAsItself(reg_, root, path, view);
    if (parent.status != platform::RegStatus::Success) return;
    std::vector<std::string> children;
    const WalkEnd end = WalkSubkeyNames(reg_, *parent.key, [&](const std::string& n) {
        children.push_back(n);
        return true;
    });
    if (!sawAll(end)) complete_ = false;
    for (const std::string& child : children) {
        const Place place{root, view, std::string(path) + "\\" + child};
        if (findBlock(place)) continue;
        OpenResult key = OpenSubkey(reg_, *parent.key, child);
        addTreeOf(place, key);
    }
}

void BackupSet::addValue(RootKey root, std::string_view path, std::string_view name, View view) {
    const Place place{root, view, std::string(path)};
    OpenResult k = OpenKeyAsItself(reg_, root, path, view);
    if (k.status != platform::RegStatus::Success) return;
    bool found = false;
    const std::string wanted = nameKey(name);
    const WalkEnd end = WalkRawValues(reg_, *k.key, [&](const RegValue& v) {
        if (nameKey(v.name) != wanted) return true;
        found = true;
        const std::optional<std::string> file = fitsInFile(path) ? filePath(place, *k.key) : std::nullopt;
        // No block is made for a value that cannot stand in the file.
        if (!file || !fitsInFile(v.name) || !addTo(block(place, *file), v)) complete_ = false;
        return false;
    });
    if (!found && !sawAll(end)) complete_ = false;
}

void BackupSet::addAllValues(RootKey root, std::string_view path, View view) {
    const Place place{root, view, std::string(path)};
    OpenResult k = OpenKeyAsItself(reg_, root, path, view);
    if (k.status != platform::RegStatus::Success) return;
    const std::optional<std::string> file = fitsInFile(path) ? filePath(place, *k.key) : std::nullopt;
    const WalkEnd end = WalkRawValues(reg_, *k.key, [&](const RegValue& v) {
        if (!file || !fitsInFile(v.name) || !addTo(block(place, *file), v)) complete_ = false;
        if (between) between();
        return true;
    });
    if (!sawAll(end)) complete_ = false;
}

bool BackupSet::holdsKey(RootKey root, std::string_view path, View view) const {
    return wholeKeys_.count(placeKey({root, view, std::string(path)})) != 0;
}

bool BackupSet::holdsKeyBlock(RootKey root, std::string_view path, View view) const {
    return findBlock({root, view, std::string(path)}) != nullptr;
}

bool BackupSet::holdsValue(RootKey root, std::string_view path, std::string_view name, View view) const {
    const auto it = blocks_.find(placeKey({root, view, std::string(path)}));
    return it != blocks_.end() && valueKeys_[it->second].count(nameKey(name)) != 0;
}

namespace {

std::string withoutTrailingSlashes(std::string folder) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

// The folder backups go to, made as the rights ask; empty when there is none.
std::string backupFolder(platform::Files& files, platform::Environment& env) {
    if (!env.fullRights()) {
        const std::string user = withoutTrailingSlashes(env.localAppDataFolder());
        return user.empty() ? std::string() : user + "\\" + kBackupFolder;
    }
    const std::string machine = withoutTrailingSlashes(env.machineDataFolder());
    if (machine.empty()) return {};
    const std::string program = machine + "\\" + kProgramFolder;
    const std::string backups = machine + "\\" + kBackupFolder;
    if (!files.makeProtectedFolder(program) || !files.makeProtectedFolder(backups)) return {};
    return backups;
}

}  // namespace

std::optional<std::string> WriteBackupFile(platform::Files& files, platform::Environment& env, std::string_view page,
                                           const BackupSet& set) {
    const std::string folder = backupFolder(files, env);
    if (folder.empty()) return std::nullopt;
    const std::string stem = folder + "\\" + env.localTimestamp() + "-" + std::string(page);
    for (int n = 1; n <= kMaxNameTries; ++n) {
        std::string path = stem;
        if (n > 1) {
            path += '-';
            path += std::to_string(n);
        }
        path += ".reg";
        bool exists = false;
        std::unique_ptr<platform::NewFile> file = files.createNew(path, exists);
        if (!file) {
            if (exists) continue;  // another backup has that name: the next one
            return std::nullopt;
        }
        // Everything on the disk before anything is deleted; a file that is
        // not whole is no backup and does not stay.
        const bool written =
            WriteRegFile(set.file(), [&](std::string_view piece) { return file->write(piece); }) && file->flush();
        if (!written) {
            file->discard();
            return std::nullopt;
        }
        return path;
    }
    return std::nullopt;
}

}  // namespace wd::registry
