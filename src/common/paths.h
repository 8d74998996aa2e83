// Names taken from Windows paths, as text: nothing here touches a file.
#pragma once

#include <cstddef>
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

// Paths of this many UTF-16 units or more do not fit the plain form of the
// Windows file functions (MAX_PATH, its terminating NUL included).
inline constexpr std::size_t kMaxPlainPath = 260;

// A path too long for the plain form, turned into the "\\?\" form that
// names the same file: "\\?\C:\..." for "C:\...", "\\?\UNC\server\share\..."
// for "\\server\share\...". Windows takes the "\\?\" form literally (no "."
// or "..", no "/", trailing dots and blanks kept), so only a path whose
// plain form means exactly that is turned: a full path with backslashes
// only, and no part that is empty, "." or "..", ends in a dot or a blank or
// holds a control character. Every other path, and every shorter one, comes
// back unchanged.
std::string extendedLengthPath(std::string_view path);

}  // namespace wd::common
