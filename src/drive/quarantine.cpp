#include "drive/quarantine.h"

#include "common/unicode.h"

namespace wd::drive {

std::vector<std::string> autorunLines(platform::Text& text, std::string_view bytes) {
    std::string decoded;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        decoded = common::utf16leToUtf8(bytes.substr(2));
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        decoded = std::string(bytes.substr(3));
    } else {
        decoded = text.fromAnsi(bytes);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const char c = decoded[i];
        if (c != '\r' && c != '\n') continue;
        lines.emplace_back(decoded, start, i - start);
        if (c == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < decoded.size()) lines.emplace_back(decoded, start);
    return lines;
}

std::optional<std::string> nameOnLine(std::string_view line) {
    const std::size_t sep = line.find_last_of("= ");
    // The first character never separates ("=" and " " are one byte each,
    // so byte 0 is exactly the first character).
    if (sep == std::string_view::npos || sep == 0) return std::nullopt;
    return std::string(line.substr(sep + 1));
}

bool nameStaysOnDrive(std::string_view name) {
    if (name.empty() || name.find(':') != std::string_view::npos || name.find('\0') != std::string_view::npos)
        return false;
    if (name.front() == '\\' || name.front() == '/') return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(start, end - start);
        // Windows drops trailing dots and blanks, so "..", ". ." and "..."
        // all lead up or stay put.
        if (!part.empty() && part.find_first_not_of(". ") == std::string_view::npos) return false;
        start = end + 1;
    }
    return true;
}

void QuarantineDrive(platform::Files& files, platform::Text& text, const std::string& drive) {
    const std::string autorun = drive + "\\autorun.inf";
    const std::string folder = drive + "\\" + kQuarantineFolder;
    const std::string copy = folder + "\\" + kAutorunCopy;

    if (!files.exists(autorun)) return;
    if (!files.exists(folder + "\\") && !files.makeFolder(folder)) return;
    if (files.exists(copy) && !(files.setNormalAttributes(copy) && files.deleteFile(copy))) return;
    if (!files.setNormalAttributes(autorun)) return;
    if (!files.rename(autorun, copy)) return;

    const std::optional<std::string> content = files.readAll(copy, kAutorunReadLimit);
    if (!content) return;
    for (const std::string& line : autorunLines(text, *content)) {
        const std::optional<std::string> name = nameOnLine(line);
        if (!name || !nameStaysOnDrive(*name)) continue;
        const std::string source = drive + "\\" + *name;
        if (!files.exists(source)) continue;
        const std::string target = folder + "\\" + *name + kQuarantineExtension;
        if (files.exists(target) && !(files.setNormalAttributes(target) && files.deleteFile(target))) continue;
        if (!files.setNormalAttributes(source)) continue;
        files.rename(source, target);
    }
}

}  // namespace wd::drive
