// The Windows shell: verbs on files and starting programs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wd::platform {

// The fields of a ShellExecuteEx request that the program sets; every other
// field is zero.
struct ShellExecuteRequest {
    std::uint32_t mask = 0;
    std::uintptr_t owner = 0;
    std::string verb;
    std::string file;
    std::string parameters;
    std::string directory;
    int show = 0;
};

enum class StartStyle { MinimizedActive, Hidden };

class UserToken;

class Shell {
public:
    virtual ~Shell() = default;
    // Runs the request; returns the hInstApp value the shell left (above 32
    // when the request was accepted). A file that is not a full path is never
    // handed to the shell, which would look it up in the current folder and
    // on the search path: that answers SE_ERR_FNF (2).
    virtual std::intptr_t execute(const ShellExecuteRequest& request) = 0;
    // The folder Windows is installed in ("C:\Windows"), shared by every
    // user, without a trailing backslash; empty when unknown.
    virtual std::string windowsFolder() = 0;
    // Starts the program at `path` (a full path: nothing is looked up on a
    // search path) without waiting for it, with its own folder as its current
    // folder: as the user of `asUser` when one is given and the system lets
    // a program be started so, else with this program's own token. False
    // when it could not be started.
    virtual bool startProgram(std::string_view path, StartStyle style, const UserToken* asUser) = 0;
};

}  // namespace wd::platform
