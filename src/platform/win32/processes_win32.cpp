#include <windows.h>
// tlhelp32.h and psapi.h need the types of windows.h first.
#include <psapi.h>
#include <tlhelp32.h>

#include <cwchar>
#include <iterator>

#include "platform/win32/dispatch.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/text.h"

namespace wd::win32 {

std::optional<std::vector<platform::ProcessEntry>> Processes::snapshot() {
    const UniqueFileHandle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snap) return std::nullopt;

    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    std::vector<platform::ProcessEntry> out;
    if (!::Process32FirstW(snap.get(), &entry)) {
        // An empty snapshot is still an answer; anything else is not.
        if (::GetLastError() == ERROR_NO_MORE_FILES) return out;
        return std::nullopt;
    }
    // The walk stops at the first call that does not succeed, whatever it says.
    do {
        const std::size_t len = ::wcsnlen(entry.szExeFile, std::size(entry.szExeFile));
        out.push_back({static_cast<std::uint32_t>(entry.th32ProcessID),
                       narrow(std::wstring_view(entry.szExeFile, len))});
        entry.dwSize = sizeof(entry);
    } while (::Process32NextW(snap.get(), &entry));
    return out;
}

std::string Processes::mainModulePath(std::uint32_t pid) {
    const UniqueKernelHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, static_cast<DWORD>(pid)));
    if (!process) return {};

    // No module handle asks for the executable's own module: the same path
    // as the first module of EnumProcessModules, without listing the
    // modules first (which costs as much again as reading the path).
    const HMODULE mainModule = nullptr;

    // The result is cut to the buffer without an error, so a result that
    // fills the buffer may be cut: try again with more room.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD len = ::GetModuleFileNameExW(process.get(), mainModule, buffer.data(), size);
        if (len == 0) return {};
        if (len + 1 < size) {
            buffer.resize(len);
            return narrow(buffer);
        }
        if (size >= kMaxPathChars) return {};
        buffer.assign(size * 2 > kMaxPathChars ? kMaxPathChars : size * 2, L'\0');
    }
}

bool Processes::terminate(std::uint32_t pid) {
    const UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid)));
    return process && ::TerminateProcess(process.get(), 0);
}

bool Processes::waitForExit(std::uint32_t pid, int timeoutMs) {
    const UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
    if (!process) {
        // No such process (any more): it is gone. Any other refusal says nothing.
        return ::GetLastError() == ERROR_INVALID_PARAMETER;
    }
    const DWORD wait = timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : 0;
    return waitDispatching(process.get(), wait);
}

}  // namespace wd::win32
