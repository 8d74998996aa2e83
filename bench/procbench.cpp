// procbench.exe: how fast the process manager works against the plainest way
// of doing the same, in the same run, with many processes running.
//
//   procbench [--counts 50,200] [--runs 9] [--new 20]
//
// The program's main window is made as wardeck.exe makes it, shown, with the
// Process page selected (its page bar button pressed), so that every rebuild
// is timed as the user sees it: the rows made and painted (the paint is
// forced inside the timed part). For each count it starts that many copies
// of dummy.exe (found next to procbench.exe), of which --new are ended and
// started anew before each "new" rebuild, and times, as medians of --runs
// interleaved rounds:
//   rebuild   ProcessPage::RefreshProcessList after the rows were cleared:
//             every row made and painted anew
//   steady    RefreshProcessList again with nothing changed, as Auto refresh
//             does it every 200 ms
//   new       RefreshProcessList after --new processes ended and as many new
//             ones started since the last rebuild
//   bare      CreateToolhelp32Snapshot + OpenProcess + GetModuleFileNameExW
//             over every process, names and paths kept in a vector (twice a
//             round)
//   end       EndProcessByName on one process of a unique name, until it is gone
//   bare kill the same by a plain loop: snapshot, the first process of that
//             name opened and terminated, until it is gone
//   taskkill  Wine's `taskkill /IM name /F` on one such process, until both
//             taskkill and the process are gone
// (the three ways of ending take turns in each round), then where a rebuild's
// time goes:
//   platform  the program's own snapshot and path reads (wd::win32::Processes)
//   bare+enum the bare loop with EnumProcessModules before each path read,
//             as the program read a path before it asked for the main
//             module directly (kept for comparison)
//   clear     Clear rows
//   list      ListProcesses: snapshot, paths, rows and tooltips filled
//
// Prints a table and the figures as RESULT lines (bench/README.md). Every step
// is checked: a copy that does not start, an end that finds nothing, a wait
// that times out or a taskkill that fails makes its figures NOTMEASURED lines
// and the exit code 1. A measurement, not a test: it never fails on time.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
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

int failures = 0;

void notMeasured(const std::string& name, const std::string& why) {
    ++failures;
    std::printf("NOTMEASURED\t%s\t%s\n", name.c_str(), why.c_str());
    std::fflush(stdout);
}

// One figure: "RESULT name value unit baseline baseline-value", tab-separated,
// the medians of the times measured.
void result(const std::string& name, const std::vector<double>& v, const char* unit, const char* baseline = nullptr,
            const std::vector<double>* base = nullptr) {
    if (v.empty() || (base && base->empty())) {
        notMeasured(name, "no time was measured");
        return;
    }
    std::printf("RESULT\t%s\t%.3f\t%s\t%s\t", name.c_str(), median(v), unit, baseline ? baseline : "-");
    if (base) {
        std::printf("%.3f\n", median(*base));
    } else {
        std::printf("-\n");
    }
    std::fflush(stdout);
}

std::wstring folderOfSelf() {
    wchar_t buf[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    std::wstring self = buf;
    return self.substr(0, self.find_last_of(L'\\'));
}

std::string narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

// Whether `pid` is in a new snapshot with its path readable: a started copy
// has then finished starting.
bool listedWithPath(DWORD pid) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snap, &e); more && !found; more = Process32NextW(snap, &e)) {
        found = e.th32ProcessID == pid;
        e.dwSize = sizeof e;
    }
    CloseHandle(snap);
    if (!found) return false;
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!h) return false;
    wchar_t path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameExW(h, nullptr, path, MAX_PATH);
    CloseHandle(h);
    return n > 0;
}

// Started processes, all ended when the group goes.
class Group {
public:
    ~Group() { endAll(); }
    // Starts `exe` and waits until it is listed with its path; false (with
    // `error`) when it does not start or does not show up within 10 s.
    bool start(const std::wstring& exe, std::string* error) {
        std::wstring cmd = L"\"" + exe + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            *error = "CreateProcess of " + narrow(exe) + " failed, error " + std::to_string(GetLastError());
            return false;
        }
        CloseHandle(pi.hThread);
        handles_.push_back(pi.hProcess);
        pids_.push_back(pi.dwProcessId);
        for (int i = 0; i < 500; ++i) {
            if (listedWithPath(pi.dwProcessId)) return true;
            if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) break;
        }
        *error = narrow(exe) + " did not show up in a snapshot with its path within 10 s";
        return false;
    }
    HANDLE last() const { return handles_.back(); }
    DWORD lastPid() const { return pids_.back(); }
    size_t size() const { return handles_.size(); }
    void endAll() {
        for (HANDLE h : handles_) TerminateProcess(h, 1);
        for (HANDLE h : handles_) {
            WaitForSingleObject(h, 5000);
            CloseHandle(h);
        }
        handles_.clear();
        pids_.clear();
    }

