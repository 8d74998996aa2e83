// The rights the program runs with: how its token was elevated, asking for
// an administrator's full rights, and the debug privilege.
#pragma once

#include <string>

namespace wd::platform {

// What the system says of the program's token (TOKEN_ELEVATION_TYPE).
enum class Elevation {
    Default,  // no split token: a standard user, or UAC off
    Full,     // an administrator's full rights (elevated)
    Limited,  // an administrator whose rights are filtered (not elevated)
};

// The request for an elevated copy of the program: the shell's verb on the
// program's own file, with the verb taken from a class key of the machine.
struct ElevationRequest {
    std::string file;      // the running program's full path
    std::string argument;  // handed on unchanged
    std::string verb;      // "runas"
    // The class under HKEY_LOCAL_MACHINE whose verb is used: the merged
    // classes root would let the user's own classes (which any program of
    // the user can write) supply the command that the consent prompt runs.
    std::string machineClass;
    friend bool operator==(const ElevationRequest&, const ElevationRequest&) = default;
};

class Rights {
public:
    virtual ~Rights() = default;
    virtual Elevation elevation() = 0;
    // True when this process is the copy that an earlier start of the program
    // asked to run elevated (so it never asks again, whatever it got).
    virtual bool startedByElevationRequest() = 0;
    // Starts the program again as the request says, asking for an
    // administrator's full rights. Only the very file that is running is
    // started: when the file at its path is no longer it, nothing is. False
    // when that, the prompt, or the start failed.
    virtual bool restartElevated(const ElevationRequest& request) = 0;
    // Enables the debug privilege if the token holds it. False when it does not.
    virtual bool enableDebugPrivilege() = 0;
};

}  // namespace wd::platform
