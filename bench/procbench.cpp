// procbench.exe: how fast the process manager works against the plainest way
// of doing the same, in the same run, with many processes running.
//
//   procbench [--counts 50,200] [--runs 9]
//
// For each count it starts that many copies of dummy.exe (found next to
// procbench.exe) and times, as medians of --runs:
//   rebuild   ProcessPage::RefreshProcessList on the real (hidden) main window:
//             snapshot, every path, every row and tooltip destroyed and made
//   bare      CreateToolhelp32Snapshot + OpenProcess + GetModuleFileNameExW
//             over every process, names and paths kept in a vector
//   end       EndProcessByName on one process of a unique name, until it is gone
//   taskkill  Wine's `taskkill /IM name /F` on one such process, until both
//             taskkill and the process are gone
// and prints one table row per count, then where the rebuild's time goes:
//   platform  the program's own snapshot and path reads (wd::win32::Processes)
//   bare+enum the bare loop with EnumProcessModules before each path read,
//             as the program read a path before it asked for the main
//             module directly (kept for comparison)
//   clear     Clear rows
//   list      ListProcesses: snapshot, paths, rows and tooltips filled
// A measurement, not a test: it never
// fails on time (exit code 2 only if it could not measure).
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/platform.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "process/process_page.h"
#include "process/termination.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::wstring folderOfSelf() {
    wchar_t buf[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    std::wstring self = buf;
    return self.substr(0, self.find_last_of(L'\\'));
}

// Started processes, all ended when the group goes.
class Group {
public:
    ~Group() { endAll(); }
    bool start(const std::wstring& exe) {
        std::wstring cmd = L"\"" + exe + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            return false;
        }
        CloseHandle(pi.hThread);
        handles_.push_back(pi.hProcess);
        return true;
    }
    HANDLE last() const { return handles_.empty() ? nullptr : handles_.back(); }
    void endAll() {
        for (HANDLE h : handles_) TerminateProcess(h, 1);
        for (HANDLE h : handles_) {
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
        handles_.clear();
    }

private:
    std::deque<HANDLE> handles_;
};

struct Entry {
    std::wstring name, path;
};

// The plainest listing: one snapshot, every process opened for its path.
// With `enumModules`, the main module is looked up first, as the program once did.
std::vector<Entry> bareListing(bool enumModules = false) {
    std::vector<Entry> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return out;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); more; more = Process32NextW(snap, &e)) {
        Entry item{e.szExeFile, {}};
        if (HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, e.th32ProcessID)) {
            wchar_t path[MAX_PATH] = {};
            HMODULE module = nullptr;
            DWORD needed = 0;
            if (enumModules) EnumProcessModules(h, &module, sizeof module, &needed);
            const DWORD n = GetModuleFileNameExW(h, module, path, MAX_PATH);
            item.path.assign(path, n);
            CloseHandle(h);
        }
        out.push_back(std::move(item));
        e.dwSize = sizeof e;
    }
    CloseHandle(snap);
    return out;
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs `exe` with `args` and waits for it to end.
bool runAndWait(const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;  // no console output of its own
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi)) {
        return false;
    }
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hProcess);
    return true;
}

