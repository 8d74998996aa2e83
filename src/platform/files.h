// File operations of the drive monitor and the DLL tool. Paths are UTF-8 and
// used as given; names compare without regard to case, as on Windows.
#pragma once

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

// What a place below a drive's root is. `Refused`: a part of its path is a
// link, junction or mount point (any reparse point), or the place really
// lies elsewhere than its path says, or it cannot be opened to tell.
enum class DriveEntry { Absent, File, Folder, Refused };

struct DriveListing {
    std::string name;
    bool folder = false;
};

// A drive's root, held while this object lives. Every operation opens the
// parts of its paths one by one from the root, holds them so that none can
// be renamed or swapped until it is done, and acts on nothing that `look`
// would call `Refused` (that is, never on anything off the drive).
class DriveRoot {
public:
    virtual ~DriveRoot() = default;
    virtual DriveEntry look(const DriveParts& parts) = 0;
    // Makes the last part as a new folder; its parent must be a folder.
    virtual bool makeFolder(const DriveParts& parts) = 0;
    // Clears the attributes of `from` (a file or folder) and moves it to `to`
    // on the same drive, in one step replacing a file already at `to` (whose
    // attributes are cleared first). A failed move leaves what was at `to`.
    virtual bool moveReplacing(const DriveParts& from, const DriveParts& to) = 0;
    // Up to `maxBytes` of a file from `offset` (fewer at its end); `identity`
    // receives what tells this file from another one later put in its place.
    virtual std::optional<std::string> read(const DriveParts& parts, std::uint64_t offset, std::size_t maxBytes,
                                            std::string& identity) = 0;
    // The entries of a folder; nothing when it cannot be listed or holds more
    // than `maxEntries`.
    virtual std::optional<std::vector<DriveListing>> list(const DriveParts& parts, std::size_t maxEntries) = 0;
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
