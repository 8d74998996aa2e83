// Every Win32 service of the program in one place, and the Platform that
// hands them to the main window.
#pragma once

#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/environment_win32.h"
#include "platform/win32/trust_win32.h"
#include "platform/win32/services.h"
#include "platform/win32/toolkit.h"

namespace wd::win32 {

struct System {
    explicit System(HINSTANCE instance) : toolkit(instance), tray(instance) {}
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
    Trust trust;
    wd::Platform platform{toolkit, processes, text, shell, files, registry, tray, environment, trust};
};

}  // namespace wd::win32
