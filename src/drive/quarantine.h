// The drive monitor's working half: moves a drive's autorun.inf, and every
// file or folder that a line of it names, into the Quarantine folder of that
// drive, never through a link and never off the drive.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "drive/autorun_reader.h"
#include "drive/drive_names.h"
#include "platform/files.h"
#include "platform/text.h"

namespace wd::drive {

// An autorun file is read up to this many bytes.
inline constexpr std::uint64_t kAutorunReadLimit = 64ull << 20;

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

}  // namespace wd::drive
