#include <windows.h>
// tlhelp32.h, psapi.h and winternl.h need the types of windows.h first.
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "platform/win32/dispatch.h"
#include "platform/win32/functions.h"
#include "platform/win32/grown_text.h"
#include "platform/win32/nt_status.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/system_folders.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// The system's process list is read whole; it grows while it is read, so the
// buffer is asked for again, up to this size.
constexpr ULONG kMaxProcessListBytes = 64u << 20;
constexpr int kProcessListTries = 8;

// Where the start time sits in SYSTEM_PROCESS_INFORMATION (x64), among the
// fields that winternl.h leaves unnamed.
constexpr std::size_t kCreateTimeOffset = 32;

// Every process with its id, name and start time in one call: one round trip
// to the kernel (or to wineserver), where the tool-help walk also gives no
// start time. Nothing when the call does not answer.
std::optional<std::vector<platform::ProcessEntry>> systemProcessList() {
    std::vector<std::byte> buffer(256u << 10);
    for (int attempt = 0; attempt < kProcessListTries; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = ::NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                                           static_cast<ULONG>(buffer.size()), &needed);
        if (status == nt::kInfoLengthMismatch) {
            const std::size_t next = std::max<std::size_t>(buffer.size() * 2, needed + (64u << 10));
            if (next > kMaxProcessListBytes) return std::nullopt;
            buffer.assign(next, std::byte{});
            continue;
        }
        if (!NT_SUCCESS(status)) return std::nullopt;

        std::vector<platform::ProcessEntry> out;
        const std::byte* const begin = buffer.data();
        const std::byte* const end = begin + buffer.size();
        std::size_t at = 0;
        for (;;) {
            if (at + sizeof(SYSTEM_PROCESS_INFORMATION) > buffer.size()) return std::nullopt;
            SYSTEM_PROCESS_INFORMATION info;
            std::memcpy(&info, begin + at, sizeof(info));
            platform::ProcessEntry e;
            e.pid = static_cast<std::uint32_t>(reinterpret_cast<ULONG_PTR>(info.UniqueProcessId));
            std::memcpy(&e.createTime, begin + at + kCreateTimeOffset, sizeof(e.createTime));
            const auto* name = reinterpret_cast<const std::byte*>(info.ImageName.Buffer);
            const std::size_t nameBytes = info.ImageName.Length & ~1u;
            if (name && name >= begin && name + nameBytes <= end) {
                std::wstring wide(nameBytes / sizeof(wchar_t), L'\0');
                std::memcpy(wide.data(), name, nameBytes);
                e.exeName = narrow(wide);
            } else if (e.pid == 0) {
                e.exeName = "[System Process]";  // as the tool-help walk names it
            }
            out.push_back(std::move(e));
            if (info.NextEntryOffset == 0) return out;
            at += info.NextEntryOffset;
        }
    }
    return std::nullopt;
}

// The same list from a tool-help snapshot, without start times.
std::optional<std::vector<platform::ProcessEntry>> toolHelpList() {
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
                       narrow(std::wstring_view(entry.szExeFile, len)), 0});
        entry.dwSize = sizeof(entry);
    } while (::Process32NextW(snap.get(), &entry));
    return out;
}

// The path by the route that asks least of the process: limited query
// rights, which elevated and service processes grant where they refuse to
// have their memory read.
std::string imagePath(DWORD pid) {
    const UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return {};
    const auto path = grownText(TooSmall::CutsText, [&](wchar_t* buffer, DWORD size) -> DWORD {
        DWORD length = size;
        if (::QueryFullProcessImageNameW(process.get(), 0, buffer, &length)) return length;
        // Too small: as a cut text, it asks for more room.
        return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
    });
    return path ? narrow(*path) : std::string();
}

// The path of the main module, read from the process's memory.
std::string mainModulePathByMemory(DWORD pid) {
    const UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return {};

    // No module handle asks for the executable's own module: the same path
    // as the first module of EnumProcessModules, without listing the
    // modules first (which costs as much again as reading the path).
    const HMODULE mainModule = nullptr;

    // The result is cut to the buffer without an error.
    const auto path = grownText(TooSmall::CutsText, [&](wchar_t* buffer, DWORD size) {
        return ::GetModuleFileNameExW(process.get(), mainModule, buffer, size);
    });
    return path ? narrow(*path) : std::string();
}

}  // namespace

