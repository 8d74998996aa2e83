#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <string>

#include "common/paths.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/system_folders.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// The folder part of a full path ("C:\Windows" for "C:\Windows\explorer.exe").
std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return {};
    std::wstring folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // a drive's root keeps its backslash
    return folder;
}

}  // namespace

bool Shell::showProperties(std::string_view path, std::uintptr_t owner) {
    if (!common::isFullPath(path)) return false;
    const std::wstring file = widen(path);

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = reinterpret_cast<HWND>(owner);
    info.lpVerb = L"properties";
    info.lpFile = file.c_str();
    info.lpParameters = L"";
    info.lpDirectory = L"";
    info.nShow = 0;
    shellExecuteEx(&info);
    // With SEE_MASK_NOCLOSEPROCESS the started process (if any) is ours to close.
    const UniqueKernelHandle started(info.hProcess);
    // hInstApp is the answer either way: above 32 on success, an SE_ERR_ code otherwise.
    return reinterpret_cast<std::intptr_t>(info.hInstApp) > 32;
}

std::string Shell::windowsFolder() {
    std::wstring folder = sharedWindowsDirectory().value_or(std::wstring());
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    if (!common::isFullPath(narrow(folder))) return {};
    return narrow(folder);
}

bool Shell::startProgram(std::string_view path, platform::StartStyle style, const platform::UserToken* asUser) {
    if (!common::isFullPath(path)) return false;
    const std::wstring program = widen(path);
    const std::wstring folder = folderOf(program);
    // The program's own folder is its current folder, not ours: Wardeck may
    // have been started from an infected stick, and a program looks in its
    // current folder for libraries it does not find in the system's.
    const wchar_t* const current = folder.empty() ? nullptr : folder.c_str();

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow =
        static_cast<WORD>(style == platform::StartStyle::Hidden ? SW_HIDE : SW_SHOWMINIMIZED);
    PROCESS_INFORMATION info{};
    // Each call may write into the command line, so each gets its own copy.
    const auto commandLine = [&] { return L"\"" + program + L"\""; };
    bool started = false;
    if (const HANDLE token = asUser ? tokenHandle(*asUser) : nullptr) {
        // As the user, so that what the user starts from it later runs with
        // the user's rights, not ours. Through the secondary logon service
        // (an administrator holds the impersonation right it needs), else
        // directly, which the system allows for a token derived from ours.
        std::wstring line = commandLine();
        started = ::CreateProcessWithTokenW(token, 0, program.c_str(), line.data(), 0, nullptr, current, &startup,
                                            &info) != FALSE;
        if (!started) {
            line = commandLine();
            started = ::CreateProcessAsUserW(token, program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                             nullptr, current, &startup, &info) != FALSE;
        }
    }
    if (!started) {
        std::wstring line = commandLine();
        started = ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, current,
                                   &startup, &info) != FALSE;
    }
    if (!started) return false;
    // Not waited for: both handles go straight back.
    const UniqueKernelHandle process(info.hProcess);
    const UniqueKernelHandle thread(info.hThread);
    return true;
}

}  // namespace wd::win32
