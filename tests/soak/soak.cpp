// wdsoak.exe, the soak (tests/soak/run): wardeck.exe under its heaviest load for a long
// time, watched from outside for leaks and stalls.
//
// With --dummies copies of dummy.exe running, all four timers are switched on
// at once: the monitor on G:, where an autorun.inf naming worm.exe (both
// written anew each time) appears every --cycle seconds; Auto refresh; the
// Suspect search; and Loop kill on again.exe, typed into the Suspect list, and
// found.exe, which the search finds. Both names are started again and again.
// Meanwhile the client switches pages, opens the Help window and the pop-up
// menus of the Process rows and of the Suspect list, and closes them.
//
// Every --sample seconds it records the program's kernel handles, USER and
// GDI objects and private memory (a table in OUT\soak-samples.md), and before
// every sample and after every action it asks the main window for WM_NULL.
// The run fails if a count grows from the end of the --settle period to the
// end by more than its bound (objects: per 100 operations done meanwhile), if
// the window does not answer within 2 s, if a started copy of a listed name is
// not ended, or if an autorun file is not quarantined.
//
//   wdsoak --app EXE --log FILE --out DIR [options]
//
//   --seconds N   how long all timers run (default 120)
//   --dummies N   idle processes beside the program (default 150)
//   --sample N    seconds between samples (default 10)
//   --cycle N     seconds between autorun files (default 3)
//   --settle N    seconds before growth is judged (default 60)
//   --inject L    comma-separated faults to put into the program, to see the
//                 checks catch them: "handles" (one kernel handle more every
//                 second), "help-handles", "help-gdi", "help-user" (one
//                 kernel handle, GDI object or USER object more each time
//                 the Help window opens: one in ten operations), "freeze"
//                 (its window thread stopped for 3 s once, half-way). The
//                 handles are duplicated into wardeck.exe; the GDI and USER
//                 objects are made on its window thread by a hook of
//                 soakfault.dll (fault.cpp). Either way the program's own
//                 count is what grows.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <set>

#include "cli.h"
#include "machine_state.h"
#include "measure.h"
#include "probes.h"
#include "wardeck_tools_ui.h"

