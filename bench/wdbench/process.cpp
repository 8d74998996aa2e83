// wdbench process (bench/processes): wardeck.exe's Process page with many
// idle processes beside it, driven from outside.
//   - The CPU that Auto refresh costs: wardeck.exe's CPU time with Auto
//     refresh on, against this program's own CPU time while it runs the bare
//     loop (snapshot + OpenProcess + every path) 5 times a second, in
//     --periods alternating periods of --period seconds each (the side that
//     starts alternates too). Both are read from the Unix processes' /proc
//     accounts (Wine does not keep GetProcessTimes current); the wineserver's
//     share is given beside them.
//   - Loop kill: one name in the Suspect list, Loop kill on, and a copy of
//     that name started every --every ms, --copies times: how long each copy
//     lived (its exit time less its creation time). A start that fails
//     because the program ended the copy while it started counts with the
//     time CreateProcess took.
//
//   --dummies N (200)  --periods N (10)  --period S (3)  --copies N (60)  --every MS (100)
#include <algorithm>

#include "benches.h"
#include "machine_state.h"
#include "measure.h"
#include "probes.h"
#include "wardeck_tools_ui.h"

namespace wdauto {

namespace {

using namespace wardeck;

// The bare loop: one snapshot, every process opened for its path.
size_t bareListing() {
    size_t n = 0;
    for (const ProcessInfo& p : runningProcesses()) {
        mainModulePath(p.pid);
        ++n;
    }
    return n;
}

ULONGLONG fileTime(FILETIME f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

// Lifetime of an ended process in ms from its creation and exit times, or -1.
double lifetimeMs(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    if (fileTime(created) == 0 || fileTime(exited) < fileTime(created)) return -1;
    return static_cast<double>(fileTime(exited) - fileTime(created)) / 10000.0;
}

struct Cpu {
    double wallMs = 0, ms = 0, serverMs = 0;
    void add(double wall, double own, double server) {
        wallMs += wall;
        ms += own;
        serverMs += server;
    }
    double share() const { return wallMs > 0 ? 100.0 * ms / wallMs : 0; }
    double serverShare() const { return wallMs > 0 ? 100.0 * serverMs / wallMs : 0; }
};

void autoRefreshCpu(Report& r, const Options& o, HWND main) {
    const int periods = std::max(o.number(L"periods", 10), 2);
    const int periodMs = o.number(L"period", 3) * 1000;
    const std::wstring appStat = unixStatFile("wardeck.exe");
    const std::wstring selfStat = unixStatFile("wdbench.exe");
    const std::wstring serverStat = unixStatFile("wineserver");
    if (!r.check(!appStat.empty() && !selfStat.empty() && !serverStat.empty(),
                 L"the /proc entries of wardeck.exe, wdbench.exe and the wineserver are found",
                 L"wardeck.exe " + quoted(appStat) + L", wdbench.exe " + quoted(selfStat) + L", wineserver " +
                     quoted(serverStat))) {
        r.notMeasured(L"autorefresh.cpu_share", L"a Unix process of this prefix was not found under /proc");
        return;
    }
    HWND button = findDescendant(main, kCommand6);
    Cpu app, bare;
    std::vector<double> ratios;
    for (int p = 0; p < periods; ++p) {
        double appShare = -1, bareShare = -1;
        for (int k = 0; k < 2; ++k) {
            const bool appTurn = (p + k) % 2 == 0;
            if (appTurn) {
                click(button);
                if (!r.check(text(button) == kAutoRefreshOff, L"period " + std::to_wstring(p + 1) +
                                                                  L": Auto refresh is on")) {
                    r.notMeasured(L"autorefresh.cpu_share", L"Auto refresh did not switch on");
                    return;
                }
                sleepMs(300);  // the first tick's rows are made
            }
            const auto t0 = Clock::now();
            const double c0 = unixCpuMs(appTurn ? appStat : selfStat), s0 = unixCpuMs(serverStat);
            if (appTurn) {
                sleepMs(periodMs);
            } else {
                for (int tick = 0; msSince(t0) < periodMs; ++tick) {
                    bareListing();
                    const double next = (tick + 1) * 200.0;
                    const double now = msSince(t0);
                    if (next > now) sleepMs(static_cast<int>(next - now));
                }
            }
            const double c1 = unixCpuMs(appTurn ? appStat : selfStat), s1 = unixCpuMs(serverStat);
            const double wall = msSince(t0);
            if (c0 < 0 || c1 < 0 || s0 < 0 || s1 < 0) {
                r.check(false, L"the /proc accounts can be read", L"period " + std::to_wstring(p + 1));
                r.notMeasured(L"autorefresh.cpu_share", L"a /proc account could not be read");
                return;
            }
            (appTurn ? app : bare).add(wall, c1 - c0, s1 - s0);
            (appTurn ? appShare : bareShare) = 100.0 * (c1 - c0) / wall;
            if (appTurn) click(button);
        }
        r.note(L"period " + std::to_wstring(p + 1) + L": wardeck.exe " + num(appShare, L"%.2f") + L" %, bare loop " +
               num(bareShare, L"%.2f") + L" %");
        if (bareShare > 0) ratios.push_back(appShare / bareShare);
    }
    r.check(text(button) == kAutoRefreshOn, L"Auto refresh is off again");
    if (!r.check(bare.ms > 0, L"the bare loop's CPU time moved", L"0 ms over " + num(bare.wallMs) + L" ms")) {
        r.notMeasured(L"autorefresh.cpu_share", L"the bare loop's CPU time did not move");
        return;
    }
    r.result(L"autorefresh.cpu_share", app.share(), L"%", L"bare loop 5/s", bare.share());
    r.result(L"autorefresh.seconds", app.wallMs / 1000.0, L"s", L"bare loop 5/s", bare.wallMs / 1000.0);
    r.result(L"autorefresh.wineserver_share", app.serverShare(), L"%", L"bare loop 5/s", bare.serverShare());
    r.result(L"autorefresh.ratio_median", median(ratios), L"x");
}

void loopKill(Report& r, const Options& o, HWND main) {
    const int copies = o.number(L"copies", 60);
    const int every = o.number(L"every", 100);
    const std::wstring folder = joinPath(clientFolder(), L"bench");
    const std::wstring path = joinPath(folder, L"victim.exe");
    CopyFileW(joinPath(clientFolder(), L"dummy.exe").c_str(), path.c_str(), FALSE);
    typeChars(findDescendant(main, kText1), L"victim\r");
    const bool listed = waitUntil([&] { return listItems(findDescendant(main, kList1)) ==
                                               std::vector<std::wstring>{L"victim.exe"}; },
                                  3000);
    HWND button = findDescendant(main, kCommand7);
    if (listed) click(button);
    if (!r.check(listed && text(button) == kLoopKillOff, L"victim.exe is in the Suspect list and Loop kill is on")) {
        r.notMeasured(L"loopkill.median_ms", L"Loop kill could not be set up");
        return;
    }
    struct Copy {
        Process process;
        double startMs = 0;  // how long CreateProcess took, for a start that failed
    };
    std::vector<Copy> started;
    const auto t0 = Clock::now();
    for (int i = 0; i < copies; ++i) {
        const auto s0 = Clock::now();
        std::wstring error;
        started.push_back({launch(path, L"\"victim.exe\"", L"", &error), 0});
        started.back().startMs = msSince(s0);
        const double next = (i + 1) * static_cast<double>(every);
        const double now = msSince(t0);
        if (next > now) sleepMs(static_cast<int>(next - now));
    }
    std::vector<double> lived;
    int failedStarts = 0, notEnded = 0, unknown = 0;
    for (Copy& c : started) {
        if (!c.process) {
            ++failedStarts;
            lived.push_back(c.startMs);
            continue;
        }
        if (!c.process.waitExit(5000)) {
            ++notEnded;
            lived.push_back(5000);
            c.process.terminate();
            continue;
        }
        const double ms = lifetimeMs(c.process.handle());
        if (ms < 0) {
            ++unknown;
        } else {
            lived.push_back(ms);
        }
    }
    click(button);
    r.note(L"copies " + std::to_wstring(copies) + L", failed starts " + std::to_wstring(failedStarts) +
           L", not ended within 5 s " + std::to_wstring(notEnded) + L", no times " + std::to_wstring(unknown));
    if (!r.check(unknown == 0 && !lived.empty(), L"every copy's creation and exit times can be read",
                 std::to_wstring(unknown) + L" without")) {
        r.notMeasured(L"loopkill.median_ms", L"the creation and exit times of a copy could not be read");
        return;
    }
    r.result(L"loopkill.median_ms", median(lived), L"ms");
    r.result(L"loopkill.worst_ms", *std::max_element(lived.begin(), lived.end()), L"ms");
    r.result(L"loopkill.copies", copies, L"count");
    r.result(L"loopkill.every_ms", every, L"ms");
    r.result(L"loopkill.failed_starts", failedStarts, L"count");
    r.result(L"loopkill.not_ended", notEnded, L"count");
}

}  // namespace

int benchProcess(Report& r, const Options& o) {
    const int dummies = o.number(L"dummies", 200);
    const std::wstring folder = joinPath(clientFolder(), L"bench");
    makeDirs(folder);
    DummyGroup idle;
    std::wstring error;
    int started = 0;
    for (int i = 0; i < dummies; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"idle%02d.exe", i % 20);
        started += idle.start(joinPath(folder, name), &error) != nullptr;
    }
    sleepMs(1000);
    int running = 0;
    for (auto& p : idle.all()) running += p.running();
    if (!r.check(running == dummies, std::to_wstring(dummies) + L" idle copies of dummy.exe run",
                 std::to_wstring(started) + L" started, " + std::to_wstring(running) + L" running; " + error)) {
        r.notMeasured(L"autorefresh.cpu_share", L"the idle processes did not start");
        r.notMeasured(L"loopkill.median_ms", L"the idle processes did not start");
        return r.finish();
    }
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts", app.error)) {
        r.notMeasured(L"autorefresh.cpu_share", app.error);
        r.notMeasured(L"loopkill.median_ms", app.error);
        return r.finish();
    }
    click(findDescendant(app.main, kProcessPageButton));
    r.check(visible(findDescendant(app.main, kPageContainer0 + kProcess)), L"the Process page is shown");
    r.result(L"autorefresh.dummies", dummies, L"count");
    autoRefreshCpu(r, o, app.main);
    loopKill(r, o, app.main);
    app.process.terminate();
    idle.endAll();
    return r.finish();
}

}  // namespace wdauto
