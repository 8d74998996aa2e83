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

namespace {

using platform::DriveAccess;

// How many leading parts of `a` are those of `b`, looking at no more than `limit`.
std::size_t commonParts(const DriveParts& a, const DriveParts& b, std::size_t limit) {
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && n < limit && a[n] == b[n]) ++n;
    return n;
}

}  // namespace

struct Quarantine::Run {
    Run(std::unique_ptr<platform::DriveRoot> r, std::unique_ptr<platform::DrivePath> folder)
        : root(std::move(r)), source(root->path()), target(std::move(folder)), targetParts{kQuarantineFolder} {}

    // The drive the run started on, held until it ends (the paths below go first).
    std::unique_ptr<platform::DriveRoot> root;
    // The place a name denotes and the folders on its way; the folders stay
    // held for the next name that goes the same way.
    std::unique_ptr<platform::DrivePath> source;
    DriveParts sourceParts;  // as asked, one for each part reached
    // The Quarantine folder, held for the whole run, and the folders inside
    // it where the last name went.
    std::unique_ptr<platform::DrivePath> target;
    DriveParts targetParts;

    std::string identity;  // of the Autorun copy, from its first read
    std::uint64_t offset = 0;
    bool atEnd = false;
    AutorunReader reader;
    std::vector<std::string> pending;  // names read but not yet handled
    std::size_t next = 0;

    // The name being handled, one step at a time.
    enum class Stage { Walk, Confirm, Target, Move };
    struct Job {
        bool active = false;
        Stage stage = Stage::Walk;
        DriveParts parts;  // as asked
        DriveParts into;   // the folders where it goes, the Quarantine folder first
        std::string as;    // its name there
    } job;

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
        std::unordered_map<std::string, Names> entries;  // by listing key of names and aliases
    };
    std::map<std::string, Listing> listings;
    std::size_t listedEntries = 0;

    // Whether the place may exist, from the listings alone: false only when
    // a listing says it does not. Asks of folders not yet listed are counted.
    bool mayExist(const DriveParts& parts) {
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::string folder = listingKey(joined(parts, i));
            auto it = listings.find(folder);
            if (it == listings.end()) {
                if (listings.size() >= kMaxListedFolders) return true;
                it = listings.emplace(folder, Listing{}).first;
            }
            Listing& l = it->second;
            if (l.unlistable) return true;
            if (!l.listed) {
                ++l.asked;
                return true;
            }
            if (Clock::now() - l.at > kListingLife) return true;  // listed again on the way
            if (!inListing(l, parts, i)) return false;
        }
        return true;
    }

    static bool inListing(const Listing& l, const DriveParts& parts, std::size_t i) {
        const auto entry = l.entries.find(listingKey(parts[i]));
        return entry != l.entries.end() && (i + 1 == parts.size() || entry->second.folder);
    }

    // The listing of the folder at `level` of a name, if one is due now.
    Listing* listingDue(const DriveParts& parts, std::size_t level) {
        const auto it = listings.find(listingKey(joined(parts, level)));
        if (it == listings.end()) return nullptr;
        Listing& l = it->second;
        const bool due = !l.unlistable && (l.listed ? Clock::now() - l.at > kListingLife : l.asked > kListAfter);
        return due ? &l : nullptr;
    }

    // Lists the folder that `source` has reached into `l`; whether the part
    // at `level` may be in it.
    bool relist(Listing& l, const DriveParts& parts, std::size_t level) {
        listedEntries -= l.entries.size();
        l.entries.clear();
        l.listed = false;
        const auto entries = source->list(kMaxFolderEntries);
        if (!entries || listedEntries + entries->size() > kMaxListedEntries) {
            l.unlistable = true;
            return true;
        }
        for (const auto& e : *entries) {
            for (const std::string* name : {&e.name, &e.alias}) {
                if (name->empty() || (name == &e.alias && listingKey(e.alias) == listingKey(e.name))) continue;
                Listing::Names& names = l.entries[listingKey(*name)];
                ++names.count;
                names.folder = names.folder || e.folder;
            }
        }
        listedEntries += l.entries.size();
        l.listed = true;
        l.at = Clock::now();
        return inListing(l, parts, level);
    }

    // A name that was moved away is gone from its folder's listing (its key
    // stays while it stands for other entries too).
    void movedAway(const DriveParts& parts) {
        auto it = listings.find(listingKey(joined(parts, parts.size() - 1)));
        if (it == listings.end() || !it->second.listed) return;
        auto entry = it->second.entries.find(listingKey(parts.back()));
        if (entry != it->second.entries.end() && --entry->second.count <= 0) {
            it->second.entries.erase(entry);
            --listedEntries;
        }
    }

    // Takes up the next name: what it denotes is to go to the same path
    // inside the Quarantine folder, ".vkq" appended to its last part.
    void begin(const std::string& name) {
        std::optional<DriveParts> parts = drivePartsOf(name);
        if (!parts) return;
        std::string key = upperAscii(joined(*parts, parts->size()));
        if (handled.count(key) || !mayExist(*parts)) return;
        if (handledBytes + key.size() > kMaxHandledBytes) {
            handled.clear();
            handledBytes = 0;
        }
        handledBytes += key.size();
        handled.insert(std::move(key));
        job = Job{true, Stage::Walk, std::move(*parts), {}, {}};
        // The folders on its way that the last name left held serve again.
        const std::size_t common = commonParts(sourceParts, job.parts, job.parts.size() - 1);
        source->back(sourceParts.size() - common);
        sourceParts.resize(common);
    }

    // One step of the name being handled: at most one operation on the drive.
    void advance() {
        switch (job.stage) {
            case Stage::Walk: {
                const std::size_t level = sourceParts.size();
                if (Listing* l = listingDue(job.parts, level)) {
                    if (!relist(*l, job.parts, level)) job.active = false;
                    return;
                }
                const bool last = level + 1 == job.parts.size();
                const DriveEntry kind = source->step(job.parts[level], last ? DriveAccess::Move : DriveAccess::Hold);
                if (kind != DriveEntry::Folder && !(last && kind == DriveEntry::File)) {
                    job.active = false;
                    return;
                }
                sourceParts.push_back(job.parts[level]);
                if (last) job.stage = Stage::Confirm;
                return;
            }
            case Stage::Confirm: {
                const std::optional<DriveParts> own = source->confirm();
                if (!own) {  // something on the way lies elsewhere: none of it serves again
                    source->back(source->depth());
                    sourceParts.clear();
                    job.active = false;
                    return;
                }
                // The checks of a name hold for the names its aliases stand for.
                if (keptOut(*own)) {
                    dropSource();
                    return;
                }
                job.into.assign(1, kQuarantineFolder);
                job.into.insert(job.into.end(), own->begin(), own->end() - 1);
                job.as = own->back() + kQuarantineExtension;
                const std::size_t common = std::max<std::size_t>(1, commonParts(targetParts, job.into, job.into.size()));
                target->back(targetParts.size() - common);
                targetParts.resize(common);
                job.stage = common < job.into.size() ? Stage::Target : Stage::Move;
                return;
            }
            case Stage::Target: {
                // A folder on the way inside the Quarantine folder, made if
                // missing; one that is a file, a link or anything else ends
                // this name.
                const std::string& part = job.into[targetParts.size()];
                if (target->enter(part) != DriveEntry::Folder) {
                    dropSource();
                    return;
                }
                targetParts.push_back(part);
                if (targetParts.size() == job.into.size()) job.stage = Stage::Move;
                return;
            }
            case Stage::Move: {
                const bool moved = source->moveInto(*target, job.as);
                dropSource();
                if (moved) movedAway(job.parts);
                return;
            }
        }
    }

    // Ends the name: the place it denotes is closed, its folders stay held.
    void dropSource() {
        source->back(1);
        sourceParts.pop_back();
        job.active = false;
    }

    // Up to `want` bytes of the Autorun copy from `offset`.
    std::optional<std::string> readCopy(std::uint64_t from, std::size_t want, std::string& copyIdentity) {
        const std::unique_ptr<platform::DrivePath> copy = root->path();
        if (copy->step(kQuarantineFolder, DriveAccess::Hold) != DriveEntry::Folder ||
            copy->step(kAutorunCopy, DriveAccess::Read) != DriveEntry::File || !copy->confirm())
            return std::nullopt;
        return copy->read(from, want, copyIdentity);
    }
};

