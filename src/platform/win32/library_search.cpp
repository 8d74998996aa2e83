// Wardeck is often started from the folder that holds the malware (an
// infected stick, Downloads) and usually with an administrator's rights, so
// every library it loads and every program it starts must come from a place
// that a planted file cannot take. Where each of them comes from:
//
// The libraries wardeck.exe imports (x86_64-w64-mingw32-objdump -p; the C++
// runtime, libgcc and winpthreads are linked in statically, and the build
// fails when the list below grows, see cmake/check-imports.cmake):
//   ntdll
//     Mapped into every process by the kernel before any other library; the
//     loader finds it loaded and never looks for it.
//   KERNEL32, ADVAPI32, USER32, GDI32, msvcrt
//     Known DLLs on every Windows the program supports (7 to 11): the loader
//     maps them, and the libraries they import in turn, from System32's
//     \KnownDlls section and never looks for them in any folder.
//   COMCTL32
//     Not a Known DLL, but the manifest compiled into wardeck.exe asks for
//     Microsoft.Windows.Common-Controls 6.0, so the loader takes it from
//     WinSxS before any search. (An external wardeck.exe.manifest or a
//     wardeck.exe.local folder is ignored when the program carries its own
//     manifest.)
//   The process functions (GetModuleFileNameExW and the like) are kernel32's
//   K32 exports: psapi.dll is not imported.
// Libraries loaded while the program runs: by us, shell32 and ole32 when the
// shell is first needed (properties sheet, elevated restart, tray icon) and
// wintrust and crypt32 for the signatures of the process rows, all by their
// full path in System32 (system_library.cpp); by the system on our behalf,
// uxtheme and msimg32 for themed controls, COM servers and shell extensions
// for the properties sheet, ...: after the call below they come from System32
// only (LOAD_LIBRARY_SEARCH_SYSTEM32), or from the full path a registration
// names. Windows 7 without KB2533623 lacks that call; there
// SetDllDirectoryW(L"") at least takes the current folder out of the search.
// GetProcAddress (functions.h) is used on the libraries above and on three
// modules found by name, ntdll, kernel32 and user32: all are imports, loaded
// before any of our code runs, and GetModuleHandleW only finds a loaded
// module, it never loads one.
// What the loader does before wWinMain (static imports, their DllMain) cannot
// be changed from here. MSVC's /DEPENDENTLOADFLAG would restrict the static
// imports too, but GNU ld (2.40 here) does not fill in the load configuration
// directory from a _load_config_used symbol; with the imports above it would
// add nothing.
//
// Programs: the shell is started from GetSystemWindowsDirectoryW() only,
// by its full path and with that folder as its current folder
// (shell_win32.cpp); nothing is looked up with SearchPathW. The properties
// verb is handed full paths only. The elevated restart names the program's
// own full path (rights_win32.cpp).
#include "platform/win32/library_search.h"

#include <windows.h>

#include "platform/win32/functions.h"

namespace wd::win32 {

void restrictLibrarySearch() noexcept {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    // Looked up, not imported: an import the system lacks would keep the
    // program from starting at all.
    const auto setDefaultDllDirectories =
        loadedFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (!setDefaultDllDirectories || !setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        ::SetDllDirectoryW(L"");
    // SearchPathW (which a system library may still call) looks in the
    // current folder only after the system's.
    ::SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
}

}  // namespace wd::win32
