// Ending processes: the Process menu, Loop kill and the DLL tool all come
// here. Whatever a caller asks, a process that Windows cannot lose is never
// ended: one it marks critical, or one of its session and system processes
// running from the system folder (malware likes their names; a copy of one
// running from anywhere else is ended as any other process).
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

// Whether the process is one of the system's own session and service
// processes (smss.exe, csrss.exe, wininit.exe, winlogon.exe, services.exe,
// lsass.exe, lsaiso.exe) started from the system folder. A process with
// such a name whose path cannot be read counts as the system's.
bool IsSystemProcess(platform::Processes& processes, platform::Text& text, const platform::ProcessEntry& entry);

// The process that an end request found.
struct Ending {
    std::uint32_t pid = 0;
    // The system accepted the end. The process may still be exiting; when
    // false (access refused, or it had ended already) it is not ended.
    bool ended = false;
    friend bool operator==(const Ending&, const Ending&) = default;
};

// Ends exactly this process (its id and start time), unless Windows cannot
// lose it. Nothing when it may not be ended.
std::optional<Ending> EndProcess(platform::Processes& processes, platform::Text& text,
                                 const platform::ProcessEntry& entry);

// The process EndProcessByName would end now: the first, in the order of a
// new snapshot, whose name equals `name` exactly and that Windows can lose.
std::optional<platform::ProcessEntry> FindProcessToEnd(platform::Processes& processes, platform::Text& text,
                                                       const std::string& name);

// Ends the first process, in the order of a new snapshot, whose name equals
// `name` exactly, passing over the processes Windows cannot lose. Returns that
// process, or nothing when none has the name. A process that refuses to be
// ended is not passed over: the next one of the name is left running.
std::optional<Ending> EndProcessByName(platform::Processes& processes, platform::Text& text,
                                       const std::string& name);

}  // namespace wd::process
