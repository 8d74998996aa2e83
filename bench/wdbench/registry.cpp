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

int rowCount(HWND main) {
    HWND box = findDescendant(main, kPicture2);
    int n = 0;
    for (HWND w : descendants(box)) {
        int id = controlId(w);
        // Shown rows only: a row the program has made but not yet shown is not there for the user.
        n += id > kHijackRow0 && id < kHijackRow0 + 100000 && (style(w) & WS_VISIBLE);
    }
    return n;
}

// The program's first opening: start, then from the click on the page bar
// until every row in view is painted. Milliseconds, or -1 with `error`.
double programOpening(const Options& o, int keys, std::wstring* error) {
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
        return rowsInViewPainted(box, kHijackRow0, keys);
    };
    const auto t0 = Clock::now();
    click(button);
    bool all = waitUntil(opened, 60000, 1);
    const double ms = msSince(t0);
    all = all && rowCount(app.main) >= keys;
    if (!all) *error = L"only " + std::to_wstring(rowCount(app.main)) + L" rows are listed and painted";
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
    const bool ok = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                   &si, &pi);
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
    return r.finish();
}

}  // namespace wdauto
