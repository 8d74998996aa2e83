// Names taken from Windows paths, as text: nothing here touches a file.
#pragma once

#include <cstddef>
#include <string>
#include <optional>
#include <string_view>
#include <vector>

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

// Where a path that names its place lies, as far as its text tells. A share
// ("\\host\share\..." and every "\\?\" or "\\.\" form but a drive letter's)
// is Remote; "C:\...", "\\?\C:\..." and "\\.\C:\..." are OnDrive, with the
// letter; anything else (a bare name, "C:name") is Relative.
struct PathPlace {
    enum class Kind { Relative, OnDrive, Remote } kind = Kind::Relative;
    char drive = 0;  // for OnDrive, the letter in upper case
};
inline PathPlace placeOf(std::string_view path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && separator(path[2]))
        return {PathPlace::Kind::OnDrive, upper(path[0])};
    if (path.size() < 2 || !separator(path[0]) || !separator(path[1])) return {};
    if (path.size() >= 7 && (path[2] == '?' || path[2] == '.') && separator(path[3]) && letter(path[4]) &&
        path[5] == ':' && separator(path[6]))
        return {PathPlace::Kind::OnDrive, upper(path[4])};
    return {PathPlace::Kind::Remote, 0};
}

// A full path taken apart: the root it starts from, as a folder the system
// opens ("C:", "\\?\C:", "\\server\share", "\\?\UNC\server\share"), and the
// names below it. Separators may be "\" or "/", and doubled; "." parts
// are dropped, as Windows drops them. Nothing for a path that is not full,
// names a device ("\\.\..."), goes up (".."), or holds a part that Windows
// would read otherwise than it stands: a stream (":"), a wildcard, a control
// character, or a dot or blank at its end.
struct SplitPath {
    std::string root;
    std::vector<std::string> parts;
};
std::optional<SplitPath> splitFullPath(std::string_view path);


}  // namespace wd::common
