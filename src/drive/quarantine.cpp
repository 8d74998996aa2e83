#include "drive/quarantine.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "common/unicode.h"

namespace wd::drive {

namespace {

using Clock = std::chrono::steady_clock;
using platform::DriveEntry;
using platform::DriveParts;

// Bytes of the Autorun copy read at once.
constexpr std::size_t kReadChunk = 128u << 10;
// A folder is listed once this many names have been looked for in it; until
// then each name costs one look, which is cheaper for the few lines of an
// ordinary autorun file.
constexpr int kListAfter = 64;
// Limits of the listings a run keeps: entries of one folder, entries of all,
// folders. A folder beyond them is not listed: its names are looked for one
// by one.
constexpr std::size_t kMaxFolderEntries = 32768;
constexpr std::size_t kMaxListedEntries = 65536;
constexpr std::size_t kMaxListedFolders = 256;
// A listing older than this is made again before it is used.
constexpr auto kListingLife = std::chrono::seconds(5);
// Names already handled in a run, in bytes; past it the record starts afresh
// (a name then costs one more look).
constexpr std::size_t kMaxHandledBytes = 1u << 20;

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// A coarse key for the listings: ASCII letters upper-cased, every other
// character one and the same mark. Two names that a file system takes for one
// always get the same key; names with the same key are looked for for real.
std::string listingKey(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : ch;
        else if ((c & 0xC0) != 0x80) out += '\x01';
    }
    return out;
}

std::string joined(const DriveParts& parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
    return out;
}

bool isDeviceName(std::string_view part) {
    std::string base = upperAscii(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (base == d) return true;
    if (base.size() >= 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0)) {
        const std::string_view n = std::string_view(base).substr(3);
        if (n.size() == 1 && n[0] >= '1' && n[0] <= '9') return true;
        if (n == "\xC2\xB9" || n == "\xC2\xB2" || n == "\xC2\xB3") return true;  // superscript 1, 2, 3
    }
    return false;
}

}  // namespace

// ---- reading ------------------------------------------------------------------------

std::vector<std::string> autorunLines(platform::Text& text, std::string_view bytes) {
    std::string decoded;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        decoded = common::utf16leToUtf8(bytes.substr(2));
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        decoded = std::string(bytes.substr(3));
    } else {
        decoded = text.fromAnsi(bytes);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const char c = decoded[i];
        if (c != '\r' && c != '\n') continue;
        lines.emplace_back(decoded, start, i - start);
        if (c == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < decoded.size()) lines.emplace_back(decoded, start);
    return lines;
}

std::optional<std::string> nameOnLine(std::string_view line) {
    const std::size_t sep = line.find_last_of("= ");
    // The first character never separates ("=" and " " are one byte each,
    // so byte 0 is exactly the first character).
    if (sep == std::string_view::npos || sep == 0) return std::nullopt;
    return std::string(line.substr(sep + 1));
}

// Line ends, "=" and " " are found in the file's own bytes: in the ANSI code
// pages of Windows (East Asian double-byte ones included) and in UTF-8 these
// bytes are never part of another character, and in UTF-16 they are whole
// units. Only a name is decoded.
void AutorunReader::feed(platform::Text& text, std::string_view bytes, std::vector<std::string>& names) {
    if (encoding_ != Encoding::Unknown) {
        scan(text, bytes, names);
        return;
    }
    head_.append(bytes);
    if (head_.size() >= 3) detect(text, names);
}

void AutorunReader::finish(platform::Text& text, std::vector<std::string>& names) {
    if (encoding_ == Encoding::Unknown) detect(text, names);
    odd_.clear();  // an odd byte at the end of UTF-16 text is dropped
    if (lineStarted_) endLine(text, names);
    afterCr_ = false;
}

void AutorunReader::detect(platform::Text& text, std::vector<std::string>& names) {
    std::string head;
    head.swap(head_);
    std::size_t skip = 0;
    if (head.compare(0, 2, "\xFF\xFE") == 0) {
        encoding_ = Encoding::Utf16;
        skip = 2;
    } else if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        encoding_ = Encoding::Utf8;
        skip = 3;
    } else {
        encoding_ = Encoding::Ansi;
    }
    scan(text, std::string_view(head).substr(std::min(skip, head.size())), names);
}

