// The drive monitor's working half: moves a drive's autorun.inf, and every
// file that a line of it names, into the Quarantine folder of that drive.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace wd::drive {

inline constexpr char kQuarantineFolder[] = "★优盘VIP房☆";
inline constexpr char kAutorunCopy[] = "autorun.inf.vkq";
inline constexpr char kQuarantineExtension[] = ".vkq";
// An autorun file is read up to this many bytes.
inline constexpr std::uint64_t kAutorunReadLimit = 64ull << 20;

// The lines of an autorun file, decoded: a UTF-16LE or UTF-8 byte-order mark
// decides the encoding, else the system's ANSI code page. A line ends at CR,
// CR LF or LF; the last line needs no end.
std::vector<std::string> autorunLines(platform::Text& text, std::string_view bytes);

// The name a line gives: the text after the last "=" or space that is not the
// line's first character. Nothing when there is no such separator.
std::optional<std::string> nameOnLine(std::string_view line);

// Whether a name stays inside the folder it is joined to: not empty, no ":",
// no NUL, no leading separator and no "." or ".." part.
bool nameStaysOnDrive(std::string_view name);

// One Quarantine run on the drive text (used unchanged as the prefix of every
// path). Silent: failures before autorun.inf is moved end the run (the next
// run tries again); a line whose file cannot be moved is passed over.
void QuarantineDrive(platform::Files& files, platform::Text& text, const std::string& drive);

}  // namespace wd::drive
