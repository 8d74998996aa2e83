// File operations of the drive monitor and the DLL tool. Paths are UTF-8 and
// used as given; names compare without regard to case, as on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace wd::platform {

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
    // Writes a whole file, replacing it; makes missing folders on the way.
    virtual bool writeAll(std::string_view path, std::string_view bytes) = 0;

    // ---- new files written in pieces ----
    // Makes a new file (and missing folders on the way) and opens it for
    // writing; a file that is there already is never opened or replaced: then
    // `exists` is set and the result is null. Null on every other failure too.
    virtual std::unique_ptr<NewFile> createNew(std::string_view path, bool& exists) = 0;
};

}  // namespace wd::platform
