#include "platform/win32/environment_win32.h"

#include <windows.h>

#include <cstdio>

#include "platform/win32/services_util.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace wd::win32 {

std::string Environment::localAppDataFolder() {
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(knownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, &path)) && path) folder = narrow(path);
    taskMemFree(path);
    if (folder.empty()) {
        // Fall back to the environment, as older systems keep it there.
        wchar_t buffer[32768];
        const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, 32768);
        if (n > 0 && n < 32768) folder = narrow(std::wstring_view(buffer, n));
    }
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

bool Environment::fullRights() {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    if (!::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) return false;
    // Only an enabled group counts: in the filtered token of an administrator
    // it is there for denying only.
    BOOL member = FALSE;
    return ::CheckTokenMembership(nullptr, sid, &member) && member;
}

std::string Environment::machineDataFolder() {
    // The system's drive, from the Windows folder every user shares; the
    // environment's %SystemDrive% and %ProgramData% are the user's to set.
    wchar_t windows[MAX_PATH + 1] = {};
    const UINT len = ::GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    if (len < 3 || len > MAX_PATH || windows[1] != L':') return {};
    const std::wstring drive(windows, 2);
    std::wstring folder = drive + L"\\ProgramData";
    // Where the machine's profile list puts it, if that names a place on the
    // system's drive in the usual form.
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
        const UniqueKey profiles(key);
        wchar_t value[MAX_PATH + 1] = {};
        DWORD bytes = sizeof value - sizeof(wchar_t);
        DWORD type = REG_NONE;
        if (::RegQueryValueExW(profiles.get(), L"ProgramData", nullptr, &type, reinterpret_cast<BYTE*>(value),
                               &bytes) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            std::wstring named(value, bytes / sizeof(wchar_t));
            while (!named.empty() && named.back() == L'\0') named.pop_back();
            const std::wstring prefix = L"%SystemDrive%";
            if (named.size() > prefix.size() + 1 &&
                ::CompareStringOrdinal(named.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                       static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
                named = drive + named.substr(prefix.size());
            if (named.size() > 3 && named.find(L'%') == std::wstring::npos && named.find(L"..") == std::wstring::npos &&
                ::CompareStringOrdinal(named.c_str(), 2, drive.c_str(), 2, TRUE) == CSTR_EQUAL && named[2] == L'\\')
                folder = named;
        }
    }
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return narrow(folder);
}

std::string Environment::localTimestamp() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u_%02u-%02u-%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return buffer;
}

std::string Environment::expand(std::string_view text) {
    const std::wstring wide = widen(text);
    std::wstring out(wide.size() + 64, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD need = ::ExpandEnvironmentStringsW(wide.c_str(), out.data(), static_cast<DWORD>(out.size()));
        if (need == 0) return std::string(text);
        if (need <= out.size()) {
            out.resize(need - 1);  // without its NUL
            return narrow(out);
        }
        if (need > 32768) return std::string(text);
        out.assign(need, L'\0');
    }
    return std::string(text);
}

}  // namespace wd::win32