std::vector<int> parseCounts(const std::wstring& s) {
    std::vector<int> out;
    size_t start = 0;
    while (start < s.size()) {
        size_t end = s.find(L',', start);
        if (end == std::wstring::npos) end = s.size();
        out.push_back(std::stoi(s.substr(start, end - start)));
        start = end + 1;
    }
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<int> counts = {50, 200};
    int runs = 9;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring k = argv[i];
        if (k == L"--counts") counts = parseCounts(argv[i + 1]);
        if (k == L"--runs") runs = std::max(1, _wtoi(argv[i + 1]));
    }
    const std::wstring here = folderOfSelf();
    const std::wstring dummy = here + L"\\dummy.exe";
    const std::wstring rowExe = here + L"\\benchrow.exe";
    const std::wstring killExe = here + L"\\benchkill.exe";
    if (!CopyFileW(dummy.c_str(), rowExe.c_str(), FALSE) || !CopyFileW(dummy.c_str(), killExe.c_str(), FALSE)) {
        fwprintf(stderr, L"procbench: no %ls to copy\n", dummy.c_str());
        return 2;
    }
    wchar_t systemFolder[MAX_PATH] = {};
    GetSystemDirectoryW(systemFolder, MAX_PATH);
    const std::wstring taskkill = std::wstring(systemFolder) + L"\\taskkill.exe";

    // The program's own platform and main window, as wardeck.exe makes them.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    wd::win32::System system(instance);
    wd::app::MainWindow form(system.platform, wd::StartInfo{"", "C:\\bench\\procbench.exe"});
    form.start();
    form.window().hide();
    pump();
    wd::process::ProcessPage& page = form.processPage();

    std::printf("%9s %6s %12s %12s %7s %12s %12s %7s\n", "processes", "rows", "rebuild ms", "bare ms", "ratio",
                "end ms", "taskkill ms", "ratio");
    std::printf("%9s %6s %12s %12s %7s %12s %12s %7s\n", "", "", "", "", "(<= 2)", "", "", "(<= 0.5)");
    struct Parts {
        int count;
        double platform, bareEnum, clear, list;
    };
    std::vector<Parts> parts;
    Group rows;
    int running = 0;
    for (int count : counts) {
        for (; running < count; ++running) {
            if (!rows.start(rowExe)) {
                fwprintf(stderr, L"procbench: could not start copy %d of dummy.exe\n", running + 1);
                return 2;
            }
        }
        Sleep(500);  // let the copies finish starting
        // One of each first: caches warm, the row windows' classes in use.
        page.RefreshProcessList();
        bareListing();
        pump();
        std::vector<double> rebuild, bare;
        size_t listed = 0;
        for (int i = 0; i < runs; ++i) {
            auto t0 = Clock::now();
            {
                // As a Timer3 tick runs it: one handler, its rows shown at the end.
                const wd::win32::HandlerScope tick;
                page.RefreshProcessList();
            }
            rebuild.push_back(msSince(t0));
            pump();
            t0 = Clock::now();
            listed = bareListing().size();
            bare.push_back(msSince(t0));
        }
        // Where the rebuild's time goes.
        std::vector<double> platformTimes, enumTimes, clearTimes, listTimes;
        for (int i = 0; i < runs; ++i) {
            auto t0 = Clock::now();
            if (auto snapshot = system.processes.snapshot()) {
                for (const auto& e : *snapshot) system.processes.mainModulePath(e.pid);
            }
            platformTimes.push_back(msSince(t0));
            t0 = Clock::now();
            bareListing(true);
            enumTimes.push_back(msSince(t0));
            t0 = Clock::now();
            page.rows->clear();
            clearTimes.push_back(msSince(t0));
            pump();
            t0 = Clock::now();
            page.ListProcesses();
            listTimes.push_back(msSince(t0));
            pump();
        }
        parts.push_back({count, median(platformTimes), median(enumTimes), median(clearTimes), median(listTimes)});

        std::vector<double> endTimes, killTimes;
        Group victims;
        for (int i = 0; i < runs; ++i) {
            if (!victims.start(killExe)) break;
            HANDLE target = victims.last();
            auto t0 = Clock::now();
            wd::process::EndProcessByName(system.processes, system.text, "benchkill.exe");
            WaitForSingleObject(target, 10000);
            endTimes.push_back(msSince(t0));

            if (!victims.start(killExe)) break;
            target = victims.last();
            t0 = Clock::now();
            runAndWait(taskkill, L"/IM benchkill.exe /F");
            WaitForSingleObject(target, 10000);
            killTimes.push_back(msSince(t0));
        }
        victims.endAll();
        const double r1 = median(rebuild), b1 = median(bare), e1 = median(endTimes), k1 = median(killTimes);
        std::printf("%9zu %6d %12.2f %12.2f %7.2f %12.2f %12.2f %7.3f\n", listed, form.state().processCount, r1, b1,
                    b1 > 0 ? r1 / b1 : 0.0, e1, k1, k1 > 0 ? e1 / k1 : 0.0);
        std::fflush(stdout);
    }
    std::printf("\nwhere a rebuild's time goes (ms): platform = the program's snapshot and path reads;\n"
                "bare+enum = the bare loop with EnumProcessModules before each path (the program's former way);\n"
                "clear = Clear rows; list = ListProcesses (platform reads, rows and tooltips filled)\n");
    std::printf("%9s %12s %12s %12s %12s\n", "dummies", "platform", "bare+enum", "clear", "list");
    for (const auto& p : parts) {
        std::printf("%9d %12.2f %12.2f %12.2f %12.2f\n", p.count, p.platform, p.bareEnum, p.clear, p.list);
    }
    rows.endAll();
    DeleteFileW(rowExe.c_str());
    DeleteFileW(killExe.c_str());
    return 0;
}
