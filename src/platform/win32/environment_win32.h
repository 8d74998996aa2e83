// Where the program keeps its own files, and the local time, over Win32.
#pragma once

#include "platform/environment.h"

namespace wd::win32 {

class Environment final : public platform::Environment {
public:
    std::string localAppDataFolder() override;
    bool fullRights() override;
    std::string machineDataFolder() override;
    std::string localTimestamp() override;
    std::string expand(std::string_view text) override;
};

}  // namespace wd::win32
