// wdbench process (bench/processes): wardeck.exe's Process page with many
// idle processes beside it, driven from outside.
//   - The CPU that Auto refresh costs, Wine's server included: wardeck.exe's
//     CPU time and the wineserver's with Auto refresh on, against this
//     program's own and the wineserver's while it lists the processes 5 times
//     a second by the incremental floor (bench/floor.h: one
//     NtQuerySystemInformation list, the paths of processes not seen before
//     only), and while it does so by the naive loop (a tool-help snapshot,
//     every path read by GetModuleFileNameExW), in --periods rounds of three
//     periods of --period seconds each (the side that starts a round turns).
//     All from the Unix processes' /proc accounts (Wine does not keep
//     GetProcessTimes current). Each of the program's periods is followed by
//     a check that Auto refresh refreshed: a process started then shows up in
//     the list; and every side's CPU must have moved.
//   - Loop kill: one name in the Suspect list, Loop kill on, and a copy of
//     that name started every --every ms, --copies times: how long each copy
//     lived (its exit time less its creation time). A start that fails
//     because the program ended the copy while it started counts with the
//     time CreateProcess took.
//
//   --dummies N (200)  --periods N (10)  --period S (3)  --copies N (60)  --every MS (100)
#include <algorithm>

#include "../floor.h"
#include "benches.h"
#include "machine_state.h"
#include "measure.h"
#include "probes.h"
#include "wardeck_tools_ui.h"

