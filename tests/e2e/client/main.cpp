// wdauto.exe: drives Windows programs from outside for the end-to-end tests.
//
//   wdauto scenario NAME --log FILE [--app EXE] [--out DIR] [--dpi N] [--tag T] [--only PARTS]
//       Runs a scenario (startup, client-check); one line per check in FILE.
//       Exit code 0: every check passed; 1: some failed; 2: could not run.
//   wdauto startup-time --exe EXE [--cmdline RAW] [--title T] [--runs N] --log FILE
//       Starts EXE N times and writes how long each took until its main
//       window was visible, and the median, in milliseconds.
//   wdauto dump --title T [--log FILE]
//       Writes every descendant of the window titled T: ID, class, style,
//       visibility, rectangle, text. For looking around when writing checks.
//   wdauto echo-cmdline
//       Writes its own raw command line into the file named by WDAUTO_ECHO.
//   wdauto fixture [hidden]
//       Shows the client's own test window (see fixture.h).
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "automation.h"
#include "fixture.h"
#include "scenarios.h"

using namespace wdauto;

namespace {

bool wantsPart(const std::wstring& only, const std::wstring& part) {
    if (only.empty()) return true;
    size_t start = 0;
    while (start <= only.size()) {
        size_t end = only.find(L',', start);
        if (end == std::wstring::npos) end = only.size();
        if (only.compare(start, end - start, part) == 0) return true;
        start = end + 1;
    }
    return false;
}

struct Args {
    std::vector<std::wstring> positional;
    std::map<std::wstring, std::wstring> named;
    std::wstring get(const std::wstring& k, const std::wstring& def = L"") const {
        auto it = named.find(k);
        return it == named.end() ? def : it->second;
    }
};

Args parse(int argc, wchar_t** argv) {
    Args a;
    for (int i = 1; i < argc; ++i) {
        std::wstring s = argv[i];
        if (s.rfind(L"--", 0) == 0 && i + 1 < argc) {
            a.named[s.substr(2)] = argv[++i];
        } else {
            a.positional.push_back(s);
        }
    }
    return a;
}

// Writes UTF-8 to a file, or to standard output when no file is named.
class Out {
public:
    explicit Out(const std::wstring& path) {
        if (!path.empty()) file_ = _wfopen(path.c_str(), L"wb");
    }
    ~Out() {
        if (file_) fclose(file_);
    }
    void line(const std::wstring& s) {
        std::string b = toUtf8(s) + "\n";
        if (file_) {
            fwrite(b.data(), 1, b.size(), file_);
            fflush(file_);
        } else {
            DWORD n = 0;
            WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), b.data(), static_cast<DWORD>(b.size()), &n, nullptr);
        }
    }

private:
    FILE* file_ = nullptr;
};

int runScenario(const Args& a) {
    if (a.positional.size() < 2) {
        fwprintf(stderr, L"usage: wdauto scenario NAME --log FILE [options]\n");
        return 2;
    }
    const std::map<std::wstring, Scenario> scenarios = {
        {L"startup", scenarioStartup},
        {L"client-check", scenarioClientCheck},
        {L"registry", scenarioRegistry},
        {L"drive", scenarioDrive},
        {L"process", scenarioProcess},
        {L"background", scenarioBackground},
        {L"dll", scenarioDll},
        {L"bench-registry", benchRegistry},
        {L"bench-drive", benchDrive},
        {L"soak", scenarioSoak},
    };
    auto it = scenarios.find(a.positional[1]);
    if (it == scenarios.end()) {
        fwprintf(stderr, L"wdauto: no scenario named %ls\n", a.positional[1].c_str());
        return 2;
    }
    Options o;
    o.app = a.get(L"app");
    o.out = a.get(L"out", L".");
    o.dpi = std::stoi(a.get(L"dpi", L"96"));
    o.tag = a.get(L"tag");
    o.only = a.get(L"only");
    o.extra = a.named;
    makeDirs(o.out);
    const std::wstring log = a.get(L"log", joinPath(o.out, a.positional[1] + L".log"));
    Report r(log);
    if (!r.open()) {
        fwprintf(stderr, L"wdauto: cannot write %ls\n", log.c_str());
        return 2;
    }
    return it->second(r, o);
}

int startupTime(const Args& a) {
    const std::wstring exe = a.get(L"exe");
    const std::wstring cmdline = a.get(L"cmdline", L"\"" + exe + L"\"");
    const std::wstring title = a.get(L"title");
    const int runs = std::max(1, std::stoi(a.get(L"runs", L"5")));
    Out out(a.get(L"log"));
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        std::wstring error;
        auto t0 = Clock::now();
        Process p = launch(exe, cmdline, L"", &error);
        if (!p) {
            out.line(L"error: " + error);
            return 2;
        }
        HWND w = nullptr;
        waitUntil(
            [&] {
                w = title.empty() ? waitMainWindowOf(p.pid(), 0) : findTopLevel(title, p.pid(), true);
                return w != nullptr;
            },
            30000, 1);
        auto t1 = Clock::now();
        if (!w) {
            out.line(L"error: no visible window within 30 s");
            p.terminate();
            return 2;
        }
        double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        times.push_back(ms);
        out.line(L"run " + std::to_wstring(i + 1) + L": " + std::to_wstring(ms) + L" ms");
        p.terminate();
        sleepMs(200);
    }
    std::sort(times.begin(), times.end());
    double median = times.size() % 2 ? times[times.size() / 2]
                                     : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    out.line(L"median: " + std::to_wstring(median) + L" ms");
    return 0;
}

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

bool wdauto::Options::wants(const std::wstring& part) const { return wantsPart(only, part); }

int wmain(int argc, wchar_t** argv) {
    becomeDpiAware();
    Args a = parse(argc, argv);
    const std::wstring verb = a.positional.empty() ? L"" : a.positional[0];
    try {
        if (verb == L"scenario") return runScenario(a);
        if (verb == L"startup-time") return startupTime(a);
        if (verb == L"dump") return dump(a);
        if (verb == L"echo-cmdline") return echoCommandLine();
        if (verb == L"fixture") return fixture::run(a.positional.size() > 1 && a.positional[1] == L"hidden");
    } catch (const std::exception& e) {
        fprintf(stderr, "wdauto: %s\n", e.what());
        return 2;
    }
    fwprintf(stderr, L"usage: wdauto scenario|startup-time|dump ... (see main.cpp)\n");
    return 2;
}
