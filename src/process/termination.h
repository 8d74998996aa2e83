// Ending processes by name: the Process menu, Loop kill and the DLL tool all
// come here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/processes.h"
#include "platform/text.h"

namespace wd::process {

// A process's name as the program compares it: the snapshot's executable
// name up to its first NUL, lower-cased.
std::string processName(platform::Text& text, const std::string& exeName);

// The process that EndProcessByName found.
struct Ending {
    std::uint32_t pid = 0;
    // The system accepted the end. The process may still be exiting; when
    // false (access refused) it runs on.
    bool ended = false;
    friend bool operator==(const Ending&, const Ending&) = default;
};

// Ends the first process, in the order of a new snapshot, whose name equals
// `name` exactly. Returns that process, or nothing when none has the name.
std::optional<Ending> EndProcessByName(platform::Processes& processes, platform::Text& text,
                                       const std::string& name);

}  // namespace wd::process
