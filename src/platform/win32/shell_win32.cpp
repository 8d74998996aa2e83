#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <string>

#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// SearchPathW / GetWindowsDirectoryW style calls: the answer is the length
// copied, or the size needed (NUL included) when the buffer is too small.
template <typename Call>
std::wstring growingPath(Call call) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD len = call(buffer.data(), size);
        if (len == 0) return {};
        if (len < size) {
            buffer.resize(len);
            return buffer;
        }
        if (len > kMaxPathChars) return {};
        buffer.assign(len, L'\0');
    }
    return {};
}

std::wstring findOnSearchPath(const std::wstring& name) {
    std::wstring found = growingPath(
        [&](wchar_t* buf, DWORD size) { return ::SearchPathW(nullptr, name.c_str(), nullptr, size, buf, nullptr); });
    if (!found.empty()) return found;
    // The shell (explorer.exe) lives in the Windows folder, which a changed
    // search path may leave out.
    std::wstring windows =
        growingPath([](wchar_t* buf, DWORD size) { return ::GetWindowsDirectoryW(buf, size); });
    if (windows.empty()) return {};
    if (windows.back() != L'\\') windows += L'\\';
    windows += name;
    const DWORD attributes = ::GetFileAttributesW(windows.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return windows;
}

}  // namespace

std::intptr_t Shell::execute(const platform::ShellExecuteRequest& request) {
    const std::wstring verb = widen(request.verb);
    const std::wstring file = widen(request.file);
    const std::wstring parameters = widen(request.parameters);
    const std::wstring directory = widen(request.directory);

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = request.mask;
    info.hwnd = reinterpret_cast<HWND>(request.owner);
    info.lpVerb = verb.c_str();
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = request.show;
    ::ShellExecuteExW(&info);
    // With SEE_MASK_NOCLOSEPROCESS the started process (if any) is ours to close.
    const UniqueKernelHandle started(info.hProcess);
    // hInstApp is the answer either way: above 32 on success, an SE_ERR_ code otherwise.
    return reinterpret_cast<std::intptr_t>(info.hInstApp);
}

bool Shell::startProgram(std::string_view fileName, platform::StartStyle style) {
    const std::wstring name = widen(fileName);
    if (name.empty()) return false;
    const std::wstring path = findOnSearchPath(name);
    if (path.empty()) return false;

    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring commandLine = L"\"" + path + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow =
        static_cast<WORD>(style == platform::StartStyle::Hidden ? SW_HIDE : SW_SHOWMINIMIZED);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        return false;
    }
    // Not waited for: both handles go straight back.
    const UniqueKernelHandle process(info.hProcess);
    const UniqueKernelHandle thread(info.hThread);
    return true;
}

}  // namespace wd::win32
