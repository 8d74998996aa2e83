// wardeck.exe: builds the Win32 platform and hands it to the main window.
#include <windows.h>

#include <string>

#include "app/command_line.h"
#include "app/elevation.h"
#include "app/main_window.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/grown_text.h"
#include "platform/win32/library_search.h"
#include "platform/win32/rights_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"

namespace {

// The full path of this executable, however long.
std::string executablePath() {
    using wd::win32::TooSmall;
    const auto path = wd::win32::grownText(
        TooSmall::CutsText, [](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); });
    return path ? wd::win32::narrow(*path) : std::string();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    wd::win32::restrictLibrarySearch();
    // A drive without a medium (an empty card reader) answers every look at it
    // with a failure, never with the system's "insert a disk" box.
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, nullptr);
    // The shell's property sheets and its "runas" verb enter COM when first used.
    const wd::win32::ComApartmentScope com;

    const std::string commandLine = wd::win32::narrow(::GetCommandLineW());
    wd::StartInfo start{wd::app::argumentFromCommandLine(commandLine), executablePath()};
    {
        // Before any window exists: an elevated copy may take this one's place.
        wd::win32::Rights rights;
        if (wd::app::takeRights(rights, start) == wd::app::StartRights::Quit) return 0;
    }

    wd::win32::System system(instance);
    wd::app::MainWindow form1(system.platform, start);
    {
        // Start-up is one handler: what it lays out is shown once it is done.
        const wd::win32::HandlerScope startUp;
        form1.start();
    }
    return system.toolkit.runMessageLoop();
}
