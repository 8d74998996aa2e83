// The drive monitor end to end: the Drive page ("优盘监控") watching G:, which
// the harness maps to an empty folder as a removable drive.
//
// Parts (--only):
//   "monitor"    a hidden, read-only AUTORUN.INF and the files it names are
//                moved into the Quarantine folder once the monitor runs; a
//                second autorun file later too; without one nothing is written
//   "autostart"  the Autostart box writes and deletes the Run value, and
//                follows it across restarts
//   "lines"      line ends, encodings (Chinese names), lines that cannot be
//                handled followed by good ones
//   "bad-input"  hostile autorun files and drive texts: no crash, no hang,
//                nothing outside the drive touched
//   "folders"    a hidden, system, read-only payload two folders deep goes to
//                the mirrored path in the Quarantine folder; a name inside the
//                Quarantine folder moves nothing
//   "locked"     a payload held open by another program keeps its earlier
//                copy in the Quarantine folder
//   "links-quarantine", "links"  (only with --outside, and only alone: the
//                run makes the links in G:'s folder before each) symbolic links
//                to a folder outside the drive (Wine plays them as links) as
//                the Quarantine folder; as a part of a name, as a name and
//                inside the Quarantine folder: nothing outside the drive changes
//   "flood"      an autorun file of 64 MiB: memory, answer time, the other
//                timers, and the file named on its last line
//   "deep"       (only with --deep-payloads and --deep-folders, and only
//                alone: the run makes the payloads before) payloads many
//                folders deep, quarantined at their mirrored paths in time,
//                the window answering
// "folders" also names payloads by their 8.3 aliases and with a trailing
// dot; "lines" changes the drive box while a long run is under way.
// --gfolder names the folder G: maps to, as Windows sees it (Z:\...): a canary
// file goes beside it, and the folder is moved away for a moment. --outside
// names the folder outside the drive that the links lead to.
#include <algorithm>
#include <set>

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

std::wstring onDrive(const std::wstring& name) { return kRoot + name; }
std::wstring inQuarantine(const std::wstring& name) { return kRoot + kQuarantineFolder + L"\\" + name; }

bool answers(HWND w, int timeoutMs) {
    DWORD_PTR res = 0;
    return SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &res) != 0;
}

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

std::wstring msText(double ms) { return std::to_wstring(static_cast<long long>(ms + 0.5)) + L" ms"; }

void clearDrive() {
    for (const auto& n : names(kRoot)) removeAll(onDrive(n));
}

std::wstring joined(const std::vector<std::wstring>& list) {
    std::wstring out;
    for (const auto& s : list) out += (out.empty() ? L"" : L", ") + quoted(s);
    return L"[" + out + L"]";
}

// Types the drive text into the Drive box's edit field.
void setDrive(HWND main, const std::wstring& drive) {
    HWND combo = findDescendant(main, kCombo1);
    HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
    setText(edit ? edit : combo, drive);
}

// Picks an item of the Drive box's list, as a user choosing it would.
bool chooseDrive(HWND main, const std::wstring& item) {
    HWND combo = findDescendant(main, kCombo1);
    auto items = comboItems(combo);
    auto it = std::find(items.begin(), items.end(), item);
    if (it == items.end()) return false;
    DWORD_PTR res = 0;
    SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(it - items.begin()), 0, SMTO_ABORTIFHUNG, 5000, &res);
    return text(combo) == item;
}

Running startApp(Report& r, const Options& o, const std::wstring& label) {
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    r.check(app.main != nullptr, label + L"wardeck.exe starts", app.error);
    return app;
}

// ---- monitor ------------------------------------------------------------------------

const std::string kVirus = "MZ\x90\x00 not really a virus, 1";
const std::string kAutorun1 =
    "[AutoRun]\r\nopen=virus.exe\r\nshell\\open\\Command=virus.exe\r\nlabel=USB DISK\r\n";

