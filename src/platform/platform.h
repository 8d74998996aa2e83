// Everything the program needs of the system, handed to the main window and
// from it to the pages: the window toolkit and the system services. The
// program's entry point makes the Win32 set; the unit tests make an
// in-memory one.
#pragma once

#include <string>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "platform/tray.h"
#include "platform/trust.h"
#include "platform/ui.h"

namespace wd {

struct Platform {
    ui::Toolkit& toolkit;
    platform::Processes& processes;
    platform::Text& text;
    platform::Shell& shell;
    platform::Files& files;
    platform::Registry& registry;
    platform::Tray& tray;
    platform::Environment& environment;
    platform::Trust& trust;
};

// What the system tells the program when it starts.
struct StartInfo {
    std::string argument;  // the text after the program path (UTF-8)
    std::string exePath;   // full path of the running executable (UTF-8)
};

}  // namespace wd
