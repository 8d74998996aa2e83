// wdbench drive (bench/drive), on G: mapped to a folder as a removable drive:
//   - the monitor's idle cost: CPU time of wardeck.exe (and of the
//     wineserver, which serves every file test) while the monitor runs on G:
//     without autorun.inf, in periods of 10 s, against the same with the
//     monitor stopped. Both from the Unix processes' /proc accounts: Wine does
//     not keep GetProcessTimes of another process current (it reads about 0),
//     so without /proc there is no figure. The monitor must have run: an
//     autorun file placed right after is quarantined, and wardeck.exe's CPU
//     time moved;
//   - Quarantine runs over an autorun file of 1,000 lines naming 500 files
//     that exist: from the file's appearance to the last file moved; each
//     followed by the same moves done by a bare loop in this program.
//
//   --seconds N      idle period with the monitor running (default 60)
//   --ref-seconds N  idle period with the monitor stopped (default 10)
//   --runs N         Quarantine rounds (default 7)
//
// Writes RESULT lines.
#include <algorithm>
#include <cstdio>

#include "benches.h"
#include "machine_state.h"
#include "measure.h"
#include "probes.h"
#include "wardeck_ui.h"
#include "wardeck_ui_cleaners.h"

namespace wdauto {

namespace {

using namespace wardeck;
using namespace machine;

const std::wstring kRoot = L"G:\\";
constexpr int kFiles = 500;

// CPU shares (% of one core) of wardeck.exe and the wineserver in periods
// of up to 10 s.
struct Idle {
    double wallMs = 0, appMs = 0;
    std::vector<double> app, server;
    bool read = true;  // every /proc account could be read
};

constexpr int kIdlePeriodS = 10;

Idle measureIdle(const std::wstring& appStat, const std::wstring& serverStat, int seconds) {
    Idle m;
    for (int done = 0; done < seconds; done += kIdlePeriodS) {
        const auto t0 = Clock::now();
        const double a0 = unixCpuMs(appStat), s0 = unixCpuMs(serverStat);
        sleepMs(std::min(kIdlePeriodS, seconds - done) * 1000);
        const double a1 = unixCpuMs(appStat), s1 = unixCpuMs(serverStat);
        const double wall = msSince(t0);
        if (a0 < 0 || a1 < 0 || s0 < 0 || s1 < 0) {
            m.read = false;
            return m;
        }
        m.wallMs += wall;
        m.appMs += a1 - a0;
        m.app.push_back(100.0 * (a1 - a0) / wall);
        m.server.push_back(100.0 * (s1 - s0) / wall);
    }
    return m;
}

void clearDrive() {
    for (const auto& n : names(kRoot)) removeAll(kRoot + n);
}

std::wstring fileName(int i) {
    wchar_t buf[32];
    swprintf(buf, 32, L"f%03d.exe", i);
    return buf;
}

void seedFiles() {
    clearDrive();
    for (int i = 0; i < kFiles; ++i) writeFile(kRoot + fileName(i), "MZ");
}

// The same moves as a Quarantine run of the autorun file, done line by line by a plain loop.
double bareMoves(const std::wstring& quarantine) {
    seedFiles();
    CreateDirectoryW((kRoot + kQuarantineFolder).c_str(), nullptr);
    sleepMs(200);
    auto t0 = Clock::now();
    for (int i = 0; i < kFiles; ++i) {
        for (const std::wstring& name : {fileName(i), L"missing" + std::to_wstring(i) + L".ico"}) {
            const std::wstring source = kRoot + name, target = quarantine + name + L".vkq";
            if (GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
            if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) DeleteFileW(target.c_str());
            SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_NORMAL);
            MoveFileExW(source.c_str(), target.c_str(), 0);
        }
    }
    const double ms = msSince(t0);
    clearDrive();
    return ms;
}

}  // namespace