namespace wdauto {

namespace {

using namespace wardeck;

ULONGLONG fileTime(FILETIME f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

// Lifetime of an ended process in ms from its creation and exit times, or -1.
double lifetimeMs(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    if (fileTime(created) == 0 || fileTime(exited) < fileTime(created)) return -1;
    return static_cast<double>(fileTime(exited) - fileTime(created)) / 10000.0;
}

// Whether a shown row of the Process list has the caption `name`.
bool listed(HWND main, const std::wstring& name) {
    // Rows have windows near the view only, and a process started last is
    // listed last: the list is scrolled to its end first.
    if (HWND bar = findDescendant(main, kVScroll3); bar && IsWindowVisible(bar))
        SendMessageTimeoutW(GetParent(bar), WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(bar), SMTO_ABORTIFHUNG, 2000,
                            nullptr);
    HWND box = findDescendant(main, kPicture3);
    for (HWND w = box ? GetWindow(box, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (controlId(w) > kRowId0 && (style(w) & WS_VISIBLE) && text(w) == name) return true;
    }
    return false;
}

// One side's CPU over its periods: its own process's and the wineserver's,
// each period's share of one core.
struct Side {
    std::vector<double> own, server, both;
    double ownMs = 0, serverMs = 0, wallMs = 0;
    void add(double wall, double ownCpu, double serverCpu) {
        own.push_back(100.0 * ownCpu / wall);
        server.push_back(100.0 * serverCpu / wall);
        both.push_back(100.0 * (ownCpu + serverCpu) / wall);
        ownMs += ownCpu;
        serverMs += serverCpu;
        wallMs += wall;
    }
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
    const std::wstring probePath = joinPath(joinPath(clientFolder(), L"bench"), L"refreshcheck.exe");
    CopyFileW(joinPath(clientFolder(), L"dummy.exe").c_str(), probePath.c_str(), FALSE);
    HWND button = findDescendant(main, kCommand6);
    Side app, floor, naive;
    benchfloor::IncrementalListing incremental;
    int floorTicks = 0, naiveTicks = 0, expectedTicks = 0, refreshed = 0;
    for (int p = 0; p < periods; ++p) {
        for (int k = 0; k < 3; ++k) {
            const int side = (p + k) % 3;
            if (side == 0) {
                click(button);
                if (!r.check(text(button) == kAutoRefreshOff,
                             L"period " + std::to_wstring(p + 1) + L": Auto refresh is on")) {
                    r.notMeasured(L"autorefresh.cpu_share", L"Auto refresh did not switch on");
                    return;
                }
                sleepMs(300);  // the first tick's rows are made
            } else if (side == 1) {
                incremental.refresh();  // it has seen what runs, as the program has after its first tick
            }
            const auto t0 = Clock::now();
            const double c0 = unixCpuMs(side == 0 ? appStat : selfStat), s0 = unixCpuMs(serverStat);
            if (side == 0) {
                sleepMs(periodMs);
            } else {
                for (int tick = 0; msSince(t0) < periodMs; ++tick) {
                    if (side == 1) {
                        incremental.refresh();
                        ++floorTicks;
                    } else {
                        benchfloor::naiveListing();
                        ++naiveTicks;
                    }
                    const double next = (tick + 1) * 200.0;
                    const double now = msSince(t0);
                    if (next > now) sleepMs(static_cast<int>(next - now));
                }
                expectedTicks += side == 1 ? periodMs / 200 : 0;
            }
            const double c1 = unixCpuMs(side == 0 ? appStat : selfStat), s1 = unixCpuMs(serverStat);
            const double wall = msSince(t0);
            if (c0 < 0 || c1 < 0 || s0 < 0 || s1 < 0) {
                r.check(false, L"the /proc accounts can be read", L"period " + std::to_wstring(p + 1));
                r.notMeasured(L"autorefresh.cpu_share", L"a /proc account could not be read");
                return;
            }
            (side == 0 ? app : side == 1 ? floor : naive).add(wall, c1 - c0, s1 - s0);
            if (side == 0) {
                // Auto refresh refreshed: a process started now is listed by a tick.
                std::wstring error;
                Process probe = launch(probePath, L"\"refreshcheck.exe\"", L"", &error);
                const bool seen = probe && waitUntil([&] { return listed(main, L"refreshcheck.exe"); }, 3000, 50);
                refreshed += seen;
                r.check(seen, L"period " + std::to_wstring(p + 1) + L": Auto refresh lists a process started after it",
                        probe ? L"refreshcheck.exe was not listed within 3 s" : L"refreshcheck.exe: " + error);
                probe.terminate();
                click(button);
            }
        }
        r.note(L"round " + std::to_wstring(p + 1) + L", wardeck.exe + wineserver: " + num(app.both.back(), L"%.2f") +
               L" %, incremental floor: " + num(floor.both.back(), L"%.2f") + L" %, naive loop: " +
               num(naive.both.back(), L"%.2f") + L" %");
    }
    r.check(text(button) == kAutoRefreshOn, L"Auto refresh is off again");
    r.check(floorTicks >= expectedTicks * 8 / 10,
            L"the incremental floor listed at least 80 % of 5 times a second",
            std::to_wstring(floorTicks) + L" of " + std::to_wstring(expectedTicks));
    // The wineserver does little for the program and the floor (a tenth of a
    // percent: a period of a few seconds may see no tick of its account), so
    // its account need only have moved over all periods.
    const bool moved = r.check(app.ownMs > 0 && floor.ownMs > 0 && naive.ownMs > 0 &&
                                   app.serverMs + floor.serverMs + naive.serverMs > 0,
                               L"the CPU time of every side, and of the wineserver over all periods, moved",
                               L"wardeck.exe " + num(app.ownMs) + L" ms, floor " + num(floor.ownMs) +
                                   L" ms, naive " + num(naive.ownMs) + L" ms, wineserver " + num(app.serverMs) +
                                   L" / " + num(floor.serverMs) + L" / " + num(naive.serverMs) + L" ms");
    if (!moved || refreshed < periods) {
        r.notMeasured(L"autorefresh.cpu_share", !moved ? L"a CPU account did not move"
                                                       : L"Auto refresh did not list a new process every period");
        return;
    }
    r.result(L"autorefresh.cpu_share", app.both, L"%", L"incremental floor 5/s", floor.both);
    r.result(L"autorefresh.naive_share", app.both, L"%", L"naive loop 5/s", naive.both);
    r.result(L"autorefresh.own_share", app.own, L"%", L"incremental floor 5/s", floor.own);
    r.result(L"autorefresh.wineserver_share", app.server, L"%", L"incremental floor 5/s", floor.server);
    r.result(L"autorefresh.seconds", app.wallMs / 1000.0, L"s", L"incremental floor 5/s", floor.wallMs / 1000.0);
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
        r.notMeasured(L"loopkill.lived_ms", L"Loop kill could not be set up");
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
        r.notMeasured(L"loopkill.lived_ms", L"the creation and exit times of a copy could not be read");
        return;
    }
    r.result(L"loopkill.lived_ms", lived, L"ms");
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
        r.notMeasured(L"loopkill.lived_ms", L"the idle processes did not start");
        return r.finish();
    }
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts", app.error)) {
        r.notMeasured(L"autorefresh.cpu_share", app.error);
        r.notMeasured(L"loopkill.lived_ms", app.error);
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