void AutorunReader::scan(platform::Text& text, std::string_view bytes, std::vector<std::string>& names) {
    if (encoding_ != Encoding::Utf16) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            unit(text, static_cast<unsigned char>(bytes[i]), bytes.substr(i, 1), names);
        return;
    }
    std::size_t i = 0;
    if (!odd_.empty() && !bytes.empty()) {
        const std::string pair = odd_ + bytes[0];
        odd_.clear();
        unit(text, static_cast<unsigned char>(pair[0]) | (static_cast<unsigned char>(pair[1]) << 8), pair, names);
        i = 1;
    }
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        unit(text, u, bytes.substr(i, 2), names);
    }
    if (i < bytes.size()) odd_.assign(1, bytes[i]);
}

void AutorunReader::unit(platform::Text& text, char32_t u, std::string_view raw, std::vector<std::string>& names) {
    if (afterCr_ && u == U'\n') {  // CR LF ends one line
        afterCr_ = false;
        return;
    }
    afterCr_ = false;
    if (u == U'\r' || u == U'\n') {
        endLine(text, names);
        afterCr_ = u == U'\r';
        return;
    }
    if ((u == U'=' || u == U' ') && lineStarted_) {
        separated_ = true;
        tooLong_ = false;
        name_.clear();
    } else if (separated_ && !tooLong_) {
        if (name_.size() + raw.size() > kMaxNameBytes) {
            tooLong_ = true;
            name_.clear();
            name_.shrink_to_fit();
        } else {
            name_.append(raw);
        }
    }
    lineStarted_ = true;
}

void AutorunReader::endLine(platform::Text& text, std::vector<std::string>& names) {
    if (separated_ && !tooLong_) {
        switch (encoding_) {
            case Encoding::Utf16: names.push_back(common::utf16leToUtf8(name_)); break;
            case Encoding::Utf8: names.push_back(name_); break;
            default: {
                const bool ascii = std::all_of(name_.begin(), name_.end(),
                                               [](char c) { return static_cast<unsigned char>(c) < 0x80; });
                names.push_back(ascii ? name_ : text.fromAnsi(name_));
            }
        }
    }
    lineStarted_ = separated_ = tooLong_ = false;
    name_.clear();
}

// ---- names ---------------------------------------------------------------------------

namespace {

// Windows drops dots and blanks at the end of a part when it opens a path:
// every one of them at the end of the last part, one dot of a part that a
// separator follows.
std::string_view trimmed(std::string_view part, bool last) {
    if (last) {
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
    } else if (!part.empty() && part.back() == '.') {
        part.remove_suffix(1);
    }
    return part;
}

// Places that stay where they are, whatever a line says: the Quarantine folder
// and everything in it, and the autorun file itself.
bool keptOut(const DriveParts& parts) {
    return parts.empty() || upperAscii(parts.front()) == upperAscii(kQuarantineFolder) ||
           (parts.size() == 1 && upperAscii(parts.front()) == "AUTORUN.INF");
}

}  // namespace

std::optional<DriveParts> drivePartsOf(std::string_view name) {
    if (name.empty() || name.front() == '\\' || name.front() == '/') return std::nullopt;
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || std::strchr("<>:\"|?*", ch) != nullptr) return std::nullopt;
    DriveParts parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        const bool last = end == std::string_view::npos;
        if (last) end = name.size();
        std::string_view part = name.substr(start, end - start);
        start = end + 1;
        // "." and ".." are taken as they stand, before anything is trimmed.
        if (part == "..") return std::nullopt;
        if (part != ".") part = trimmed(part, last);
        if (part.empty() || part == ".") continue;
        // What still ends in a dot or blank ("..", "x.." or "x " before a
        // separator) leads up, or names nothing that Windows opens.
        if (part.back() == '.' || part.back() == ' ') return std::nullopt;
        if (isDeviceName(part)) return std::nullopt;
        parts.emplace_back(part);
    }
    if (keptOut(parts)) return std::nullopt;
    return parts;
}