namespace wdauto {

namespace {

using namespace wardeck;

const std::wstring kRoot = L"G:\\";
const std::wstring kQuarantine = kRoot + kQuarantineFolder + L"\\";
const std::wstring kAutorunCopyName = L"autorun.inf.vkq";

// How far each count of objects may rise from the end of the settling period
// (the first minute) to the end (medians of three samples at each end, 60 s
// apart in the two-minute run), for every 100 operations done in between
// (page switches, menus and Help openings, one to 2.5 a second), before the
// run calls it a leak; never less than kObjectFloor. Each sample takes the
// least of kReadings readings of the USER and GDI objects, so the objects of
// a paint in progress (DCs and brushes, up to 8) do not count; what stays is
// what was kept. Healthy runs then stay flat after the first minute but for a row
// window more when a new highest number of processes is listed (rows are kept
// between fills). A leak of one object per Help opening (one operation in
// ten) adds 10 per 100 operations, 2.5 times the bound, in the two-minute run
// as in the 30-minute one; one per second adds 40 to 100 per 100 operations.
constexpr double kObjectsPer100Ops = 4.0;
constexpr double kObjectFloor = 3.0;
constexpr int kReadings = 5;
// Private memory (the process's anonymous resident memory): it settles within
// the first minute and then moves by 0.1 MB at most; 2 MB is what a leak of
// 35 KB per second reaches in the two-minute run, 1.2 KB per second in the
// 30-minute one (a fixed margin: memory is not counted per operation).
constexpr double kPrivateMarginMb = 2.0;
constexpr int kAnswerMs = 2000;

double secondsSince(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double median3(double a, double b, double c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }

ULONGLONG fileTime(FILETIME f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

struct Sample {
    double t = 0;
    long handles = -1, user = -1, gdi = -1;
    double privateMb = -1, rssMb = -1;
    double answerMaxMs = 0;  // slowest WM_NULL answer since the last sample
    int rows = 0, suspects = 0;
    int kills = 0, autoruns = 0;
    int ops = 0;  // operations done (tried) up to this sample
};

// A started copy of a listed name, watched until it ends.
struct Victim {
    Process process;
    std::wstring name;
    Clock::time_point started;
};

struct KillCount {
    int starts = 0, ended = 0, endedByOthers = 0, late = 0, failedStarts = 0;
    double slowestMs = 0, totalMs = 0;
    std::wstring startError;
};

struct Soak {
    Report& r;
    const Options& o;
    Running app;
    DWORD pid = 0;
    HWND main = nullptr;
    std::wstring procFolder;
    Clock::time_point t0;

    // answers
    int probes = 0, unanswered = 0;
    double slowestAnswerMs = 0, answerMaxSinceSample = 0;
    std::wstring unansweredAt;

    // actions
    std::map<std::wstring, std::pair<int, int>> actions;  // what -> (tried, done)
    int ops = 0, helpOpenings = 0;

    // Loop kill
    std::deque<Victim> victims;
    std::map<std::wstring, KillCount> kills;

    // autorun files
    int cycle = 0, cyclesOk = 0, cyclesChecked = 0;
    std::wstring cycleMisses;

    std::vector<Sample> samples;
    std::FILE* table = nullptr;

    Soak(Report& report, const Options& options) : r(report), o(options) {}
    HWND control(int id) const { return findDescendant(main, id); }
    double now() const { return secondsSince(t0); }
};

std::vector<std::wstring> suspects(const Soak& s) { return listItems(s.control(kList1)); }

// Visible rows of the Process list (hidden ones are kept for the next fill).
int visibleRows(const Soak& s) {
    HWND box = s.control(kPicture3);
    int n = 0;
    for (HWND w = box ? GetWindow(box, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (controlId(w) > kRowId0 && (GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE)) ++n;
    }
    return n;
}

// WM_NULL to the main window; a miss when it takes longer than 2 s.
void probe(Soak& s, const wchar_t* after) {
    DWORD_PTR res = 0;
    const auto t = Clock::now();
    const bool ok = SendMessageTimeoutW(s.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &res) != 0;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    ++s.probes;
    s.slowestAnswerMs = std::max(s.slowestAnswerMs, ms);
    s.answerMaxSinceSample = std::max(s.answerMaxSinceSample, ms);
    if (!ok) {
        ++s.unanswered;
        if (s.unansweredAt.size() < 2000) {
            s.unansweredAt += L"\nat " + num(s.now()) + L" s after " + after + L" (" + num(ms, L"%.0f") + L" ms)";
        }
    }
}

void tally(Soak& s, const std::wstring& what, bool done) {
    auto& a = s.actions[what];
    ++a.first;
    a.second += done;
    ++s.ops;
}

// ---- the drive --------------------------------------------------------------------

std::string autorunText(int n) { return "[autorun]\r\nopen=worm.exe\r\n;cycle-" + std::to_string(n) + "\r\n"; }
std::string wormText(int n) { return "MZ worm of cycle " + std::to_string(n); }

bool cycleDone(int n) {
    using namespace machine;
    return !exists(kRoot + L"autorun.inf") && !exists(kRoot + L"worm.exe") &&
           readFile(kQuarantine + kAutorunCopyName) == autorunText(n) &&
           readFile(kQuarantine + L"worm.exe.vkq") == wormText(n);
}

// Checks the last autorun file (given up to 2 s more), then puts the next one.
void driveCycle(Soak& s, bool last = false) {
    using namespace machine;
    if (s.cycle > 0) {
        ++s.cyclesChecked;
        if (waitUntil([&] { return cycleDone(s.cycle); }, 2000, 20)) {
            ++s.cyclesOk;
        } else if (s.cycleMisses.size() < 2000) {
            s.cycleMisses += L"\ncycle " + std::to_wstring(s.cycle) + L" at " + num(s.now()) + L" s: G: holds " +
                             listing(kRoot, 2, false);
        }
    }
    if (last) return;
    ++s.cycle;
    writeFile(kRoot + L"worm.exe", wormText(s.cycle));
    placeFile(kRoot + L"autorun.inf", autorunText(s.cycle));
}

// ---- Loop kill --------------------------------------------------------------------

void startVictim(Soak& s, const std::wstring& name) {
    const std::wstring path = joinPath(clientFolder(), L"soak\\" + name);
    std::wstring error;
    Process p = launch(path, L"\"" + name + L"\"", L"", &error);
    auto& k = s.kills[name];
    if (!p) {
        // Under Wine a process that is ended while it starts fails to start.
        ++k.failedStarts;
        k.startError = error;
        return;
    }
    ++k.starts;
    s.victims.push_back({std::move(p), name, Clock::now()});
}

// Counts the copies that have ended; a copy still running after 5 s is late
// (it is ended here, so the next start counts on its own).
void reapVictims(Soak& s, bool final = false) {
    for (auto it = s.victims.begin(); it != s.victims.end();) {
        auto& k = s.kills[it->name];
        DWORD code = 0;
        if (it->process.waitExit(final ? 3000 : 0, &code)) {
            FILETIME created{}, exited{}, kernel{}, user{};
            if (GetProcessTimes(it->process.handle(), &created, &exited, &kernel, &user)) {
                const double ms = static_cast<double>(fileTime(exited) - fileTime(created)) / 10000.0;
                k.slowestMs = std::max(k.slowestMs, ms);
                k.totalMs += ms;
            }
            // The program's TerminateProcess leaves exit code 0; dummy.exe never ends by itself.
            if (code == 0) {
                ++k.ended;
            } else {
                ++k.endedByOthers;
            }
            it = s.victims.erase(it);
        } else if (secondsSince(it->started) > 5.0) {
            ++k.late;
            it->process.terminate();
            it = s.victims.erase(it);
        } else {
            ++it;
        }
    }
}

// ---- the user's actions -----------------------------------------------------------

void showPage(Soak& s, int button) {
    // BM_CLICK returns after the click handler (the Process page rebuilds its list inside it).
    click(s.control(button));
    const int page = button - kPageButton0;
    tally(s, L"page " + std::wstring(kPageNames[page]), visible(s.control(kPageContainer0 + page)));
}

void helpWindow(Soak& s) {
    postClick(s.control(kHelpButton));
    HWND help = waitTopLevel(kHelpTitle, s.pid, 3000, true);
    bool done = false;
    if (help) {
        ++s.helpOpenings;
        sleepMs(300);
        probe(s, L"the Help window opened");
        PostMessageW(help, WM_CLOSE, 0, 0);
        done = waitUntil([&] { return !IsWindow(help) || !visible(help); }, 3000) &&
               waitUntil([&] { return enabled(s.main); }, 3000);
    }
    tally(s, L"Help window opened and closed", done);
}

bool menuGone(const Soak& s) {
    return waitUntil([&] { return findPopupMenu(s.pid) == nullptr; }, 3000);
}

void menuOn(Soak& s, HWND w, const std::wstring& what) {
    bool done = false;
    if (w) {
        postRightButtonDown(w);
        if (HWND menu = waitPopupMenu(s.pid, 2000)) {
            sleepMs(400);  // timers tick, and the rows are made anew, under the open menu
            probe(s, L"a menu opened");
            closePopupMenu(menu);
            done = menuGone(s);
        }
    }
    tally(s, what, done);
}

void rowMenu(Soak& s, int step) {
    // Rows 6 and later have the Process menu; the row windows stay while the
    // list is rebuilt, so a press reaches the row of that number.
    const int rows = visibleRows(s);
    const int k = kFirstRowWithMenu + step % std::max(1, std::min(rows, 30) - kFirstRowWithMenu + 1);
    HWND box = s.control(kPicture3);
    menuOn(s, box ? GetDlgItem(box, kRowId0 + k) : nullptr, L"Process menu opened and closed with Escape");
}

// ---- samples ----------------------------------------------------------------------

void writeRow(Soak& s, const std::wstring& line) {
    if (!s.table) return;
    const std::string b = toUtf8(line) + "\n";
    std::fwrite(b.data(), 1, b.size(), s.table);
    std::fflush(s.table);
}

void takeSample(Soak& s) {
    probe(s, L"the sample's start");
    Sample x;
    x.t = s.now();
    const HandleCount h = handleCount(s.app.process.handle(), s.pid);
    GuiCounts g = guiCounts(s.app.process.handle(), s.pid);
    const MemoryCounts m = memoryCounts(s.app.process.handle(), s.procFolder);
    x.handles = h.count;
    x.user = g.user;
    x.gdi = g.gdi;
    // The least of a few readings: what a paint holds for a moment does not
    // count. (Handles are read once: under Wine that walks the whole system's
    // handle table in the wineserver, which every process waits for.)
    for (int i = 1; i < kReadings; ++i) {
        sleepMs(30);
        g = guiCounts(s.app.process.handle(), s.pid);
        auto least = [](long a, long b) { return a < 0 || b < 0 ? -1 : std::min(a, b); };
        x.user = least(x.user, g.user);
        x.gdi = least(x.gdi, g.gdi);
    }
    x.ops = s.ops;
    x.privateMb = m.privateMb;
    x.rssMb = m.rssMb;
    x.answerMaxMs = s.answerMaxSinceSample;
    s.answerMaxSinceSample = 0;
    x.rows = visibleRows(s);
    x.suspects = static_cast<int>(suspects(s).size());
    for (auto& [name, k] : s.kills) x.kills += k.ended;
    x.autoruns = s.cyclesOk;
    if (s.samples.empty()) {
        s.r.note(L"handles: " + h.how);
        s.r.note(L"USER/GDI objects: " + g.how);
        s.r.check(m.privateMb > 0,
                  L"private memory is read from a named source, above zero: " + num(m.privateMb) + L" MB, " + m.how,
                  L"working set " + num(m.workingSetMb) + L" MB, pagefile " + num(m.pagefileMb) + L" MB, VmRSS " +
                      num(m.rssMb) + L" MB, VmData " + num(m.dataMb) + L" MB");
        s.r.note(L"private memory: working set " + num(m.workingSetMb) + L" MB, pagefile " + num(m.pagefileMb) +
                 L" MB, VmRSS " + num(m.rssMb) + L" MB, VmData " + num(m.dataMb) + L" MB");
    }
    s.samples.push_back(x);
    writeRow(s, L"| " + num(x.t, L"%.0f") + L" | " + std::to_wstring(x.handles) + L" | " + std::to_wstring(x.user) +
                    L" | " + std::to_wstring(x.gdi) + L" | " + num(x.privateMb) + L" | " + num(x.rssMb) + L" | " +
                    num(x.answerMaxMs, L"%.0f") + L" | " + std::to_wstring(x.rows) + L" | " +
                    std::to_wstring(x.suspects) + L" | " + std::to_wstring(x.kills) + L" | " +
                    std::to_wstring(x.autoruns) + L" |");
}

// From the end of the settling period to the end: the median of the three
// samples up to the first one at `settle` s or later, against the median of
// the last three; `ops` is the number of operations done between the middle
// samples of the two.
struct Growth {
    bool measured = false;
    double from = 0, to = 0, fromT = 0, toT = 0;
    int ops = 0;
};

template <typename Get>
Growth growth(const std::vector<Sample>& v, double settle, Get get) {
    Growth g;
    size_t b = 0;
    while (b < v.size() && v[b].t < settle - 1.0) ++b;
    if (b < 2 || b + 3 >= v.size()) return g;
    const size_t e = v.size() - 1;
    g.from = median3(get(v[b - 2]), get(v[b - 1]), get(v[b]));
    g.to = median3(get(v[e - 2]), get(v[e - 1]), get(v[e]));
    g.fromT = v[b - 1].t;
    g.toT = v[e - 1].t;
    g.ops = v[e - 1].ops - v[b - 1].ops;
    g.measured = true;
    return g;
}

// A count of objects: its rise may not exceed kObjectsPer100Ops for every
// 100 operations done meanwhile (at least kObjectFloor). Memory (`fixedMargin`
// given): its rise may not exceed that margin.
void checkGrowth(Soak& s, const std::wstring& what, double settle, const wchar_t* format,
                 const std::function<double(const Sample&)>& get, double fixedMargin = -1) {
    for (const auto& x : s.samples) {
        // Every count and the memory are above zero in a running program: a
        // reading of 0 or less is one that could not be made.
        if (get(x) <= 0) {
            s.r.check(false, what + L" can be read (above zero)",
                      L"a sample at " + num(x.t) + L" s read " + num(get(x), format));
            return;
        }
    }
    const Growth g = growth(s.samples, settle, get);
    if (!g.measured) {
        s.r.check(false, what + L" does not grow",
                  L"the run is too short for three samples on each side of " + num(settle, L"%.0f") + L" s");
        return;
    }
    const double rise = g.to - g.from;
    const bool perOps = fixedMargin < 0;
    const double bound = perOps ? std::max(kObjectFloor, kObjectsPer100Ops * g.ops / 100.0) : fixedMargin;
    const std::wstring span = num(g.fromT, L"%.0f") + L" s -> " + num(g.toT, L"%.0f") + L" s, " +
                              std::to_wstring(g.ops) + L" operations";
    s.r.note(L"result growth " + what + L" " + num(g.from, format) + L" -> " + num(g.to, format) + L" (" +
             num(rise, format) + L", bound " + num(bound, L"%.1f") + L", " + span + L")");
    s.r.check(rise <= bound,
              what + L" does not grow by more than " +
                  (perOps ? num(kObjectsPer100Ops, L"%.0f") + L" per 100 operations (" + num(bound, L"%.1f") +
                                L" for " + std::to_wstring(g.ops) + L")"
                          : num(bound, format)) +
                  L" after " + num(settle, L"%.0f") + L" s",
              L"from " + num(g.from, format) + L" at " + num(g.fromT, L"%.0f") + L" s to " + num(g.to, format) +
                  L" at " + num(g.toT, L"%.0f") + L" s (" + std::to_wstring(g.ops) + L" operations)");
}

// ---- faults put in on purpose -----------------------------------------------------

struct Faults {
    bool handles = false, helpHandles = false, helpGdi = false, helpUser = false, freeze = false, frozen = false;
    HANDLE source = nullptr;
    HHOOK hook = nullptr;  // soakfault.dll's hook on the program's window thread
    UINT faultMessage = 0;
    int leaked = 0, helpSeen = 0, objectsAsked = 0;
    Clock::time_point nextLeak;
};

// Sets soakfault.dll's hook on the program's window thread, through which a
// posted "WdsoakFault" message makes a GDI or USER object there. An empty
// text when it is set, or what went wrong.
std::wstring setFaultHook(Soak& s, Faults& f) {
    const std::wstring path = joinPath(clientFolder(), L"soakfault.dll");
    HMODULE dll = LoadLibraryW(path.c_str());
    if (!dll) return L"LoadLibrary " + path + L": error " + std::to_wstring(GetLastError());
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll, "getMessageHook")));
    if (!proc) return L"soakfault.dll has no getMessageHook";
    f.hook = SetWindowsHookExW(WH_GETMESSAGE, proc, dll, GetWindowThreadProcessId(s.main, nullptr));
    if (!f.hook) return L"SetWindowsHookEx: error " + std::to_wstring(GetLastError());
    f.faultMessage = RegisterWindowMessageW(L"WdsoakFault");
    return {};
}

// The windows that soakfault.dll made in the program.
int faultWindows(DWORD pid) {
    int n = 0;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"Static", L"wdsoak leak"); w;
         w = FindWindowExW(nullptr, w, L"Static", L"wdsoak leak")) {
        n += windowPid(w) == pid;
    }
    return n;
}

