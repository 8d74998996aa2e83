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
// Parts (--only): shell, delete.
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
    Context(Report& report, const Options& options) : r(report), o(options) {}
};

// ---- shell ------------------------------------------------------------------------

void shellPart(Context& c) {
    Report& r = c.r;
    click(findDescendant(c.app.main, kCommand12));
    r.check(waitUntil([&] { return !visible(c.app.main); }, 3000), L"\"后台运行监控\" hides the window");
    r.check(c.owner && waitUntil([&] { return trayIconShown(c.owner, kTrayIconId); }, 3000, 50),
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
    pressDelete(c, path);
    std::set<DWORD> fresh;
    const bool restarted = waitUntil(
        [&] {
            fresh.clear();
            for (DWORD p : shells()) {
                if (!before.count(p)) fresh.insert(p);
            }
            return !fresh.empty();
        },
        12000, 50);
    r.check(restarted, label + L": a new shell (explorer.exe) runs afterwards");
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

    const std::wstring folder = kRoot + L"wd-folder";
    CreateDirectoryW(folder.c_str(), nullptr);
    expectShellRestart(c, folder, false, L"a folder");

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

}  // namespace

int scenarioDll(Report& r, const Options& o) {
    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    Context c(r, o);
    c.app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(c.app.main != nullptr, L"wardeck.exe starts", c.app.error)) return r.finish();
    c.pid = c.app.process.pid();
    waitUntil([&] { return visible(c.app.main); }, 5000);
    c.owner = findTrayOwner(c.pid);
    if (o.wants(L"shell")) shellPart(c);
    if (o.wants(L"delete")) deletePart(c);
    c.app.process.terminate();
    // The shells started along the way: Wine shows each as a folder window.
    for (DWORD p : shells()) endProcess(p);
    for (const wchar_t* name : {L"wd-evil.dll", L"恶意模块.dll", L"wd-line.dll"}) {
        SetFileAttributesW((kRoot + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((kRoot + name).c_str());
    }
    RemoveDirectoryW((kRoot + L"wd-folder").c_str());
    return r.finish();
}

}  // namespace wdauto
