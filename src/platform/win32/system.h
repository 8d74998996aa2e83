// Every Win32 service of the program in one place, and the Platform that
// hands them to the main window.
#pragma once

#include <windows.h>

#include "app/platform.h"
#include "platform/win32/environment_win32.h"
#include "platform/win32/services.h"
#include "platform/win32/toolkit.h"

namespace wd::win32 {

struct System {
    explicit System(HINSTANCE instance) : toolkit(instance), tray(instance) {
        platform.processes = &processes;
        platform.text = &text;
        platform.shell = &shell;
        platform.files = &files;
        platform.registry = &registry;
        platform.tray = &tray;
        platform.environment = &environment;
    }
    System(const System&) = delete;
    System& operator=(const System&) = delete;

    Toolkit toolkit;
    Processes processes;
    Text text;
    Shell shell;
    Files files;
    Registry registry;
    Tray tray;
    Environment environment;
    wd::Platform platform{toolkit};
};

}  // namespace wd::win32
