// wdbench registry (bench/registry): the Hijack page's first opening with
// many seeded IFEO subkeys, from the click on the page bar until every row in
// view is painted, which is the making of the page, the IFEO scan, the making
// of one row per subkey and the painting of those in view;
// against its floor, the least a Win32 program does for the same rows by the
// program's own route: its window made and painted before the clock starts,
// then the key enumerated and as many check boxes (the same common controls)
// made in one box while the box does not draw (WM_SETREDRAW), the box drawn
// again and painted. Both stop at one predicate, rowsInViewPainted: every
// row made, and every row in view painted. And against `reg query` of the key
// (reg.exe started by this program, its output to NUL; its time includes the
// start of a process, which `reg query` of a small key shows). The four take
// turns in every round; round 0 warms the caches and is not counted.
//
//   --keys N   subkeys to seed (default 500)   --runs N   rounds (default 11)
//
// Writes RESULT lines. The seeded keys stay.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "benches.h"
#include "machine_state.h"
#include "measure.h"
#include "wardeck_ui.h"
#include "wardeck_ui_cleaners.h"

namespace wdauto {

namespace {

using namespace wardeck;
using namespace machine;

// Every row made and every row in view painted: the box and its last row
// shown (the box draws again, so everything before the last row is made), and
// nothing left to paint in the box or in any row that lies in its client
// area. Rows are the box's children firstId + 1 to firstId + rows, top to
// bottom. The same test ends the program's opening (read from outside) and
// the floor's (read in this process); it costs a few calls per row in view.
bool rowsInViewPainted(HWND box, int firstId, int rows) {
    if (!box || !IsWindowVisible(box)) return false;
    HWND last = GetDlgItem(box, firstId + rows);
    if (!last || !IsWindowVisible(last) || GetUpdateRect(box, nullptr, FALSE)) return false;
    RECT view{};
    GetClientRect(box, &view);
    MapWindowPoints(box, nullptr, reinterpret_cast<POINT*>(&view), 2);
    for (int k = 1; k <= rows; ++k) {
        HWND row = GetDlgItem(box, firstId + k);
        if (!row) return false;
        RECT r{};
        GetWindowRect(row, &r);
        if (r.top >= view.bottom) break;  // below the view, and so are the rows after it
        if (r.bottom <= view.top || !(GetWindowLongPtrW(row, GWL_STYLE) & WS_VISIBLE)) continue;
        if (GetUpdateRect(row, nullptr, FALSE)) return false;
    }
    return true;
}

// The program's rows are data with windows for the rows near the view: its
// list is whole when its scroll bar reaches the last of `rows` rows (the
// page sets the range once the list is read), and shown when every row in
// view is painted.
int expectedMaximum(int rows) {
    const long long overflow = 35 + 285LL * (rows - 1) + 255 - 2415;
    return overflow > 0 ? static_cast<int>(overflow / 180 + 2) : 0;
}

bool programListShown(HWND main, HWND box, int rows) {
    HWND bar = findDescendant(main, kVScroll2);
    if (!bar || !box) return false;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE;
    if (!GetScrollInfo(bar, SB_CTL, &si) || si.nMax != expectedMaximum(rows)) return false;
    // The rows in view: the first nine of them.
    return rowsInViewPainted(box, kHijackRow0, std::min(rows, 9));
}

// The program's first opening: start, then from the click on the page bar
// until the whole list is read and every row in view painted. Milliseconds,
// or -1 with `error`; `worstAnswer` gets the longest the window took to
// answer a message meanwhile.
double programOpening(const Options& o, int keys, std::wstring* error, double* worstAnswer = nullptr) {
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!app.main) {
        *error = L"wardeck.exe does not start: " + app.error;
        return -1;
    }
    HWND button = findDescendant(app.main, kPageButton0 + kHijack);
    // The page's controls are made by the click: its row box is looked for then.
    HWND box = nullptr;
    auto opened = [&] {
        if (!box) box = findDescendant(app.main, kPicture2);
        return programListShown(app.main, box, keys);
    };
    const auto t0 = Clock::now();
    bool all = false;
    if (worstAnswer) {
        postClick(button);
        *worstAnswer = 0;
        while (!all && msSince(t0) < 60000) {
            const auto asked = Clock::now();
            DWORD_PTR res = 0;
            SendMessageTimeoutW(app.main, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &res);
            *worstAnswer = std::max(*worstAnswer, msSince(asked));
            all = opened();
        }
    } else {
        click(button);
        all = waitUntil(opened, 60000, 1);
    }
    const double ms = msSince(t0);
    if (!all) *error = L"the list of " + std::to_wstring(keys) + L" rows was not read and shown within 60 s";
    app.process.terminate();
    return all ? ms : -1;
}

LRESULT CALLBACK floorProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, msg, wp, lp); }

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

