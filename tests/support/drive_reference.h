// The drive monitor's work in the plainest form, for the tests and the fuzz
// run to hold the program's piecewise forms against: a whole autorun text
// read at once, the name of one line, a whole quarantine run without slices.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace wd::test {

// The lines of a whole autorun text, decoded: a UTF-16LE or UTF-8 byte-order
// mark decides the encoding, else the system's ANSI code page. A line ends at
// CR, CR LF or LF; the last line needs no end. drive::AutorunReader gives the
// names of these lines.
std::vector<std::string> autorunLines(platform::Text& text, std::string_view bytes);

// The name a line gives: the text after the last "=" or space that is not the
// line's first character. Nothing when there is no such separator.
std::optional<std::string> nameOnLine(std::string_view line);

// Whether a name is used at all (drive::drivePartsOf gives its parts).
bool nameStaysOnDrive(std::string_view name);

// One whole Quarantine run on the drive text (used unchanged as the prefix of
// every path), without slices: what drive::Quarantine does over many ticks.
void QuarantineDrive(platform::Files& files, platform::Text& text, const std::string& drive);

}  // namespace wd::test
