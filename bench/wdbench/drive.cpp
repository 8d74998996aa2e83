// Measurement for bench/drive (not a test; the checks only say whether it
// could measure):
//   - the monitor's idle cost: CPU time of wardeck.exe (and of the
//     wineserver, which serves every file test) while the monitor runs on G:
//     without autorun.inf, against the same with the monitor stopped;
//   - one Quarantine run over an autorun file of 1,000 lines naming 500 files
//     that exist: from the file's appearance to the last file moved; and the
//     same moves done by the client itself, for scale.
//
//   --seconds N      idle period with the monitor running (default 60)
//   --ref-seconds N  idle period with the monitor stopped (default 10)
//   --runs N         Quarantine runs (default 3)
//
// Writes "# result NAME VALUE" lines.
#include <algorithm>
#include <cstdio>

#include "machine_state.h"
#include "probes.h"
#include "scenarios.h"
#include "wardeck_ui.h"
#include "wardeck_ui_cleaners.h"

namespace wdauto {

namespace {

using namespace wardeck;
using namespace machine;

const std::wstring kRoot = L"G:\\";

int optionInt(const Options& o, const wchar_t* name, int def) {
    auto it = o.extra.find(name);
    return it == o.extra.end() ? def : std::max(1, _wtoi(it->second.c_str()));
}

std::wstring num(double v, const wchar_t* format = L"%.1f") {
    wchar_t buf[64];
    swprintf(buf, 64, format, v);
    return buf;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// User + kernel time of a process, in milliseconds.
double cpuMs(HANDLE process) {
    FILETIME c, e, k, u;
    if (!GetProcessTimes(process, &c, &e, &k, &u)) return -1;
    auto v = [](FILETIME f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return static_cast<double>(v(k) + v(u)) / 10000.0;
}

// The "stat" file of the Unix process of this prefix whose name starts with
// `comm` (the wineserver, or wardeck.exe), or empty when it cannot be found.
std::wstring unixStat(const std::string& comm) {
    const std::wstring folder = unixProcFolder(comm);
    return folder.empty() ? folder : folder + L"\\stat";
}

// utime + stime of a Unix process from its stat file, in milliseconds
// (clock ticks of 10 ms).
double unixCpuMs(const std::wstring& statPath) {
    if (statPath.empty()) return -1;
    auto s = readFile(statPath);
    if (!s) return -1;
    size_t close = s->rfind(')');
    if (close == std::string::npos) return -1;
    // Fields after the name: state(3) ... utime(14) stime(15).
    std::vector<std::string> f;
    size_t at = close + 2;
    while (at < s->size() && f.size() < 13) {
        size_t end = s->find(' ', at);
        if (end == std::string::npos) end = s->size();
        f.push_back(s->substr(at, end - at));
        at = end + 1;
    }
    if (f.size() < 13) return -1;
    return (std::stod(f[11]) + std::stod(f[12])) * 10.0;
}

struct Idle {
    double wallMs, appMs, appUnixMs, serverMs;
};

Idle measureIdle(HANDLE process, const std::wstring& appStat, const std::wstring& serverStat, int seconds) {
    auto t0 = Clock::now();
    double a0 = cpuMs(process), u0 = unixCpuMs(appStat), s0 = unixCpuMs(serverStat);
    sleepMs(seconds * 1000);
    double a1 = cpuMs(process), u1 = unixCpuMs(appStat), s1 = unixCpuMs(serverStat);
    return {msSince(t0), a1 - a0, (u0 < 0 || u1 < 0) ? -1 : u1 - u0, (s0 < 0 || s1 < 0) ? -1 : s1 - s0};
}

void clearDrive() {
    for (const auto& n : names(kRoot)) removeAll(kRoot + n);
}

std::wstring fileName(int i) {
    wchar_t buf[32];
    swprintf(buf, 32, L"f%03d.exe", i);
    return buf;
}

}  // namespace

int benchDrive(Report& r, const Options& o) {
    const int seconds = optionInt(o, L"seconds", 60);
    const int refSeconds = optionInt(o, L"ref-seconds", 10);
    const int runs = optionInt(o, L"runs", 3);
    constexpr int kFiles = 500;

    if (!r.check(GetDriveTypeW(kRoot.c_str()) == DRIVE_REMOVABLE, L"G: is a removable drive")) return r.finish();
    clearDrive();
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts", app.error)) return r.finish();
    HWND combo = findDescendant(app.main, kCombo1);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    setText(edit ? edit : combo, L"G:");
    HWND button = findDescendant(app.main, kCommand1);
    const std::wstring serverStat = unixStat("wineserver");
    if (serverStat.empty()) r.note(L"the wineserver's /proc entry was not found; its CPU time is not measured");
    const std::wstring appStat = unixStat("wardeck.exe");
    if (appStat.empty()) r.note(L"wardeck.exe's /proc entry was not found; only GetProcessTimes counts");

    // Idle: first stopped, then running, on a drive without autorun.inf.
    sleepMs(500);
    Idle ref = measureIdle(app.process.handle(), appStat, serverStat, refSeconds);
    click(button);
    r.check(text(button) == kMonitorStop, L"the monitor runs");
    const std::wstring before = listing(kRoot);
    sleepMs(300);
    Idle on = measureIdle(app.process.handle(), appStat, serverStat, seconds);
    r.check(before == listing(kRoot), L"nothing was written to the drive while idle");
    r.note(L"result idle_seconds " + num(on.wallMs / 1000.0));
    // Wine 8 does not keep another process's GetProcessTimes current, so the
    // Unix process's own account counts where it can be read.
    const double appMs = on.appUnixMs >= 0 ? on.appUnixMs : on.appMs;
    const double refMs = ref.appUnixMs >= 0 ? ref.appUnixMs : ref.appMs;
    r.note(L"result idle_app_source " + std::wstring(on.appUnixMs >= 0 ? L"proc" : L"GetProcessTimes"));
    r.note(L"result idle_app_ms " + num(appMs));
    r.note(L"result idle_app_share " + num(100.0 * appMs / on.wallMs, L"%.3f"));
    r.note(L"result idle_app_gpt_ms " + num(on.appMs));
    r.note(L"result idle_server_ms " + num(on.serverMs));
    r.note(L"result idle_server_share " + num(on.serverMs < 0 ? -1 : 100.0 * on.serverMs / on.wallMs, L"%.3f"));
    r.note(L"result ref_seconds " + num(ref.wallMs / 1000.0));
    r.note(L"result ref_app_share " + num(100.0 * refMs / ref.wallMs, L"%.3f"));
    r.note(L"result ref_server_share " + num(ref.serverMs < 0 ? -1 : 100.0 * ref.serverMs / ref.wallMs, L"%.3f"));

    // One Quarantine run: 1,000 lines, 500 of them naming files that exist.
    std::string autorun = "[autorun]\r\n";
    for (int i = 0; i < kFiles; ++i) {
        autorun += "open=" + toUtf8(fileName(i)) + "\r\n";
        autorun += "icon=missing" + std::to_string(i) + ".ico\r\n";
    }
    const std::wstring quarantine = kRoot + kQuarantineFolder + L"\\";
    const std::wstring last = quarantine + fileName(kFiles - 1) + L".vkq";
    std::vector<double> total, working;
    for (int run = 0; run < runs; ++run) {
        clearDrive();
        for (int i = 0; i < kFiles; ++i) writeFile(kRoot + fileName(i), "MZ");
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
            break;
        }
        total.push_back(ms);
        working.push_back(ms - goneMs);
        r.note(L"run " + std::to_wstring(run + 1) + L": " + num(ms) + L" ms from the file's appearance, " +
               num(ms - goneMs) + L" ms after the autorun file was moved");
    }
    click(button);
    app.process.terminate();

    // The same moves done by the client itself, line by line.
    clearDrive();
    for (int i = 0; i < kFiles; ++i) writeFile(kRoot + fileName(i), "MZ");
    CreateDirectoryW((kRoot + kQuarantineFolder).c_str(), nullptr);
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
    double clientMs = msSince(t0);
    clearDrive();
    if (!total.empty()) {
        r.note(L"result run_ms " + num(median(total)));
        r.note(L"result run_working_ms " + num(median(working)));
        r.note(L"result client_moves_ms " + num(clientMs));
        r.note(L"result runs " + std::to_wstring(total.size()));
    }
    return r.finish();
}

}  // namespace wdauto