bool nameStaysOnDrive(std::string_view name) { return drivePartsOf(name).has_value(); }

// ---- runs ------------------------------------------------------------------------------

struct Quarantine::Run {
    explicit Run(std::string d) : drive(std::move(d)) {}

    std::string drive;
    std::string identity;  // of the Autorun copy, from its first read
    std::uint64_t offset = 0;
    bool atEnd = false;
    AutorunReader reader;
    std::vector<std::string> pending;  // names read but not yet handled
    std::size_t next = 0;

    // Names already handled (ASCII letters upper-cased), so a name repeated
    // a million times costs one look.
    std::unordered_set<std::string> handled;
    std::size_t handledBytes = 0;

    // Listings of folders on the drive, by listing key of the folder's path.
    struct Listing {
        int asked = 0;
        bool listed = false, unlistable = false;
        Clock::time_point at{};
        struct Names {
            int count = 0;        // entries with this key
            bool folder = false;  // one of them is (or was) a folder
        };
        std::unordered_map<std::string, Names> entries;  // by listing key
    };
    std::map<std::string, Listing> listings;
    std::size_t listedEntries = 0;

    // Whether the place may exist: false only when a listing says it does not.
    bool mayExist(platform::DriveRoot& root, const DriveParts& parts) {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::string folder = listingKey(joined(parts, i));
            auto it = listings.find(folder);
            if (it == listings.end()) {
                if (listings.size() >= kMaxListedFolders) return true;
                it = listings.emplace(folder, Listing{}).first;
            }
            Listing& l = it->second;
            if (l.unlistable) return true;
            if (!l.listed && ++l.asked <= kListAfter) return true;
            if (!l.listed || Clock::now() - l.at > kListingLife) {
                listedEntries -= l.entries.size();
                l.entries.clear();
                l.listed = false;
                const DriveParts path(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(i));
                auto entries = root.list(path, kMaxFolderEntries);
                if (!entries || listedEntries + entries->size() > kMaxListedEntries) {
                    l.unlistable = true;
                    return true;
                }
                for (const auto& e : *entries) {
                    Listing::Names& names = l.entries[listingKey(e.name)];
                    ++names.count;
                    names.folder = names.folder || e.folder;
                }
                listedEntries += l.entries.size();
                l.listed = true;
                l.at = Clock::now();
            }
            const auto entry = l.entries.find(listingKey(parts[i]));
            if (entry == l.entries.end()) return false;
            if (i + 1 < parts.size() && !entry->second.folder) return false;
        }
        return true;
    }

    // A name that was moved away is gone from its folder's listing (its key
    // stays while it stands for other entries too).
    void moved(const DriveParts& parts) {
        auto it = listings.find(listingKey(joined(parts, parts.size() - 1)));
        if (it == listings.end() || !it->second.listed) return;
        auto entry = it->second.entries.find(listingKey(parts.back()));
        if (entry != it->second.entries.end() && --entry->second.count <= 0) {
            it->second.entries.erase(entry);
            --listedEntries;
        }
    }

    // Moves the place a name denotes to the same path inside the Quarantine
    // folder, ".vkq" appended to its last part, making the folders on the way.
    void handle(platform::DriveRoot& root, const std::string& name) {
        const std::optional<DriveParts> parts = drivePartsOf(name);
        if (!parts) return;
        std::string key = upperAscii(joined(*parts, parts->size()));
        if (handled.count(key)) return;
        if (!mayExist(root, *parts)) return;
        if (handledBytes + key.size() > kMaxHandledBytes) {
            handled.clear();
            handledBytes = 0;
        }
        handledBytes += key.size();
        handled.insert(std::move(key));

        DriveParts target{kQuarantineFolder};
        target.insert(target.end(), parts->begin(), parts->end());
        target.back() += kQuarantineExtension;
        // The folders on the way inside the Quarantine folder (itself checked
        // at the start of the slice), made here if missing, once the source
        // is known to be there (the move checks it again, as it checks a
        // source in the root). One that is a file, a link or anything else
        // refused ends this name.
        if (target.size() > 2) {
            const DriveEntry source = root.look(*parts);
            if (source != DriveEntry::File && source != DriveEntry::Folder) return;
        }
        for (std::size_t depth = 2; depth < target.size(); ++depth) {
            const DriveParts folder(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(depth));
            const DriveEntry kind = root.look(folder);
            if (kind == DriveEntry::Absent && root.makeFolder(folder)) continue;
            if (kind != DriveEntry::Folder) return;
        }
        if (root.moveReplacing(*parts, target)) moved(*parts);
    }
};