private:
    std::deque<HANDLE> handles_;
    std::deque<DWORD> pids_;
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

// The plainest way to end a process by name: the first of a snapshot with
// that name (letter case ignored) is opened and terminated. Its id, or 0.
DWORD bareKill(const wchar_t* name) {
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

// Asks the main window's tool tip control for the text of every row's tip,
// as it does when a tip shows; the number of rows that gave one.
int readAllToolTips(HWND main) {
    HWND tip = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) {
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (lstrcmpiW(cls, TOOLTIPS_CLASSW) != 0) return TRUE;
            *reinterpret_cast<HWND*>(found) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&tip));
    if (!tip || !main) return 0;
    const int count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
    std::vector<wchar_t> text(4096);
    int read = 0;
    for (int i = 0; i < count; ++i) {
        TTTOOLINFOW info{};
        info.cbSize = sizeof info;
        if (!SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info))) continue;
        info.lpszText = text.data();
        text[0] = L'\0';
        SendMessageW(tip, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&info));
        read += text[0] != L'\0';
    }
    return read;
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Runs `exe` with `args` and waits for it to end; its exit code, or -1 when
// it did not start or end within 30 s.
long runAndWait(const std::wstring& exe, const std::wstring& args) {
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;  // no console output of its own
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi)) {
        return -1;
    }
    CloseHandle(pi.hThread);
    long code = -1;
    DWORD exitCode = 0;
    if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &exitCode)) {
        code = static_cast<long>(exitCode);
    } else {
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hProcess);
    return code;
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

