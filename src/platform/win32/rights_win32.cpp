#include "platform/win32/rights_win32.h"

#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <psapi.h>

#include <string>

#include "platform/win32/grown_text.h"
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
// The consent prompt is handed the program's plain path ("C:\..."), which
// stays below MAX_PATH; the file of a longer one is never started by it.
constexpr std::size_t kMaxPlainPathChars = MAX_PATH;

UniqueKernelHandle ownToken(DWORD access) {
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), access, token.put())) return {};
    return token;
}

std::wstring currentFolder() {
    return grownText(TooSmall::SaysSize, [](wchar_t* buffer, DWORD size) {
               return ::GetCurrentDirectoryW(size, buffer);
           }).value_or(std::wstring());
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

namespace {

// The path of an open file as the system names it, in the given form.
std::wstring finalPathOf(HANDLE file, DWORD form) {
    return grownText(TooSmall::SaysSize, [&](wchar_t* buffer, DWORD size) {
               return ::GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED | form);
           }).value_or(std::wstring());
}

// "C:\..." for the "\\?\C:\..." that the DOS form gives.
std::wstring withoutLongPrefix(std::wstring path) {
    if (path.rfind(L"\\\\?\\", 0) == 0 && path.size() > 6 && path[5] == L':') path.erase(0, 4);
    return path;
}

// The file the running program was mapped from, as the system names it now:
// "\Device\HarddiskVolume2\..." on Windows, "\??\C:\..." under Wine.
std::wstring runningImagePath() {
    return grownText(TooSmall::CutsText, [](wchar_t* buffer, DWORD size) {
               return ::K32GetMappedFileNameW(::GetCurrentProcess(), ::GetModuleHandleW(nullptr), buffer, size);
           }).value_or(std::wstring());
}

bool samePath(const std::wstring& a, const std::wstring& b) { return !a.empty() && sameName(a, b); }

}  // namespace

bool Rights::restartElevated(const platform::ElevationRequest& request) {
    const std::wstring verb = widen(request.verb);
    const std::wstring parameters = widen(request.argument);
    // The elevated copy works in the folder this one was started in, so that a
    // relative path typed into it names the same file (an elevated program
    // otherwise starts in the system folder).
    const std::wstring folder = currentFolder();

    // Our own executable stays open without write or delete sharing until the
    // request is done: the file the prompt starts cannot be swapped for
    // another one (or renamed away) meanwhile. And it must be the file that
    // runs: one put at the path after we started is not started in our name.
    const UniqueFileHandle self(::CreateFileW(widen(request.file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!self) return false;
    const std::wstring file = withoutLongPrefix(finalPathOf(self.get(), VOLUME_NAME_DOS));
    const std::wstring running = runningImagePath();
    if (file.empty() || file.size() >= kMaxPlainPathChars ||
        !(samePath(running, finalPathOf(self.get(), VOLUME_NAME_NT)) || samePath(running, L"\\??\\" + file)))
        return false;

    // The verb from the machine's class of programs, never the merged root.
    UniqueKey programClass;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, widen(request.machineClass).c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                        programClass.put()) != ERROR_SUCCESS)
        return false;

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // NOASYNC: this process ends right after the call. FLAG_NO_UI: failures are silent.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_CLASSKEY;
    info.lpVerb = verb.c_str();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    info.hkeyClass = programClass.get();
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
