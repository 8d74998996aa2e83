// The Windows shell: verbs on files and starting programs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wd::platform {

enum class StartStyle { MinimizedActive, Hidden };

class UserToken;

class Shell {
public:
    virtual ~Shell() = default;
    // Asks the shell to show the properties sheet of `file`, owned by the
    // window `owner` (ui::Window::nativeHandle), with no message of its own
    // when it cannot; true when the shell accepted the request. A file that
    // is not a full path is never handed to the shell, which would look it
    // up in the current folder and on the search path.
    virtual bool showProperties(std::string_view file, std::uintptr_t owner) = 0;
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
