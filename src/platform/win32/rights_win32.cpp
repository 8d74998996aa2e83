#include "platform/win32/rights_win32.h"

#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <string>

#include "platform/win32/services_util.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// Set in the environment for the copy that "runas" starts. Windows starts an
// elevated program with an environment of its own, so an elevated copy does
// not see it; a system that ignores the request (Wine, for one) starts the
// copy filtered again with our environment, and the copy then knows not to ask.
constexpr wchar_t kElevationRequested[] = L"WARDECK_ELEVATION_REQUESTED";

UniqueKernelHandle ownToken(DWORD access) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), access, &token)) return {};
    return UniqueKernelHandle(token);
}

std::wstring currentFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD len = ::GetCurrentDirectoryW(size, buffer.data());
        if (len == 0 || len > kMaxPathChars) return {};
        if (len < size) {
            buffer.resize(len);
            return buffer;
        }
        buffer.assign(len, L'\0');
    }
    return {};
}

}  // namespace

platform::Elevation Rights::elevation() {
    const UniqueKernelHandle token = ownToken(TOKEN_QUERY);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!token || !::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size))
        return platform::Elevation::Default;
    switch (type) {
        case TokenElevationTypeFull:
            return platform::Elevation::Full;
        case TokenElevationTypeLimited:
            return platform::Elevation::Limited;
        default:
            return platform::Elevation::Default;
    }
}

bool Rights::startedByElevationRequest() {
    if (::GetEnvironmentVariableW(kElevationRequested, nullptr, 0) == 0) return false;
    ::SetEnvironmentVariableW(kElevationRequested, nullptr);
    return true;
}

bool Rights::restartElevated(std::string_view exePath, std::string_view argument) {
    const std::wstring file = widen(exePath);
    const std::wstring parameters = widen(argument);
    // The elevated copy works in the folder this one was started in, so that a
    // relative path typed into it names the same file (an elevated program
    // otherwise starts in the system folder).
    const std::wstring folder = currentFolder();

    // Our own executable stays open without write or delete sharing until the
    // request is done: the file the prompt starts cannot be swapped for
    // another one (or renamed away) in the folder we were started from.
    const UniqueFileHandle self(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!self) return false;

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // NOASYNC: this process ends right after the call. FLAG_NO_UI: failures are silent.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    ::SetEnvironmentVariableW(kElevationRequested, L"1");
    const BOOL started = shellExecuteEx(&info);
    ::SetEnvironmentVariableW(kElevationRequested, nullptr);
    return started != FALSE;
}

bool Rights::enableDebugPrivilege() {
    const UniqueKernelHandle token = ownToken(TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY);
    LUID debug{};
    if (!token || !::LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &debug)) return false;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = debug;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr))
        return false;
    // A token without the privilege still "succeeds"; only the last error says
    // that nothing was enabled (ERROR_NOT_ALL_ASSIGNED).
    return ::GetLastError() == ERROR_SUCCESS;
}

}  // namespace wd::win32
