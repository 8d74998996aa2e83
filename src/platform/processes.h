// Running processes, as the process manager needs them.
#pragma once

#include <cstdint>
#include <memory>
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

// How a request to end a process went.
enum class EndResult {
    Ended,     // the system accepted the end; the process may still be exiting
    Refused,   // it could not be opened for ending, or the end was refused
    Gone,      // no process of that id and start time runs (any more)
    Critical,  // Windows marks it critical: ending it would stop the machine
};

// A user's token, taken from a process, for starting a program as that user.
class UserToken {
public:
    virtual ~UserToken() = default;
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
    // Ends the process of this id with exit code 0, if it is the one that
    // started at `createTime` (0: unknown, the id alone decides) and Windows
    // does not mark it critical. The check and the end go through one handle,
    // so a process that was given the id of an ended one is never ended.
    virtual EndResult terminate(std::uint32_t pid, std::uint64_t createTime) = 0;
    // The folder of the system's own programs ("C:\Windows\System32"), where
    // its session and service processes run from; empty when unknown.
    virtual std::string systemFolder() = 0;
    // A token to start a program for the user with rights no higher than the
    // user's own: the token of process `pid` (taken while it runs) when that
    // is not elevated, else the unelevated token linked to this program's
    // own; null when neither can be had.
    virtual std::unique_ptr<UserToken> unelevatedToken(std::uint32_t pid) = 0;
    // Waits until the process has exited, at most `timeoutMs`. True when it
    // is gone (or never existed). The program stays alive meanwhile: its
    // timers tick, its windows repaint and answer the messages sent to them,
    // so timer handlers, and whatever a sent message starts, may run inside
    // the wait. Input (keys, mouse) and posted messages wait until it is over.
    virtual bool waitForExit(std::uint32_t pid, int timeoutMs) = 0;
};

}  // namespace wd::platform
