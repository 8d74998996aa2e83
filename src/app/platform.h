// Everything the program needs of the system, handed to the main window.
#pragma once

#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/tray.h"
#include "platform/ui.h"

namespace wd {

// The services are set by the program's entry point; each is used only by the
// features that need it.
struct Platform {
    ui::Toolkit& toolkit;
    platform::Processes* processes = nullptr;
    platform::Text* text = nullptr;
    platform::Shell* shell = nullptr;
    platform::Files* files = nullptr;
    platform::Registry* registry = nullptr;
    platform::Tray* tray = nullptr;
    platform::Environment* environment = nullptr;
};

struct StartInfo {
    std::string argument;  // the text after the program path (UTF-8)
    std::string exePath;   // full path of the running executable (UTF-8)
};

}  // namespace wd