void monitorPart(Report& r, const Options& o) {
    const std::wstring label = L"monitor: ";
    r.equal(static_cast<long long>(GetDriveTypeW(kRoot.c_str())), DRIVE_REMOVABLE, label + L"G: is a removable drive");
    clearDrive();
    writeFile(onDrive(L"keep.txt"), "not named by any line\r\n");
    makeDirs(onDrive(L"photos"));
    writeFile(onDrive(L"photos\\a.jpg"), std::string(3000, '\x7f'));

    Running app = startApp(r, o, label);
    if (!app.main) return;
    HWND main = app.main;
    HWND button = findDescendant(main, kCommand1);
    r.check(chooseDrive(main, L"G:"), label + L"G: is chosen in the drive box", L"it reads " + quoted(text(findDescendant(main, kCombo1))));

    // Running on a drive without autorun.inf: nothing at all is written.
    std::wstring before = listing(kRoot);
    click(button);
    r.equal(text(button), kMonitorStop, label + L"the button reads " + kMonitorStop + L" at once");
    sleepMs(2000);
    r.check(before == listing(kRoot), label + L"without autorun.inf nothing is written to the drive in 2 s (20 ticks)",
            lineDiff(before, listing(kRoot)));
    r.check(!exists(onDrive(kQuarantineFolder)), label + L"the Quarantine folder is not made");
    click(button);
    r.equal(text(button), kMonitorStart, label + L"a second click stops it: the button reads " + kMonitorStart);

    // A hidden, read-only autorun file naming a hidden file and (through the
    // label line) a folder.
    writeFile(onDrive(L"virus.exe"), kVirus, FILE_ATTRIBUTE_HIDDEN);
    makeDirs(onDrive(L"DISK"));
    writeFile(onDrive(L"DISK\\inside.txt"), "in the folder");
    writeFile(onDrive(L"AUTORUN.INF"), kAutorun1, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    const DWORD attrs = attributes(onDrive(L"AUTORUN.INF"));
    r.check(attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_HIDDEN) && (attrs & FILE_ATTRIBUTE_READONLY),
            label + L"AUTORUN.INF is hidden and read-only on the drive", L"attributes " + std::to_wstring(attrs));
    const std::wstring keepBefore = listing(onDrive(L"photos")) + listing(onDrive(L"keep.txt"), 0, true);

    auto moved = [&] {
        return exists(inQuarantine(kAutorunCopy)) && exists(inQuarantine(L"virus.exe.vkq")) &&
               isFolder(inQuarantine(L"DISK.vkq")) && !exists(onDrive(L"AUTORUN.INF")) &&
               !exists(onDrive(L"virus.exe")) && !exists(onDrive(L"DISK"));
    };
    auto t0 = Clock::now();
    click(button);
    r.equal(text(button), kMonitorStop, label + L"the button reads " + kMonitorStop);
    bool inTime = waitUntil(moved, 1000, 5);
    double took = msSince(t0);
    bool late = inTime || waitUntil(moved, 4000, 20);
    r.check(inTime, label + L"within a second the autorun file, virus.exe and the folder DISK are in the Quarantine folder",
            late ? L"only after " + msText(msSince(t0)) : L"not within 5 s; the drive holds:\n" + listing(kRoot));
    r.note(L"first run done " + msText(took) + L" after the click");
    r.equal(joined(names(onDrive(kQuarantineFolder))), joined({kAutorunCopy, L"DISK.vkq", L"virus.exe.vkq"}),
            label + L"the Quarantine folder holds autorun.inf.vkq (lower case), DISK.vkq and virus.exe.vkq");
    r.check(readFile(inQuarantine(kAutorunCopy)) == kAutorun1, label + L"autorun.inf.vkq holds the autorun file unchanged");
    r.check(readFile(inQuarantine(L"virus.exe.vkq")) == kVirus, label + L"virus.exe.vkq holds virus.exe unchanged");
    r.check(readFile(inQuarantine(L"DISK.vkq\\inside.txt")) == std::string("in the folder"),
            label + L"the folder moved whole (DISK.vkq\\inside.txt)");
    const DWORD copyAttrs = attributes(inQuarantine(kAutorunCopy));
    r.check(!(copyAttrs & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)),
            label + L"the Autorun copy is neither hidden, read-only nor system", L"attributes " + std::to_wstring(copyAttrs));
    r.check(keepBefore == listing(onDrive(L"photos")) + listing(onDrive(L"keep.txt"), 0, true),
            label + L"files no line names stay as they were");

    // A second autorun file, written while the monitor runs: the older copy
    // and the older virus.exe.vkq are replaced.
    const std::string virus2 = "MZ second virus";
    const std::string autorun2 = "[autorun]\r\nopen=second.exe\r\nicon=virus.exe\r\n";
    writeFile(onDrive(L"virus.exe"), virus2);
    writeFile(onDrive(L"second.exe"), "MZ second");
    auto moved2 = [&] {
        return !exists(onDrive(L"autorun.inf")) && exists(inQuarantine(L"second.exe.vkq")) &&
               !exists(onDrive(L"virus.exe"));
    };
    placeFile(onDrive(L"autorun.inf"), autorun2);
    t0 = Clock::now();
    inTime = waitUntil(moved2, 1000, 5);
    took = msSince(t0);
    late = inTime || waitUntil(moved2, 4000, 20);
    r.check(inTime, label + L"a second autorun file is handled within a second as well",
            late ? L"only after " + msText(msSince(t0)) : L"not within 5 s; the drive holds:\n" + listing(kRoot));
    r.note(L"second run done " + msText(took) + L" after the file appeared");
    r.check(readFile(inQuarantine(kAutorunCopy)) == autorun2, label + L"the older autorun.inf.vkq is replaced");
    r.check(readFile(inQuarantine(L"virus.exe.vkq")) == virus2, label + L"the older virus.exe.vkq is replaced");
    r.equal(joined(names(onDrive(kQuarantineFolder))),
            joined({kAutorunCopy, L"DISK.vkq", L"second.exe.vkq", L"virus.exe.vkq"}),
            label + L"the Quarantine folder holds the four expected entries");

    before = listing(kRoot);
    sleepMs(1500);
    r.check(before == listing(kRoot), label + L"afterwards, with no autorun file, nothing is written in 1.5 s",
            lineDiff(before, listing(kRoot)));
    r.check(app.process.running() && answers(main, 3000), label + L"wardeck.exe runs and answers");
    app.process.terminate();
}

// ---- autostart ----------------------------------------------------------------------

std::wstring runData() {
    auto v = value(HKEY_LOCAL_MACHINE, kRunPath, L"wardeck");
    if (!v) return L"(no value)";
    std::wstring s(reinterpret_cast<const wchar_t*>(v->data.data()), v->data.size() / 2);
    while (!s.empty() && s.back() == L'\0') s.pop_back();
    return (v->type == REG_SZ ? L"" : L"(type " + std::to_wstring(v->type) + L") ") + s;
}

void autostartPart(Report& r, const Options& o) {
    const std::wstring label = L"autostart: ";
    const HKEY HKLM = HKEY_LOCAL_MACHINE;
    {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKLM, kRunPath.c_str(), 0, KEY_SET_VALUE, &k) == ERROR_SUCCESS) {
            RegDeleteValueW(k, L"wardeck");
            RegCloseKey(k);
        }
    }
    const std::wstring folder = o.app.substr(0, o.app.find_last_of(L'\\'));
    const std::wstring expected = L"\"" + folder + L"\\wardeck.EXE\" watchG";

    Running app = startApp(r, o, label);
    if (!app.main) return;
    HWND box = findDescendant(app.main, kCheck4);
    r.equal(checkState(box), BST_UNCHECKED, label + L"without the Run value the box starts unticked");
    chooseDrive(app.main, L"G:");
    click(box);
    r.equal(checkState(box), BST_CHECKED, label + L"a click ticks the box");
    r.equal(runData(), expected, label + L"the Run value \"wardeck\" holds the quoted command ending in watchG");
    setDrive(app.main, L"K:");
    sleepMs(100);
    r.equal(runData(), expected, label + L"a later change of the drive box leaves the Run value alone");
    app.process.terminate();

    app = startApp(r, o, label + L"restart with the value: ");
    if (!app.main) return;
    box = findDescendant(app.main, kCheck4);
    r.equal(checkState(box), BST_CHECKED, label + L"restarted with the Run value, the box is ticked");
    r.equal(runData(), expected, label + L"the start-up leaves the Run value as it was");
    click(box);
    r.equal(checkState(box), BST_UNCHECKED, label + L"a click unticks the box");
    r.equal(runData(), L"(no value)", label + L"the Run value is gone");
    app.process.terminate();

    app = startApp(r, o, label + L"restart without the value: ");
    if (!app.main) return;
    r.equal(checkState(findDescendant(app.main, kCheck4)), BST_UNCHECKED,
            label + L"restarted without the Run value, the box is unticked");
    r.equal(runData(), L"(no value)", label + L"and nothing was written");
    app.process.terminate();
}

// ---- bad input ----------------------------------------------------------------------

struct Canary {
    std::wstring path;
    std::string content;
    std::wstring state;  // listing line: attributes, size, time
};

Canary makeCanary(const std::wstring& path) {
    Canary c{path, "canary " + toUtf8(path) + "\r\n", L""};
    writeFile(path, c.content);
    c.state = listing(path, 0, true);
    return c;
}

void checkCanary(Report& r, const Canary& c, const std::wstring& what) {
    r.check(readFile(c.path) == c.content && listing(c.path, 0, true) == c.state, what,
            c.path + L" changed or is gone");
}

std::string lcgBytes(size_t n, unsigned seed) {
    std::string out(n, '\0');
    for (auto& ch : out) {
        seed = seed * 1103515245u + 12345u;
        ch = static_cast<char>(seed >> 16);
    }
    return out;
}