int benchDrive(Report& r, const Options& o) {
    const int seconds = o.number(L"seconds", 60);
    const int refSeconds = o.number(L"ref-seconds", 10);
    const int runs = o.number(L"runs", 7);

    if (!r.check(GetDriveTypeW(kRoot.c_str()) == DRIVE_REMOVABLE, L"G: is a removable drive")) {
        r.notMeasured(L"drive.idle_share", L"G: is not a removable drive");
        r.notMeasured(L"drive.quarantine_ms", L"G: is not a removable drive");
        return r.finish();
    }
    clearDrive();
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts", app.error)) {
        r.notMeasured(L"drive.idle_share", app.error);
        r.notMeasured(L"drive.quarantine_ms", app.error);
        return r.finish();
    }
    HWND combo = findDescendant(app.main, kCombo1);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    setText(edit ? edit : combo, L"G:");
    HWND button = findDescendant(app.main, kCommand1);
    const std::wstring serverStat = unixStatFile("wineserver");
    const std::wstring appStat = unixStatFile("wardeck.exe");

    // Idle: first stopped, then running, on a drive without autorun.inf.
    sleepMs(500);
    const Idle ref = measureIdle(appStat, serverStat, refSeconds);
    click(button);
    r.check(text(button) == kMonitorStop, L"the monitor runs");
    const std::wstring before = listing(kRoot);
    sleepMs(300);
    const Idle on = measureIdle(appStat, serverStat, seconds);
    r.check(before == listing(kRoot), L"nothing was written to the drive while idle");
    // The monitor ran all along: it still takes an autorun file, and it cost some CPU.
    placeFile(kRoot + L"autorun.inf", "[autorun]\r\nopen=idle-check.exe\r\n");
    const bool taken = waitUntil([] { return !exists(kRoot + L"autorun.inf"); }, 2000, 10);
    r.check(taken, L"the monitor still runs after the idle periods: an autorun file placed then is taken within 2 s");
    clearDrive();
    const bool read = r.check(on.read && ref.read, L"the CPU accounts of wardeck.exe and the wineserver are read from /proc",
                              L"wardeck.exe " + quoted(appStat) + L", wineserver " + quoted(serverStat));
    const bool moved = read && r.check(on.appMs > 0, L"wardeck.exe's CPU time moved while the monitor ran",
                                       L"0 ms over " + num(on.wallMs / 1000.0) + L" s");
    if (read && moved && taken) {
        // Against a fixed share of one core; the monitor stopped is a reference, not a baseline.
        r.result(L"drive.idle_share", on.app, L"%");
        r.result(L"drive.idle_stopped_share", ref.app, L"%");
        r.result(L"drive.idle_seconds", on.wallMs / 1000.0, L"s");
        r.result(L"drive.idle_wineserver_share", on.server, L"%");
        r.result(L"drive.idle_stopped_wineserver_share", ref.server, L"%");
    } else {
        r.notMeasured(L"drive.idle_share", !read    ? L"the /proc account of wardeck.exe or the wineserver could not be read"
                                           : !moved ? L"wardeck.exe's CPU time did not move while the monitor ran"
                                                    : L"the monitor did not take an autorun file after the idle periods");
    }

    // Quarantine rounds: 1,000 lines, 500 of them naming files that exist;
    // the program's run and the bare loop's take turns.
    std::string autorun = "[autorun]\r\n";
    for (int i = 0; i < kFiles; ++i) {
        autorun += "open=" + toUtf8(fileName(i)) + "\r\n";
        autorun += "icon=missing" + std::to_string(i) + ".ico\r\n";
    }
    const std::wstring quarantine = kRoot + kQuarantineFolder + L"\\";
    const std::wstring last = quarantine + fileName(kFiles - 1) + L".vkq";
    std::vector<double> total, working, bare;
    for (int run = 0; run < runs; ++run) {
        if (run % 2) bare.push_back(bareMoves(quarantine));
        seedFiles();
        sleepMs(200);
        auto t0 = Clock::now();
        placeFile(kRoot + L"autorun.inf", autorun);
        double goneMs = -1;
        bool done = waitUntil(
            [&] {
                if (goneMs < 0 && !exists(kRoot + L"autorun.inf")) goneMs = msSince(t0);
                return goneMs >= 0 && exists(last);
            },
            60000, 2);
        double ms = msSince(t0);
        int movedCount = static_cast<int>(names(quarantine).size()) - 1;
        if (!r.check(done && movedCount == kFiles, L"run " + std::to_wstring(run + 1) + L": all 500 files are moved",
                     L"moved " + std::to_wstring(movedCount))) {
            r.notMeasured(L"drive.quarantine_ms", L"run " + std::to_wstring(run + 1) + L" did not move every file");
            break;
        }
        total.push_back(ms);
        working.push_back(ms - goneMs);
        if (run % 2 == 0) bare.push_back(bareMoves(quarantine));
        r.note(L"run " + std::to_wstring(run + 1) + L": " + num(ms) + L" ms from the file's appearance, " +
               num(ms - goneMs) + L" ms after the autorun file was moved; bare loop " + num(bare.back()) + L" ms");
    }
    click(button);
    app.process.terminate();
    clearDrive();
    if (static_cast<int>(total.size()) == runs) {
        r.result(L"drive.quarantine_ms", total, L"ms");
        r.result(L"drive.quarantine_run_ms", working, L"ms", L"bare loop", bare);
        r.result(L"drive.runs", runs, L"count");
    }
    return r.finish();
}

}  // namespace wdauto