Quarantine::Quarantine() = default;
Quarantine::~Quarantine() = default;

void Quarantine::tick(platform::Files& files, platform::Text& text, const std::string& drive,
                      const SliceLimits& limits) {
    const Clock::time_point started = Clock::now();
    // A run goes on on the drive it started on; the drive text names the
    // drive of the next run.
    const std::string on = run_ ? run_->drive : drive;
    // Without a run, only a cheap test of the root until autorun.inf is there.
    if (!run_ && !files.exists(on + "\\autorun.inf")) return;
    const std::unique_ptr<platform::DriveRoot> root = files.openDriveRoot(on);
    if (!root) {
        run_.reset();
        return;
    }
    if (!run_) {
        if (!start(*root, drive)) return;
    } else if (root->look({kQuarantineFolder}) != DriveEntry::Folder) {
        run_.reset();
        return;
    }
    goOn(*root, text, limits, started);
}

// The start of a run: the Quarantine folder, then autorun.inf moved into it.
// A link or a file where the folder belongs, or an autorun.inf that is a
// link, ends the run before anything is touched; it is tried again next tick.
bool Quarantine::start(platform::DriveRoot& root, const std::string& drive) {
    const DriveParts folder{kQuarantineFolder};
    const DriveEntry kind = root.look(folder);
    if (kind == DriveEntry::Absent) {
        if (!root.makeFolder(folder)) return false;
    } else if (kind != DriveEntry::Folder) {
        return false;
    }
    const DriveParts autorun{"autorun.inf"};
    const DriveEntry source = root.look(autorun);
    if (source != DriveEntry::File && source != DriveEntry::Folder) return false;
    if (!root.moveReplacing(autorun, {kQuarantineFolder, kAutorunCopy})) return false;
    run_ = std::make_unique<Run>(drive);
    return true;
}

void Quarantine::goOn(platform::DriveRoot& root, platform::Text& text, const SliceLimits& limits,
                      Clock::time_point started) {
    Run& run = *run_;
    std::size_t names = 0, bytes = 0;
    for (bool first = true;; first = false) {
        if (!first && (Clock::now() - started >= limits.time || names >= limits.names)) return;
        if (run.next < run.pending.size()) {
            run.handle(root, run.pending[run.next++]);
            ++names;
            continue;
        }
        run.pending.clear();
        run.pending.shrink_to_fit();
        run.next = 0;
        if (run.atEnd) {
            run_.reset();
            return;
        }
        if (!first && bytes >= limits.bytes) return;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(
            std::min<std::uint64_t>(kReadChunk, std::max<std::size_t>(limits.bytes, 1)), kAutorunReadLimit - run.offset));
        std::optional<std::string> data;
        if (want > 0) {
            std::string identity;
            data = root.read({kQuarantineFolder, kAutorunCopy}, run.offset, want, identity);
            if (!data || (!run.identity.empty() && identity != run.identity)) {
                run_.reset();
                return;
            }
            run.identity = std::move(identity);
        }
        if (!data || data->empty()) {
            run.reader.finish(text, run.pending);
            run.atEnd = true;
            continue;
        }
        run.offset += data->size();
        bytes += data->size();
        run.reader.feed(text, *data, run.pending);
    }
}

void QuarantineDrive(platform::Files& files, platform::Text& text, const std::string& drive) {
    Quarantine quarantine;
    SliceLimits whole;
    whole.time = Clock::duration::max();
    quarantine.tick(files, text, drive, whole);
}

}  // namespace wd::drive