constexpr int kFloorRow0 = 1000;

// The floor: with its window made, shown and painted before the clock starts,
// the key's subkeys enumerated, one check box per subkey made in the window's
// box while the box does not draw, the box drawn again, and messages handled
// until every row in view is painted. Milliseconds, or -1.
double floorOpening(int keys, std::wstring* error, double* madeMs) {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = floorProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = L"WdbenchFloor";
        return RegisterClassExW(&wc) != 0;
    }();
    if (!registered) {
        *error = L"the floor's window class could not be registered";
        return -1;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND top = CreateWindowExW(0, L"WdbenchFloor", L"floor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                               nullptr, instance, nullptr);
    HWND box = CreateWindowExW(0, L"WdbenchFloor", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 8, 8, 600, 400, top,
                               nullptr, instance, nullptr);
    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    UpdateWindow(top);
    pumpMessages();

    const auto t0 = Clock::now();
    HKEY key = nullptr;
    std::vector<std::wstring> names;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kIfeoPath.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD len = 256;
            if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.emplace_back(name, len);
        }
        RegCloseKey(key);
    }
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    int i = 0;
    for (const std::wstring& n : names) {
        ++i;
        HWND row = CreateWindowExW(0, L"Button", n.c_str(), WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 4,
                                   4 + 18 * (i - 1), 280, 17, box,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFloorRow0 + i)), instance, nullptr);
        SendMessageW(row, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    *madeMs = msSince(t0);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    bool painted = false;
    for (;;) {
        pumpMessages();
        painted = rowsInViewPainted(box, kFloorRow0, i);
        if (painted || msSince(t0) >= 60000) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    const double ms = msSince(t0);
    DestroyWindow(top);
    pumpMessages();
    if (static_cast<int>(names.size()) != keys || !painted) {
        *error = L"the floor enumerated " + std::to_wstring(names.size()) + L" subkeys" +
                 (painted ? L"" : L" and did not paint them within 60 s");
        return -1;
    }
    return ms;
}

// reg.exe with `args`, its output to NUL: milliseconds until it ended with
// exit code 0, or -1.
double regQuery(const std::wstring& args, std::wstring* error) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring exe = std::wstring(system) + L"\\reg.exe";
    std::wstring cmd = L"\"" + exe + L"\" " + args;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = nul;
    si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    const auto t0 = Clock::now();
    const bool ok = startRetrying([&] {
        return CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                   &si, &pi);
    });
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!ok) {
        *error = L"reg.exe does not start";
        return -1;
    }
    DWORD code = 1;
    const bool ended = WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0;
    const double ms = msSince(t0);
    GetExitCodeProcess(pi.hProcess, &code);
    if (!ended) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!ended || code != 0) {
        *error = L"reg.exe " + args + L": exit code " + std::to_wstring(code) + (ended ? L"" : L" (did not end)");
        return -1;
    }
    return ms;
}

// ---- lists and keys of any size ----------------------------------------------------

// Seeds `count` empty IFEO subkeys (the last sorts last); false when it could not.
bool seedDecoys(int count) {
    emptyKey(HKEY_LOCAL_MACHINE, kIfeoPath);
    HKEY ifeo = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kIfeoPath.c_str(), 0, KEY_ALL_ACCESS, &ifeo) != ERROR_SUCCESS) return false;
    bool ok = true;
    for (int i = 1; ok && i <= count; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"decoy%05d.exe", i);
        HKEY k = nullptr;
        ok = RegCreateKeyExW(ifeo, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) == ERROR_SUCCESS;
        if (k) RegCloseKey(k);
    }
    RegCloseKey(ifeo);
    return ok;
}

bool seedHooks(int count) {
    emptyKey(HKEY_CURRENT_USER, kSearchHooksPath);
    HKEY hooks = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSearchHooksPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hooks,
                        nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = true;
    for (int i = 1; ok && i <= count; ++i) {
        wchar_t name[64];
        swprintf(name, 64, L"{00000000-0000-4000-8000-%012d}", i);
        ok = RegSetValueExW(hooks, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2) == ERROR_SUCCESS;
    }
    RegCloseKey(hooks);
    return ok;
}

