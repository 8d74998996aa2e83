#include "drive/drive_names.h"

#include <cstring>

namespace wd::drive {

using platform::DriveParts;

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

namespace {

bool isDeviceName(std::string_view part) {
    std::string base = upperAscii(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : kDevices)
        if (base == d) return true;
    if (base.size() >= 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0)) {
        const std::string_view n = std::string_view(base).substr(3);
        if (n.size() == 1 && n[0] >= '1' && n[0] <= '9') return true;
        if (n == "\xC2\xB9" || n == "\xC2\xB2" || n == "\xC2\xB3") return true;  // superscript 1, 2, 3
    }
    return false;
}

// Windows drops dots and blanks at the end of a part when it opens a path:
// every one of them at the end of the last part, one dot of a part that a
// separator follows.
std::string_view trimmed(std::string_view part, bool last) {
    if (last) {
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
    } else if (!part.empty() && part.back() == '.') {
        part.remove_suffix(1);
    }
    return part;
}

}  // namespace

bool keptOut(const DriveParts& parts) {
    return parts.empty() || upperAscii(parts.front()) == upperAscii(kQuarantineFolder) ||
           (parts.size() == 1 && upperAscii(parts.front()) == "AUTORUN.INF");
}

std::optional<DriveParts> drivePartsOf(std::string_view name) {
    if (name.empty() || name.front() == '\\' || name.front() == '/') return std::nullopt;
    for (const char ch : name)
        if (static_cast<unsigned char>(ch) < 0x20 || std::strchr("<>:\"|?*", ch) != nullptr) return std::nullopt;
    DriveParts parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        const bool last = end == std::string_view::npos;
        if (last) end = name.size();
        std::string_view part = name.substr(start, end - start);
        start = end + 1;
        // "." and ".." are taken as they stand, before anything is trimmed.
        if (part == "..") return std::nullopt;
        if (part != ".") part = trimmed(part, last);
        if (part.empty() || part == ".") continue;
        // What still ends in a dot or blank ("..", "x.." or "x " before a
        // separator) leads up, or names nothing that Windows opens.
        if (part.back() == '.' || part.back() == ' ') return std::nullopt;
        if (isDeviceName(part)) return std::nullopt;
        parts.emplace_back(part);
    }
    if (keptOut(parts)) return std::nullopt;
    return parts;
}

}  // namespace wd::drive
