// The drive monitor's working half: moves a drive's autorun.inf, and every
// file or folder that a line of it names, into the Quarantine folder of that
// drive, never through a link and never off the drive.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
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
// A name longer than this (in the file's own bytes) names nothing a path can
// hold; its line is passed over.
inline constexpr std::size_t kMaxNameBytes = 64u << 10;

// The lines of a whole autorun text, decoded: a UTF-16LE or UTF-8 byte-order
// mark decides the encoding, else the system's ANSI code page. A line ends at
// CR, CR LF or LF; the last line needs no end. For small texts; a run reads
// the file with AutorunReader.
std::vector<std::string> autorunLines(platform::Text& text, std::string_view bytes);

// The name a line gives: the text after the last "=" or space that is not the
// line's first character. Nothing when there is no such separator.
std::optional<std::string> nameOnLine(std::string_view line);

// The names of an autorun file read piece by piece, the same names that
// nameOnLine gives for each of autorunLines, in bounded memory: of a line it
// keeps only the bytes after its last separator, at most kMaxNameBytes.
class AutorunReader {
public:
    // Reads the next bytes of the file; the name of every line they end is
    // appended to `names` (as UTF-8).
    void feed(platform::Text& text, std::string_view bytes, std::vector<std::string>& names);
    // The end of the file: the name of a last line without a line end.
    void finish(platform::Text& text, std::vector<std::string>& names);

private:
    enum class Encoding { Unknown, Ansi, Utf8, Utf16 };
    void detect(platform::Text& text, std::vector<std::string>& names);
    void scan(platform::Text& text, std::string_view bytes, std::vector<std::string>& names);
    void unit(platform::Text& text, char32_t u, std::string_view raw, std::vector<std::string>& names);
    void endLine(platform::Text& text, std::vector<std::string>& names);

    Encoding encoding_ = Encoding::Unknown;
    std::string head_;           // the first bytes, until the encoding is known
    std::string odd_;            // UTF-16: a byte waiting for its pair
    bool lineStarted_ = false;   // the current line has a first character
    bool separated_ = false;     // ... and a separator after it
    bool tooLong_ = false;       // ... whose name outgrew kMaxNameBytes
    bool afterCr_ = false;       // the last unit ended a line with CR
    std::string name_;           // the bytes after the last separator
};

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

// Whether a name is used at all (drivePartsOf gives its parts).
bool nameStaysOnDrive(std::string_view name);

// How much one slice of a run may do before it hands the window back.
struct SliceLimits {
    // Timer1 ticks every 100 ms: a slice of 60 ms leaves the rest of each
    // tick's time to the window's messages and the other timers.
    std::chrono::steady_clock::duration time = std::chrono::milliseconds(60);
    std::size_t names = std::numeric_limits<std::size_t>::max();  // names taken up
    std::size_t bytes = std::numeric_limits<std::size_t>::max();  // bytes of the copy read
    // Steps: a piece of reading, taking up a name, or one operation on the
    // drive for the name in hand (a part opened, a folder made, the move).
    std::size_t steps = std::numeric_limits<std::size_t>::max();
};

// The monitor's quarantine across Timer1 ticks. A run starts at a tick that
// finds autorun.inf in the root of the drive text's drive: the Quarantine
// folder is checked (or made) and autorun.inf moved into it as the Autorun
// copy. The copy is then read and its names handled in slices, each ending
// within its limits, so a huge or hostile file, or a name of many parts,
// never holds the window; the next tick goes on where the last stopped, on
// the drive the run started on, whatever the drive text says by then (it
// names the drive of the next run). A name's place is reached part by part,
// each part opened relative to the folder before it, and the folders on its
// way stay held for the next name that goes the same way, so a name costs
// work in proportion to its parts. A run ends when its copy is gone, cannot
// be read, or is no longer the same file; what was moved stays moved. A new
// autorun.inf that appears during a run waits in the root for the next run.
class Quarantine {
public:
    Quarantine();
    ~Quarantine();
    Quarantine(const Quarantine&) = delete;
    Quarantine& operator=(const Quarantine&) = delete;

    void tick(platform::Files& files, platform::Text& text, const std::string& drive, const SliceLimits& limits = {});
    bool running() const { return run_ != nullptr; }

private:
    struct Run;
    bool start(std::unique_ptr<platform::DriveRoot> root);
    void goOn(platform::Text& text, const SliceLimits& limits, std::chrono::steady_clock::time_point started);
    std::unique_ptr<Run> run_;
};

// One whole Quarantine run on the drive text (used unchanged as the prefix of
// every path), without slices. Silent: failures before autorun.inf is moved
// end the run (the next run tries again); a line whose file cannot be moved is
// passed over.
void QuarantineDrive(platform::Files& files, platform::Text& text, const std::string& drive);

}  // namespace wd::drive
