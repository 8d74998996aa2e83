// modFileWork: the file-properties sheet of the shell.
#pragma once

#include <cstdint>
#include <string>

#include "platform/shell.h"

namespace wd::process {

// SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI
inline constexpr std::uint32_t kPropertiesMask = 0x44C;

// Asks the shell to show the properties of `path`, owned by `owner`; returns
// the shell's hInstApp (above 32 when the request was accepted).
std::intptr_t ShowFileProperties(platform::Shell& shell, const std::string& path, std::uintptr_t owner);

}  // namespace wd::process
