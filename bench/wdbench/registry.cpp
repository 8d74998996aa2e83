// Measurement for bench/registry (not a test; the checks only say whether it
// could measure): the Hijack page's first opening with many seeded IFEO
// subkeys, from the click on the page bar to every row being there, which is
// the IFEO scan plus the making of one row per subkey.
//
//   --keys N   subkeys to seed (default 500)   --runs N   starts (default 5)
//
// Writes "# result NAME VALUE" lines. The seeded keys stay, so that the
// script can time `wine reg query` of the same key afterwards.
#include <algorithm>
#include <cstdio>

#include "machine_state.h"
#include "scenarios.h"
#include "wardeck_ui.h"
#include "wardeck_ui_cleaners.h"

namespace wdauto {

namespace {

using namespace wardeck;
using namespace machine;

int optionInt(const Options& o, const wchar_t* name, int def) {
    auto it = o.extra.find(name);
    return it == o.extra.end() ? def : std::max(1, _wtoi(it->second.c_str()));
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::wstring num(double v) {
    wchar_t buf[64];
    swprintf(buf, 64, L"%.1f", v);
    return buf;
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

}  // namespace

int benchRegistry(Report& r, const Options& o) {
    const int keys = optionInt(o, L"keys", 500);
    const int runs = optionInt(o, L"runs", 5);

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
        return r.finish();
    }

    // The client's own enumeration of the same key, for scale.
    std::vector<double> enumMs;
    for (int i = 0; i < 5; ++i) {
        auto t0 = Clock::now();
        auto n = subkeyNames(HKEY_LOCAL_MACHINE, kIfeoPath);
        enumMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (static_cast<int>(n.size()) != keys) r.note(L"enumeration gave " + std::to_wstring(n.size()));
    }
    r.note(L"result client_enum_ms " + num(median(enumMs)));

    std::vector<double> openMs;
    for (int i = 0; i <= runs; ++i) {  // run 0 warms the caches and is not counted
        Running app = start(o.app, quotedCommandLine(o.app, L""));
        if (!r.check(app.main != nullptr, L"run " + std::to_wstring(i) + L": wardeck.exe starts", app.error)) break;
        HWND button = findDescendant(app.main, kPageButton0 + kHijack);
        auto t0 = Clock::now();
        click(button);
        bool all = waitUntil([&] { return rowCount(app.main) >= keys; }, 60000, 5);
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        if (!r.check(all, L"run " + std::to_wstring(i) + L": " + std::to_wstring(keys) + L" rows are listed",
                     L"rows: " + std::to_wstring(rowCount(app.main)))) {
            app.process.terminate();
            break;
        }
        if (i > 0) {
            openMs.push_back(ms);
            r.note(L"run " + std::to_wstring(i) + L": " + num(ms) + L" ms");
        }
        app.process.terminate();
    }
    if (!openMs.empty()) {
        r.note(L"result open_ms " + num(median(openMs)));
        r.note(L"result open_min_ms " + num(*std::min_element(openMs.begin(), openMs.end())));
        r.note(L"result open_max_ms " + num(*std::max_element(openMs.begin(), openMs.end())));
        r.note(L"result runs " + std::to_wstring(openMs.size()));
    }
    return r.finish();
}

}  // namespace wdauto
