// modFileWork: the file-properties sheet of the shell.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shell.h"

namespace wd::process {

// Asks the shell to show the properties of `path`, owned by `owner`; true
// when the shell accepted the request.
bool ShowFileProperties(platform::Shell& shell, const std::string& path, std::uintptr_t owner);

}  // namespace wd::process
