#include "drive/quarantine.h"

#include <algorithm>
#include <unordered_set>

#include "drive/folder_listings.h"

namespace wd::drive {

namespace {

using Clock = std::chrono::steady_clock;
using platform::DriveAccess;
using platform::DriveEntry;
using platform::DriveParts;

// Bytes of the Autorun copy read at once.
constexpr std::size_t kReadChunk = 128u << 10;
// Names already handled in a run, in bytes; past it the record starts afresh
// (a name then costs one more look).
constexpr std::size_t kMaxHandledBytes = 1u << 20;

std::string joined(const DriveParts& parts) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
    return out;
}

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

    FolderListings listings;

    // Takes up the next name: what it denotes is to go to the same path
    // inside the Quarantine folder, ".vkq" appended to its last part.
    void begin(const std::string& name) {
        std::optional<DriveParts> parts = drivePartsOf(name);
        if (!parts) return;
        std::string key = upperAscii(joined(*parts));
        if (handled.count(key) || !listings.mayExist(*parts)) return;
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
                if (listings.due(job.parts, level)) {
                    if (!listings.relist(*source, job.parts, level)) job.active = false;
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
                if (moved) listings.movedAway(job.parts);
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

}  // namespace wd::drive
