// File operations of the drive monitor, the DLL tool and the backups. Paths
// are UTF-8 and used as given; names compare without regard to case, as on
// Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wd::platform {

// ---- one drive's files, never through a link (the drive monitor) ----

// A place below a drive's root: one plain name per folder level, none of them
// empty, ".", ".." or holding a separator.
using DriveParts = std::vector<std::string>;

// What an entry of a drive is. `Refused`: a link, junction or mount point (any
// reparse point), or something that lies elsewhere than its path says, or
// that cannot be opened to tell.
enum class DriveEntry { Absent, File, Folder, Refused };

struct DriveListing {
    std::string name;
    std::string alias;  // its 8.3 alias; empty when it has none
    bool folder = false;
};

// What a part is opened for: a folder on the way, held; the place a name
// denotes, to be moved (or deleted); a file, to be read; an entry only looked
// at (its kind, where it lies), which whoever else holds it does not stop.
enum class DriveAccess { Hold, Move, Read, Look };

// A place below a drive's root, reached part by part: each part is opened
// relative to the folder reached before it (never by a path from the root),
// without following a link, and held until it is stepped back from, so that
// none of them can be renamed or swapped meanwhile. Reaching a place costs one
// opening per part. A path lives no longer than the root it came from.
class DrivePath {
public:
    virtual ~DrivePath() = default;
    // The number of parts reached.
    virtual std::size_t depth() const = 0;
    // Opens `part`, an entry of the folder reached (by its name or its 8.3
    // alias), and holds it. Absent: no such entry, or the place reached is a
    // file, or a folder was asked for (`Hold`) and this is a file. Refused: a
    // link, junction or mount point, or it cannot be opened (held elsewhere
    // without sharing, ...). Only a part that is File or Folder is held.
    virtual DriveEntry step(const std::string& part, DriveAccess access) = 0;
    // Opens the folder `part` of the folder reached, making it when there is
    // none, and holds it (a folder that was there already must lie where its
    // path says). File: a file or another entry's alias has that name.
    virtual DriveEntry enter(const std::string& part) = 0;
    // Whether every part stepped to lies where the steps say (no link on the
    // way), and the own name of each part reached: the spelling asked for, or
    // for an 8.3 alias the name of the entry that it stands for. Nothing when
    // a part lies elsewhere or cannot be told.
    virtual std::optional<DriveParts> confirm() = 0;
    // Closes the last `count` parts (all, when there are fewer).
    virtual void back(std::size_t count) = 0;
    // Clears the attributes of the place reached (stepped to with `Move` and
    // confirmed) and moves it into the folder that `to` has reached, as
    // `name`, in one step replacing a file there (whose attributes are
    // cleared first). Nothing changes when anything else is there, or when
    // that folder has become a link or mount point meanwhile.
    virtual bool moveInto(DrivePath& to, const std::string& name) = 0;
    // Clears the attributes of the file reached (stepped to with `Move` and
    // confirmed) and deletes it through its handle: the entry that was
    // reached, whatever its path names by now. False when it is a folder or
    // cannot be deleted (a program still runs it, ...).
    virtual bool deleteFile() = 0;
    // Up to `maxBytes` of the file reached (stepped to with `Read`), from
    // `offset` (fewer at its end); `identity` receives what tells this file
    // from another one later put in its place.
    virtual std::optional<std::string> read(std::uint64_t offset, std::size_t maxBytes, std::string& identity) = 0;
    // The entries of the folder reached; nothing when it cannot be listed or
    // holds more than `maxEntries`.
    virtual std::optional<std::vector<DriveListing>> list(std::size_t maxEntries) = 0;
};

// A drive's root, held while this object lives.
class DriveRoot {
public:
    virtual ~DriveRoot() = default;
    // A new path at the root.
    virtual std::unique_ptr<DrivePath> path() = 0;
};

// ---- new files written in pieces ---------------------------------------------
// A file that the program has just made and alone holds open for writing.
// Destroying it closes it.
class NewFile {
public:
    virtual ~NewFile() = default;
    // Appends the bytes; false when not all of them were written.
    virtual bool write(std::string_view bytes) = 0;
    // Has the system put everything written so far on the disk; false when
    // it could not.
    virtual bool flush() = 0;
    // Deletes the file again, through the open handle (not by its path).
    virtual void discard() = 0;
};
// ---- end of new files ----------------------------------------------------------

class Files {
public:
    virtual ~Files() = default;
    // True for an existing file or folder.
    virtual bool exists(std::string_view path) = 0;
    // Whether the path lies on a network share: "\\host\share\...", its
    // "\\?\UNC\" form, or a drive letter mapped to a share. Decided from the
    // path and the drive's kind alone: nothing on the network is asked.
    virtual bool isNetworkPath(std::string_view path) = 0;
    virtual bool isFolder(std::string_view path) = 0;
    virtual bool makeFolder(std::string_view path) = 0;
    // Clears read-only, hidden, system and archive.
    virtual bool setNormalAttributes(std::string_view path) = 0;
    // Deletes a file (never a folder).
    virtual bool deleteFile(std::string_view path) = 0;
    // Moves a file or folder within a drive; never replaces an existing target.
    virtual bool rename(std::string_view from, std::string_view to) = 0;
    // The whole content of a file, at most `maxBytes`; nothing when it cannot
    // be read. The file is closed again before this returns.
    virtual std::optional<std::string> readAll(std::string_view path, std::uint64_t maxBytes) = 0;
    // Makes sure that `path` (whose parent folder exists) is a folder only
    // Administrators and SYSTEM may change, making it so when it is missing.
    // Whatever else stands there (a file, a link, a folder someone else may
    // change) is never used: it is renamed aside, to "<name>.set-aside" (or
    // "-2", "-3", ...), and the folder made anew. False when there is no
    // such folder at the path afterwards.
    virtual bool makeProtectedFolder(std::string_view path) = 0;
    // Writes a whole file, replacing it; makes missing folders on the way.
    virtual bool writeAll(std::string_view path, std::string_view bytes) = 0;

    // ---- one drive's files, never through a link ----
    // The root of the drive text `drive` (the folder `drive` + "\\"); nothing
    // when it cannot be opened.
    virtual std::unique_ptr<DriveRoot> openDriveRoot(std::string_view drive) = 0;

    // ---- new files written in pieces ----
    // Makes a new file (and missing folders on the way) and opens it for
    // writing; a file that is there already is never opened or replaced: then
    // `exists` is set and the result is null. Null on every other failure too.
    virtual std::unique_ptr<NewFile> createNew(std::string_view path, bool& exists) = 0;
};

}  // namespace wd::platform