// One handle more in the program, duplicated into it from here.
void leakHandle(Soak& s, Faults& f) {
    HANDLE out = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), f.source, s.app.process.handle(), &out, 0, FALSE,
                        DUPLICATE_SAME_ACCESS)) {
        ++f.leaked;
    }
}

void injectFaults(Soak& s, Faults& f, int seconds) {
    if (f.handles && Clock::now() >= f.nextLeak) {
        leakHandle(s, f);
        f.nextLeak += std::chrono::seconds(1);
    }
    for (; f.helpSeen < s.helpOpenings; ++f.helpSeen) {
        if (f.helpHandles) leakHandle(s, f);
        const WPARAM objects = (f.helpGdi ? 1 : 0) | (f.helpUser ? 2 : 0);
        if (objects && f.hook && PostMessageW(s.main, f.faultMessage, objects, 0)) ++f.objectsAsked;
    }
    if (f.freeze && !f.frozen && s.now() > seconds / 2.0) {
        f.frozen = true;
        const DWORD tid = GetWindowThreadProcessId(s.main, nullptr);
        if (HANDLE t = OpenThread(THREAD_SUSPEND_RESUME, FALSE, tid)) {
            SuspendThread(t);
            sleepMs(500);
            probe(s, L"its window thread was stopped on purpose");
            sleepMs(2500);
            ResumeThread(t);
            CloseHandle(t);
        }
    }
}

}  // namespace

