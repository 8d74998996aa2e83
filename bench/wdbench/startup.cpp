// wdbench startup (bench/startup): the time from starting wardeck.exe to its
// visible main window, against Wine's notepad.exe started the same way.
// The starts alternate (notepad first in even rounds, wardeck first in odd
// ones) so that whatever the machine does meanwhile weighs on both alike;
// one start of each first warms the caches and is not counted.
//
//   --runs N   counted starts of each (default 21)
//   --notepad EXE   the baseline (default C:\windows\system32\notepad.exe)
#include <algorithm>

#include "benches.h"
#include "measure.h"
#include "wardeck_ui.h"

namespace wdauto {

namespace {

// Starts `exe` and waits for its visible main window; the milliseconds it
// took, or -1 with `error` set.
double timeStart(const std::wstring& exe, const std::wstring& title, std::wstring* error) {
    const auto t0 = Clock::now();
    Process p = launch(exe, L"\"" + exe + L"\"", L"", error);
    if (!p) return -1;
    HWND w = nullptr;
    waitUntil(
        [&] {
            w = title.empty() ? waitMainWindowOf(p.pid(), 0) : findTopLevel(title, p.pid(), true);
            return w != nullptr;
        },
        30000, 1);
    const double ms = msSince(t0);
    p.terminate();
    if (!w) {
        *error = L"no visible main window within 30 s";
        return -1;
    }
    return ms;
}

}  // namespace

int benchStartup(Report& r, const Options& o) {
    const int runs = o.number(L"runs", 21);
    const std::wstring notepad = o.text(L"notepad", L"C:\\windows\\system32\\notepad.exe");
    struct Subject {
        const wchar_t* label;
        std::wstring exe, title;
        std::vector<double> ms;
    } subjects[2] = {{L"notepad.exe", notepad, L"", {}}, {L"wardeck.exe", o.app, wardeck::kMainTitle, {}}};

    for (int round = -1; round < runs; ++round) {  // round -1 warms up
        for (int k = 0; k < 2; ++k) {
            Subject& s = subjects[(k + std::max(round, 0)) % 2];
            std::wstring error;
            const double ms = timeStart(s.exe, s.title, &error);
            if (!r.check(ms >= 0, L"round " + std::to_wstring(round + 1) + L": " + s.label + L" shows its window",
                         error)) {
                r.notMeasured(L"startup.wardeck_ms", std::wstring(s.label) + L": " + error);
                return r.finish();
            }
            if (round >= 0) {
                s.ms.push_back(ms);
                r.note(L"round " + std::to_wstring(round + 1) + L": " + s.label + L" " + num(ms) + L" ms");
            }
            sleepMs(200);
        }
    }
    r.result(L"startup.wardeck_ms", subjects[1].ms, L"ms", L"notepad.exe", subjects[0].ms);
    r.result(L"startup.runs", runs, L"count");
    return r.finish();
}

}  // namespace wdauto