std::string utf16(const std::wstring& s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

// One autorun file while the monitor runs: makes `files` (and the folders
// `folders`), places the autorun file, and waits until it is gone and every
// name of `moved` is in the Quarantine folder (with ".vkq"); `kept` must still
// be on the drive afterwards.
struct Case {
    std::wstring what;
    std::string autorun;
    std::vector<std::wstring> files, moved, kept = {}, folders = {};
    int timeoutMs = 10000;
};

void runCase(Report& r, const std::wstring& label, Running& app, const Case& c) {
    for (const auto& d : c.folders) makeDirs(onDrive(d));
    for (const auto& f : c.files) writeFile(onDrive(f), "MZ " + toUtf8(f));
    auto t0 = Clock::now();
    if (!placeFile(onDrive(L"autorun.inf"), c.autorun)) {
        r.check(false, label + c.what + L": the autorun file can be written");
        return;
    }
    auto done = [&] {
        if (exists(onDrive(L"autorun.inf"))) return false;
        for (const auto& m : c.moved)
            if (!exists(inQuarantine(m + L".vkq"))) return false;
        return true;
    };
    bool ok = waitUntil(done, c.timeoutMs, 10);
    r.check(ok, label + c.what + L": handled, " + joined(c.moved) + L" moved",
            L"not within " + std::to_wstring(c.timeoutMs / 1000) + L" s; the drive holds:\n" + listing(kRoot, 1, false));
    r.note(c.what + L": done after " + msText(msSince(t0)));
    r.check(app.process.running() && answers(app.main, 3000), label + c.what + L": wardeck.exe runs and answers");
    std::wstring left, gone;
    for (const auto& m : c.moved)
        if (exists(onDrive(m))) left += L" " + m;
    for (const auto& k : c.kept)
        if (!exists(onDrive(k))) gone += L" " + k;
    r.check(left.empty(), label + c.what + L": the named files left the drive's root", L"still there:" + left);
    if (!c.kept.empty())
        r.check(gone.empty(), label + c.what + L": " + joined(c.kept) + L" stay where they are", L"gone:" + gone);
}

// The system's ANSI code page (GBK under the Chinese locale of the tests).
std::string ansi(const std::wstring& s) {
    int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// How lines end and how the file is encoded must not hide a name; one line
// that cannot be handled does not end the run.
void linesPart(Report& r, const Options& o) {
    const std::wstring label = L"lines: ";
    clearDrive();
    Running app = startApp(r, o, label);
    if (!app.main) return;
    chooseDrive(app.main, L"G:");
    click(findDescendant(app.main, kCommand1));
    r.note(L"the ANSI code page is " + std::to_wstring(GetACP()));
    const std::vector<Case> cases = {
        {L"line feeds alone", "[autorun]\nopen=lf1.exe\nicon=lf2.exe\n", {L"lf1.exe", L"lf2.exe"},
         {L"lf1.exe", L"lf2.exe"}},
        {L"carriage returns alone", "[autorun]\ropen=cr1.exe\ricon=cr2.exe", {L"cr1.exe", L"cr2.exe"},
         {L"cr1.exe", L"cr2.exe"}},
        {L"UTF-16LE with a byte-order mark", "\xff\xfe" + utf16(L"[autorun]\r\nopen=病毒16.exe\r\n"), {L"病毒16.exe"},
         {L"病毒16.exe"}},
        {L"UTF-8 with a byte-order mark", "\xef\xbb\xbf[autorun]\r\nopen=" + toUtf8(L"病毒8.exe") + "\r\n",
         {L"病毒8.exe"}, {L"病毒8.exe"}},
        {L"the ANSI code page", ansi(L"[autorun]\r\nopen=病毒ansi.exe\r\n"), {L"病毒ansi.exe"}, {L"病毒ansi.exe"}},
        {L"a name with a folder part (mirrored in the Quarantine folder), then a good line",
         "[autorun]\r\nopen=sub\\inner.exe\r\nopen=after-sub.exe\r\n", {L"sub\\inner.exe", L"after-sub.exe"},
         {L"sub\\inner.exe", L"after-sub.exe"}, {L"sub"}, {L"sub"}},
        {L"an empty name, then a good line", "[autorun]\r\nopen=\r\nopen= \r\nopen=after-empty.exe\r\n",
         {L"after-empty.exe"}, {L"after-empty.exe"}},
        {L"\"open=virus.exe -x\" names \"-x\"", "[autorun]\r\nopen=virus.exe -x\r\n", {L"virus.exe", L"-x"}, {L"-x"},
         {L"virus.exe"}},
        {L"a folder", "[autorun]\r\nlabel=USB dup\r\n", {}, {L"dup"}, {}, {L"dup"}},
        {L"a folder whose older copy is a folder, then a good line", "[autorun]\r\nopen=dup\r\nopen=after-dup.exe\r\n",
         {L"after-dup.exe"}, {L"after-dup.exe"}, {L"dup"}, {L"dup"}},
    };
    for (const auto& c : cases) runCase(r, label, app, c);
    r.check(isFolder(inQuarantine(L"dup.vkq")), label + L"the older copy dup.vkq is still a folder");

    // A run longer than a tick keeps its drive when the drive box changes
    // meanwhile: 8 MB of lines naming files that are not there, then one
    // that is.
    {
        writeFile(onDrive(L"early.exe"), "MZ early");
        writeFile(onDrive(L"late.exe"), "MZ late");
        std::string big = "[autorun]\r\nopen=early.exe\r\n";
        char line[48];
        for (unsigned n = 0; big.size() < (8u << 20); ++n)
            big.append(line, static_cast<std::size_t>(snprintf(line, sizeof line, "open=gone%07u.exe\r\n", n)));
        big += "open=late.exe\r\n";
        const auto t0 = Clock::now();
        placeFile(onDrive(L"autorun.inf"), big);
        const bool taken = waitUntil([] { return !exists(onDrive(L"autorun.inf")); }, 5000, 5);
        setDrive(app.main, L"K:");
        const bool under = taken && exists(onDrive(L"late.exe")) && !exists(inQuarantine(L"late.exe.vkq"));
        const double changedAt = msSince(t0);
        r.check(under, label + L"a run of an 8 MB autorun file is under way when the drive box changes to K:",
                L"changed " + msText(changedAt) + L" after the file appeared");
        const bool late = waitUntil([] { return exists(inQuarantine(L"late.exe.vkq")); }, 30000, 20);
        r.note(L"the long run: drive box changed after " + msText(changedAt) + L", late.exe quarantined after " +
               msText(msSince(t0)));
        r.check(late && !exists(onDrive(L"late.exe")) && exists(inQuarantine(L"early.exe.vkq")),
                label + L"the run goes on on G: to its last line: late.exe is quarantined");
        r.check(chooseDrive(app.main, L"G:"), label + L"G: is chosen again");
    }

    // A file where the Quarantine folder belongs blocks every run, silently.
    clearDrive();
    writeFile(onDrive(kQuarantineFolder), "a file, not a folder");
    writeFile(onDrive(L"blocked.exe"), "MZ");
    placeFile(onDrive(L"autorun.inf"), "[autorun]\r\nopen=blocked.exe\r\n");
    sleepMs(300);
    const std::wstring blocked = listing(kRoot);
    sleepMs(1000);
    r.check(blocked == listing(kRoot) && exists(onDrive(L"autorun.inf")) && exists(onDrive(L"blocked.exe")) &&
                !isFolder(onDrive(kQuarantineFolder)),
            label + L"a file named " + kQuarantineFolder + L" in the root: nothing moves and nothing is written",
            lineDiff(blocked, listing(kRoot)));
    r.check(app.process.running() && answers(app.main, 3000), label + L"the blocked runs leave wardeck.exe answering");
    click(findDescendant(app.main, kCommand1));
    app.process.terminate();
}

void badInputPart(Report& r, const Options& o) {
    const std::wstring label = L"bad input: ";
    const std::wstring gfolder = o.extra.count(L"gfolder") ? o.extra.at(L"gfolder") : L"";
    const std::wstring beside = gfolder.empty() ? L"" : gfolder.substr(0, gfolder.find_last_of(L'\\'));

    clearDrive();
    writeFile(onDrive(L"keep.txt"), "keep me where I am\r\n");
    makeDirs(onDrive(L"photos"));
    writeFile(onDrive(L"photos\\a.jpg"), "jpeg");
    std::vector<Canary> canaries = {makeCanary(L"C:\\wardeck-canary.txt")};
    if (!beside.empty()) canaries.push_back(makeCanary(joinPath(beside, L"wardeck-canary-beside.txt")));
    const auto cNames = names(L"C:\\");
    const auto besideNames = beside.empty() ? std::vector<std::wstring>{} : names(beside);
    const std::wstring appFolder = o.app.substr(0, o.app.find_last_of(L'\\'));
    const std::wstring appListing = listing(appFolder);
    const std::wstring keepState = listing(onDrive(L"keep.txt"), 0, true) + listing(onDrive(L"photos"));

    Running app = startApp(r, o, label);
    if (!app.main) return;
    HWND main = app.main;
    chooseDrive(main, L"G:");
    click(findDescendant(main, kCommand1));
    r.equal(text(findDescendant(main, kCommand1)), kMonitorStop, label + L"the monitor runs on G:");

    {
        // 10 MB: a first line of 1 MB without a separator, then a name, then
        // 9 MB of lines without separators, then a name at the very end.
        std::string big = std::string(1 << 20, 'A') + "\r\nopen=big1.exe\r\n";
        const std::string line = std::string(998, 'B') + "\r\n";
        while (big.size() < (10u << 20)) big += line;
        big += "open=big2.exe\r\n";
        runCase(r, label, app, {L"a 10 MB autorun file", big, {L"big1.exe", L"big2.exe"}, {L"big1.exe", L"big2.exe"}, {}, {}, 30000});
    }
    {
        std::string garbage = std::string("\x81\x00\xff\xfe\x80\x20\x00=\x00 \xc0\xaf\xed\xa0\x80", 15) +
                              lcgBytes(65536, 7) + "\r\n\r\nopen=after-garbage.exe\r\n";
        runCase(r, label, app, {L"binary garbage with NUL bytes and invalid multi-byte sequences", garbage,
                                {L"after-garbage.exe"}, {L"after-garbage.exe"}});
        std::string wide = "\xff\xfe" + lcgBytes(4096, 11) + utf16(L"\r\n\xd800=\xdc00\r\nopen=after-utf16.exe\r\n");
        runCase(r, label, app, {L"UTF-16 garbage with broken surrogates", wide, {L"after-utf16.exe"}, {L"after-utf16.exe"}});
    }
    runCase(r, label, app,
            {L"device names",
             "[autorun]\r\nopen=CON\r\nopen=NUL\r\nicon=COM1\r\nshell\\x\\command=LPT1\r\nopen=AUX\r\nopen=CONIN$\r\n"
             "open=nul.txt\r\nopen=after-devices.exe\r\n",
             {L"after-devices.exe"}, {L"after-devices.exe"}});
    {
        std::string lines = "[autorun]\r\nopen=..\\keep.txt\r\nopen=photos\\..\\keep.txt\r\nopen=..\r\nopen=.\r\n"
                            "open=...\\keep.txt\r\nopen=\\keep.txt\r\nopen=/keep.txt\r\nopen=\\\\?\\G:\\keep.txt\r\n"
                            "open=keep.txt:evil\r\nopen=G:\\keep.txt\r\nopen=C:\\wardeck-canary.txt\r\n"
                            "open=..\\..\\..\\..\\..\\..\\wardeck-canary.txt\r\n";
        if (!beside.empty()) lines += "open=" + toUtf8(joinPath(beside, L"wardeck-canary-beside.txt")) + "\r\n";
        lines += "open=after-names.exe\r\n";
        runCase(r, label, app, {L"names with \"..\", \":\" or a leading \"\\\"", lines, {L"after-names.exe"},
                                {L"after-names.exe"}, {L"keep.txt"}});
    }
    r.check(keepState == listing(onDrive(L"keep.txt"), 0, true) + listing(onDrive(L"photos")),
            label + L"keep.txt and photos, reachable only through \"..\", \":\" or \"\\\", are untouched");

    // Drive texts that name no drive.
    HWND combo = findDescendant(main, kCombo1);
    const std::wstring longA(300, L'A');
    const std::wstring longG = L"G:\\" + std::wstring(297, L'x');
    for (const auto& [drive, what] : std::vector<std::pair<std::wstring, std::wstring>>{
             {L"", L"an empty drive text"}, {longA, L"a drive text of 300 characters"},
             {longG, L"a 300-character drive text inside G:"}}) {
        setDrive(main, drive);
        r.equal(static_cast<long long>(text(combo).size()), static_cast<long long>(drive.size()),
                label + what + L": the drive box holds it");
        sleepMs(600);
        r.check(app.process.running() && answers(main, 3000), label + what + L": wardeck.exe runs and answers");
    }
    chooseDrive(main, L"G:");

    // The drive goes away between two ticks and comes back.
    if (gfolder.empty()) {
        r.check(false, label + L"the drive disappears between two ticks",
                L"no --gfolder: the folder that G: maps to was not given");
    } else {
        const std::wstring away = gfolder + L".away";
        bool gone = MoveFileExW(gfolder.c_str(), away.c_str(), 0) != FALSE;
        r.check(gone && !exists(kRoot + L"keep.txt"), label + L"the drive's folder is moved away");
        sleepMs(600);
        r.check(app.process.running() && answers(main, 3000), label + L"without the drive wardeck.exe runs and answers");
        bool back = MoveFileExW(away.c_str(), gfolder.c_str(), 0) != FALSE;
        r.check(back && exists(kRoot + L"keep.txt"), label + L"the drive's folder is back");
        runCase(r, label, app, {L"after the drive came back", "[autorun]\r\nopen=back.exe\r\n", {L"back.exe"}, {L"back.exe"}});
    }

    click(findDescendant(main, kCommand1));
    app.process.terminate();

    for (const auto& c : canaries) checkCanary(r, c, label + L"the canary " + c.path + L" is untouched");
    r.equal(joined(names(L"C:\\")), joined(cNames), label + L"C:\\ holds the same entries as before");
    r.check(!exists(L"C:\\" + kQuarantineFolder), label + L"no Quarantine folder in C:\\");
    r.check(appListing == listing(appFolder), label + L"the program's folder (the current folder) is untouched",
            lineDiff(appListing, listing(appFolder)));
    if (!beside.empty())
        r.equal(joined(names(beside)), joined(besideNames), label + L"the folder beside G:'s folder holds the same entries");
    std::vector<std::wstring> expected = {kAutorunCopy};
    for (const wchar_t* n : {L"big1.exe", L"big2.exe", L"after-garbage.exe", L"after-utf16.exe", L"after-devices.exe",
                             L"after-names.exe", L"back.exe"})
        if (std::wstring(n) != L"back.exe" || !gfolder.empty()) expected.push_back(std::wstring(n) + L".vkq");
    std::sort(expected.begin(), expected.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(a.c_str(), b.c_str()) < 0;
    });
    r.equal(joined(names(onDrive(kQuarantineFolder))), joined(expected),
            label + L"the Quarantine folder holds the moved files and nothing else");
    r.equal(joined(names(kRoot)), joined({L"keep.txt", L"photos", kQuarantineFolder}),
            label + L"G: holds keep.txt, photos and the Quarantine folder only");
}


// ---- folders, locked payloads, links ----------------------------------------------------

Running startMonitoring(Report& r, const Options& o, const std::wstring& label) {
    clearDrive();
    Running app = startApp(r, o, label);
    if (!app.main) return app;
    chooseDrive(app.main, L"G:");
    click(findDescendant(app.main, kCommand1));
    r.equal(text(findDescendant(app.main, kCommand1)), kMonitorStop, label + L"the monitor runs on G:");
    return app;
}

// Places an autorun file and waits until the monitor has moved it away.
bool autorunTaken(Report& r, const std::wstring& what, const std::string& autorun) {
    placeFile(onDrive(L"autorun.inf"), autorun);
    const bool taken = waitUntil([] { return !exists(onDrive(L"autorun.inf")); }, 5000, 10);
    r.check(taken, what + L": the autorun file is taken within 5 s", L"the drive holds:\n" + listing(kRoot, 2, false));
    sleepMs(300);  // the rest of its run
    return taken;
}

// The 8.3 alias Windows gives the entry at `path`, as GetShortPathNameW reads it.
std::wstring aliasOf(const std::wstring& path) {
    wchar_t buffer[1024];
    const DWORD n = GetShortPathNameW(path.c_str(), buffer, 1024);
    if (n == 0 || n >= 1024) return L"";
    const std::wstring full(buffer, n);
    return full.substr(full.find_last_of(L'\\') + 1);
}

// Names written as Windows also takes them: 8.3 aliases and a trailing dot.
// The Quarantine folder by its alias stays refused.
void aliasesAndDots(Report& r, const std::wstring& label) {
    writeFile(onDrive(L"longpayloadname.exe"), "MZ long payload");
    makeDirs(onDrive(L"longfoldername"));
    writeFile(onDrive(L"longfoldername\\inner.exe"), "MZ inner");
    writeFile(onDrive(L"dotty.exe"), "MZ dotty");
    const std::wstring alias = aliasOf(onDrive(L"longpayloadname.exe")), folder = aliasOf(onDrive(L"longfoldername")),
                       quarantine = aliasOf(onDrive(kQuarantineFolder));
    r.note(L"aliases: " + alias + L", " + folder + L", " + quarantine + L" (" + kQuarantineFolder + L")");
    r.check(alias.find(L'~') != std::wstring::npos && folder.find(L'~') != std::wstring::npos &&
                quarantine.find(L'~') != std::wstring::npos,
            label + L"GetShortPathNameW gives 8.3 aliases of the payload, its folder and the Quarantine folder");
    const std::wstring before = listing(onDrive(kQuarantineFolder), 8, false);
    const std::string q = toUtf8(quarantine);
    if (!autorunTaken(r, label + L"aliases and a trailing dot",
                      "\xEF\xBB\xBF[autorun]\r\nopen=" + toUtf8(alias) + "\r\nopen=" + toUtf8(folder) +
                          "\\inner.exe\r\nshellexecute=dotty.exe.\r\nopen=" + q + "\\autorun.inf.vkq\r\nopen=" + q + "\r\n"))
        return;
    r.check(readFile(inQuarantine(L"longpayloadname.exe.vkq")) == std::string("MZ long payload") &&
                !exists(onDrive(L"longpayloadname.exe")),
            label + L"the payload named by its alias " + alias + L" is quarantined as longpayloadname.exe.vkq");
    r.check(readFile(inQuarantine(L"longfoldername\\inner.exe.vkq")) == std::string("MZ inner"),
            label + L"one in a folder named by its alias " + folder + L" goes to longfoldername\\inner.exe.vkq");
    r.check(readFile(inQuarantine(L"dotty.exe.vkq")) == std::string("MZ dotty") && !exists(onDrive(L"dotty.exe")),
            label + L"\"shellexecute=dotty.exe.\" quarantines dotty.exe as dotty.exe.vkq");
    const std::wstring after = listing(onDrive(kQuarantineFolder), 8, false);
    std::wstring added;
    for (const std::wstring& n : names(onDrive(kQuarantineFolder)))
        if (before.find(n) == std::wstring::npos) added += L" " + n;
    r.check(added == L" dotty.exe.vkq longfoldername longpayloadname.exe.vkq" && exists(inQuarantine(kAutorunCopy)) &&
                isFolder(onDrive(kQuarantineFolder)),
            label + L"the Quarantine folder by its alias " + quarantine + L" moves nothing", L"new entries:" + added);
}

void foldersPart(Report& r, const Options& o) {
    const std::wstring label = L"folders: ";
    Running app = startMonitoring(r, o, label);
    if (!app.main) return;
    const std::wstring sid = L"S-1-5-21-1004336348-1177238915-682003330-512";
    const std::wstring deep = L"RECYCLER\\" + sid + L"\\payload.exe";
    const std::string payload = "MZ payload two folders deep";
    makeDirs(onDrive(L"RECYCLER\\" + sid));
    writeFile(onDrive(deep), payload, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
    writeFile(onDrive(L"RECYCLER\\" + sid + L"\\desktop.ini"), "not named");
    if (autorunTaken(r, label + L"shellexecute=RECYCLER\\...\\payload.exe",
                     "[autorun]\r\nshellexecute=RECYCLER\\" + toUtf8(sid) + "\\payload.exe\r\n")) {
        r.check(readFile(inQuarantine(deep + L".vkq")) == payload,
                label + L"the payload is at " + kQuarantineFolder + L"\\" + deep + L".vkq, unchanged",
                L"the Quarantine folder holds:\n" + listing(onDrive(kQuarantineFolder), 4, false));
        const DWORD a = attributes(inQuarantine(deep + L".vkq"));
        r.check(a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY)),
                label + L"its attributes are cleared", L"attributes " + std::to_wstring(a));
        r.check(!exists(onDrive(deep)) && isFolder(onDrive(L"RECYCLER\\" + sid)) &&
                    exists(onDrive(L"RECYCLER\\" + sid + L"\\desktop.ini")),
                label + L"the payload left; its folders and the file beside it stay on the drive");
    }
    // A payload whose path is longer than 260 characters (made through \\?\).
    std::wstring longName;
    for (wchar_t c : std::wstring(L"abcde")) longName += std::wstring(60, c) + L"\\";
    longName += L"payload-long.exe";
    {
        std::wstring at = L"\\\\?\\G:\\";
        for (std::size_t i = 0; i < 5; ++i) CreateDirectoryW((at += std::wstring(60, L"abcde"[i])).c_str(), nullptr), at += L"\\";
        HANDLE f = CreateFileW((at + L"payload-long.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD wrote = 0;
        const bool made = f != INVALID_HANDLE_VALUE && WriteFile(f, "MZ long", 7, &wrote, nullptr) && wrote == 7;
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        r.check(made, label + L"a payload at a path of " + std::to_wstring(3 + longName.size()) + L" characters is made");
    }
    if (autorunTaken(r, label + L"a name longer than 260 characters", "[autorun]\r\nopen=" + toUtf8(longName) + "\r\n")) {
        const std::wstring target = L"\\\\?\\G:\\" + kQuarantineFolder + L"\\" + longName + L".vkq";
        const bool moved = waitUntil([&] { return GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES; }, 2000);
        r.check(moved && GetFileAttributesW((L"\\\\?\\G:\\" + longName).c_str()) == INVALID_FILE_ATTRIBUTES,
                label + L"it is quarantined at the mirrored path of " + std::to_wstring(target.size() - 4) + L" characters");
    }
    // A name inside the Quarantine folder, also through "." and a different letter case.
    const std::wstring before = listing(onDrive(kQuarantineFolder), 8, false);
    const std::string q = toUtf8(kQuarantineFolder);
    if (autorunTaken(r, label + L"names inside the Quarantine folder",
                     "[autorun]\r\nopen=" + q + "\\RECYCLER\\" + toUtf8(sid) + "\\payload.exe.vkq\r\nopen=.\\" + q +
                         "\\autorun.inf.vkq\r\nopen=★优盘vip房☆\\RECYCLER\r\nopen=" + q + "\r\n")) {
        const std::wstring after = listing(onDrive(kQuarantineFolder), 8, false);
        std::wstring diff = lineDiff(before, after);
        r.check(readFile(inQuarantine(deep + L".vkq")) == payload && isFolder(inQuarantine(L"RECYCLER")) &&
                    !exists(inQuarantine(kQuarantineFolder + L".vkq")),
                label + L"a file inside the Quarantine folder (or the folder itself) moves nothing", diff);
    }
    aliasesAndDots(r, label);
    click(findDescendant(app.main, kCommand1));
    app.process.terminate();
}

void lockedPart(Report& r, const Options& o) {
    const std::wstring label = L"locked: ";
    Running app = startMonitoring(r, o, label);
    if (!app.main) return;
    writeFile(onDrive(L"x.exe"), "MZ first x");
    if (!autorunTaken(r, label + L"first autorun", "[autorun]\r\nopen=x.exe\r\n")) return;
    r.check(readFile(inQuarantine(L"x.exe.vkq")) == std::string("MZ first x"), label + L"x.exe.vkq holds the first x.exe");
    writeFile(onDrive(L"x.exe"), "MZ second x, running");
    HANDLE lock = CreateFileW(onDrive(L"x.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    r.check(lock != INVALID_HANDLE_VALUE, label + L"the client holds x.exe open without sharing");
    if (autorunTaken(r, label + L"second autorun, x.exe held", "[autorun]\r\nopen=x.exe\r\nopen=y.exe\r\n")) {
        r.check(readFile(inQuarantine(L"x.exe.vkq")) == std::string("MZ first x"),
                label + L"the move of the held x.exe fails and the earlier x.exe.vkq is kept");
        r.check(exists(onDrive(L"x.exe")), label + L"x.exe is still on the drive");
        r.check(readFile(inQuarantine(kAutorunCopy)) == std::string("[autorun]\r\nopen=x.exe\r\nopen=y.exe\r\n"),
                label + L"the autorun copy is the second one");
    }
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    if (autorunTaken(r, label + L"third autorun, x.exe free", "[autorun]\r\nopen=x.exe\r\n")) {
        r.check(readFile(inQuarantine(L"x.exe.vkq")) == std::string("MZ second x, running") && !exists(onDrive(L"x.exe")),
                label + L"once free, x.exe replaces its earlier copy");
    }
    click(findDescendant(app.main, kCommand1));
    app.process.terminate();
}

// The links are made by the run (Unix symbolic links in G:'s folder, which
// Wine plays as links) and never moved or deleted from here: Wine would move
// or delete what they lead to. The outside folder holds secret.txt,
// sub\deep.txt, x.exe.vkq and autorun.inf.vkq.
struct Outside {
    std::wstring folder, before;
    std::string secret;
    explicit Outside(std::wstring f) : folder(std::move(f)), before(listing(folder, 8, true)) {
        secret = readFile(joinPath(folder, L"secret.txt")).value_or("");
    }
    void same(Report& r, const std::wstring& what) const {
        r.check(!secret.empty() && listing(folder, 8, true) == before &&
                    readFile(joinPath(folder, L"secret.txt")).value_or("?") == secret,
                what + L"every file outside the drive is unchanged", lineDiff(before, listing(folder, 8, true)));
    }
};

Running startWatching(Report& r, const Options& o, const std::wstring& label) {
    Running app = startApp(r, o, label);
    if (!app.main) return app;
    chooseDrive(app.main, L"G:");
    click(findDescendant(app.main, kCommand1));
    return app;
}

// G:\★优盘VIP房☆ is a link to the outside folder.
void linksQuarantinePart(Report& r, const Options& o) {
    const std::wstring label = L"links, the Quarantine folder a link: ";
    const Outside outside(o.extra.at(L"outside"));
    r.check((attributes(onDrive(kQuarantineFolder)) & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
            label + kQuarantineFolder + L" shows FILE_ATTRIBUTE_REPARSE_POINT",
            L"attributes " + std::to_wstring(attributes(onDrive(kQuarantineFolder))));
    Running app = startWatching(r, o, label);
    if (!app.main) return;
    writeFile(onDrive(L"x.exe"), "MZ x");
    placeFile(onDrive(L"autorun.inf"), "[autorun]\r\nopen=x.exe\r\n");
    sleepMs(1500);
    r.check(exists(onDrive(L"autorun.inf")) && exists(onDrive(L"x.exe")),
            label + L"autorun.inf and x.exe stay on the drive for 1.5 s (15 ticks)");
    r.check(app.process.running() && answers(app.main, 3000), label + L"wardeck.exe runs and answers");
    outside.same(r, label);
    click(findDescendant(app.main, kCommand1));
    app.process.terminate();
}

// G:\j is a link to the outside folder, G:\f.exe one to a file in it,
// G:\★优盘VIP房☆\sub one to the outside folder; autorun.inf and x.exe are
// left from the part above, whose link the run has taken away since.
void linksPart(Report& r, const Options& o) {
    const std::wstring label = L"links: ";
    const Outside outside(o.extra.at(L"outside"));
    r.check((attributes(onDrive(L"j")) & FILE_ATTRIBUTE_REPARSE_POINT) != 0,
            label + L"G:\\j shows FILE_ATTRIBUTE_REPARSE_POINT", L"attributes " + std::to_wstring(attributes(onDrive(L"j"))));
    r.note(L"G:\\f.exe, a link to a file, has attributes " + std::to_wstring(attributes(onDrive(L"f.exe"))));
    Running app = startWatching(r, o, label);
    if (!app.main) return;
    const bool taken = waitUntil(
        [] { return !exists(onDrive(L"autorun.inf")) && exists(inQuarantine(L"x.exe.vkq")); }, 3000);
    r.check(taken, label + L"with a real Quarantine folder the autorun file left from before is handled: x.exe moved");
    makeDirs(onDrive(L"sub"));
    writeFile(onDrive(L"sub\\x.exe"), "MZ sub");
    writeFile(onDrive(L"after-links.exe"), "MZ");
    placeFile(onDrive(L"autorun.inf"),
              "[autorun]\r\nopen=j\\secret.txt\r\nopen=j\\sub\\deep.txt\r\nicon=j\r\nopen=f.exe\r\nopen=.\\j\\x.exe.vkq\r\n"
              "open=sub\\x.exe\r\nopen=after-links.exe\r\n");
    const bool handled = waitUntil(
        [] { return !exists(onDrive(L"autorun.inf")) && exists(inQuarantine(L"after-links.exe.vkq")); }, 5000);
    r.check(handled, label + L"an autorun file naming files through links is handled up to its last line");
    r.check(exists(onDrive(L"j")) && exists(onDrive(L"f.exe")) && !exists(inQuarantine(L"j.vkq")) &&
                !exists(inQuarantine(L"f.exe.vkq")),
            label + L"the links named as files are passed over, not moved");
    r.check(exists(onDrive(L"sub\\x.exe")),
            label + L"sub\\x.exe, whose folder in the Quarantine folder is a link, stays on the drive");
    r.check(app.process.running() && answers(app.main, 3000), label + L"wardeck.exe runs and answers");
    outside.same(r, label);
    click(findDescendant(app.main, kCommand1));
    app.process.terminate();
}

// ---- payloads deep in folders ---------------------------------------------------------------

// The run has made deep00\d\...\d\payload.exe and the like, --deep-payloads
// of them, each --deep-folders folders deep, holding "MZ deep NN\r\n".
void deepPart(Report& r, const Options& o) {
    const std::wstring label = L"deep: ";
    const int payloads = o.number(L"deep-payloads", 40), folders = o.number(L"deep-folders", 300);
    auto name = [&](int i) {
        wchar_t top[16];
        swprintf(top, 16, L"deep%02d", i);
        std::wstring out = top;
        for (int k = 1; k < folders; ++k) out += L"\\d";
        return out + L"\\payload.exe";
    };
    auto content = [](int i) {
        char text[32];
        snprintf(text, sizeof text, "MZ deep %02d\r\n", i);
        return std::string(text);
    };
    const std::wstring onG = L"\\\\?\\G:\\", inQ = onG + kQuarantineFolder + L"\\";
    bool made = true;
    std::string autorun = "[autorun]\r\n";
    for (int i = 0; i < payloads; ++i) {
        made = made && readFile(onG + name(i)) == content(i);
        autorun += "open=" + toUtf8(name(i)) + "\r\n";
    }
    if (!r.check(made, label + std::to_wstring(payloads) + L" payloads, each " + std::to_wstring(folders) +
                           L" folders deep, are on the drive"))
        return;

    Running app = startApp(r, o, label);
    if (!app.main) return;
    chooseDrive(app.main, L"G:");
    click(findDescendant(app.main, kCommand1));
    const auto t0 = Clock::now();
    placeFile(onDrive(L"autorun.inf"), autorun);
    double worst = 0;
    bool answered = true, done = false;
    while (!done && msSince(t0) < 90000) {
        const auto a0 = Clock::now();
        answered = answers(app.main, 1000) && answered;
        worst = std::max(worst, msSince(a0));
        done = exists(inQ + name(payloads - 1) + L".vkq");
        if (!done) sleepMs(100);
    }
    const double took = msSince(t0);
    r.note(L"the last of " + std::to_wstring(payloads) + L" payloads quarantined after " + msText(took) +
           L"; slowest answer " + msText(worst));
    r.check(done && took <= 60000, label + L"the payloads are quarantined within 60 s",
            done ? L"after " + msText(took) : L"not within 90 s");
    int there = 0, gone = 0;
    for (int i = 0; i < payloads; ++i) {
        there += readFile(inQ + name(i) + L".vkq") == content(i);
        gone += !exists(onG + name(i));
    }
    r.check(there == payloads && gone == payloads,
            label + L"each is at its mirrored path in the Quarantine folder and gone from the drive",
            std::to_wstring(there) + L" there, " + std::to_wstring(gone) + L" gone");
    r.check(answered && worst <= 1000, label + L"the window answers within 1 s throughout",
            L"slowest answer " + msText(worst));
    r.check(app.process.running(), label + L"wardeck.exe runs");
    click(findDescendant(app.main, kCommand1));
    app.process.terminate();
}

// ---- a 64 MiB autorun file ----------------------------------------------------------------

// The Process page's controls (as in wardeck_tools_ui.h).
constexpr int kProcessPage = 112, kProcessBox = 404, kSuspectList = 405, kAutoRefresh = 408, kSearch = 409,
              kLoopKill = 410, kProcessRow0 = 200000;

std::vector<std::wstring> processRows(HWND main) {
    std::vector<std::wstring> out;
    HWND box = findDescendant(main, kProcessBox);
    for (HWND w = box ? GetWindow(box, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(w) <= kProcessRow0 || !IsWindowVisible(w)) continue;
        out.push_back(text(w));
    }
    return out;
}

bool holds(const std::vector<std::wstring>& v, const std::wstring& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

void floodPart(Report& r, const Options& o) {
    const std::wstring label = L"flood: ";
    // 64 MiB, the most the monitor reads: a name on the first line, a line of
    // 8 MiB with NUL bytes and "=" in it, millions of lines each naming a
    // different file that does not exist (some with NUL bytes), a name in the
    // middle, and one on the very last line, without a line end.
    const std::size_t total = 64u << 20;
    std::string big;
    big.reserve(total);
    big += "[autorun]\r\nopen=flood-first.exe\r\n";
    big += "shell=";
    for (std::size_t i = 0; i < (8u << 20); ++i) big += (i % 4099 == 0) ? '=' : (i % 7 == 0 ? '\0' : 'A');
    big += "\r\n";
    const std::string last = "open=flood-last.exe";
    char line[64];
    for (unsigned n = 0; big.size() + 64 + last.size() < total; ++n) {
        if (n == 1500000) big += "open=flood-mid.exe\r\n";
        const int len = n % 1000 == 999 ? snprintf(line, sizeof line, "open=f%07x\x01\r\n", n)
                                         : snprintf(line, sizeof line, "open=f%07x.exe\r\n", n);
        big.append(line, static_cast<std::size_t>(len));
        if (n % 1000 == 500) big.append(std::string("open=nul\0l.exe\r\n", 16));
    }
    big += last;
    r.note(L"the autorun file: " + std::to_wstring(big.size()) + L" bytes");

    Running app = startMonitoring(r, o, label);
    if (!app.main) return;
    HWND main = app.main;
    for (const wchar_t* n : {L"flood-first.exe", L"flood-mid.exe", L"flood-last.exe"}) writeFile(onDrive(n), "MZ flood");
    // The other three timers run meanwhile: Auto refresh, the search and Loop kill.
    DummyGroup dummies;
    std::wstring error;
    Process* gone = dummies.start(joinPath(clientFolder(), L"floodgone.exe"), &error);
    r.check(gone != nullptr, label + L"floodgone.exe starts", error);
    click(findDescendant(main, kProcessPage));
    click(findDescendant(main, kAutoRefresh));
    click(findDescendant(main, kSearch));
    click(findDescendant(main, kLoopKill));
    sleepMs(1000);
    r.check(holds(processRows(main), L"floodgone.exe"), label + L"the Process list shows floodgone.exe");

    const std::wstring proc = unixProcFolder("wardeck.exe");
    const MemoryCounts m0 = memoryCounts(app.process.handle(), proc);
    r.note(L"private memory before: " + std::to_wstring(m0.privateMb) + L" MB (" + m0.how + L")");

    const auto t0 = Clock::now();
    if (!placeFile(onDrive(L"autorun.inf"), big)) {
        r.check(false, label + L"the 64 MiB autorun file can be written");
        return;
    }
    big.clear();
    big.shrink_to_fit();
    double worstAnswer = 0, peakMb = m0.privateMb;
    bool allAnswered = true, refreshed = false, found = false, ended = false, done = false;
    Process* fresh = nullptr;
    while (msSince(t0) < 150000) {
        const auto a0 = Clock::now();
        const bool answered = answers(main, 1000);
        worstAnswer = std::max(worstAnswer, msSince(a0));
        allAnswered = allAnswered && answered;
        peakMb = std::max(peakMb, memoryCounts(app.process.handle(), proc).privateMb);
        if (!exists(onDrive(L"autorun.inf"))) {
            // The run is under way: end floodgone.exe, start floodnew.exe.
            if (gone && gone->running()) gone->terminate();
            if (!fresh) fresh = dummies.start(joinPath(clientFolder(), L"floodnew.exe"), &error);
            refreshed = refreshed || !holds(processRows(main), L"floodgone.exe");
            found = found || holds(listItems(findDescendant(main, kSuspectList)), L"floodnew.exe");
            ended = ended || (fresh && !fresh->running());
        }
        done = exists(inQuarantine(L"flood-last.exe.vkq"));
        if (done && refreshed && found && ended) break;
        sleepMs(100);
    }
    const double tookMs = msSince(t0);
    r.note(L"64 MiB autorun: the last line's file quarantined after " + msText(tookMs) + L"; private memory peak " +
           std::to_wstring(peakMb) + L" MB, +" + std::to_wstring(peakMb - m0.privateMb) + L" MB; slowest answer " +
           msText(worstAnswer));
    r.check(done && tookMs <= 120000, label + L"flood-last.exe, named on the very last line, is quarantined within 2 minutes",
            done ? L"after " + msText(tookMs) : L"not within 150 s");
    r.check(exists(inQuarantine(L"flood-first.exe.vkq")) && exists(inQuarantine(L"flood-mid.exe.vkq")),
            label + L"flood-first.exe and flood-mid.exe are quarantined too");
    r.check(m0.privateMb > 0 && peakMb - m0.privateMb <= 16.0, label + L"private memory rises by at most 16 MB",
            m0.privateMb > 0 ? L"+" + std::to_wstring(peakMb - m0.privateMb) + L" MB"
                             : L"private memory could not be read: " + m0.how);
    r.check(allAnswered && worstAnswer <= 1000, label + L"the window answers within 1 s throughout",
            L"slowest answer " + msText(worstAnswer));
    r.check(refreshed, label + L"Auto refresh (Timer3) drops the ended floodgone.exe from the Process list meanwhile");
    r.check(found, label + L"the search (Timer4) lists floodnew.exe, started meanwhile");
    r.check(ended, label + L"Loop kill (Timer2) ends floodnew.exe meanwhile");
    r.check(app.process.running(), label + L"wardeck.exe runs");
    dummies.endAll();
    app.process.terminate();
    clearDrive();
}

}  // namespace

int scenarioDrive(Report& r, const Options& o) {
    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    if (!r.check(isFolder(kRoot), L"drive G: is mapped", L"no folder " + kRoot)) return r.finish();
    if (o.wants(L"monitor")) monitorPart(r, o);
    if (o.wants(L"autostart")) autostartPart(r, o);
    if (o.wants(L"lines")) linesPart(r, o);
    if (o.wants(L"bad-input")) badInputPart(r, o);
    if (o.wants(L"folders")) foldersPart(r, o);
    if (o.wants(L"locked")) lockedPart(r, o);
    // Only on the run's word: it makes the links before each of these.
    if (o.extra.count(L"outside") && o.wants(L"links-quarantine")) linksQuarantinePart(r, o);
    if (o.extra.count(L"outside") && o.wants(L"links")) linksPart(r, o);
    if (o.wants(L"flood")) floodPart(r, o);
    if (o.extra.count(L"deep-payloads") && o.wants(L"deep")) deepPart(r, o);
    return r.finish();
}

}  // namespace wdauto
