// Where the program may keep files of its own, and the local time.
#pragma once

#include <string>
#include <string_view>

namespace wd::platform {

class Environment {
public:
    virtual ~Environment() = default;
    // The user's local application-data folder (%LOCALAPPDATA%), UTF-8,
    // without a trailing backslash; empty when unknown.
    virtual std::string localAppDataFolder() = 0;
    // Whether the program runs with an administrator's full rights (its
    // token holds the Administrators group, enabled).
    virtual bool fullRights() = 0;
    // The folder the machine keeps the data of its programs in, for every
    // user ("C:\\ProgramData"), as the machine's own settings name it (never
    // the user's, which any program of the user can change); without a
    // trailing backslash, empty when unknown.
    virtual std::string machineDataFolder() = 0;
    // The local date and time as "YYYY-MM-DD_HH-MM-SS".
    virtual std::string localTimestamp() = 0;
    // The text with every %NAME% of the environment put in; a name that is
    // not set stays as written.
    virtual std::string expand(std::string_view text) = 0;
};

}  // namespace wd::platform
