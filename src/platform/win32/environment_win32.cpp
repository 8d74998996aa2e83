#include "platform/win32/environment_win32.h"

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/win32/grown_text.h"
#include "platform/win32/services_util.h"
#include "platform/win32/system_folders.h"
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
        const auto set = grownText(TooSmall::SaysSize, [](wchar_t* buffer, DWORD size) {
            return ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, size);
        });
        if (set) folder = narrow(*set);
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

namespace {

// A string value of an open key, however long (up to kMaxPathChars units);
// nothing when there is none or it is no string.
std::optional<std::wstring> stringValue(HKEY key, const wchar_t* name) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || bytes > kMaxPathChars * sizeof(wchar_t))
        return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>((value.size() - 1) * sizeof(wchar_t));
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    value.resize(bytes / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

}  // namespace

std::string Environment::machineDataFolder() {
    // The system's drive, from the Windows folder every user shares; the
    // environment's %SystemDrive% and %ProgramData% are the user's to set.
    const std::optional<std::wstring> windows = sharedWindowsDirectory();
    if (!windows || windows->size() < 3 || (*windows)[1] != L':') return {};
    const std::wstring drive = windows->substr(0, 2);
    std::wstring folder = drive + L"\\ProgramData";
    // Where the machine's profile list puts it, if that names a place on the
    // system's drive in the usual form.
    UniqueKey profiles;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_64KEY, profiles.put()) == ERROR_SUCCESS) {
        if (std::optional<std::wstring> named = stringValue(profiles.get(), L"ProgramData")) {
            const std::wstring prefix = L"%SystemDrive%";
            if (named->size() > prefix.size() + 1 && startsWithName(*named, prefix))
                *named = drive + named->substr(prefix.size());
            if (named->size() > 3 && named->find(L'%') == std::wstring::npos &&
                named->find(L"..") == std::wstring::npos && startsWithName(*named, drive) && (*named)[2] == L'\\')
                folder = *named;
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
    // ExpandEnvironmentStringsW answers the size it needs, NUL included, also
    // when the text fits: the length written is one less.
    const auto expanded = grownText(TooSmall::SaysSize, [&](wchar_t* buffer, DWORD size) -> DWORD {
        const DWORD need = ::ExpandEnvironmentStringsW(wide.c_str(), buffer, size);
        return need == 0 || need > size ? need : need - 1;
    });
    return expanded ? narrow(*expanded) : std::string(text);
}

}  // namespace wd::win32