int scenarioSoak(Report& r, const Options& o) {
    const int seconds = o.number(L"seconds", 120);
    const int dummyCount = o.number(L"dummies", 150);
    const int sampleEvery = o.number(L"sample", 10);
    const int cycleEvery = o.number(L"cycle", 3);
    const double settle = o.number(L"settle", 60);
    Faults faults;
    {
        auto it = o.extra.find(L"inject");
        const std::wstring inject = it == o.extra.end() ? L"" : it->second;
        const auto names = [&] {
            std::vector<std::wstring> v;
            for (size_t at = 0; at <= inject.size();) {
                size_t end = inject.find(L',', at);
                if (end == std::wstring::npos) end = inject.size();
                v.push_back(inject.substr(at, end - at));
                at = end + 1;
            }
            return v;
        }();
        auto named = [&](const wchar_t* n) { return std::find(names.begin(), names.end(), n) != names.end(); };
        faults.handles = named(L"handles");
        faults.helpHandles = named(L"help-handles");
        faults.helpGdi = named(L"help-gdi");
        faults.helpUser = named(L"help-user");
        faults.freeze = named(L"freeze");
        if (faults.handles || faults.helpHandles) faults.source = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!inject.empty()) r.note(L"faults put into the program on purpose: " + inject);
    }

    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    if (!r.check(GetDriveTypeW(kRoot.c_str()) == DRIVE_REMOVABLE, L"G: is a removable drive")) return r.finish();
    for (const auto& n : machine::names(kRoot)) machine::removeAll(kRoot + n);

    // The idle processes, and the two names that Loop kill is to end.
    const std::wstring folder = joinPath(clientFolder(), L"soak");
    makeDirs(folder);
    const std::wstring dummy = joinPath(clientFolder(), L"dummy.exe");
    for (const wchar_t* name : {L"again.exe", L"found.exe"}) {
        CopyFileW(dummy.c_str(), joinPath(folder, name).c_str(), FALSE);
    }
    DummyGroup idle;
    std::wstring error;
    const auto startT = Clock::now();
    int started = 0;
    for (int i = 0; i < dummyCount; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"idle%02d.exe", i % 15);
        if (idle.start(joinPath(folder, name), &error)) ++started;
    }
    sleepMs(1000);
    int running = 0;
    for (auto& p : idle.all()) running += p.running();
    r.check(running == dummyCount,
            std::to_wstring(dummyCount) + L" idle copies of dummy.exe run (started in " +
                num(secondsSince(startT)) + L" s)",
            std::to_wstring(started) + L" started, " + std::to_wstring(running) + L" running; " + error);

    Soak s(r, o);
    s.app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(s.app.main != nullptr, L"wardeck.exe starts", s.app.error)) return r.finish();
    s.main = s.app.main;
    s.pid = s.app.process.pid();
    waitUntil([&] { return visible(s.main); }, 5000);
    s.procFolder = unixProcFolder("wardeck.exe");
    if (faults.helpGdi || faults.helpUser) {
        const std::wstring error = setFaultHook(s, faults);
        if (!r.check(error.empty(), L"soakfault.dll's hook is set on wardeck.exe's window thread", error)) {
            s.app.process.terminate();
            return r.finish();
        }
    }

    // The monitor on G:.
    HWND combo = s.control(kCombo1);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    setText(edit ? edit : combo, L"G:");
    click(s.control(kCommand1));
    // The Process page: again.exe typed in, the search first (it records
    // what runs at its first tick), then Auto refresh and Loop kill.
    showPage(s, kProcessPageButton);
    typeChars(s.control(kText1), L"again\r");
    waitUntil([&] { return !suspects(s).empty(); }, 3000);
    r.check(suspects(s) == std::vector<std::wstring>{L"again.exe"},
            L"typing again and Enter puts again.exe into the Suspect list");
    click(s.control(kCommand8));
    sleepMs(1000);
    click(s.control(kCommand6));
    click(s.control(kCommand7));
    const struct {
        int id;
        const std::wstring& caption;
        const wchar_t* what;
    } switches[] = {{kCommand1, kMonitorStop, L"the monitor"},
                    {kCommand6, kAutoRefreshOff, L"Auto refresh"},
                    {kCommand8, kSearchOff, L"the Suspect search"},
                    {kCommand7, kLoopKillOff, L"Loop kill"}};
    std::wstring off;
    for (const auto& sw : switches) {
        if (text(s.control(sw.id)) != sw.caption) off += std::wstring(L" ") + sw.what;
    }
    if (!r.check(off.empty(), L"all four timers run: monitor on G:, Auto refresh, Suspect search, Loop kill",
                 L"not on:" + off)) {
        s.app.process.terminate();
        return r.finish();
    }

    // The table of samples.
    const std::wstring tablePath = joinPath(o.out, L"soak-samples.md");
    s.table = _wfopen(tablePath.c_str(), L"wb");
    writeRow(s, L"| s | handles | USER | GDI | private MB | RSS MB | slowest answer ms | rows | suspects | kills | "
                L"autoruns |");
    writeRow(s, L"|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|");

    s.t0 = Clock::now();
    faults.nextLeak = s.t0;
    takeSample(s);
    auto nextSample = s.t0 + std::chrono::seconds(sampleEvery);
    auto nextCycle = s.t0;
    auto nextStart = s.t0 + std::chrono::milliseconds(500);
    const auto end = s.t0 + std::chrono::seconds(seconds);
    int startsDone = 0;
    bool died = false;
    for (int step = 0; Clock::now() < end; ++step) {
        const auto stepStart = Clock::now();
        switch (step % 10) {
            case 0: showPage(s, kPageButton0 + kDrive); break;
            case 1: showPage(s, kPageButton0 + kHijack); break;
            case 2: showPage(s, kPageButton0 + kBrowser); break;
            case 3: showPage(s, kPageButton0 + kDll); break;
            case 4: showPage(s, kProcessPageButton); break;
            case 5: rowMenu(s, step / 10); break;
            case 6: menuOn(s, s.control(kList1), L"List menu opened and closed with Escape"); break;
            case 7: helpWindow(s); break;
            case 8: showPage(s, kProcessPageButton); break;
            default: rowMenu(s, step / 10 + 7); break;
        }
        probe(s, L"an action");
        if (!s.app.process.running()) {
            died = true;
            break;
        }
        injectFaults(s, faults, seconds);
        if (Clock::now() >= nextStart) {
            // found.exe only once the search has had its first look.
            startVictim(s, startsDone % 2 ? L"found.exe" : L"again.exe");
            ++startsDone;
            nextStart += std::chrono::milliseconds(1000);
        }
        reapVictims(s);
        if (Clock::now() >= nextCycle) {
            driveCycle(s);
            nextCycle += std::chrono::seconds(cycleEvery);
        }
        if (Clock::now() >= nextSample) {
            takeSample(s);
            nextSample += std::chrono::seconds(sampleEvery);
        }
        while (std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stepStart).count() < 400) {
            sleepMs(20);
        }
    }
    const double ran = s.now();
    if (!died && s.samples.back().t < ran - sampleEvery / 2.0) takeSample(s);
    if (s.table) std::fclose(s.table);
    s.table = nullptr;

    r.check(!died && s.app.process.running(), L"wardeck.exe runs to the end (" + num(ran, L"%.0f") + L" s)");
    if (died) {
        DWORD code = 0;
        s.app.process.waitExit(0, &code);
        r.note(L"wardeck.exe ended with exit code " + std::to_wstring(code) + L" after " + num(ran) + L" s");
    }
    r.note(L"result answers " + std::to_wstring(s.probes) + L" slowest_ms " + num(s.slowestAnswerMs, L"%.0f"));
    r.check(s.unanswered == 0,
            L"the main window answered WM_NULL within 2 s every time (" + std::to_wstring(s.probes) +
                L" times, slowest " + num(s.slowestAnswerMs, L"%.0f") + L" ms)",
            std::to_wstring(s.unanswered) + L" times not:" + s.unansweredAt);

    if (!died) {
        std::wstring stillOn;
        for (const auto& sw : switches) {
            if (text(s.control(sw.id)) != sw.caption) stillOn += std::wstring(L" ") + sw.what;
        }
        r.check(stillOn.empty(), L"all four timers are still on at the end", L"off:" + stillOn);
        checkGrowth(s, L"kernel handles", settle, L"%.0f", [](const Sample& x) { return double(x.handles); });
        checkGrowth(s, L"USER objects", settle, L"%.0f", [](const Sample& x) { return double(x.user); });
        checkGrowth(s, L"GDI objects", settle, L"%.0f", [](const Sample& x) { return double(x.gdi); });
        checkGrowth(s, L"private memory (MB)", settle, L"%.1f", [](const Sample& x) { return x.privateMb; },
                    kPrivateMarginMb);
    }
    if (faults.source) r.note(L"handles put into the program on purpose: " + std::to_wstring(faults.leaked));
    if (faults.hook) {
        r.note(L"GDI/USER objects asked of soakfault.dll's hook: " + std::to_wstring(faults.objectsAsked) +
               L" times" + (faults.helpUser ? L"; its windows found in the program: " +
                                                  std::to_wstring(faultWindows(s.pid))
                                            : L""));
        UnhookWindowsHookEx(faults.hook);
    }

    // Loop kill: every start of a listed name ended by the program.
    reapVictims(s, true);
    for (const wchar_t* name : {L"again.exe", L"found.exe"}) {
        const KillCount& k = s.kills[name];
        const std::wstring how = name == std::wstring(L"again.exe") ? L" (typed into the Suspect list)"
                                                                     : L" (found by the search)";
        r.note(L"result kills " + std::wstring(name) + L" starts " + std::to_wstring(k.starts) + L" ended " +
               std::to_wstring(k.ended) + L" slowest_ms " + num(k.slowestMs, L"%.0f") + L" mean_ms " +
               num(k.ended ? k.totalMs / k.ended : 0, L"%.0f"));
        if (k.failedStarts) {
            r.note(std::to_wstring(k.failedStarts) + L" starts of " + name + L" failed (" + k.startError + L")");
        }
        r.check(k.starts > 0 && k.ended == k.starts,
                std::wstring(L"every start of ") + name + how + L" is ended by the program: " +
                    std::to_wstring(k.ended) + L" of " + std::to_wstring(k.starts) + L", slowest after " +
                    num(k.slowestMs, L"%.0f") + L" ms",
                std::to_wstring(k.late) + L" still ran after 5 s, " + std::to_wstring(k.endedByOthers) +
                    L" ended otherwise");
    }
    if (!died) {
        const auto items = suspects(s);
        std::wstring listed;
        for (const auto& i : items) listed += L" " + quoted(i);
        r.check(items == std::vector<std::wstring>{L"again.exe", L"found.exe"},
                L"the Suspect list holds again.exe and found.exe, once each", L"it holds" + listed);
    }
    int idleRunning = 0;
    for (auto& p : idle.all()) idleRunning += p.running();
    r.check(idleRunning == dummyCount, L"the " + std::to_wstring(dummyCount) + L" idle processes still run",
            std::to_wstring(idleRunning) + L" run");

    // The drive: every autorun file quarantined, nothing else left.
    if (!died) driveCycle(s, true);
    r.note(L"result autoruns " + std::to_wstring(s.cyclesOk) + L" of " + std::to_wstring(s.cyclesChecked));
    r.check(s.cyclesChecked >= seconds / cycleEvery - 2 && s.cyclesOk == s.cyclesChecked,
            L"every autorun file (" + std::to_wstring(s.cyclesChecked) +
                L") and the worm.exe it names went into the Quarantine folder",
            std::to_wstring(s.cyclesChecked - s.cyclesOk) + L" not:" + s.cycleMisses);
    std::wstring inFolder;
    for (const auto& n : machine::names(kQuarantine)) inFolder += L" " + n;
    std::wstring onDrive;
    for (const auto& n : machine::names(kRoot)) onDrive += L" " + n;
    r.check(inFolder == L" " + kAutorunCopyName + L" worm.exe.vkq" && onDrive == L" " + kQuarantineFolder,
            L"the Quarantine folder holds autorun.inf.vkq and worm.exe.vkq, and G: nothing else",
            L"folder:" + inFolder + L"\n    G::" + onDrive);

    // The user's actions.
    for (const auto& [what, count] : s.actions) {
        r.check(count.second == count.first,
                what + L": " + std::to_wstring(count.second) + L" of " + std::to_wstring(count.first));
    }
    r.check(died || (findPopupMenu(s.pid) == nullptr && !waitMessageBox(s.pid, 100)),
            L"no menu or message box is left open");

    r.note(L"samples in " + tablePath);
    s.app.process.terminate();
    for (auto& v : s.victims) v.process.terminate();
    idle.endAll();
    if (faults.source) CloseHandle(faults.source);
    for (const auto& n : machine::names(kRoot)) machine::removeAll(kRoot + n);
    return r.finish();
}

}  // namespace wdauto

int wmain(int argc, wchar_t** argv) {
    using namespace wdauto;
    becomeDpiAware();
    try {
        return runScenario({{L"soak", scenarioSoak}}, L"soak", parseArgs(argc, argv), L"wdsoak");
    } catch (const std::exception& e) {
        fprintf(stderr, "wdsoak: %s\n", e.what());
        return 2;
    }
}