// Clicks `button` without waiting and asks the window for an answer every
// 20 ms until `done` holds: milliseconds from the click, or -1 with `error`;
// `worstAnswer` gets the longest the window took to answer.
double timedRemoval(HWND main, HWND button, const std::function<bool()>& done, double& worstAnswer,
                    std::wstring* error) {
    worstAnswer = 0;
    const auto t0 = Clock::now();
    postClick(button);
    while (msSince(t0) < 600000) {
        const auto asked = Clock::now();
        DWORD_PTR res = 0;
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &res);
        worstAnswer = std::max(worstAnswer, msSince(asked));
        if (done()) return msSince(t0);
        Sleep(20);
    }
    *error = L"the removal did not end within 10 minutes";
    return -1;
}

// A page opened on a fresh start of the program, or null with `error`.
HWND openedPage(const Options& o, Running& app, int page, std::wstring* error) {
    app = start(o.app, quotedCommandLine(o.app, L""));
    if (!app.main) {
        *error = L"wardeck.exe does not start: " + app.error;
        return nullptr;
    }
    click(findDescendant(app.main, kPageButton0 + page));
    if (!waitUntil([&] { return findDescendant(app.main, kPageContainer0 + page) != nullptr; }, 20000, 10)) {
        *error = L"the page did not open";
        return nullptr;
    }
    return app.main;
}

bool rowsShown(HWND main, int box, int row0) {
    for (HWND w : descendants(findDescendant(main, box))) {
        const int id = controlId(w);
        if (id > row0 && id < row0 + 100000 && (style(w) & WS_VISIBLE)) return true;
    }
    return false;
}

void benchScale(Report& r, const Options& o) {
    const int keys = o.number(L"scale-keys", 15001);
    const int hooks = o.number(L"hooks", 20000);
    const int runs = o.number(L"scale-runs", 3);
    const std::wstring ifeoArg = L"\"HKLM\\" + kIfeoPath + L"\"";
    const std::wstring hooksArg = L"\"HKCU\\" + kSearchHooksPath + L"\"";
    std::vector<double> open, openQuery, openWorst, remove, removeQuery, removeWorst, wipe, wipeQuery, wipeWorst;
    std::wstring error;
    const auto failed = [&](const std::wstring& what) {
        r.check(false, what, error);
        for (const wchar_t* n : {L"registry.scale_open_ms", L"registry.scale_remove_ms", L"registry.scale_wipe_ms"})
            r.notMeasured(n, error);
    };
    // Opening: the program and reg query take turns, medians over the rounds.
    if (!seedDecoys(keys)) {
        error = L"the IFEO keys could not be seeded";
        return failed(L"seeded " + std::to_wstring(keys) + L" IFEO subkeys");
    }
    for (int i = 0; i <= runs; ++i) {
        double worst = 0;
        const double query = regQuery(L"query " + ifeoArg, &error);
        const double ms = error.empty() ? programOpening(o, keys, &error, &worst) : -1;
        if (!error.empty()) return failed(L"opening round " + std::to_wstring(i));
        if (i == 0) continue;
        open.push_back(ms);
        openQuery.push_back(query);
        openWorst.push_back(worst);
    }
    // Removal of every key with its backup, and the wipe of the search hooks,
    // each against reg query of what it deletes.
    for (int i = 1; i <= runs; ++i) {
        if (!seedDecoys(keys)) {
            error = L"the IFEO keys could not be seeded";
            return failed(L"seeded for removal round " + std::to_wstring(i));
        }
        const double query = regQuery(L"query " + ifeoArg + L" /s", &error);
        Running app;
        HWND main = error.empty() ? openedPage(o, app, kHijack, &error) : nullptr;
        if (!main) return failed(L"removal round " + std::to_wstring(i));
        waitUntil([&] { return programListShown(main, findDescendant(main, kPicture2), keys); }, 60000, 10);
        click(findDescendant(main, kCommand4));
        double worst = 0;
        const double ms = timedRemoval(
            main, findDescendant(main, kCommand3),
            [&] { return subkeyNames(HKEY_LOCAL_MACHINE, kIfeoPath).empty() && !rowsShown(main, kPicture2, kHijackRow0); },
            worst, &error);
        app.process.terminate();
        if (ms < 0) return failed(L"removal round " + std::to_wstring(i));
        remove.push_back(ms);
        removeQuery.push_back(query);
        removeWorst.push_back(worst);

        if (!seedHooks(hooks)) {
            error = L"the search hooks could not be seeded";
            return failed(L"seeded for wipe round " + std::to_wstring(i));
        }
        const double hooksQuery = regQuery(L"query " + hooksArg, &error);
        main = error.empty() ? openedPage(o, app, kBrowser, &error) : nullptr;
        if (!main) return failed(L"wipe round " + std::to_wstring(i));
        const double wiped = timedRemoval(
            main, findDescendant(main, kCommand10), [&] { return values(HKEY_CURRENT_USER, kSearchHooksPath).empty(); },
            worst, &error);
        app.process.terminate();
        if (wiped < 0) return failed(L"wipe round " + std::to_wstring(i));
        wipe.push_back(wiped);
        wipeQuery.push_back(hooksQuery);
        wipeWorst.push_back(worst);
        r.note(L"round " + std::to_wstring(i) + L": removal " + num(ms) + L" ms (reg query /s " + num(query) +
               L" ms, worst answer " + num(removeWorst.back()) + L" ms), wipe " + num(wiped) + L" ms (reg query " +
               num(hooksQuery) + L" ms, worst answer " + num(worst) + L" ms)");
    }
    emptyKey(HKEY_LOCAL_MACHINE, kIfeoPath);
    emptyKey(HKEY_CURRENT_USER, kSearchHooksPath);
    r.result(L"registry.scale_open_ms", open, L"ms", L"reg query", openQuery);
    r.result(L"registry.scale_open_worst_answer_ms", openWorst, L"ms");
    r.result(L"registry.scale_remove_ms", remove, L"ms", L"reg query /s", removeQuery);
    r.result(L"registry.scale_remove_worst_answer_ms", removeWorst, L"ms");
    r.result(L"registry.scale_wipe_ms", wipe, L"ms", L"reg query", wipeQuery);
    r.result(L"registry.scale_wipe_worst_answer_ms", wipeWorst, L"ms");
    r.result(L"registry.scale_keys", keys, L"count");
    r.result(L"registry.scale_hooks", hooks, L"count");
}

}  // namespace

