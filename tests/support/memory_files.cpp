#include "support/memory_files.h"

#include <cctype>

#include <algorithm>
#include <memory>

#include "common/paths.h"
#include "common/unicode.h"

namespace wd::test {

namespace {

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::vector<std::string> split(std::string_view s) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : s) {
        if (c == '\\' || c == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

}  // namespace

std::string MemoryFiles::key(std::string_view path, bool* trailingSlash) const {
    if (trailingSlash) *trailingSlash = !path.empty() && (path.back() == '\\' || path.back() == '/');
    if (path.find('\0') != std::string_view::npos) return {};
    if (path.substr(0, 4) == "\\\\?\\") return literalKey(path.substr(4));
    if (maxPlainPath && common::utf8ToUtf16le(path).size() / 2 >= maxPlainPath) return {};
    std::string p(path);
    std::string drive;
    if (p.size() >= 2 && p[1] == ':') {
        drive = upper(p.substr(0, 2));
        p = p.substr(2);
    } else if (!p.empty() && (p[0] == '\\' || p[0] == '/')) {
        if (p.size() >= 2 && (p[1] == '\\' || p[1] == '/')) return {};  // a network path: not ours
        drive = upper(currentDrive);
    } else {
        return {};  // relative paths are not used by the program
    }
    std::vector<std::string> out;
    for (std::string part : split(p)) {
        // Windows drops trailing dots and blanks of a name.
        if (part != "." && part != "..")
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(upper(part));
    }
    std::string k = drive;
    for (const auto& part : out) k += "\\" + part;
    return k;
}

std::string MemoryFiles::follow(const std::string& k, bool followLast) const {
    std::string at = k;
    // A bounded number of hops, as Windows gives up on a loop of links.
    for (int hop = 0; hop < 32; ++hop) {
        bool changed = false;
        for (std::size_t end = at.find('\\'); end != std::string::npos || !at.empty();
             end = at.find('\\', end + 1)) {
            const bool last = end == std::string::npos;
            const std::string prefix = last ? at : at.substr(0, end);
            auto it = entries_.find(prefix);
            if (it != entries_.end() && !it->second.linkTo.empty() && (!last || followLast)) {
                at = key(it->second.linkTo) + (last ? std::string() : at.substr(end));
                changed = true;
                break;
            }
            if (last) break;
        }
        if (!changed) return at;
    }
    return {};
}

std::string MemoryFiles::literalKey(std::string_view path) const {
    // Only a drive path is ours (UNC\... is a network path); every name is
    // taken as it is, and "." or ".." name nothing.
    if (path.size() < 2 || path[1] != ':') return {};
    std::string k = upper(std::string(path.substr(0, 2)));
    std::string_view rest = path.substr(2);
    while (!rest.empty()) {
        if (rest[0] != '\\') return {};
        rest.remove_prefix(1);
        const std::size_t end = rest.find('\\');
        const std::string_view part = rest.substr(0, end);
        if (part.empty()) {
            if (end == std::string_view::npos) break;  // one trailing backslash
            return {};
        }
        if (part == "." || part == "..") return {};
        k += "\\" + upper(std::string(part));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    return k;
}

std::string MemoryFiles::parentKey(const std::string& k) const {
    const std::size_t slash = k.rfind('\\');
    return slash == std::string::npos ? std::string() : k.substr(0, slash);
}

bool MemoryFiles::isDevice(const std::string& k) const {
    const std::size_t slash = k.rfind('\\');
    if (slash == std::string::npos) return false;
    std::string name = k.substr(slash + 1);
    const std::size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    static const std::set<std::string> devices{"CON", "NUL", "PRN", "AUX", "COM1", "LPT1"};
    return devices.count(name) != 0;
}

bool MemoryFiles::writable(const std::string& k) const {
    const std::string drive = k.substr(0, 2);
    return drives_.count(drive) != 0 && writeProtected_.count(drive) == 0;
}

void MemoryFiles::addDrive(const std::string& drive) { drives_.insert(upper(drive)); }

void MemoryFiles::removeDrive(const std::string& drive) {
    const std::string d = upper(drive);
    drives_.erase(d);
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->first.rfind(d, 0) == 0 ? entries_.erase(it) : std::next(it);
}

void MemoryFiles::setWriteProtected(const std::string& drive, bool on) {
    if (on) writeProtected_.insert(upper(drive));
    else writeProtected_.erase(upper(drive));
}

MemoryFiles::Entry& MemoryFiles::addFile(const std::string& path, std::string data) {
    Entry& e = entries_[key(path)];
    e.path = path;
    e.folder = false;
    e.data = std::move(data);
    e.id = nextId_++;
    return e;
}

MemoryFiles::Entry& MemoryFiles::addFolder(const std::string& path) {
    Entry& e = entries_[key(path)];
    e.path = path;
    e.folder = true;
    e.id = nextId_++;
    return e;
}

MemoryFiles::Entry& MemoryFiles::addLink(const std::string& path, const std::string& target, bool folder) {
    Entry& e = folder ? addFolder(path) : addFile(path);
    e.linkTo = target;
    return e;
}

MemoryFiles::Entry* MemoryFiles::find(const std::string& path) {
    auto it = entries_.find(key(path));
    return it == entries_.end() ? nullptr : &it->second;
}

std::vector<std::string> MemoryFiles::listing(const std::string& drive) const {
    std::vector<std::string> out;
    const std::string d = upper(drive);
    for (const auto& [k, e] : entries_)
        if (k.rfind(d, 0) == 0) out.push_back(e.path + (e.folder ? "\\" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

bool MemoryFiles::isNetworkPath(std::string_view path) {
    const common::PathPlace place = common::placeOf(path);
    return place.kind == common::PathPlace::Kind::Remote ||
           (place.kind == common::PathPlace::Kind::OnDrive && networkDrives.count(std::string(1, place.drive)) != 0);
}

bool MemoryFiles::exists(std::string_view path) {
    if (isNetworkPath(path)) ++networkLooks;
    bool slash = false;
    const std::string k = follow(key(path, &slash), true);
    if (k.empty() || drives_.count(k.substr(0, 2)) == 0) return false;
    if (k.size() == 2) return true;  // the drive's root
    if (isDevice(k)) return true;
    auto it = entries_.find(k);
    if (it == entries_.end()) return false;
    return !slash || it->second.folder;
}

bool MemoryFiles::isFolder(std::string_view path) {
    const std::string k = follow(key(path), true);
    if (k.size() == 2) return drives_.count(k) != 0;
    auto it = entries_.find(k);
    return it != entries_.end() && it->second.folder;
}

bool MemoryFiles::makeFolder(std::string_view path) {
    log.push_back("makeFolder " + std::string(path));
    const std::string k = follow(key(path), false);
    if (k.size() <= 2 || !writable(k) || isDevice(k) || entries_.count(k)) return false;
    const std::string parent = parentKey(k);
    if (parent.size() > 2 && !(entries_.count(parent) && entries_[parent].folder)) return false;
    Entry& e = entries_[k];
    e.path = std::string(path);
    while (!e.path.empty() && e.path.back() == '\\') e.path.pop_back();
    e.folder = true;
    ++writeCount_;
    return true;
}

bool MemoryFiles::makeProtectedFolder(std::string_view path) {
    log.push_back("makeProtectedFolder " + std::string(path));
    const std::string k = key(path);  // the entry itself: a link there is not followed
    if (k.size() <= 2 || isDevice(k) || !writable(k)) return false;
    if (auto it = entries_.find(k); it != entries_.end()) {
        const Entry& e = it->second;
        if (e.folder && e.protectedFolder && e.linkTo.empty()) return true;
        // Set aside under a free name, with all it holds, never used.
        bool moved = false;
        for (int n = 1; n <= 100 && !moved; ++n) {
            const std::string aside = std::string(path) + ".set-aside" + (n > 1 ? "-" + std::to_string(n) : "");
            if (!entries_.count(key(aside))) moved = rename(path, aside);
        }
        if (!moved) return false;
    }
    const std::string parent = parentKey(k);
    if (parent.size() > 2 && !(entries_.count(parent) && entries_[parent].folder)) return false;
    if (failWrites) return false;
    Entry& e = entries_[k];
    e.path = std::string(path);
    e.folder = e.protectedFolder = true;
    e.id = nextId_++;
    ++writeCount_;
    return true;
}

bool MemoryFiles::setNormalAttributes(std::string_view path) {
    log.push_back("setNormal " + std::string(path));
    const std::string k = follow(key(path), true);
    auto it = entries_.find(k);
    if (k.size() <= 2 || it == entries_.end() || !writable(k)) return false;
    Entry& e = it->second;
    e.readOnly = e.hidden = e.system = e.archive = false;
    ++writeCount_;
    return true;
}

bool MemoryFiles::deleteFile(std::string_view path) {
    log.push_back("delete " + std::string(path));
    const std::string k = follow(key(path), false);
    auto it = entries_.find(k);
    if (it == entries_.end() || !writable(k)) return false;
    const Entry& e = it->second;
    if (e.folder || e.readOnly || e.locked) return false;
    entries_.erase(it);
    ++writeCount_;
    return true;
}

bool MemoryFiles::rename(std::string_view from, std::string_view to) {
    log.push_back("rename " + std::string(from) + " -> " + std::string(to));
    const std::string a = follow(key(from), false), b = follow(key(to), false);
    if (a.size() <= 2 || b.size() <= 2 || !writable(a) || a.substr(0, 2) != b.substr(0, 2)) return false;
    auto it = entries_.find(a);
    if (it == entries_.end() || it->second.locked || entries_.count(b) || isDevice(b)) return false;
    const std::string parent = parentKey(b);
    if (parent.size() > 2 && !(entries_.count(parent) && entries_[parent].folder)) return false;
    if (b.rfind(a + "\\", 0) == 0) return false;  // into itself
    // The entry and everything below it move.
    std::vector<std::pair<std::string, Entry>> moved;
    for (auto i = entries_.begin(); i != entries_.end();) {
        if (i->first == a || i->first.rfind(a + "\\", 0) == 0) {
            moved.emplace_back(b + i->first.substr(a.size()), i->second);
            i = entries_.erase(i);
        } else {
            ++i;
        }
    }
    const std::string newTop(to);
    for (auto& [k, e] : moved) {
        e.path = newTop + e.path.substr(std::min(e.path.size(), std::string(from).size()));
        entries_[k] = std::move(e);
    }
    ++writeCount_;
    return true;
}

std::optional<std::string> MemoryFiles::readAll(std::string_view path, std::uint64_t maxBytes) {
    auto it = entries_.find(follow(key(path), true));
    if (it == entries_.end() || it->second.folder || it->second.locked) return std::nullopt;
    if (drives_.count(it->first.substr(0, 2)) == 0) return std::nullopt;
    return it->second.data.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, it->second.data.size())));
}

bool MemoryFiles::makeParents(const std::string& p) {
    for (std::size_t i = p.find('\\', 3); i != std::string::npos; i = p.find('\\', i + 1)) {
        const std::string folder = key(p.substr(0, i));
        if (!entries_.count(folder)) {
            Entry& f = entries_[folder];
            f.path = p.substr(0, i);
            f.folder = true;
        } else if (!entries_[folder].folder) {
            return false;
        }
    }
    return true;
}

bool MemoryFiles::writeAll(std::string_view path, std::string_view bytes) {
    log.push_back("write " + std::string(path));
    if (beforeWrite) beforeWrite(std::string(path));
    const std::string k = follow(key(path), true);
    if (failWrites || k.size() <= 2 || !writable(k)) return false;
    // Missing folders are made on the way.
    std::string p(path);
    if (!makeParents(p)) return false;
    auto it = entries_.find(k);
    if (it != entries_.end() && (it->second.folder || it->second.readOnly || it->second.locked)) return false;
    Entry& e = entries_[k];
    e.path = p;
    e.folder = false;
    e.data = std::string(bytes);
    ++writeCount_;
    return true;
}

// ---- a drive root: parts opened one by one, never through a link ----

class MemoryFiles::Root final : public platform::DriveRoot {
public:
    Root(MemoryFiles& files, std::string rootKey, std::string rootPath)
        : f(files), key(std::move(rootKey)), shown(std::move(rootPath)) {}
    std::unique_ptr<platform::DrivePath> path() override;

    MemoryFiles& f;
    std::string key;   // "G:" or "G:\\SUB"
    std::string shown;  // as the drive text gave it, without a trailing backslash
};

class MemoryFiles::Path final : public platform::DrivePath {
public:
    explicit Path(Root& root) : root_(root), f_(root.f) {}

    std::size_t depth() const override { return levels_.size(); }

    platform::DriveEntry step(const std::string& part, platform::DriveAccess access) override {
        ++f_.rootCalls["step"];
        const std::optional<Child> c = reachable() ? child(part) : std::nullopt;
        if (!c) return platform::DriveEntry::Absent;
        const Entry& e = f_.entries_.at(c->key);
        if (!e.linkTo.empty()) return platform::DriveEntry::Refused;
        if (e.folder ? access == platform::DriveAccess::Read : access == platform::DriveAccess::Hold)
            return platform::DriveEntry::Absent;
        // Held by another program without sharing: it cannot be opened to move
        // or read, only looked at.
        if (e.locked && (access == platform::DriveAccess::Move || access == platform::DriveAccess::Read))
            return platform::DriveEntry::Refused;
        levels_.push_back({c->key, c->own, e.folder, false, access});
        return e.folder ? platform::DriveEntry::Folder : platform::DriveEntry::File;
    }

    platform::DriveEntry enter(const std::string& part) override {
        ++f_.rootCalls["enter"];
        if (!reachable()) return platform::DriveEntry::Refused;
        if (const std::optional<Child> c = child(part)) {
            const Entry& e = f_.entries_.at(c->key);
            if (!e.linkTo.empty()) return platform::DriveEntry::Refused;
            if (!e.folder || c->byAlias) return platform::DriveEntry::File;
            levels_.push_back({c->key, part, true, true, platform::DriveAccess::Hold});
            return platform::DriveEntry::Folder;
        }
        const std::string path = pathOf() + "\\" + part;
        f_.log.push_back("makeFolder " + path);
        if (!f_.writable(root_.key)) return platform::DriveEntry::Refused;
        const std::string k = keyOf() + "\\" + upper(part);
        Entry& e = f_.entries_[k];
        e.path = path;
        e.folder = true;
        e.id = f_.nextId_++;
        ++f_.writeCount_;
        levels_.push_back({k, part, true, true, platform::DriveAccess::Hold});
        return platform::DriveEntry::Folder;
    }

    std::optional<platform::DriveParts> confirm() override {
        ++f_.rootCalls["confirm"];
        if (!f_.drives_.count(root_.key.substr(0, 2))) return std::nullopt;
        platform::DriveParts own;
        for (Level& l : levels_) {
            const auto it = f_.entries_.find(l.key);
            if (it == f_.entries_.end() || !it->second.linkTo.empty()) return std::nullopt;
            l.confirmed = true;
            own.push_back(l.own);
        }
        return own;
    }

    void back(std::size_t count) override { levels_.resize(levels_.size() - std::min(count, levels_.size())); }

    bool moveInto(platform::DrivePath& to, const std::string& name) override {
        ++f_.rootCalls["move"];
        auto* into = dynamic_cast<Path*>(&to);
        if (!into || &into->root_ != &root_ || levels_.empty() || into->levels_.empty()) return false;
        const std::string fromPath = pathOf(), toPath = into->pathOf() + "\\" + name;
        f_.log.push_back("move " + fromPath + " -> " + toPath);
        if (f_.beforeMove) f_.beforeMove(fromPath, toPath);
        const Level& from = levels_.back();
        if (!from.confirmed || from.access != platform::DriveAccess::Move || !f_.writable(root_.key)) return false;
        // The folder moved into is still a plain folder on the drive.
        const auto folder = f_.entries_.find(into->levels_.back().key);
        if (folder == f_.entries_.end() || !folder->second.folder || !folder->second.linkTo.empty()) return false;
        const auto source = f_.entries_.find(from.key);
        if (source == f_.entries_.end() || !source->second.linkTo.empty() || source->second.locked) return false;
        const std::string a = from.key, b = into->keyOf() + "\\" + upper(name);
        if (b.rfind(a + "\\", 0) == 0 || a == b) return false;  // into itself
        // Only a file (found by its own name) can be at the target.
        if (const std::optional<Child> old = into->child(name)) {
            Entry& e = f_.entries_.at(old->key);
            if (old->byAlias || e.folder || !e.linkTo.empty() || e.locked) return false;
            e.readOnly = e.hidden = e.system = e.archive = false;
        }
        Entry& src = source->second;
        src.readOnly = src.hidden = src.system = src.archive = false;
        const std::string oldTop = src.path;
        f_.entries_.erase(b);
        std::vector<std::pair<std::string, Entry>> moved;
        for (auto i = f_.entries_.begin(); i != f_.entries_.end();) {
            if (i->first == a || i->first.rfind(a + "\\", 0) == 0) {
                moved.emplace_back(b + i->first.substr(a.size()), i->second);
                i = f_.entries_.erase(i);
            } else {
                ++i;
            }
        }
        for (auto& [k, e] : moved) {
            e.path = toPath + e.path.substr(std::min(e.path.size(), oldTop.size()));
            f_.entries_[k] = std::move(e);
        }
        ++f_.writeCount_;
        return true;
    }

    bool deleteFile() override {
        ++f_.rootCalls["delete"];
        if (levels_.empty()) return false;
        const Level& l = levels_.back();
        f_.log.push_back("deleteFile " + pathOf());
        const auto it = f_.entries_.find(l.key);
        if (!l.confirmed || l.access != platform::DriveAccess::Move || it == f_.entries_.end() || it->second.folder ||
            it->second.locked || !it->second.linkTo.empty() || !f_.writable(root_.key))
            return false;
        f_.entries_.erase(it);
        ++f_.writeCount_;
        return true;
    }

    std::optional<std::string> read(std::uint64_t offset, std::size_t maxBytes, std::string& identity) override {
        ++f_.rootCalls["read"];
        if (levels_.empty() || levels_.back().access != platform::DriveAccess::Read || !reachable(true))
            return std::nullopt;
        const Entry& e = f_.entries_.at(levels_.back().key);
        if (e.locked || e.folder) return std::nullopt;
        identity = std::to_string(e.id);
        if (offset >= e.data.size()) return std::string();
        return e.data.substr(static_cast<std::size_t>(offset), maxBytes);
    }

    std::optional<std::vector<platform::DriveListing>> list(std::size_t maxEntries) override {
        ++f_.rootCalls["list"];
        if (!reachable()) return std::nullopt;
        const std::string k = keyOf() + "\\";
        std::vector<platform::DriveListing> out;
        for (const auto& [key, e] : f_.entries_) {
            if (key.rfind(k, 0) != 0 || key.find('\\', k.size()) != std::string::npos) continue;
            if (out.size() >= maxEntries) return std::nullopt;
            out.push_back({lastPart(e.path), e.alias, e.folder});
        }
        return out;
    }

private:
    struct Level {
        std::string key;  // of the entry opened
        std::string own;  // its own name: as asked, or the name its alias stands for
        bool folder = false, confirmed = false;
        platform::DriveAccess access = platform::DriveAccess::Hold;
    };
    struct Child {
        std::string key, own;
        bool byAlias = false;
    };

    static std::string lastPart(const std::string& path) {
        const std::size_t slash = path.find_last_of('\\');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }
    std::string keyOf() const { return levels_.empty() ? root_.key : levels_.back().key; }
    std::string pathOf() const {
        std::string p = root_.shown;
        for (const Level& l : levels_) p += "\\" + l.own;
        return p;
    }
    // The drive is there and the place reached is a folder (or, with
    // `file`, a file) that is still there.
    bool reachable(bool file = false) const {
        if (f_.drives_.count(root_.key.substr(0, 2)) == 0) return false;
        if (levels_.empty()) return !file;
        const auto it = f_.entries_.find(levels_.back().key);
        return it != f_.entries_.end() && it->second.folder != file;
    }
    // The entry of the folder reached with this name, or else with this alias.
    std::optional<Child> child(const std::string& part) const {
        const std::string parent = keyOf();
        const std::string k = parent + "\\" + upper(part);
        if (f_.entries_.count(k)) return Child{k, part, false};
        for (const auto& [key, e] : f_.entries_)
            if (!e.alias.empty() && upper(e.alias) == upper(part) && f_.parentKey(key) == parent)
                return Child{key, lastPart(e.path), true};
        return std::nullopt;
    }

    Root& root_;
    MemoryFiles& f_;
    std::vector<Level> levels_;
};

std::unique_ptr<platform::DrivePath> MemoryFiles::Root::path() { return std::make_unique<Path>(*this); }

std::unique_ptr<platform::DriveRoot> MemoryFiles::openDriveRoot(std::string_view drive) {
    ++rootCalls["open"];
    const std::string k = key(std::string(drive) + "\\");
    if (k.empty() || drives_.count(k.substr(0, 2)) == 0) return nullptr;
    if (k.size() > 2) {
        auto it = entries_.find(k);
        if (it == entries_.end() || !it->second.folder || !it->second.linkTo.empty()) return nullptr;
    }
    std::string path(drive);
    if (path.empty()) path = currentDrive;
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return std::make_unique<Root>(*this, k, path);
}

// ---- new files written in pieces ----

class MemoryFiles::NewFile : public platform::NewFile {
public:
    NewFile(MemoryFiles& owner, std::string key) : owner_(owner), key_(std::move(key)) { ++owner_.openNewFiles; }
    ~NewFile() override { --owner_.openNewFiles; }

    bool write(std::string_view bytes) override {
        owner_.largestWrite = std::max(owner_.largestWrite, bytes.size());
        auto it = owner_.entries_.find(key_);
        if (discarded_ || it == owner_.entries_.end()) return false;
        const std::size_t fits = static_cast<std::size_t>(std::min<std::uint64_t>(owner_.spaceLeft, bytes.size()));
        it->second.data.append(bytes.substr(0, fits));
        owner_.spaceLeft -= fits;
        return fits == bytes.size();
    }
    bool flush() override { return !discarded_ && !owner_.failFlush; }
    void discard() override {
        owner_.log.push_back("discard " + owner_.entries_[key_].path);
        owner_.entries_.erase(key_);
        discarded_ = true;
    }

private:
    MemoryFiles& owner_;
    std::string key_;
    bool discarded_ = false;
};

std::unique_ptr<platform::NewFile> MemoryFiles::createNew(std::string_view path, bool& exists) {
    exists = false;
    log.push_back("create " + std::string(path));
    if (beforeWrite) beforeWrite(std::string(path));
    const std::string k = key(path);
    if (failWrites || k.size() <= 2 || !writable(k) || isDevice(k)) return nullptr;
    if (entries_.count(k)) {
        exists = true;
        return nullptr;
    }
    if (!makeParents(std::string(path))) return nullptr;
    Entry& e = entries_[k];
    e.path = std::string(path);
    ++writeCount_;
    return std::make_unique<NewFile>(*this, k);
}

std::string MemoryEnvironment::expand(std::string_view text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('%', at);
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        std::string name(text.substr(open + 1, close - open - 1));
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto it = variables.find(name);
        out += text.substr(at, open - at);
        if (it != variables.end()) {
            out += it->second;
            at = close + 1;
        } else {
            out += '%';
            at = open + 1;
        }
    }
    out += text.substr(at);
    return out;
}

}  // namespace wd::test
