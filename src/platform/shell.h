// The Windows shell: verbs on files and starting programs by name.
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

class Shell {
public:
    virtual ~Shell() = default;
    // Runs the request; returns the hInstApp value the shell left (above 32
    // when the request was accepted).
    virtual std::intptr_t execute(const ShellExecuteRequest& request) = 0;
    // Starts a program by its file name (found on the search path) without
    // waiting for it. False when it could not be started.
    virtual bool startProgram(std::string_view fileName, StartStyle style) = 0;
};

}  // namespace wd::platform