// The program's main window as the user finds it (this process's window
// titled as wardeck.exe's), and the page bar button with `caption` in it.
HWND ownMainWindow() {
    struct Find {
        HWND found = nullptr;
    } find;
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t title[64] = {};
            GetWindowTextW(w, title, 64);
            if (pid == GetCurrentProcessId() && wcscmp(title, L"Skorrin助手——Wardeck") == 0) {
                reinterpret_cast<Find*>(p)->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

HWND buttonCaptioned(HWND parent, const wchar_t* caption) {
    struct Find {
        const wchar_t* caption;
        HWND found = nullptr;
    } find{caption};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM p) -> BOOL {
            auto* f = reinterpret_cast<Find*>(p);
            wchar_t text[64] = {}, cls[32] = {};
            GetWindowTextW(w, text, 64);
            GetClassNameW(w, cls, 32);
            if (lstrcmpiW(cls, L"Button") == 0 && wcscmp(text, f->caption) == 0) {
                f->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<int> counts = {50, 200};
    int runs = 9, churn = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring k = argv[i];
        if (k == L"--counts") counts = parseCounts(argv[i + 1]);
        if (k == L"--runs") runs = std::max(1, _wtoi(argv[i + 1]));
        if (k == L"--new") churn = std::max(1, _wtoi(argv[i + 1]));
    }
    const std::wstring here = folderOfSelf();
    const std::wstring dummy = here + L"\\dummy.exe";
    const std::wstring rowExe = here + L"\\benchrow.exe";
    const std::wstring newExe = here + L"\\benchnew.exe";
    const std::wstring killExe = here + L"\\benchkill.exe";
    for (const std::wstring* copy : {&rowExe, &newExe, &killExe}) {
        if (!CopyFileW(dummy.c_str(), copy->c_str(), FALSE)) {
            std::fprintf(stderr, "procbench: no %s to copy\n", narrow(dummy).c_str());
            return 2;
        }
    }
    wchar_t systemFolder[MAX_PATH] = {};
    GetSystemDirectoryW(systemFolder, MAX_PATH);
    const std::wstring taskkill = std::wstring(systemFolder) + L"\\taskkill.exe";

    // The program's own platform and main window, as wardeck.exe makes them,
    // shown on the Process page.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    wd::win32::System system(instance);
    wd::app::MainWindow form(system.platform, wd::StartInfo{"", "C:\\bench\\procbench.exe"});
    {
        const wd::win32::HandlerScope startUp;
        form.start();
    }
    pump();
    wd::process::ProcessPage& page = form.processPage();
    const HWND main = ownMainWindow();
    const HWND processButton = main ? buttonCaptioned(main, L"进程管理") : nullptr;
    if (!main || !processButton || !IsWindowVisible(main)) {
        std::fprintf(stderr, "procbench: no visible main window with a Process page button\n");
        return 2;
    }
    SendMessageW(processButton, BM_CLICK, 0, 0);
    pump();
    // The rows painted now, as the user sees them.
    auto paint = [main] { RedrawWindow(main, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); };
    auto rebuild = [&] {
        const auto t0 = Clock::now();
        {
            // As a Timer3 tick runs it: one handler, its rows shown as it ends.
            const wd::win32::HandlerScope tick;
            page.RefreshProcessList();
        }
        paint();
        const double ms = msSince(t0);
        pump();
        return ms;
    };

    std::printf("%9s %6s %10s %10s %10s %10s %7s %7s %7s | %9s %9s %9s %6s %6s\n", "processes", "dummies", "rebuild",
                "steady", "new", "bare", "ratio", "ratio", "ratio", "end", "bare kill", "taskkill", "ratio", "ratio");
    std::printf("%9s %6s %10s %10s %10s %10s %7s %7s %7s | %9s %9s %9s %6s %6s\n", "", "", "ms", "ms", "ms", "ms",
                "(<=2)", "(<=.35)", "(<=.5)", "ms", "ms", "ms", "(<=1.1)", "(tk)");
    std::fflush(stdout);
    Group rows, fresh;
    int running = 0;
    for (int count : counts) {
        const std::string at = "processes." + std::to_string(count) + ".";
        std::string error;
        bool started = true;
        if (count <= churn) {
            notMeasured(at + "rebuild_ms", "fewer dummies than the " + std::to_string(churn) + " new ones");
            continue;
        }
        // count - churn plain copies and churn ones that are replaced before each "new" rebuild.
        while (started && running < count - churn) {
            started = rows.start(rowExe, &error);
            running += started;
        }
        if (started && fresh.size() == 0) {
            for (int i = 0; started && i < churn; ++i) started = fresh.start(newExe, &error);
        }
        if (!started) {
            for (const char* n : {"rebuild_ms", "steady_ms", "new_ms", "end_ms", "taskkill_ms"}) {
                notMeasured(at + n, error);
            }
            break;
        }
        // One of each first: caches warm, the row windows' classes in use.
        rebuild();
        bareListing();

        std::vector<double> cold, steady, changed, bare;
        size_t listed = 0;
        bool churned = true;
        for (int i = 0; i < runs && churned; ++i) {
            page.rows->clear();
            paint();
            pump();
            cold.push_back(rebuild());
            auto t0 = Clock::now();
            listed = bareListing().size();
            bare.push_back(msSince(t0));
            steady.push_back(rebuild());
            fresh.endAll();
            for (int k = 0; churned && k < churn; ++k) churned = fresh.start(newExe, &error);
            if (!churned) break;
            pump();
            changed.push_back(rebuild());
            t0 = Clock::now();
            bareListing();
            bare.push_back(msSince(t0));
        }
        // The same steady rebuild once every row's tool tip has been read (as
        // if the user had hovered over each), against steady rebuilds before
        // any was. A tip once read stays with its row, so the two cannot take
        // turns: they run back to back instead, twice as many of each as the
        // other figures take, so that what the machine does meanwhile weighs
        // on both alike (a few milliseconds each, they swing by a sixth from
        // one minute to the next).
        std::vector<double> noTip, tipsRead;
        for (int i = 0; i < 2 * runs; ++i) noTip.push_back(rebuild());
        if (readAllToolTips(main) < static_cast<int>(page.rows->count()) - 1) {
            notMeasured(at + "steady_tips_read_ms", "not every row's tool tip could be read");
        } else {
            for (int i = 0; i < 2 * runs; ++i) {
                readAllToolTips(main);
                tipsRead.push_back(rebuild());
            }
            result(at + "steady_tips_read_ms", tipsRead, "ms", "no tip read", &noTip);
        }
        std::printf("RESULT\t%slisted\t%zu\tcount\t-\t-\n", at.c_str(), listed);
        result(at + "rebuild_ms", cold, "ms", "bare loop", &bare);
        result(at + "steady_ms", steady, "ms", "bare loop", &bare);
        if (churned) {
            result(at + "new_ms", changed, "ms", "bare loop", &bare);
            std::printf("RESULT\t%snew\t%d\tcount\t-\t-\n", at.c_str(), churn);
        } else {
            notMeasured(at + "new_ms", error);
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
            {
                const wd::win32::HandlerScope handler;
                page.rows->clear();
            }
            clearTimes.push_back(msSince(t0));
            pump();
            t0 = Clock::now();
            {
                const wd::win32::HandlerScope handler;
                page.ListProcesses();
            }
            listTimes.push_back(msSince(t0));
            pump();
        }
        result(at + "parts.platform_ms", platformTimes, "ms");
        result(at + "parts.bare_enum_ms", enumTimes, "ms");
        result(at + "parts.clear_ms", clearTimes, "ms");
        result(at + "parts.list_ms", listTimes, "ms");
        rebuild();

        // Ending by name, three ways in turn; each until the process is gone.
        std::vector<double> endTimes, bareKillTimes, killTimes;
        std::string killError;
        Group victims;
        auto victim = [&](const char* way) -> HANDLE {
            std::string e;
            if (victims.start(killExe, &e)) return victims.last();
            killError = std::string(way) + ": " + e;
            return nullptr;
        };
        auto gone = [&](HANDLE target, const char* way) {
            if (WaitForSingleObject(target, 10000) == WAIT_OBJECT_0) return true;
            killError = std::string(way) + ": the process still ran after 10 s";
            return false;
        };
        for (int i = 0; i < runs && killError.empty(); ++i) {
            for (int k = 0; k < 3 && killError.empty(); ++k) {
                const int way = (i + k) % 3;
                HANDLE target = victim(way == 0 ? "EndProcessByName" : way == 1 ? "bare kill" : "taskkill");
                if (!target) break;
                const DWORD pid = victims.lastPid();
                auto t0 = Clock::now();
                if (way == 0) {
                    const auto ended = wd::process::EndProcessByName(system.processes, system.text, "benchkill.exe");
                    if (!ended || !ended->ended || ended->pid != pid) {
                        killError = "EndProcessByName did not end the started copy";
                    } else if (gone(target, "EndProcessByName")) {
                        endTimes.push_back(msSince(t0));
                    }
                } else if (way == 1) {
                    if (bareKill(L"benchkill.exe") != pid) {
                        killError = "the bare kill loop did not end the started copy";
                    } else if (gone(target, "bare kill")) {
                        bareKillTimes.push_back(msSince(t0));
                    }
                } else {
                    const long code = runAndWait(taskkill, L"/IM benchkill.exe /F");
                    if (code != 0) {
                        killError = "taskkill gave exit code " + std::to_string(code) + " (-1: did not run or end)";
                    } else if (gone(target, "taskkill")) {
                        killTimes.push_back(msSince(t0));
                    }
                }
            }
        }
        victims.endAll();
        if (killError.empty()) {
            result(at + "end_ms", endTimes, "ms", "bare kill loop", &bareKillTimes);
            result(at + "taskkill_ms", killTimes, "ms");
        } else {
            notMeasured(at + "end_ms", killError);
            notMeasured(at + "taskkill_ms", killError);
        }

        const double b = median(bare);
        auto ratio = [b](const std::vector<double>& v) { return v.empty() ? 0.0 : median(v) / b; };
        std::printf("%9zu %6d %10.2f %10.2f %10.2f %10.2f %7.2f %7.2f %7.2f | %9.2f %9.2f %9.2f %6.2f %6.2f\n", listed,
                    count, median(cold), median(steady), changed.empty() ? 0.0 : median(changed), b, ratio(cold),
                    ratio(steady), ratio(changed), endTimes.empty() ? 0.0 : median(endTimes),
                    bareKillTimes.empty() ? 0.0 : median(bareKillTimes), killTimes.empty() ? 0.0 : median(killTimes),
                    bareKillTimes.empty() || endTimes.empty() ? 0.0 : median(endTimes) / median(bareKillTimes),
                    killTimes.empty() || endTimes.empty() ? 0.0 : median(endTimes) / median(killTimes));
        std::fflush(stdout);
    }
    rows.endAll();
    fresh.endAll();
    DeleteFileW(rowExe.c_str());
    DeleteFileW(newExe.c_str());
    DeleteFileW(killExe.c_str());
    return failures ? 1 : 0;
}
