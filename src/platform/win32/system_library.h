// Libraries of the system folder loaded by their full path when first needed,
// and the shell and COM functions taken from them: most runs never show a
// properties sheet, restart elevated or put an icon in the tray, and loading
// shell32 and ole32 with the program would cost every start-up their load.
#pragma once

#include <windows.h>
// shellapi.h and shlobj.h need the types of windows.h first.
#include <shellapi.h>
#include <shlobj.h>

namespace wd::win32 {

// `name` from the system folder by its full path (nullptr if it cannot be
// loaded); loading one already loaded only finds it.
HMODULE systemLibrary(const wchar_t* name);

// ShellExecuteExW, with this (the only) thread in a COM apartment first: the
// shell's property sheets and its "runas" verb need one. FALSE with
// ERROR_PROC_NOT_FOUND when shell32 cannot be loaded.
BOOL shellExecuteEx(SHELLEXECUTEINFOW* info);
// Shell_NotifyIconW; FALSE when shell32 cannot be loaded.
BOOL shellNotifyIcon(DWORD message, NOTIFYICONDATAW* data);
// SHGetKnownFolderPath; the path (if any) is freed with taskMemFree.
HRESULT knownFolderPath(REFKNOWNFOLDERID id, DWORD flags, PWSTR* path);
void taskMemFree(void* memory);

// Leaves the COM apartment shellExecuteEx entered (if it did), before the
// program ends.
class ComApartmentScope {
public:
    ComApartmentScope() = default;
    ComApartmentScope(const ComApartmentScope&) = delete;
    ComApartmentScope& operator=(const ComApartmentScope&) = delete;
    ~ComApartmentScope();
};

}  // namespace wd::win32