Quarantine::Quarantine() = default;
Quarantine::~Quarantine() = default;

void Quarantine::tick(platform::Files& files, platform::Text& text, const std::string& drive,
                      const SliceLimits& limits) {
    const Clock::time_point started = Clock::now();
    if (!run_) {
        // Without a run, only a cheap test of the root until autorun.inf is there.
        if (!files.exists(drive + "\\autorun.inf")) return;
        std::unique_ptr<platform::DriveRoot> root = files.openDriveRoot(drive);
        if (!root || !start(std::move(root))) return;
    }
    goOn(text, limits, started);
}

// The start of a run: the Quarantine folder, then autorun.inf moved into it.
// A link or a file where the folder belongs, or an autorun.inf that is a
// link, ends the run before anything is touched; it is tried again next tick.
bool Quarantine::start(std::unique_ptr<platform::DriveRoot> root) {
    std::unique_ptr<platform::DrivePath> folder = root->path();
    if (folder->enter(kQuarantineFolder) != DriveEntry::Folder) return false;
    {
        const std::unique_ptr<platform::DrivePath> autorun = root->path();
        const DriveEntry kind = autorun->step("autorun.inf", DriveAccess::Move);
        if ((kind != DriveEntry::File && kind != DriveEntry::Folder) || !autorun->confirm() ||
            !autorun->moveInto(*folder, kAutorunCopy))
            return false;
    }
    run_ = std::make_unique<Run>(std::move(root), std::move(folder));
    return true;
}

void Quarantine::goOn(platform::Text& text, const SliceLimits& limits, Clock::time_point started) {
    Run& run = *run_;
    std::size_t names = 0, bytes = 0, steps = 0;
    for (bool first = true;; first = false) {
        if (!first && (Clock::now() - started >= limits.time || steps >= limits.steps ||
                       (!run.job.active && names >= limits.names)))
            return;
        ++steps;
        if (run.job.active) {
            run.advance();
            continue;
        }
        if (run.next < run.pending.size()) {
            ++names;
            run.begin(run.pending[run.next++]);
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
            data = run.readCopy(run.offset, want, identity);
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
