// The DLL tool and the shell from outside: the tray icon comes back when a
// new shell announces itself, "删除dll" ends the shell, deletes the named
// file and starts the shell again, a missing path only shows its message,
// and bad paths neither crash nor hang the program.
//
// Under Wine the shell is explorer.exe too, but one that does not come back
// as a notification area: the first explorer.exe is Wine's desktop process,
// and a plain explorer.exe started later opens a folder window ("桌面").
// This scenario therefore ends the shell of its Wine session; run it last in
// its prefix.
//
// Throughout, an explorer.exe (a copy of dummy.exe) lies beside wardeck.exe,
// in the folder it runs in, as malware on a stick would plant it: it must
// never be started. The shell that is started is the Windows folder's, and it
// runs in that folder. While "删除dll" runs, the window keeps answering.
//
// Parts (--only): shell, delete, refused (a shell whose end is refused is not
// waited for).
#include <algorithm>
#include <set>

#include "probes.h"
// After windows.h (in probes.h), which it needs.
#include <shellapi.h>
#include "scenarios.h"
#include "wardeck_tools_ui.h"

namespace wdauto {

namespace {

using namespace wardeck;

const std::wstring kRoot = L"G:\\";

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool makeFile(const std::wstring& path, DWORD attributes) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    WriteFile(f, "MZ", 2, &n, nullptr);
    CloseHandle(f);
    return SetFileAttributesW(path.c_str(), attributes) != 0;
}

std::set<DWORD> shells() {
    auto pids = pidsNamed(L"explorer.exe");
    return {pids.begin(), pids.end()};
}

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::wstring windowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring folderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"" : path.substr(0, slash);
}

std::wstring listPids(const std::set<DWORD>& pids) {
    std::wstring out;
    for (DWORD p : pids) out += L" " + std::to_wstring(p);
    return out.empty() ? L" none" : out;
}

// The shell as a Windows session runs it. Under Wine: a folder window.
Process startShell(std::wstring* error) {
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring explorer = joinPath(windows, L"explorer.exe");
    return launch(explorer, L"\"" + explorer + L"\"", L"", error);
}

struct Context {
    Report& r;
    const Options& o;
    Running app;
    DWORD pid = 0;
    HWND owner = nullptr;
    std::wstring planted;  // the explorer.exe beside wardeck.exe
    Context(Report& report, const Options& options) : r(report), o(options) {}
};

// What a click on "删除dll" leads to, watched from the click on: the shells
// that were not there before, and how the window answered meanwhile.
struct Restart {
    std::set<DWORD> fresh;
    long long ms = 0;         // from the click until a new shell runs
    long long slowest = 0;    // the slowest answer to WM_NULL
    bool unanswered = false;  // a WM_NULL went unanswered for 1 s
};

Restart watchRestart(Context& c, const std::set<DWORD>& before, Clock::time_point clicked) {
    Restart w;
    waitUntil(
        [&] {
            const auto asked = Clock::now();
            if (!answers(c.app.main, 1000)) w.unanswered = true;
            w.slowest = std::max<long long>(
                w.slowest, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count());
            w.fresh.clear();
            for (DWORD p : shells()) {
                if (!before.count(p)) w.fresh.insert(p);
            }
            return !w.fresh.empty();
        },
        12000, 20);
    w.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - clicked).count();
    return w;
}