int benchRegistry(Report& r, const Options& o) {
    const int keys = o.number(L"keys", 500);
    const int runs = o.number(L"runs", 11);

    emptyKey(HKEY_LOCAL_MACHINE, kIfeoPath);
    RegTree t;
    for (int i = 0; i < keys; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"bench-%04d.exe", i);
        t.subkey(key(name, {sz(L"Debugger", L"C:\\evil\\dropper.exe")}));
    }
    std::wstring err = writeKey(HKEY_LOCAL_MACHINE, kIfeoPath, t);
    if (!r.check(err.empty() && static_cast<int>(subkeyNames(HKEY_LOCAL_MACHINE, kIfeoPath).size()) == keys,
                 L"seeded " + std::to_wstring(keys) + L" IFEO subkeys", err)) {
        r.notMeasured(L"registry.open_ms", L"the IFEO subkeys could not be seeded");
        return r.finish();
    }

    const std::wstring ifeoArg = L"\"HKLM\\" + kIfeoPath + L"\"";
    std::vector<double> open, floor, query, small;
    for (int i = 0; i <= runs; ++i) {
        double ms[4] = {}, floorMadeMs = 0;
        std::wstring error;
        for (int k = 0; k < 4 && error.empty(); ++k) {
            switch ((k + i) % 4) {
                case 0: ms[0] = programOpening(o, keys, &error); break;
                case 1: ms[1] = floorOpening(keys, &error, &floorMadeMs); break;
                case 2: ms[2] = regQuery(L"query " + ifeoArg, &error); break;
                default: ms[3] = regQuery(L"query \"HKLM\\Software\\Wine\\Drives\"", &error); break;
            }
        }
        if (!r.check(error.empty(), L"round " + std::to_wstring(i) + L" measured", error)) {
            r.notMeasured(L"registry.open_ms", error);
            return r.finish();
        }
        if (i == 0) continue;
        open.push_back(ms[0]);
        floor.push_back(ms[1]);
        query.push_back(ms[2]);
        small.push_back(ms[3]);
        r.note(L"round " + std::to_wstring(i) + L": Hijack page " + num(ms[0]) + L" ms, floor " + num(ms[1]) +
               L" ms (its rows made in " + num(floorMadeMs) + L" ms), reg query " + num(ms[2]) +
               L" ms, of a small key " + num(ms[3]) + L" ms");
    }
    r.result(L"registry.open_ms", open, L"ms", L"floor", floor);
    r.result(L"registry.open_vs_reg_query_ms", open, L"ms", L"reg query", query);
    r.result(L"registry.reg_query_small_ms", small, L"ms");
    r.result(L"registry.keys", keys, L"count");
    r.result(L"registry.runs", runs, L"count");
    if (o.number(L"scale-runs", 3) > 0) benchScale(r, o);
    return r.finish();
}

}  // namespace wdauto
