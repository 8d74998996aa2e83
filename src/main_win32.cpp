// wardeck.exe: builds the Win32 platform and hands it to the main window.
#include <windows.h>

#include <string>

#include "app/command_line.h"
#include "app/elevation.h"
#include "app/main_window.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/library_search.h"
#include "platform/win32/rights_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"

namespace {

// The full path of this executable, however long.
std::string executablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        buffer.assign(size, L'\0');
        const DWORD got = ::GetModuleFileNameW(nullptr, buffer.data(), size);
        if (got == 0) return {};
        if (got < size) {
            buffer.resize(got);
            return wd::win32::narrow(buffer);
        }
    }
    return {};
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
