#include "platform/win32/environment_win32.h"

#include <windows.h>

#include <cstdio>

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
