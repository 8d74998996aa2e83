// In-memory files and environment for the unit tests. Paths are Windows
// paths; names compare without regard to ASCII case, "." and ".." are
// resolved and doubled backslashes collapse, as Windows does (except in the
// "\\?\" form, which Windows takes literally). An entry can be a link
// (junction, symbolic link, mount point): paths through it lead to its
// target, as Windows path calls follow them; a drive root opened with
// openDriveRoot refuses it. An entry can have an 8.3 alias, which only the
// parts of a drive root's paths know.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"

namespace wd::test {

class MemoryFiles : public platform::Files {
public:
    struct Entry {
        std::string path;  // as made, with its own letter case
        bool folder = false;
        std::string data;
        bool readOnly = false, hidden = false, system = false, archive = false;
        bool locked = false;  // held open by another program: no delete, rename or read
        std::string linkTo;   // a link to this path (anywhere); empty for a plain entry
        std::string alias;    // its 8.3 alias, by which a drive root opens it too; empty for none
        std::uint64_t id = 0;  // tells two files apart, kept across moves
        bool protectedFolder = false;  // only Administrators and SYSTEM may change it
    };

    MemoryFiles() { addDrive("C:"); }

    // ---- seeding ----
    void addDrive(const std::string& drive);  // "G:"
    void removeDrive(const std::string& drive);
    void setWriteProtected(const std::string& drive, bool on);
    Entry& addFile(const std::string& path, std::string data = {});
    Entry& addFolder(const std::string& path);
    // A link at `path` that leads to `target` (a folder or file, anywhere).
    Entry& addLink(const std::string& path, const std::string& target, bool folder = true);
    Entry* find(const std::string& path);
    // Every entry under a drive, by path as made.
    std::vector<std::string> listing(const std::string& drive) const;
    // Mutating calls made so far ("makeFolder G:\x", ...), failed ones too.
    std::vector<std::string> log;
    int writes() const { return writeCount_; }
    std::string currentDrive = "C:";
    bool failWrites = false;  // every writeAll and createNew fails

    // ---- new files written in pieces ----
    // Runs first in writeAll and createNew with the path, so that a test can
    // make the file there as another program would at that very moment.
    std::function<void(const std::string& path)> beforeWrite;
    bool failFlush = false;  // flush() of a new file fails
    // A new file takes this many bytes in all; a write past them fails, after
    // writing what fits (a full disk).
    std::uint64_t spaceLeft = UINT64_MAX;
    // The largest piece a new file was handed in one write.
    std::size_t largestWrite = 0;
    int openNewFiles = 0;
    // Plain paths of this many UTF-16 units or more name nothing, as on
    // Windows without long-path support ("\\?\" paths have no such limit);
    // 0: no limit.
    std::size_t maxPlainPath = 0;
    // Drive letters ("Z") mapped to a network share, and how often a path on
    // the network (or on such a drive) was looked for.
    std::set<std::string> networkDrives;
    int networkLooks = 0;

    // ---- platform::Files ----
    bool exists(std::string_view path) override;
    bool isNetworkPath(std::string_view path) override;
    bool isFolder(std::string_view path) override;
    bool makeFolder(std::string_view path) override;
    bool setNormalAttributes(std::string_view path) override;
    bool deleteFile(std::string_view path) override;
    bool rename(std::string_view from, std::string_view to) override;
    std::optional<std::string> readAll(std::string_view path, std::uint64_t maxBytes) override;
    bool makeProtectedFolder(std::string_view path) override;
    bool writeAll(std::string_view path, std::string_view bytes) override;
    std::unique_ptr<platform::DriveRoot> openDriveRoot(std::string_view drive) override;
    // Calls of the drive roots' operations so far, by kind ("open", "step",
    // "enter", "confirm", "move", "read", "list").
    std::map<std::string, int> rootCalls;
    // Runs in a drive path's move before anything is checked, with the paths
    // from and to, so that a test can change the drive at that very moment.
    std::function<void(const std::string& from, const std::string& to)> beforeMove;
    std::unique_ptr<platform::NewFile> createNew(std::string_view path, bool& exists) override;

    // The key of a path: resolved, upper-cased, without a trailing backslash.
    // Empty when the path names no place on a drive. A "\\?\X:\..." path is
    // taken literally, as Windows does: nothing is resolved or dropped.
    std::string key(std::string_view path, bool* trailingSlash = nullptr) const;

private:
    class Root;
    class Path;
    // The key with every link on the way (and the last part too, when
    // `followLast`) replaced by its target.
    std::string follow(const std::string& key, bool followLast) const;
    class NewFile;
    bool makeParents(const std::string& path);
    std::string literalKey(std::string_view path) const;
    bool writable(const std::string& key) const;
    bool isDevice(const std::string& key) const;
    std::string parentKey(const std::string& key) const;

    std::map<std::string, Entry> entries_;
    std::set<std::string> drives_, writeProtected_;
    int writeCount_ = 0;
    std::uint64_t nextId_ = 1;
};

class MemoryEnvironment : public platform::Environment {
public:
    std::string localAppDataFolder() override { return appData; }
    bool fullRights() override { return admin; }
    std::string machineDataFolder() override { return programData; }
    std::string localTimestamp() override { return timestamp; }
    // %NAME% from `variables`, letter case ignored; others stay.
    std::string expand(std::string_view text) override;
    std::map<std::string, std::string> variables{{"SYSTEMROOT", "C:\\Windows"},
                                                  {"PROGRAMFILES", "C:\\Program Files"}};
    std::string appData = "C:\\Users\\me\\AppData\\Local";
    bool admin = false;
    std::string programData = "C:\\ProgramData";
    std::string timestamp = "2026-12-07_10-20-30";
};

}  // namespace wd::test
