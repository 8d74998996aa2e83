// Names taken from Windows paths, as text: nothing here touches a file.
#pragma once

#include <string>
#include <string_view>

namespace wd::common {

// The executable's file name without folder and extension: "wardeck" for
// "C:\Tools\wardeck.exe".
std::string executableBaseName(std::string_view exePath);

// A path that names its place without any folder to start from: "C:\..."
// (or "C:/...") or "\\server\share\..." (and the "\\?\" and "\\.\" forms).
// A bare name, "C:name", "\name" or a URL is looked up from the current
// folder or on a search path, and is not one. (Inline: the Win32 layer uses
// it without linking the program's logic.)
inline bool isFullPath(std::string_view path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() < 3) return false;
    if (letter(path[0]) && path[1] == ':' && separator(path[2])) return true;
    return separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

}  // namespace wd::common
