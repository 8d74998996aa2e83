#include "support/drive_reference.h"

#include <chrono>

#include "common/unicode.h"
#include "drive/quarantine.h"

namespace wd::test {

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

bool nameStaysOnDrive(std::string_view name) { return drive::drivePartsOf(name).has_value(); }

void QuarantineDrive(platform::Files& files, platform::Text& text, const std::string& drive) {
    drive::Quarantine quarantine;
    drive::SliceLimits whole;
    whole.time = std::chrono::steady_clock::duration::max();
    quarantine.tick(files, text, drive, whole);
}

}  // namespace wd::test
