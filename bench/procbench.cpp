// procbench.exe: how fast the process manager works against the least work
// that gives the same result by the calls the program makes (bench/floor.h),
// and against the naive loops, in the same run, with many processes running.
//
//   procbench [--counts 50,200] [--runs 9] [--new 20]
//
// The program's main window is made as wardeck.exe makes it, shown, with the
// Process page selected (its page bar button pressed), so that every rebuild
// is timed as the user sees it: the rows made and painted (the paint is
// forced inside the timed part). For each count it starts that many copies
// of dummy.exe (found next to procbench.exe), of which --new are ended and
// started anew before each "new" rebuild, and times in each of --runs rounds:
//   rebuild      ProcessPage::RefreshProcessList after the rows were cleared
//                and the page's path cache emptied: every row made and
//                painted anew, every path read
//   full floor   one NtQuerySystemInformation list and every path read by
//                QueryFullProcessImageNameW (limited query rights)
//   naive        a tool-help snapshot and every process opened for its
//                memory and GetModuleFileNameExW
//   steady       RefreshProcessList again with nothing changed, as Auto
//                refresh does it every 200 ms
//   incremental  the list again, reading the paths of processes not seen in
//                the last one only (none here; the new ones after a change)
//   new          RefreshProcessList after --new processes ended and as many
//                new ones started since the last rebuild
//   end          EndProcessByName on one process of a unique name, until it
//                is gone
//   floor kill   the same by the list and OpenProcess + TerminateProcess of
//                the first match
//   naive kill   the same by a tool-help snapshot
//   taskkill     Wine's `taskkill /IM name /F` on one such process, until
//                both taskkill and the process are gone (it starts a process)
// (the program and its floors take turns within a round, and the four ways
// of ending too), then where a rebuild's time goes:
//   platform  the program's own list and every path read (wd::win32::Processes)
//   clear     Clear rows
//   list      ListProcesses with every path known: list, rows and tooltips filled
//
// Prints a table and the figures as RESULT lines (bench/README.md), each with
// its number of repeats, least and greatest value. Every step is checked: a
// copy that does not start, a rebuild that does not read the paths it should
// (all of them from an emptied cache, none in steady state, the new ones
// after a change), an end that finds nothing, a wait that times out or a
// taskkill that fails makes its figures NOTMEASURED lines and the exit code
// 1. A measurement, not a test: it never fails on time.
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
#include "floor.h"
#include "platform/platform.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "process/process_page.h"
#include "process/termination.h"
#include "start_retry.h"

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
// the medians of the times measured, then how many there were and the least
// and greatest of them and of the baseline's ("runs=9 min=… max=… bmin=…
// bmax=…").
void result(const std::string& name, const std::vector<double>& v, const char* unit, const char* baseline = nullptr,
            const std::vector<double>* base = nullptr) {
    if (v.empty() || (base && base->empty())) {
        notMeasured(name, "no time was measured");
        return;
    }
    std::printf("RESULT\t%s\t%.3f\t%s\t%s\t", name.c_str(), median(v), unit, baseline ? baseline : "-");
    if (base) {
        std::printf("%.3f", median(*base));
    } else {
        std::printf("-");
    }
    const auto [least, most] = std::minmax_element(v.begin(), v.end());
    std::printf("\truns=%zu\tmin=%.3f\tmax=%.3f", v.size(), *least, *most);
    if (base) {
        const auto [baseLeast, baseMost] = std::minmax_element(base->begin(), base->end());
        std::printf("\tbmin=%.3f\tbmax=%.3f", *baseLeast, *baseMost);
    }
    std::printf("\n");
    std::fflush(stdout);
}

// The program's processes, with a way to make every process look new to the
// Process page (its start time moved on by one more each time), so that a
// rebuild starts with the page's path cache emptied, as the first listing
// after start-up does; and a count of the paths read. The rest is the
// program's own Win32 layer, unchanged.
class ForgettingProcesses : public wd::platform::Processes {
public:
    explicit ForgettingProcesses(wd::platform::Processes& real) : real_(real) {}
    void forget() { ++generation_; }
    long pathReads() const { return pathReads_; }