std::optional<std::vector<platform::ProcessEntry>> Processes::snapshot() {
    if (auto list = systemProcessList()) return list;
    return toolHelpList();
}

std::string Processes::mainModulePath(std::uint32_t pid) {
    std::string path = imagePath(static_cast<DWORD>(pid));
    if (path.empty()) path = mainModulePathByMemory(static_cast<DWORD>(pid));
    return path;
}

namespace {

// ProcessBreakOnTermination of NtQueryInformationProcess: a ULONG, non-zero
// for a process whose end stops the machine.
constexpr PROCESSINFOCLASS kProcessBreakOnTermination = static_cast<PROCESSINFOCLASS>(29);

// Whether Windows marks the process critical; false when it does not tell.
bool isCritical(HANDLE process) {
    using IsProcessCriticalFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    // Windows 8.1 and later; looked up, as an import the system lacks would
    // keep the program from starting.
    static const auto isProcessCritical = loadedFunction<IsProcessCriticalFn>(L"kernel32.dll", "IsProcessCritical");
    if (isProcessCritical) {
        BOOL critical = FALSE;
        if (isProcessCritical(process, &critical)) return critical != FALSE;
    }
    ULONG breakOnTermination = 0;
    return NT_SUCCESS(::NtQueryInformationProcess(process, kProcessBreakOnTermination, &breakOnTermination,
                                                  sizeof breakOnTermination, nullptr)) &&
           breakOnTermination != 0;
}

// When the process started, in the units of the process list; 0 when unknown.
std::uint64_t startTimeOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

class Token final : public platform::UserToken {
public:
    explicit Token(UniqueKernelHandle token) noexcept : token_(std::move(token)) {}
    HANDLE get() const noexcept { return token_.get(); }

private:
    UniqueKernelHandle token_;
};

// A primary token made from `token`, which can start a program.
std::unique_ptr<platform::UserToken> primaryCopy(HANDLE token) {
    UniqueKernelHandle primary;
    if (!::DuplicateTokenEx(token, TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                                       TOKEN_ADJUST_SESSIONID,
                            nullptr, SecurityImpersonation, TokenPrimary, primary.put()))
        return nullptr;
    return std::make_unique<Token>(std::move(primary));
}

bool elevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    // Unknown counts as elevated: such a token is not handed on.
    return !::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) ||
           elevation.TokenIsElevated != 0;
}

}  // namespace

HANDLE tokenHandle(const platform::UserToken& token) {
    const auto* own = dynamic_cast<const Token*>(&token);
    return own ? own->get() : nullptr;
}

platform::EndResult Processes::terminate(std::uint32_t pid, std::uint64_t createTime) {
    // One handle for the checks and the end: the id cannot pass to another
    // process between them.
    const UniqueKernelHandle process(
        ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
    if (!process) {
        return ::GetLastError() == ERROR_INVALID_PARAMETER ? platform::EndResult::Gone
                                                           : platform::EndResult::Refused;
    }
    if (createTime != 0 && startTimeOf(process.get()) != createTime) return platform::EndResult::Gone;
    if (isCritical(process.get())) return platform::EndResult::Critical;
    return ::TerminateProcess(process.get(), 0) ? platform::EndResult::Ended : platform::EndResult::Refused;
}

std::string Processes::systemFolder() {
    std::optional<std::wstring> folder = systemDirectory();
    if (!folder) return {};
    while (folder->size() > 3 && folder->back() == L'\\') folder->pop_back();
    return narrow(*folder);
}

std::unique_ptr<platform::UserToken> Processes::unelevatedToken(std::uint32_t pid) {
    // The token of the process itself (the shell the user logged on with),
    // when it runs unelevated.
    if (const UniqueKernelHandle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
        process) {
        UniqueKernelHandle token;
        if (::OpenProcessToken(process.get(), TOKEN_QUERY | TOKEN_DUPLICATE, token.put())) {
            if (!elevated(token.get()))
                if (auto copy = primaryCopy(token.get())) return copy;
        }
    }
    // Else the filtered token that UAC links to this program's full one.
    UniqueKernelHandle own;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, own.put())) return nullptr;
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!::GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof linked, &size) || !linked.LinkedToken)
        return nullptr;
    const UniqueKernelHandle filtered(linked.LinkedToken);
    if (elevated(filtered.get())) return nullptr;
    return primaryCopy(filtered.get());
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
