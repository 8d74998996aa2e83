// Names taken from Windows paths, as text: nothing here touches a file.
#pragma once

#include <string>
#include <string_view>

namespace wd::common {

// The executable's file name without folder and extension: "wardeck" for
// "C:\Tools\wardeck.exe".
std::string executableBaseName(std::string_view exePath);

}  // namespace wd::common