// The shell that was started is the Windows folder's, runs in that folder,
// and nothing runs from the planted one; the window answered all the while.
void expectTheWindowsShell(Context& c, const Restart& w, const std::wstring& label) {
    Report& r = c.r;
    r.check(!w.unanswered, label + L": the window answers (WM_NULL within 1 s) until the shell is back",
            L"slowest answer " + std::to_wstring(w.slowest) + L" ms");
    if (w.fresh.empty()) return;
    const DWORD shell = *w.fresh.begin();
    const std::wstring want = windowsFolder() + L"\\explorer.exe";
    const std::wstring path = newProcessPath(shell);
    r.check(samePath(path, want), label + L": the new shell is " + want, L"it is " + quoted(path));
    const auto folder = currentFolder(shell);
    std::wstring in = folder ? *folder : L"";
    while (in.size() > 3 && in.back() == L'\\') in.pop_back();
    r.check(folder && samePath(in, windowsFolder()), label + L": the new shell runs in the Windows folder",
            folder ? L"it runs in " + quoted(*folder) : L"its current folder could not be read");
    std::wstring fromPlanted;
    for (DWORD p : shells()) {
        if (samePath(newProcessPath(p), c.planted)) fromPlanted += L" " + std::to_wstring(p);
    }
    r.check(fromPlanted.empty(), label + L": the explorer.exe beside wardeck.exe is not started",
            L"running from " + c.planted + L":" + fromPlanted);
}

// ---- shell ------------------------------------------------------------------------

void shellPart(Context& c) {
    Report& r = c.r;
    click(findDescendant(c.app.main, kCommand12));
    r.check(waitUntil([&] { return !visible(c.app.main); }, 3000), L"\"后台运行监控\" hides the window");
    // The tray window comes with the first icon.
    r.check(waitUntil(
                [&] {
                    if (!c.owner) c.owner = findTrayOwner(c.pid);
                    return c.owner && trayIconShown(c.owner, kTrayIconId);
                },
                3000, 50),
            L"the tray icon is shown");

    const std::set<DWORD> before = shells();
    if (!r.check(!before.empty(), L"a shell (explorer.exe) runs")) return;
    bool ended = true;
    for (DWORD p : before) ended = endProcess(p) && ended;
    r.check(ended, L"the shell is ended (explorer.exe" + listPids(before) + L")");
    r.check(!trayIconShown(c.owner, kTrayIconId), L"with the shell gone, so is the icon");

    // Wine's explorer.exe, when it comes back, does not announce itself with
    // "TaskbarCreated" the way a Windows shell does, and under Wine the
    // desktop's notification area does not come back at all. So the test
    // plays the new shell: it opens a notification area of its own
    // (Shell_TrayWnd) and broadcasts "TaskbarCreated" itself.
    StandInTray tray;
    if (!r.check(tray.start(), L"a stand-in notification area (Shell_TrayWnd) opens")) return;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0, SMTO_ABORTIFHUNG, 3000,
                        &result);
    auto added = [&]() -> std::optional<StandInTray::Request> {
        for (const auto& q : tray.requests()) {
            if (q.action == NIM_ADD && q.owner == c.owner && q.id == kTrayIconId) return q;
        }
        return std::nullopt;
    };
    const bool back = waitUntil([&] { return added().has_value(); }, 3000, 50);
    std::wstring seen;
    for (const auto& q : tray.requests()) {
        seen += L"\naction " + std::to_wstring(q.action) + L", window " + std::to_wstring(reinterpret_cast<UINT_PTR>(q.owner)) +
                L", id " + std::to_wstring(q.id);
    }
    r.check(back, L"after the new shell's TaskbarCreated the program adds its icon again (NIM_ADD, its tray window, id 1)",
            L"requests:" + (seen.empty() ? std::wstring(L" none") : seen));
    if (auto q = added()) {
        r.check((q->flags & (NIF_MESSAGE | NIF_ICON | NIF_TIP)) == (NIF_MESSAGE | NIF_ICON | NIF_TIP) &&
                    q->callbackMessage == WM_APP + 1,
                L"the icon comes back with its callback message, image and tip",
                L"flags " + std::to_wstring(q->flags) + L", callback " + std::to_wstring(q->callbackMessage));
        r.check(q->holdsText(kTrayTip), L"the icon's tip is " + kTrayTip);
    }
    r.check(!visible(c.app.main), L"the window stays hidden while the icon comes back");
    postTrayMouse(c.owner, WM_LBUTTONUP);
    r.check(waitUntil([&] { return visible(c.app.main) && !IsIconic(c.app.main); }, 3000),
            L"the icon's left button brings the window back afterwards");
    tray.stop();
}

// ---- delete -----------------------------------------------------------------------

