// File operations of the drive monitor and the DLL tool. Paths are UTF-8 and
// used as given; names compare without regard to case, as on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wd::platform {

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
};

}  // namespace wd::platform
