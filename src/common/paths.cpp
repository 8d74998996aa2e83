#include "common/paths.h"

namespace wd::common {

namespace {

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

std::string executableBaseName(std::string_view exePath) {
    const std::size_t slash = exePath.find_last_of("\\/");
    std::string name(slash == std::string_view::npos ? exePath : exePath.substr(slash + 1));
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::optional<SplitPath> splitFullPath(std::string_view path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    SplitPath out;
    std::string_view rest;
    const auto takeShare = [&](std::string_view from, std::string prefix) {
        // server and share, each a plain name
        const std::size_t a = from.find_first_of("\\/");
        if (a == 0 || a == std::string_view::npos) return false;
        const std::size_t b = from.find_first_of("\\/", a + 1);
        const std::string_view share = from.substr(a + 1, b == std::string_view::npos ? b : b - a - 1);
        if (share.empty()) return false;
        out.root = prefix + std::string(from.substr(0, a)) + "\\" + std::string(share);
        rest = b == std::string_view::npos ? std::string_view() : from.substr(b + 1);
        return true;
    };
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == ':' && separator(path[2])) {
        out.root = std::string(path.substr(0, 2));
        rest = path.substr(3);
    } else if (path.size() >= 7 && path.substr(0, 4) == "\\\\?\\" && isDriveLetter(path[4]) && path[5] == ':' &&
               path[6] == '\\') {
        out.root = std::string(path.substr(0, 6));
        rest = path.substr(7);
    } else if (path.size() > 8 && path.substr(0, 8) == "\\\\?\\UNC\\") {
        if (!takeShare(path.substr(8), "\\\\?\\UNC\\")) return std::nullopt;
    } else if (path.size() > 2 && separator(path[0]) && separator(path[1]) && path[2] != '?' && path[2] != '.') {
        if (!takeShare(path.substr(2), "\\\\")) return std::nullopt;
    } else {
        return std::nullopt;
    }
    while (!rest.empty()) {
        const std::size_t end = rest.find_first_of("\\/");
        const std::string_view part = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (part.empty() || part == ".") continue;
        if (part == ".." || part.back() == '.' || part.back() == ' ') return std::nullopt;
        for (char c : part)
            if (static_cast<unsigned char>(c) < 0x20 || std::string_view(":*?<>\"|").find(c) != std::string_view::npos)
                return std::nullopt;
        out.parts.emplace_back(part);
    }
    if (out.parts.empty()) return std::nullopt;
    return out;
}


}  // namespace wd::common