// Types `path` into Text2 and presses "删除dll" (posted: a message box may open).
void pressDelete(Context& c, const std::wstring& path) {
    setText(findDescendant(c.app.main, kText2), path);
    postClick(findDescendant(c.app.main, kCommand11));
}

// A path that names nothing: the exact message, OK only, the shell left alone.
void expectNotFound(Context& c, const std::wstring& path, const std::wstring& label) {
    Report& r = c.r;
    const std::set<DWORD> before = shells();
    const auto t0 = Clock::now();
    pressDelete(c, path);
    HWND box = waitMessageBox(c.pid, 8000, kNotFoundTitle);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    if (!r.check(box != nullptr, label + L": a message box titled " + kNotFoundTitle + L" appears (within 8 s)")) return;
    r.note(label + L": the box came after " + std::to_wstring(ms) + L" ms");
    r.equal(messageBoxText(box), kNotFoundBefore + path + kNotFoundAfter, label + L": the message names the path exactly");
    r.check(GetDlgItem(box, IDOK) && !GetDlgItem(box, IDCANCEL) && dialogButtons(box).size() == 1,
            label + L": the box has one button, OK");
    pressDialogButton(box, IDOK);
    r.check(waitUntil([&] { return !IsWindow(box); }, 3000), label + L": OK closes the box");
    sleepMs(300);
    r.check(shells() == before && c.app.process.running() && answers(c.app.main),
            label + L": the shell is left alone and the program answers",
            L"explorer.exe before" + listPids(before) + L", after" + listPids(shells()));
}

// A path that exists: the shell is ended and started again, with the window
// style that tells whether the deletion worked.
void expectShellRestart(Context& c, const std::wstring& path, bool deletes, const std::wstring& label) {
    Report& r = c.r;
    const std::set<DWORD> before = shells();
    r.check(!before.empty(), label + L": a shell runs before");
    const auto clicked = Clock::now();
    pressDelete(c, path);
    const Restart w = watchRestart(c, before, clicked);
    const std::set<DWORD>& fresh = w.fresh;
    const bool restarted = !fresh.empty();
    r.check(restarted, label + L": a new shell (explorer.exe) runs afterwards");
    if (restarted) r.note(label + L": the new shell ran " + std::to_wstring(w.ms) + L" ms after the click");
    expectTheWindowsShell(c, w, label);
    bool oldEnded = true;
    for (DWORD p : before) oldEnded = oldEnded && !processAlive(p);
    r.check(oldEnded, label + L": the shell that ran before was ended", L"still running:" + listPids(before));
    if (deletes) {
        r.check(waitUntil([&] { return !exists(path); }, 3000), label + L": the file is deleted");
    } else {
        sleepMs(300);
        r.check(exists(path), label + L": it stays");
    }
    if (restarted) {
        const auto show = startShow(*fresh.begin());
        const WORD want = deletes ? SW_SHOWMINIMIZED : SW_HIDE;
        r.check(show && (show->flags & STARTF_USESHOWWINDOW) && show->show == want,
                label + (deletes ? L": the new shell is started minimized (SW_SHOWMINIMIZED)"
                                 : L": the new shell is started hidden (SW_HIDE)"),
                show ? L"flags " + std::to_wstring(show->flags) + L", show " + std::to_wstring(show->show)
                     : L"its start-up parameters could not be read");
    }
    HWND box = waitMessageBox(c.pid, 300);
    r.check(box == nullptr, label + L": no message is shown", box ? quoted(messageBoxText(box)) : L"");
    if (box) pressDialogButton(box, IDOK);
    r.check(c.app.process.running() && answers(c.app.main), label + L": the program runs and answers");
}

