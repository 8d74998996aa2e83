// Everything the program needs of the system, handed to the main window.
#pragma once

#include <string>

#include "platform/ui.h"

namespace wd {

struct Platform {
    ui::Toolkit& toolkit;
};

struct StartInfo {
    std::string argument;  // the text after the program path (UTF-8)
    std::string exePath;   // full path of the running executable (UTF-8)
};

}  // namespace wd
