// Running processes, as the process manager needs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wd::platform {

struct ProcessEntry {
    std::uint32_t pid = 0;
    std::string exeName;  // the executable's file name as the snapshot reports it
    // When the process started (100 ns units), 0 when unknown. With the id it
    // tells a process from a later one that was given the same id.
    std::uint64_t createTime = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Every running process, in the snapshot's order; nothing when no
    // snapshot can be taken.
    virtual std::optional<std::vector<ProcessEntry>> snapshot() = 0;
    // The full path of the process's executable exactly as the system
    // reports it; empty when the process cannot be opened or read.
    virtual std::string mainModulePath(std::uint32_t pid) = 0;
    // Ends the process with exit code 0. False when it cannot be opened or
    // the termination is refused.
    virtual bool terminate(std::uint32_t pid) = 0;
    // Waits until the process has exited, at most `timeoutMs`. True when it
    // is gone (or never existed). The program stays alive meanwhile: its
    // timers tick, its windows repaint and answer the messages sent to them,
    // so timer handlers, and whatever a sent message starts, may run inside
    // the wait. Input (keys, mouse) and posted messages wait until it is over.
    virtual bool waitForExit(std::uint32_t pid, int timeoutMs) = 0;
};

}  // namespace wd::platform
