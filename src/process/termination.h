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

// Ends the first process, in the order of a new snapshot, whose name equals
// `name` exactly. Returns its id when one was found and asked to end.
std::optional<std::uint32_t> EndProcessByName(platform::Processes& processes, platform::Text& text,
                                              const std::string& name);

}  // namespace wd::process
