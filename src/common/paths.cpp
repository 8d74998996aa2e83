#include "common/paths.h"

#include "common/unicode.h"

namespace wd::common {

namespace {

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Each backslash-separated part of `rest` is a name the plain form keeps as
// it is.
bool plainNamesOnly(std::string_view rest, std::size_t minimumParts) {
    std::size_t parts = 0;
    for (;;) {
        const std::size_t end = rest.find('\\');
        const std::string_view part = rest.substr(0, end);
        if (part.empty() || part == "." || part == ".." || part.back() == '.' || part.back() == ' ') return false;
        for (char c : part)
            if (c == '/' || static_cast<unsigned char>(c) < 0x20) return false;
        ++parts;
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return parts >= minimumParts;
}

}  // namespace

std::string executableBaseName(std::string_view exePath) {
    const std::size_t slash = exePath.find_last_of("\\/");
    std::string name(slash == std::string_view::npos ? exePath : exePath.substr(slash + 1));
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string extendedLengthPath(std::string_view path) {
    if (utf8ToUtf16le(path).size() / 2 < kMaxPlainPath) return std::string(path);
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && path[2] == '\\' &&
        plainNamesOnly(path.substr(3), 1)) {
        return "\\\\?\\" + std::string(path);
    }
    if (path.substr(0, 2) == "\\\\" && plainNamesOnly(path.substr(2), 2)) {
        // "\\?\..." and "\\.\..." are left alone: "?" and "." are no server names.
        if (path[2] == '?') return std::string(path);
        return "\\\\?\\UNC\\" + std::string(path.substr(2));
    }
    return std::string(path);
}

}  // namespace wd::common
