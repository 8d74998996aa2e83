// The names the drive monitor reads in an autorun file, taken as the places
// on the drive they denote, and the names it writes there itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace wd::drive {

inline constexpr char kQuarantineFolder[] = "★优盘VIP房☆";
inline constexpr char kAutorunCopy[] = "autorun.inf.vkq";
inline constexpr char kQuarantineExtension[] = ".vkq";

// The parts of the place a name denotes below the drive's root, or nothing
// when the name must be passed over. Dots and blanks at the end of a part are
// dropped as Windows drops them when it opens a path (all of them from the
// last part, one dot from a part that a separator follows); then parts that
// are empty or "." are dropped too, as Windows drops them. Passed over: an
// empty name; a rooted one or one holding ":", a control character or one of
// <>"|?*; a ".." part, or one that still ends in a dot or blank; a device
// name (CON, NUL, AUX, PRN, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, with or
// without an extension) as any part; the Quarantine folder or anything in
// it; the autorun file itself.
std::optional<platform::DriveParts> drivePartsOf(std::string_view name);

// Places that stay where they are, whatever a line says: none at all, the
// Quarantine folder and everything in it, and the autorun file itself.
bool keptOut(const platform::DriveParts& parts);

// The text with ASCII letters upper-cased: names as the drive's checks
// compare them.
std::string upperAscii(std::string_view s);

}  // namespace wd::drive
