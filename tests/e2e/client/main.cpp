// wdauto.exe: drives Windows programs from outside for the end-to-end tests.
//
//   wdauto scenario NAME --log FILE [--app EXE] [--out DIR] [--dpi N] [--tag T] [--only PARTS]
//       Runs a scenario (client-check, startup, registry, drive, process,
//       background, dll); one line per check in FILE.
//       Exit code 0: every check passed; 1: some failed; 2: could not run.
//   wdauto dump --title T [--log FILE]
//       Writes every descendant of the window titled T: ID, class, style,
//       visibility, rectangle, text. For looking around when writing checks.
//   wdauto echo-cmdline
//       Writes its own raw command line into the file named by WDAUTO_ECHO.
//   wdauto fixture [hidden]
//       Shows the client's own test window (see fixture.h).
//
// The benchmarks (wdbench.exe, bench/) and the soak (wdsoak.exe, tests/soak)
// are programs of their own over the same core library.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "automation.h"
#include "cli.h"
#include "fixture.h"
#include "scenarios.h"

using namespace wdauto;

namespace {

void dumpTree(Out& out, HWND w, int depth) {
    RECT r = windowRect(w);
    wchar_t head[160];
    swprintf(head, 160, L"%*ls%5d %-16ls style=%08lx %ls ", depth * 2, L"", controlId(w), className(w).c_str(),
             static_cast<unsigned long>(style(w)), IsWindowVisible(w) ? L"visible" : L"hidden ");
    out.line(head + describe(r) + L" " + quoted(text(w)));
    for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) dumpTree(out, c, depth + 1);
}

int dump(const Args& a) {
    Out out(a.get(L"log"));
    HWND w = waitTopLevel(a.get(L"title"), 0, std::stoi(a.get(L"wait", L"5000")));
    if (!w) {
        out.line(L"no window titled " + quoted(a.get(L"title")));
        return 1;
    }
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    out.line(L"client area " + describe(clientRectOnScreen(w)) + L", DPI " + std::to_wstring(systemDpi()) +
             L", message font " + metrics.lfMessageFont.lfFaceName + L" " +
             std::to_wstring(metrics.lfMessageFont.lfHeight));
    dumpTree(out, w, 0);
    return 0;
}

int echoCommandLine() {
    wchar_t path[MAX_PATH * 2] = {};
    if (!GetEnvironmentVariableW(L"WDAUTO_ECHO", path, MAX_PATH * 2)) return 2;
    std::string b = toUtf8(GetCommandLineW());
    FILE* f = _wfopen(path, L"wb");
    if (!f) return 2;
    fwrite(b.data(), 1, b.size(), f);
    fclose(f);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    becomeDpiAware();
    Args a = parseArgs(argc, argv);
    const std::wstring verb = a.positional.empty() ? L"" : a.positional[0];
    try {
        if (verb == L"scenario") {
            const std::map<std::wstring, Scenario> scenarios = {
                {L"startup", scenarioStartup},       {L"client-check", scenarioClientCheck},
                {L"registry", scenarioRegistry},     {L"drive", scenarioDrive},
                {L"process", scenarioProcess},       {L"background", scenarioBackground},
                {L"dll", scenarioDll},
            };
            if (a.positional.size() < 2) {
                fwprintf(stderr, L"usage: wdauto scenario NAME --log FILE [options]\n");
                return 2;
            }
            return runScenario(scenarios, a.positional[1], a, L"wdauto");
        }
        if (verb == L"dump") return dump(a);
        if (verb == L"echo-cmdline") return echoCommandLine();
        if (verb == L"fixture") return fixture::run(a.positional.size() > 1 && a.positional[1] == L"hidden");
    } catch (const std::exception& e) {
        fprintf(stderr, "wdauto: %s\n", e.what());
        return 2;
    }
    fwprintf(stderr, L"usage: wdauto scenario|dump|echo-cmdline|fixture ... (see main.cpp)\n");
    return 2;
}