    std::optional<std::vector<wd::platform::ProcessEntry>> snapshot() override {
        auto list = real_.snapshot();
        if (list && generation_) {
            for (auto& e : *list) {
                if (e.createTime != 0) e.createTime += generation_;
            }
        }
        return list;
    }
    std::string mainModulePath(std::uint32_t pid) override {
        ++pathReads_;
        return real_.mainModulePath(pid);
    }
    wd::platform::EndResult terminate(std::uint32_t pid, std::uint64_t createTime) override {
        return real_.terminate(pid, createTime);
    }
    std::string systemFolder() override { return real_.systemFolder(); }
    std::unique_ptr<wd::platform::UserToken> unelevatedToken(std::uint32_t pid) override {
        return real_.unelevatedToken(pid);
    }
    bool waitForExit(std::uint32_t pid, int timeoutMs) override { return real_.waitForExit(pid, timeoutMs); }

private:
    wd::platform::Processes& real_;
    std::uint64_t generation_ = 0;
    long pathReads_ = 0;
};

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
        if (!wdauto::startRetrying([&] {
                return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
            })) {
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
    if (!wdauto::startRetrying([&] {
            return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                  &si, &pi);
        })) {
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
    // shown on the Process page; its processes seen through ForgettingProcesses.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    wd::win32::System system(instance);
    ForgettingProcesses processes(system.processes);
    wd::Platform platform{system.toolkit, processes,   system.text,        system.shell, system.files,
                          system.registry, system.tray, system.environment, system.trust};
    wd::app::MainWindow form(platform, wd::StartInfo{"", "C:\\bench\\procbench.exe"});
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
    // One rebuild, timed; `reads` gets the number of paths it read.
    auto rebuild = [&](long* reads = nullptr) {
        const long before = processes.pathReads();
        const auto t0 = Clock::now();
        {
            // As a Timer3 tick runs it: one handler, its rows shown as it ends.
            const wd::win32::HandlerScope tick;
            page.RefreshProcessList();
        }
        paint();
        const double ms = msSince(t0);
        if (reads) *reads = processes.pathReads() - before;
        pump();
        return ms;
    };
    auto timed = [](auto&& f) {
        const auto t0 = Clock::now();
        f();
        return msSince(t0);
    };

    std::printf("%9s %6s | %9s %9s %9s %6s | %9s %9s %6s | %9s %9s %6s | %8s %8s %8s %8s\n", "processes", "dummies",
                "rebuild", "floor", "naive", "ratio", "steady", "incr.", "ratio", "new", "incr.", "ratio", "end",
                "floor", "naive", "taskkill");
    std::fflush(stdout);
    Group rows, fresh;
    std::vector<std::byte> listBuffer, killBuffer;
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
        // One of each first: caches warm, the row windows' classes in use,
        // and the incremental floor has seen what runs.
        benchfloor::IncrementalListing incremental;
        rebuild();
        benchfloor::fullListing(listBuffer);
        benchfloor::naiveListing();
        incremental.refresh();

        std::vector<double> cold, full, naive, steady, incrSteady, changed, incrNew;
        size_t listed = 0;
        std::string readError;
        for (int i = 0; i < runs && error.empty() && readError.empty(); ++i) {
            // From cleared rows and an emptied path cache: every row's path read.
            processes.forget();
            page.rows->clear();
            paint();
            pump();
            long reads = 0;
            cold.push_back(rebuild(&reads));
            const long rowsMade = page.rows->count();
            if (reads < rowsMade) {
                readError = "a rebuild from an emptied cache read " + std::to_string(reads) + " paths for " +
                            std::to_string(rowsMade) + " rows";
            }
            full.push_back(timed([&] { listed = benchfloor::fullListing(listBuffer).size(); }));
            naive.push_back(timed([&] { benchfloor::naiveListing(); }));
            // Nothing changed: no path read by either. The two take turns at going first.
            int floorReads = 0;
            for (int k = 0; k < 2; ++k) {
                if ((i + k) % 2 == 0) {
                    steady.push_back(rebuild(&reads));
                    if (reads != 0) readError = "a steady rebuild read " + std::to_string(reads) + " paths";
                } else {
                    incrSteady.push_back(timed([&] { floorReads = incremental.refresh(); }));
                    if (floorReads != 0) readError = "the incremental floor read " + std::to_string(floorReads) + " paths in steady state";
                }
            }
            // churn processes ended and as many new ones started: their paths are read, and no other.
            fresh.endAll();
            for (int k = 0; error.empty() && k < churn; ++k) {
                if (!fresh.start(newExe, &error)) break;
            }
            if (!error.empty()) break;
            pump();
            for (int k = 0; k < 2; ++k) {
                if ((i + k) % 2 == 0) {
                    changed.push_back(rebuild(&reads));
                    if (reads != churn) {
                        readError = "a rebuild after " + std::to_string(churn) + " new processes read " +
                                    std::to_string(reads) + " paths";
                    }
                } else {
                    incrNew.push_back(timed([&] { floorReads = incremental.refresh(); }));
                    if (floorReads != churn) {
                        readError = "the incremental floor read " + std::to_string(floorReads) + " paths after " +
                                    std::to_string(churn) + " new processes";
                    }
                }
            }
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
        // The rows near the view have windows, and so tips to read.
        int withWindows = 0;
        for (int k = 1; k <= page.rows->count(); ++k) withWindows += page.rows->window(k) != nullptr;
        if (readAllToolTips(main) < withWindows - 1) {
            notMeasured(at + "steady_tips_read_ms", "not every row's tool tip could be read");
        } else {
            for (int i = 0; i < 2 * runs; ++i) {
                readAllToolTips(main);
                tipsRead.push_back(rebuild());
            }
            result(at + "steady_tips_read_ms", tipsRead, "ms", "no tip read", &noTip);
        }
        std::printf("RESULT\t%slisted\t%zu\tcount\t-\t-\n", at.c_str(), listed);
        const std::string why = !error.empty() ? error : readError;
        if (!why.empty()) {
            for (const char* n : {"rebuild_ms", "rebuild_naive_ms", "steady_ms", "steady_naive_ms", "new_ms"}) {
                notMeasured(at + n, why);
            }
        } else {
            result(at + "rebuild_ms", cold, "ms", "full floor", &full);
            result(at + "rebuild_naive_ms", cold, "ms", "naive loop", &naive);
            result(at + "steady_ms", steady, "ms", "incremental floor", &incrSteady);
            result(at + "steady_naive_ms", steady, "ms", "naive loop", &naive);
            result(at + "new_ms", changed, "ms", "incremental floor", &incrNew);
            std::printf("RESULT\t%snew\t%d\tcount\t-\t-\n", at.c_str(), churn);
        }

        // Where the rebuild's time goes.
        std::vector<double> platformTimes, clearTimes, listTimes;
        for (int i = 0; i < runs; ++i) {
            platformTimes.push_back(timed([&] {
                if (auto snapshot = system.processes.snapshot()) {
                    for (const auto& e : *snapshot) system.processes.mainModulePath(e.pid);
                }
            }));
            clearTimes.push_back(timed([&] {
                const wd::win32::HandlerScope handler;
                page.rows->clear();
            }));
            pump();
            listTimes.push_back(timed([&] {
                const wd::win32::HandlerScope handler;
                page.ListProcesses();
            }));
            pump();
        }
        result(at + "parts.platform_ms", platformTimes, "ms");
        result(at + "parts.clear_ms", clearTimes, "ms");
        result(at + "parts.list_ms", listTimes, "ms");
        rebuild();

        // Ending by name, four ways in turn; each until the process is gone.
        std::vector<double> endTimes, floorKillTimes, naiveKillTimes, killTimes;
        std::string killError;
        Group victims;
        const char* const ways[] = {"EndProcessByName", "floor kill", "naive kill", "taskkill"};
        auto gone = [&](HANDLE target, const char* way) {
            if (WaitForSingleObject(target, 10000) == WAIT_OBJECT_0) return true;
            killError = std::string(way) + ": the process still ran after 10 s";
            return false;
        };
        for (int i = 0; i < runs && killError.empty(); ++i) {
            for (int k = 0; k < 4 && killError.empty(); ++k) {
                const int way = (i + k) % 4;
                std::string e;
                if (!victims.start(killExe, &e)) {
                    killError = std::string(ways[way]) + ": " + e;
                    break;
                }
                HANDLE target = victims.last();
                const DWORD pid = victims.lastPid();
                const auto t0 = Clock::now();
                bool ended = false;
                std::vector<double>* times = nullptr;
                if (way == 0) {
                    const auto ending = wd::process::EndProcessByName(system.processes, system.text, "benchkill.exe");
                    ended = ending && ending->ended && ending->pid == pid;
                    times = &endTimes;
                } else if (way == 1) {
                    ended = benchfloor::endFirstNamed(L"benchkill.exe", killBuffer) == pid;
                    times = &floorKillTimes;
                } else if (way == 2) {
                    ended = benchfloor::naiveEndFirstNamed(L"benchkill.exe") == pid;
                    times = &naiveKillTimes;
                } else {
                    const long code = runAndWait(taskkill, L"/IM benchkill.exe /F");
                    ended = code == 0;
                    if (!ended) {
                        killError = "taskkill gave exit code " + std::to_string(code) + " (-1: did not run or end)";
                    }
                    times = &killTimes;
                }
                if (!ended && killError.empty()) killError = std::string(ways[way]) + " did not end the started copy";
                if (ended && gone(target, ways[way])) times->push_back(msSince(t0));
            }
        }
        victims.endAll();
        if (killError.empty()) {
            result(at + "end_ms", endTimes, "ms", "floor kill", &floorKillTimes);
            result(at + "end_naive_ms", endTimes, "ms", "naive kill", &naiveKillTimes);
            result(at + "end_taskkill_ms", endTimes, "ms", "taskkill", &killTimes);
        } else {
            for (const char* n : {"end_ms", "end_naive_ms", "end_taskkill_ms"}) notMeasured(at + n, killError);
        }

        auto med = [](const std::vector<double>& v) { return v.empty() ? 0.0 : median(v); };
        auto ratio = [&](const std::vector<double>& a, const std::vector<double>& b) {
            return a.empty() || b.empty() ? 0.0 : median(a) / median(b);
        };
        std::printf("%9zu %6d | %9.2f %9.2f %9.2f %6.2f | %9.2f %9.2f %6.2f | %9.2f %9.2f %6.2f | %8.2f %8.2f %8.2f %8.2f\n",
                    listed, count, med(cold), med(full), med(naive), ratio(cold, full), med(steady), med(incrSteady),
                    ratio(steady, incrSteady), med(changed), med(incrNew), ratio(changed, incrNew), med(endTimes),
                    med(floorKillTimes), med(naiveKillTimes), med(killTimes));
        std::fflush(stdout);
    }
    rows.endAll();
    fresh.endAll();
    DeleteFileW(rowExe.c_str());
    DeleteFileW(newExe.c_str());
    DeleteFileW(killExe.c_str());
    return failures ? 1 : 0;
}
