// The rights the program runs with: how its token was elevated, asking for
// an administrator's full rights, and the debug privilege.
#pragma once

#include <string_view>

namespace wd::platform {

// What the system says of the program's token (TOKEN_ELEVATION_TYPE).
enum class Elevation {
    Default,  // no split token: a standard user, or UAC off
    Full,     // an administrator's full rights (elevated)
    Limited,  // an administrator whose rights are filtered (not elevated)
};

class Rights {
public:
    virtual ~Rights() = default;
    virtual Elevation elevation() = 0;
    // True when this process is the copy that an earlier start of the program
    // asked to run elevated (so it never asks again, whatever it got).
    virtual bool startedByElevationRequest() = 0;
    // Starts the program at `exePath` again with `argument`, asking for an
    // administrator's full rights. False when that was declined or failed.
    virtual bool restartElevated(std::string_view exePath, std::string_view argument) = 0;
    // Enables the debug privilege if the token holds it. False when it does not.
    virtual bool enableDebugPrivilege() = 0;
};

}  // namespace wd::platform
