// What the process benchmarks measure the program against (procbench.exe
// and wdbench.exe both use it).
//
// The floors do the least work that gives the same result with the calls the
// program makes: one NtQuerySystemInformation(SystemProcessInformation) for
// the list (every process's id, start time and name in one call), and
// OpenProcess with limited query rights + QueryFullProcessImageNameW for a
// path. A full listing reads every path; an incremental one keeps what it
// read by process id and start time and reads the paths of processes it has
// not seen only, which is the least an Auto refresh can do.
//
// The naive loops are what most code writes: a tool-help snapshot, and every
// process opened for its memory and GetModuleFileNameExW. They are measured
// too, as a second, weaker baseline.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace benchfloor {

struct Process {
    DWORD pid = 0;
    std::uint64_t createTime = 0;
    std::wstring name;
};

// Every process by one NtQuerySystemInformation call, asked again with a
// bigger buffer while the list does not fit; `buffer` is kept between calls.
// Empty when the call fails.
inline std::vector<Process> systemProcesses(std::vector<std::byte>& buffer) {
    constexpr std::size_t kCreateTimeOffset = 32;  // in SYSTEM_PROCESS_INFORMATION (x64)
    if (buffer.empty()) buffer.resize(256u << 10);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(),
                                                         static_cast<ULONG>(buffer.size()), &needed);
        if (status == static_cast<NTSTATUS>(0xC0000004L)) {  // STATUS_INFO_LENGTH_MISMATCH
            buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + (64u << 10)));
            continue;
        }
        if (!NT_SUCCESS(status)) return {};
        std::vector<Process> out;
        for (std::size_t at = 0;;) {
            if (at + sizeof(SYSTEM_PROCESS_INFORMATION) > buffer.size()) return {};
            SYSTEM_PROCESS_INFORMATION info;
            std::memcpy(&info, buffer.data() + at, sizeof info);
            Process p;
            p.pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(info.UniqueProcessId));
            std::memcpy(&p.createTime, buffer.data() + at + kCreateTimeOffset, sizeof p.createTime);
            if (info.ImageName.Buffer) p.name.assign(info.ImageName.Buffer, info.ImageName.Length / sizeof(wchar_t));
            out.push_back(std::move(p));
            if (info.NextEntryOffset == 0) return out;
            at += info.NextEntryOffset;
        }
    }
    return {};
}

// The path of a process by limited query rights; empty when it cannot be read.
inline std::wstring imagePath(DWORD pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) return {};
    wchar_t path[MAX_PATH];
    DWORD size = MAX_PATH;
    std::wstring out;
    if (QueryFullProcessImageNameW(h, 0, path, &size)) out.assign(path, size);
    CloseHandle(h);
    return out;
}

struct Listed {
    Process process;
    std::wstring path;
};

// The floor of a full listing: the list, and every process's path.
inline std::vector<Listed> fullListing(std::vector<std::byte>& buffer) {
    std::vector<Listed> out;
    for (Process& p : systemProcesses(buffer)) {
        std::wstring path = imagePath(p.pid);
        out.push_back({std::move(p), std::move(path)});
    }
    return out;
}

// The floor of an incremental listing.
class IncrementalListing {
public:
    // Lists the processes anew, reading the paths of those the last listing
    // did not hold; how many paths it read.
    int refresh() {
        int read = 0;
        std::map<std::pair<DWORD, std::uint64_t>, Listed> listed;
        for (Process& p : systemProcesses(buffer_)) {
            const std::pair<DWORD, std::uint64_t> key{p.pid, p.createTime};
            auto it = known_.find(key);
            if (it != known_.end()) {
                listed.emplace(key, std::move(it->second));
            } else {
                std::wstring path = imagePath(p.pid);
                ++read;
                listed.emplace(key, Listed{std::move(p), std::move(path)});
            }
        }
        known_ = std::move(listed);
        return read;
    }
    std::size_t size() const { return known_.size(); }

private:
    std::map<std::pair<DWORD, std::uint64_t>, Listed> known_;
    std::vector<std::byte> buffer_;
};

// The naive listing: a tool-help snapshot, every process opened for its
// memory and its main module's path read. How many processes it listed.
inline std::size_t naiveListing() {
    std::vector<std::pair<std::wstring, std::wstring>> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
        std::wstring path;
        if (HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, e.th32ProcessID)) {
            wchar_t buf[MAX_PATH] = {};
            path.assign(buf, GetModuleFileNameExW(h, nullptr, buf, MAX_PATH));
            CloseHandle(h);
        }
        out.emplace_back(e.szExeFile, std::move(path));
        e.dwSize = sizeof e;
    }
    CloseHandle(snap);
    return out.size();
}

// Ends the first process named `name` (letter case ignored) of the list:
// opened with PROCESS_TERMINATE and terminated. Its id, or 0.
inline DWORD endFirstNamed(const wchar_t* name, std::vector<std::byte>& buffer) {
    for (const Process& p : systemProcesses(buffer)) {
        if (lstrcmpiW(p.name.c_str(), name) != 0) continue;
        DWORD ended = 0;
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, p.pid)) {
            if (TerminateProcess(h, 0)) ended = p.pid;
            CloseHandle(h);
        }
        return ended;
    }
    return 0;
}

// The same by a tool-help snapshot.
inline DWORD naiveEndFirstNamed(const wchar_t* name) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    DWORD ended = 0;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
        if (lstrcmpiW(e.szExeFile, name) == 0) {
            if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, e.th32ProcessID)) {
                if (TerminateProcess(h, 0)) ended = e.th32ProcessID;
                CloseHandle(h);
            }
            break;
        }
        e.dwSize = sizeof e;
    }
    CloseHandle(snap);
    return ended;
}

}  // namespace benchfloor