void deletePart(Context& c) {
    Report& r = c.r;
    std::wstring error;
    if (shells().empty()) {
        Process shell = startShell(&error);
        r.check(bool(shell) && waitUntil([&] { return !shells().empty(); }, 5000), L"a shell (explorer.exe) is started",
                error);
    }
    click(findDescendant(c.app.main, kDllPageButton));
    HWND button = findDescendant(c.app.main, kCommand11);
    if (!r.check(button && visible(button), L"the Dll page shows \"删除dll\" (Command11, ID 604)")) return;
    r.equal(text(button), kDeleteDllCaption, L"Command11 reads 删除dll");

    expectNotFound(c, kRoot + L"没有这个文件.dll", L"missing file");
    expectNotFound(c, L"", L"empty path");

    const std::wstring readOnly = kRoot + L"wd-evil.dll";
    r.check(makeFile(readOnly, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            L"a read-only hidden file G:\\wd-evil.dll is made");
    expectShellRestart(c, readOnly, true, L"read-only file");

    const std::wstring chinese = kRoot + L"恶意模块.dll";
    makeFile(chinese, FILE_ATTRIBUTE_READONLY);
    expectShellRestart(c, chinese, true, L"Chinese file name");

    // Only a plain file reached without a link counts as there.
    const std::wstring folder = kRoot + L"wd-folder";
    CreateDirectoryW(folder.c_str(), nullptr);
    expectNotFound(c, folder, L"a folder");
    r.check(exists(folder), L"a folder: it stays");
    const std::wstring outside = c.o.text(L"outside");
    if (r.check(!outside.empty(), L"a folder link G:\\wd-link to a folder outside the drive is there (--outside)")) {
        const std::wstring victim = joinPath(outside, L"victim.dll");
        r.check(exists(victim), L"the folder outside holds victim.dll", victim);
        expectNotFound(c, kRoot + L"wd-link\\victim.dll", L"a path through a folder link");
        r.check(exists(victim), L"a path through a folder link: the file outside stays", victim);
    }

    const std::wstring lineFile = kRoot + L"wd-line.dll";
    makeFile(lineFile, FILE_ATTRIBUTE_NORMAL);
    expectNotFound(c, lineFile + L"\r\n", L"path with a line break");
    r.check(exists(lineFile), L"path with a line break: the file it starts with stays");

    std::wstring longPath = kRoot;
    while (longPath.size() < 5000) longPath += L"长x";
    longPath.resize(5000);
    expectNotFound(c, longPath, L"5000-character path");

    // A device: whether it counts as existing is the system's call; either
    // way the program must not crash or hang.
    const std::set<DWORD> before = shells();
    pressDelete(c, L"\\\\.\\NUL");
    HWND box = nullptr;
    const bool answered = waitUntil(
        [&] {
            if ((box = waitMessageBox(c.pid, 0, kNotFoundTitle))) return true;
            for (DWORD p : shells()) {
                if (!before.count(p)) return true;
            }
            return false;
        },
        12000, 50);
    if (box) {
        r.equal(messageBoxText(box), kNotFoundBefore + L"\\\\.\\NUL" + kNotFoundAfter,
                L"device \\\\.\\NUL: counted as missing, the message names it");
        pressDialogButton(box, IDOK);
    } else {
        r.check(answered, L"device \\\\.\\NUL: counted as existing, the shell is started again");
    }
    r.check(c.app.process.running() && answers(c.app.main), L"device \\\\.\\NUL: the program runs and answers");
}

// ---- refused -----------------------------------------------------------------------

// The only shell is one whose end is refused (its security descriptor grants
// nobody PROCESS_TERMINATE, only SYNCHRONIZE and limited queries; Wine holds
// to it even against the debug privilege, which Windows would not): the
// program must not wait for it to exit, and its timers run on meanwhile
// (Loop kill ends wd-tick.exe, started right after the click).
void refusedPart(Context& c) {
    Report& r = c.r;
    for (DWORD p : shells()) endProcess(p);
    const std::wstring folder = kRoot + L"wd-guard";
    const std::wstring guardedPath = folder + L"\\explorer.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    CopyFileW(joinPath(clientFolder(), L"dummy.exe").c_str(), guardedPath.c_str(), FALSE);
    std::wstring error;
    SpecialProcess guarded =
        SpecialProcess::start(guardedPath, L"\"explorer.exe\"", nullptr, L"D:(A;;0x101000;;;WD)", &error);
    if (!r.check(bool(guarded), L"a guarded explorer.exe is started from " + guardedPath, error)) return;
    {
        HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, guarded.pid());
        const bool refused = h == nullptr;
        if (h) CloseHandle(h);
        if (!r.check(refused, L"this system refuses to end it (OpenProcess PROCESS_TERMINATE)")) return;
    }

    // Loop kill on wd-tick.exe.
    click(findDescendant(c.app.main, kProcessPageButton));
    HWND edit = findDescendant(c.app.main, kText1);
    HWND loop = findDescendant(c.app.main, kCommand7);
    if (!r.check(edit && loop, L"Text1 and Command7 of the Process page are there")) return;
    typeChars(edit, L"wd-tick\r");
    click(loop);
    r.equal(text(loop), kLoopKillOff, L"Loop kill is on for wd-tick.exe");
    click(findDescendant(c.app.main, kDllPageButton));

    const std::wstring file = kRoot + L"wd-refused.dll";
    makeFile(file, FILE_ATTRIBUTE_NORMAL);
    const std::set<DWORD> before = shells();
    DummyGroup ticks;
    const auto clicked = Clock::now();
    pressDelete(c, file);
    Process* tick = ticks.start(kRoot + L"wd-tick.exe", &error);
    const Restart w = watchRestart(c, before, clicked);
    r.check(!w.fresh.empty() && w.ms < 4000,
            L"refused end: the new shell runs without waiting for the old one (within 4 s; the wait is 5 s)",
            w.fresh.empty() ? L"no new shell" : L"after " + std::to_wstring(w.ms) + L" ms");
    if (!w.fresh.empty()) r.note(L"refused end: the new shell ran " + std::to_wstring(w.ms) + L" ms after the click");
    expectTheWindowsShell(c, w, L"refused end");
    r.check(guarded.running(), L"refused end: the guarded explorer.exe runs on");
    r.check(waitUntil([&] { return !exists(file); }, 3000), L"refused end: the file is deleted");
    r.check(tick && waitUntil([&] { return !tick->running(); }, 3000),
            L"refused end: Loop kill ends wd-tick.exe, started just after the click", error);
    HWND box = waitMessageBox(c.pid, 300);
    r.check(box == nullptr, L"refused end: no message is shown", box ? quoted(messageBoxText(box)) : L"");
    if (box) pressDialogButton(box, IDOK);

    click(loop);
    r.equal(text(loop), kLoopKillOn, L"Loop kill is off again");
    guarded.end();
    ticks.endAll();
    DeleteFileW(guardedPath.c_str());
    DeleteFileW((kRoot + L"wd-tick.exe").c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

int scenarioDll(Report& r, const Options& o) {
    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    Context c(r, o);
    // Planted beside wardeck.exe, which also runs in that folder.
    c.planted = joinPath(folderOf(o.app), L"explorer.exe");
    r.check(CopyFileW(joinPath(clientFolder(), L"dummy.exe").c_str(), c.planted.c_str(), FALSE) != 0,
            L"an explorer.exe is planted beside wardeck.exe (" + c.planted + L")");
    c.app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(c.app.main != nullptr, L"wardeck.exe starts", c.app.error)) return r.finish();
    c.pid = c.app.process.pid();
    waitUntil([&] { return visible(c.app.main); }, 5000);
    if (o.wants(L"shell")) shellPart(c);
    if (o.wants(L"delete")) deletePart(c);
    if (o.wants(L"refused")) refusedPart(c);
    c.app.process.terminate();
    // The shells started along the way: Wine shows each as a folder window.
    for (DWORD p : shells()) endProcess(p);
    DeleteFileW(c.planted.c_str());
    for (const wchar_t* name : {L"wd-evil.dll", L"恶意模块.dll", L"wd-line.dll"}) {
        SetFileAttributesW((kRoot + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((kRoot + name).c_str());
    }
    RemoveDirectoryW((kRoot + L"wd-folder").c_str());
    return r.finish();
}

}  // namespace wdauto
