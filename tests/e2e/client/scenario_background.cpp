// Background mode from outside: "后台运行监控" hides the window behind a tray
// icon with the drive monitor running, the icon's mouse messages bring the
// window back or open the Tray menu, every way through the Exit dialog ends
// where it should, the `watchG` start, and the Help window over a page.
//
// Parts (--only): tray, exit, watch, help.
#include "probes.h"
#include "scenarios.h"
#include "wardeck_tools_ui.h"

namespace wdauto {

namespace {

using namespace wardeck;

const std::wstring kRoot = L"G:\\";
const std::wstring kQuarantine = kRoot + kQuarantineFolder + L"\\";

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
    CloseHandle(f);
    return ok;
}

void clearDrive() {
    for (const wchar_t* name : {L"autorun.inf", L"virus.exe"}) {
        SetFileAttributesW((kRoot + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW((kRoot + name).c_str());
    }
    for (const wchar_t* name : {L"autorun.inf.vkq", L"virus.exe.vkq"}) DeleteFileW((kQuarantine + name).c_str());
    RemoveDirectoryW((kRoot + kQuarantineFolder).c_str());
}

// Puts an autorun.inf naming virus.exe on G: and waits for the monitor to
// move both into the quarantine folder.
bool quarantinedWithin(int timeoutMs) {
    clearDrive();
    if (!writeFile(kRoot + L"virus.exe", "MZ not really a program") ||
        !writeFile(kRoot + L"autorun.inf", "[autorun]\r\nopen=virus.exe\r\n")) {
        return false;
    }
    return waitUntil(
        [&] {
            return exists(kQuarantine + L"autorun.inf.vkq") && exists(kQuarantine + L"virus.exe.vkq") &&
                   !exists(kRoot + L"autorun.inf") && !exists(kRoot + L"virus.exe");
        },
        timeoutMs, 50);
}

int tipCount() {
    int n = 0;
    for (const auto& tip : trayTips()) n += tip == kTrayTip;
    return n;
}

// The program's tray window is made with its first icon: waits for both and
// gives the window in `owner`.
bool iconShownWithin(DWORD pid, HWND& owner, int timeoutMs) {
    return waitUntil(
        [&] {
            if (!owner) owner = findTrayOwner(pid);
            return owner && trayIconShown(owner, kTrayIconId);
        },
        timeoutMs, 50);
}

bool restored(HWND main) { return visible(main) && !IsIconic(main); }

HWND openExitDialog(const Running& app) {
    // What the close box of the main window sends.
    PostMessageW(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    return waitTopLevel(kExitTitle, app.process.pid(), 3000, true);
}

bool dialogGone(HWND dialog) {
    return waitUntil([&] { return !IsWindow(dialog) || !visible(dialog); }, 3000);
}

HWND focusOf(HWND w) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(w, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

std::wstring monitorCaption(HWND main) { return text(findDescendant(main, kCommand1)); }

// ---- tray -------------------------------------------------------------------------

void trayPart(Report& r, const Options& o) {
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts", app.error)) return;
    const DWORD pid = app.process.pid();
    waitUntil([&] { return visible(app.main); }, 5000);
    r.check(findTrayOwner(pid) == nullptr,
            L"no tray icon before Background mode (nor the hidden window that comes with the first one)");
    HWND owner = nullptr;

    HWND combo = findDescendant(app.main, kCombo1);
    setText(combo, L"G:");
    r.equal(text(combo), L"G:", L"the drive box is set to G:");
    click(findDescendant(app.main, kCommand12));
    r.check(waitUntil([&] { return !visible(app.main); }, 3000), L"\"后台运行监控\" hides the main window");
    r.check(iconShownWithin(pid, owner, 3000), L"the tray icon is shown (window of WardeckTrayWindow, id 1)");
    r.equal(static_cast<long long>(tipCount()), 1, L"the notification area shows one icon with the tip " + kTrayTip);
    r.equal(monitorCaption(app.main), kMonitorStop, L"Background mode starts the monitor (Command1 reads \"停止 监控\")");
    r.check(quarantinedWithin(3000),
            L"while hidden, an autorun.inf with open=virus.exe on G: goes to G:\\" + kQuarantineFolder +
                L"\\ as autorun.inf.vkq and virus.exe.vkq");
    r.check(!visible(app.main), L"the window stays hidden while the monitor works");

    for (UINT ignored : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN}) postTrayMouse(owner, ignored);
    sleepMs(600);
    r.check(!visible(app.main) && findPopupMenu(pid) == nullptr,
            L"mouse moves, presses and double clicks on the icon change nothing");

    postTrayMouse(owner, WM_RBUTTONUP);
    HWND menu = waitPopupMenu(pid, 3000);
    if (r.check(menu != nullptr, L"the right button released on the icon opens the Tray menu")) {
        choosePopupMenuItem(menu, kTrayMenuOpen);
        r.check(waitUntil([&] { return restored(app.main); }, 3000), L"\"打开窗口\" shows the window, restored");
    }
    r.check(trayIconShown(owner, kTrayIconId), L"the icon stays while the window is shown");

    click(findDescendant(app.main, kCommand12));
    r.check(waitUntil([&] { return !visible(app.main); }, 3000), L"\"后台运行监控\" a second time hides the window again");
    r.equal(static_cast<long long>(tipCount()), 1, L"entering Background mode twice leaves one icon");

    postTrayMouse(owner, WM_LBUTTONUP);
    r.check(waitUntil([&] { return restored(app.main); }, 3000),
            L"the left button released on the icon brings the window back, restored");
    r.check(trayIconShown(owner, kTrayIconId), L"the icon stays after the window came back");
    r.check(app.process.running() && answers(app.main), L"wardeck.exe runs and answers");
    app.process.terminate();
    clearDrive();
}

// ---- Exit dialog ------------------------------------------------------------------

void exitPart(Report& r, const Options& o) {
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts", app.error)) return;
    const DWORD pid = app.process.pid();
    waitUntil([&] { return visible(app.main); }, 5000);
    HWND owner = nullptr;
    setText(findDescendant(app.main, kCombo1), L"G:");

    HWND dialog = openExitDialog(app);
    if (!r.check(dialog != nullptr, L"the close box opens the Exit dialog " + kExitTitle)) {
        app.process.terminate();
        return;
    }
    r.check(!enabled(app.main), L"the Exit dialog is modal (the main window is disabled)");
    const struct {
        int id;
        const std::wstring& caption;
    } buttons[] = {{kExitQuit, kExitQuitCaption}, {kExitBackground, kExitBackgroundCaption}, {kExitStay, kExitStayCaption}};
    for (const auto& b : buttons) {
        r.equal(text(GetDlgItem(dialog, b.id)), b.caption,
                L"Exit dialog button " + std::to_wstring(b.id) + L" reads " + b.caption);
    }
    r.check(focusOf(dialog) == GetDlgItem(dialog, kExitQuit), L"\"完全退出\" holds the focus",
            L"focus on " + describe(focusOf(dialog)));
    saveShot(r, o, dialog, L"exit-dialog");

    postClick(GetDlgItem(dialog, kExitStay));
    r.check(dialogGone(dialog), L"\"不退出\" closes the Exit dialog");
    r.check(restored(app.main) && waitUntil([&] { return enabled(app.main); }, 2000) && app.process.running(),
            L"after \"不退出\" the window is shown and enabled as before");
    r.check(!trayIconShown(findTrayOwner(pid), kTrayIconId), L"after \"不退出\" there is still no tray icon");

    dialog = openExitDialog(app);
    if (r.check(dialog != nullptr, L"the close box opens the Exit dialog again")) {
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        r.check(dialogGone(dialog), L"the Exit dialog's own close box closes it");
        r.check(restored(app.main) && waitUntil([&] { return enabled(app.main); }, 2000) && app.process.running(),
                L"its close box acts as \"不退出\": the window is shown and enabled");
    }

    dialog = openExitDialog(app);
    if (r.check(dialog != nullptr, L"the close box opens the Exit dialog a third time")) {
        postClick(GetDlgItem(dialog, kExitBackground));
        r.check(dialogGone(dialog), L"\"后台监控\" closes the Exit dialog");
        r.check(waitUntil([&] { return !visible(app.main); }, 3000) && app.process.running(),
                L"\"后台监控\" hides the window; the program keeps running");
        r.check(iconShownWithin(pid, owner, 3000), L"\"后台监控\" shows the tray icon");
        r.equal(monitorCaption(app.main), kMonitorStop, L"\"后台监控\" starts the monitor");
        r.check(quarantinedWithin(3000), L"the monitor quarantines an autorun.inf on G: after \"后台监控\"");
    }

    // "退出监控" in Background mode, then "不退出": nothing changes.
    postTrayMouse(owner, WM_RBUTTONUP);
    if (HWND menu = waitPopupMenu(pid, 3000)) {
        choosePopupMenuItem(menu, kTrayMenuExit);
        dialog = waitTopLevel(kExitTitle, pid, 3000, true);
        if (r.check(dialog != nullptr, L"the Tray menu's \"退出监控\" opens the Exit dialog")) {
            postClick(GetDlgItem(dialog, kExitStay));
            dialogGone(dialog);
            sleepMs(300);
            r.check(!visible(app.main) && trayIconShown(owner, kTrayIconId) &&
                        monitorCaption(app.main) == kMonitorStop,
                    L"\"不退出\" after \"退出监控\" leaves the window hidden, the icon and the monitor on");
        }
    } else {
        r.check(false, L"the right button released on the icon opens the Tray menu");
    }

    postTrayMouse(owner, WM_LBUTTONUP);
    waitUntil([&] { return restored(app.main); }, 3000);
    dialog = openExitDialog(app);
    if (r.check(dialog != nullptr, L"the close box opens the Exit dialog once more")) {
        postClick(GetDlgItem(dialog, kExitQuit));
        DWORD code = 1;
        r.check(app.process.waitExit(5000, &code), L"\"完全退出\" ends the process");
        r.equal(static_cast<long long>(code), 0, L"the program ends with exit code 0");
        r.check(!trayIconShown(owner, kTrayIconId) && tipCount() == 0, L"\"完全退出\" removes the tray icon");
    }
    app.process.terminate();
    clearDrive();
}

// ---- watch ------------------------------------------------------------------------

void watchPart(Report& r, const Options& o) {
    clearDrive();
    Running app = start(o.app, quotedCommandLine(o.app, L" watchG"));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts with watchG", app.error)) return;
    const DWORD pid = app.process.pid();
    sleepMs(500);  // time to show itself, if it wrongly would
    r.check(!visible(app.main), L"with watchG the main window stays hidden");
    HWND owner = nullptr;
    r.check(iconShownWithin(pid, owner, 3000), L"with watchG the tray icon is shown");
    r.equal(text(findDescendant(app.main, kCombo1)), L"G:", L"with watchG the drive box reads G:");
    r.equal(monitorCaption(app.main), kMonitorStop, L"with watchG the monitor runs");
    r.check(quarantinedWithin(3000), L"with watchG an autorun.inf on G: is quarantined while hidden");

    postTrayMouse(owner, WM_RBUTTONUP);
    HWND menu = waitPopupMenu(pid, 3000);
    if (r.check(menu != nullptr, L"the Tray menu opens")) {
        choosePopupMenuItem(menu, kTrayMenuExit);
        HWND dialog = waitTopLevel(kExitTitle, pid, 3000, true);
        if (r.check(dialog != nullptr, L"\"退出监控\" opens the Exit dialog while the window is hidden")) {
            postClick(GetDlgItem(dialog, kExitQuit));
            r.check(app.process.waitExit(5000), L"\"完全退出\" from Background mode ends the process");
            r.check(!trayIconShown(owner, kTrayIconId) && tipCount() == 0, L"and removes the tray icon");
        }
    }
    app.process.terminate();
    clearDrive();
}

// ---- help -------------------------------------------------------------------------

std::vector<RECT> labelRects(HWND help) {
    std::vector<RECT> out;
    for (int id = 801; id <= 804; ++id) out.push_back(windowRect(GetDlgItem(help, id)));
    return out;
}

bool sameRects(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!EqualRect(&a[i], &b[i])) return false;
    }
    return true;
}

void helpPart(Report& r, const Options& o) {
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts", app.error)) return;
    const DWORD pid = app.process.pid();
    waitUntil([&] { return visible(app.main); }, 5000);
    click(findDescendant(app.main, kProcessPageButton));
    const SIZE size = windowSize(app.main);
    HWND page = findDescendant(app.main, kPageContainer0 + kProcess);
    std::vector<RECT> firstLayout;
    for (int round = 1; round <= 2; ++round) {
        const std::wstring n = round == 1 ? L"" : L" (second time)";
        postClick(findDescendant(app.main, kHelpButton));
        HWND help = waitTopLevel(kHelpTitle, pid, 3000, true);
        if (!r.check(help != nullptr, L"the Help button opens " + kHelpTitle + n)) break;
        r.check(!enabled(app.main), L"the Help window is modal (the main window is disabled)" + n);
        if (round == 1) {
            firstLayout = labelRects(help);
            saveShot(r, o, help, L"page-help");
        } else {
            r.check(sameRects(firstLayout, labelRects(help)), L"the Help window shows the same layout the second time");
        }
        PostMessageW(help, WM_CLOSE, 0, 0);
        r.check(waitUntil([&] { return !IsWindow(help) || !visible(help); }, 3000), L"the Help window closes" + n);
        r.check(waitUntil([&] { return enabled(app.main); }, 3000), L"the main window is enabled again" + n);
    }
    const SIZE now = windowSize(app.main);
    r.check(now.cx == size.cx && now.cy == size.cy, L"the window keeps the Process page's size after Help",
            std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy) + L" then " + std::to_wstring(now.cx) + L"x" +
                std::to_wstring(now.cy));
    bool onlyProcess = visible(page);
    for (int p = 0; p < kPageCount; ++p) {
        if (p != kProcess && visible(findDescendant(app.main, kPageContainer0 + p))) onlyProcess = false;
    }
    r.check(onlyProcess, L"the Process page is still the one shown after Help");
    app.process.terminate();
}

}  // namespace

int scenarioBackground(Report& r, const Options& o) {
    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    clearDrive();
    if (o.wants(L"tray")) trayPart(r, o);
    if (o.wants(L"exit")) exitPart(r, o);
    if (o.wants(L"watch")) watchPart(r, o);
    if (o.wants(L"help")) helpPart(r, o);
    return r.finish();
}

}  // namespace wdauto
