// Start-up and pages: the main window as it first appears, each page of the
// page bar, the command-line argument, and the same layout at a higher DPI.
//
// Parts (--only): "layout" (window, page bar, Drive page, every page, help),
// "arguments" (the `watch` argument cases), "run-value" (a start leaves a
// Run value named like the program in other letter case as it was) and
// "rights" (elevation and the debug privilege).
#include <algorithm>
#include <set>

#include "machine_state.h"
#include "probes.h"
#include "scenarios.h"
#include "wardeck_tools_ui.h"

namespace wdauto {

namespace {

using namespace wardeck;

std::wstring sizeText(SIZE s) { return std::to_wstring(s.cx) + L"x" + std::to_wstring(s.cy); }

SIZE designSize(int page, int dpi) {
    if (page == kProcess) return {pixels(kProcessWidthTw, dpi), pixels(kProcessHeightTw, dpi)};
    return {pixels(kMainWidthTw, dpi), pixels(kMainHeightTw, dpi)};
}

bool sameSize(SIZE a, SIZE b) { return a.cx == b.cx && a.cy == b.cy; }

std::wstring fileName(const Options& o, const std::wstring& base, const wchar_t* ext) {
    return joinPath(o.out, base + (o.tag.empty() ? L"" : L"-" + o.tag) + ext);
}

void screenshot(Report& r, const Options& o, HWND window, const std::wstring& base) {
    repaint(window);
    std::wstring path = fileName(o, base, L".bmp");
    if (!saveScreenBmp(windowRect(window), path)) r.note(L"could not save " + path);
}

// Each visible control inside `container` lies inside the client area of
// `main`. A control that its own list or frame has scrolled out of view is
// not seen, so only the part inside its parents (below the page) counts.
void checkInsideClient(Report& r, HWND main, HWND container, const std::wstring& what) {
    const RECT client = clientRectOnScreen(main);
    std::wstring outside;
    int checked = 0;
    for (HWND w : descendants(container)) {
        if (!IsWindowVisible(w)) continue;
        RECT seen = windowRect(w);
        bool shown = true;
        for (HWND p = GetParent(w); p && p != container; p = GetParent(p)) {
            if (!intersect(seen, clientRectOnScreen(p), &seen)) {
                shown = false;
                break;
            }
        }
        if (!shown) continue;
        ++checked;
        if (!contains(client, seen)) {
            outside += L"\n" + describe(w) + L" at " + describe(seen);
        }
    }
    r.check(outside.empty() && checked > 0, what,
            checked == 0 ? L"the page shows no control at all"
                         : L"client area " + describe(client) + L"; outside it:" + outside);
    const RECT page = windowRect(container);
    if (container != main && !contains(client, page)) r.note(L"the page container " + describe(page) + L" reaches past the client area " + describe(client));
}

std::vector<HWND> pageContainers(HWND main) {
    std::vector<HWND> out;
    for (int i = 0; i < kPageCount; ++i) out.push_back(findDescendant(main, kPageContainer0 + i));
    return out;
}

void checkOnlyPageShown(Report& r, HWND main, int page, const std::wstring& what) {
    auto containers = pageContainers(main);
    std::wstring shown;
    bool right = true;
    // A page's container is made the first time the page is opened: those
    // not opened yet may be missing, the one to be shown may not.
    for (int i = 0; i < kPageCount; ++i) {
        bool v = visible(containers[i]);
        if (!containers[i] && i == page) shown += L" " + std::to_wstring(kPageContainer0 + i) + L":missing";
        else if (v) shown += L" " + std::to_wstring(kPageContainer0 + i);
        if (v != (i == page) || (i == page && !containers[i])) right = false;
    }
    r.check(right, what,
            L"expected only container " + std::to_wstring(kPageContainer0 + page) + L" visible\n    visible:" +
                (shown.empty() ? L" none" : shown));
}

void checkDrivePage(Report& r, HWND main) {
    HWND combo = findDescendant(main, kCombo1);
    if (r.check(combo != nullptr, L"the drive box (Combo1, ID 203) exists")) {
        r.check(_wcsicmp(className(combo).c_str(), L"ComboBox") == 0 && (style(combo) & 3) == CBS_DROPDOWN,
                L"the drive box is a drop-down combo box", L"class " + className(combo) + L", style " +
                    std::to_wstring(style(combo) & 3));
        auto items = comboItems(combo);
        std::wstring expected, seen;
        for (wchar_t c = L'D'; c <= L'Z'; ++c) expected += std::wstring(1, c) + L": ";
        for (auto& i : items) seen += i + L" ";
        r.equal(static_cast<long long>(items.size()), 23, L"the drive box holds 23 drives");
        r.equal(seen, expected, L"the drive box lists D: to Z: in order");
        r.equal(text(combo), L"H:", L"the drive box reads H:");
    }
    struct Expect {
        int id;
        const wchar_t* cls;
        std::wstring caption;
        const wchar_t* name;
    };
    const Expect controls[] = {
        {kCommand1, L"Button", kMonitorStart, L"Command1"},
        {kCommand12, L"Button", kBackgroundRun, L"Command12"},
        {kLabel1, L"Static", kDriveLabel, L"Label1"},
        {kCheck4, L"Button", kAutostartBox, L"Check4"},
        {kLabel8, L"Static", kRegistryWarning, L"Label8"},
        {kText3, L"Edit", kDriveNote, L"Text3"},
    };
    for (const auto& c : controls) {
        HWND w = findDescendant(main, c.id);
        std::wstring name = std::wstring(c.name) + L" (ID " + std::to_wstring(c.id) + L")";
        if (!r.check(w != nullptr, name + L" exists")) continue;
        r.check(_wcsicmp(className(w).c_str(), c.cls) == 0 && visible(w), name + L" is a visible " + c.cls,
                L"class " + className(w) + (visible(w) ? L", visible" : L", hidden"));
        r.equal(text(w), c.caption, name + L" reads its caption");
    }
    if (HWND box = findDescendant(main, kCheck4)) {
        LONG_PTR type = style(box) & BS_TYPEMASK;
        r.check(type == BS_CHECKBOX || type == BS_AUTOCHECKBOX, L"Check4 is a check box",
                L"button style type " + std::to_wstring(type));
        r.equal(checkState(box), BST_UNCHECKED, L"Check4 starts unticked in a fresh profile");
    }
    if (HWND note = findDescendant(main, kText3)) {
        LONG_PTR s = style(note);
        r.check((s & ES_READONLY) && (s & ES_MULTILINE), L"Text3 is a read-only multi-line box",
                L"ES_READONLY " + std::to_wstring((s & ES_READONLY) != 0) + L", ES_MULTILINE " +
                    std::to_wstring((s & ES_MULTILINE) != 0));
    }
}

void checkPageBar(Report& r, HWND main) {
    std::vector<std::pair<LONG, int>> byTop;
    std::wstring missing;
    for (int i = 0; i < 6; ++i) {
        HWND b = findDescendant(main, kPageButton0 + i);
        if (!b) {
            missing += L" " + std::to_wstring(kPageButton0 + i);
            continue;
        }
        r.equal(text(b), kPageButtonCaptions[i],
                L"page bar button " + std::to_wstring(kPageButton0 + i) + L" reads " + kPageButtonCaptions[i]);
        byTop.push_back({windowRect(b).top, i});
    }
    r.check(missing.empty(), L"the page bar has buttons 110 to 115", L"missing:" + missing);
    std::stable_sort(byTop.begin(), byTop.end());
    std::wstring seen, expected;
    for (auto& [top, i] : byTop) seen += std::wstring(kPageButtonCaptions[i]) + L" ";
    for (int i : kPageBarOrder) expected += std::wstring(kPageButtonCaptions[i]) + L" ";
    r.equal(seen, expected, L"the page bar buttons stand in order from the top");

    const RECT client = clientRectOnScreen(main);
    std::wstring outside;
    for (int i = 0; i < 6; ++i) {
        HWND b = findDescendant(main, kPageButton0 + i);
        if (b && visible(b) && !contains(client, windowRect(b))) outside += L"\n" + describe(b) + L" at " + describe(windowRect(b));
    }
    r.check(outside.empty(), L"the page bar lies inside the client area",
            L"client area " + describe(client) + L"; outside it:" + outside);
}

// Within a pixel of the twips at this DPI (twips convert with rounding).
bool nearPixels(LONG seen, int twips, int dpi) { return std::abs(seen - pixels(twips, dpi)) <= 1; }

std::wstring rectText(const RECT& r) {
    return std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L" " + std::to_wstring(r.right - r.left) + L"x" +
           std::to_wstring(r.bottom - r.top);
}

void checkClientSize(Report& r, HWND w, int widthTw, int heightTw, int dpi, const std::wstring& what) {
    RECT c{};
    GetClientRect(w, &c);
    r.check(nearPixels(c.right, widthTw, dpi) && nearPixels(c.bottom, heightTw, dpi),
            what + L" has a client area of " + std::to_wstring(widthTw) + L" x " + std::to_wstring(heightTw) +
                L" twips: " + std::to_wstring(pixels(widthTw, dpi)) + L"x" + std::to_wstring(pixels(heightTw, dpi)) +
                L" at " + std::to_wstring(dpi) + L" DPI",
            L"seen " + std::to_wstring(c.right) + L"x" + std::to_wstring(c.bottom));
}

void checkExit(Report& r, const Options& o, Running& app) {
    const std::wstring at = L" at " + std::to_wstring(o.dpi) + L" DPI";
    // What the close box of the main window sends.
    PostMessageW(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND dialog = waitTopLevel(kExitTitle, app.process.pid(), 3000, true);
    if (!r.check(dialog != nullptr, L"the close box opens the Exit dialog " + kExitTitle + at)) return;
    r.check(!enabled(app.main), L"the Exit dialog is modal (the main window is disabled)");
    checkClientSize(r, dialog, kExitClientWidthTw, kExitClientHeightTw, o.dpi, L"the Exit dialog");
    const int ids[3] = {kExitQuit, kExitBackground, kExitStay};
    const std::wstring* captions[3] = {&kExitQuitCaption, &kExitBackgroundCaption, &kExitStayCaption};
    const RECT client = clientRectOnScreen(dialog);
    std::wstring wrong;
    for (int i = 0; i < 3; ++i) {
        HWND b = GetDlgItem(dialog, ids[i]);
        RECT w = windowRect(b);
        OffsetRect(&w, -client.left, -client.top);
        const int* tw = kExitButtonTw[i];
        const bool right = b && visible(b) && text(b) == *captions[i] && nearPixels(w.left, tw[0], o.dpi) &&
                           nearPixels(w.top, tw[1], o.dpi) && nearPixels(w.right - w.left, tw[2], o.dpi) &&
                           nearPixels(w.bottom - w.top, tw[3], o.dpi);
        if (!right) {
            wrong += L"\n" + std::to_wstring(ids[i]) + L" " + quoted(text(b)) + L" at " + rectText(w) + L", expected " +
                     rectText(RECT{pixels(tw[0], o.dpi), pixels(tw[1], o.dpi), pixels(tw[0] + tw[2], o.dpi),
                                   pixels(tw[1] + tw[3], o.dpi)});
        }
    }
    r.check(wrong.empty(),
            L"the Exit dialog's buttons 完全退出, 后台监控, 不退出 stand where their twips put them" + at, wrong);
    checkInsideClient(r, dialog, dialog, L"every visible control of the Exit dialog lies inside its client area" + at);
    screenshot(r, o, dialog, L"page-exit");
    postClick(GetDlgItem(dialog, kExitStay));
    r.check(waitUntil([&] { return !IsWindow(dialog) || !visible(dialog); }, 3000) &&
                waitUntil([&] { return enabled(app.main); }, 3000) && app.process.running(),
            L"\"不退出\" closes the Exit dialog and the program keeps running");
}

void checkHelp(Report& r, const Options& o, Running& app) {
    HWND button = findDescendant(app.main, kHelpButton);
    if (!button) return;  // already reported by the page bar checks
    postClick(button);
    HWND help = waitTopLevel(kHelpTitle, app.process.pid(), 3000, true);
    if (!r.check(help != nullptr, L"the help button opens the help window " + kHelpTitle + L" at " +
                                      std::to_wstring(o.dpi) + L" DPI",
                 L"no visible window titled " + kHelpTitle + L" within 3 s")) {
        // Whatever the button did, the main window still answers.
        DWORD_PTR res = 0;
        r.check(SendMessageTimeoutW(app.main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &res) != 0,
                L"the main window still answers after the help button");
        if (HWND stray = waitMessageBox(app.process.pid(), 200)) {
            r.note(L"the help button showed " + describe(stray) + L": " + quoted(messageBoxText(stray)));
            PostMessageW(stray, WM_CLOSE, 0, 0);
        }
        return;
    }
    r.check(!enabled(app.main), L"the help window is modal (the main window is disabled)");
    checkClientSize(r, help, kHelpClientWidthTw, kHelpClientHeightTw, o.dpi, L"the help window");
    checkInsideClient(r, help, help, L"every visible control of the help window lies inside its client area");
    screenshot(r, o, help, L"page-help");
    PostMessageW(help, WM_CLOSE, 0, 0);
    r.check(waitUntil([&] { return !visible(help); }, 3000), L"the help window closes");
    r.check(waitUntil([&] { return enabled(app.main); }, 3000), L"the main window is enabled again after help");
}

void layoutPart(Report& r, const Options& o) {
    const int dpi = o.dpi;
    const std::wstring at = L" at " + std::to_wstring(dpi) + L" DPI";
    r.equal(static_cast<long long>(systemDpi()), dpi, L"the screen runs at " + std::to_wstring(dpi) + L" DPI");

    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(app.main != nullptr, L"wardeck.exe starts and makes its main window", app.error)) return;
    r.check(waitUntil([&] { return visible(app.main); }, 5000), L"the main window is visible after a plain start");
    r.equal(text(app.main), kMainTitle, L"the main window is titled " + kMainTitle);
    SIZE want = designSize(kDrive, dpi);
    r.equal(sizeText(windowSize(app.main)), sizeText(want), L"the main window's outer size is " + sizeText(want) + at);
    checkOnlyPageShown(r, app.main, kDrive, L"the Drive page is the one shown at start");

    checkPageBar(r, app.main);
    checkDrivePage(r, app.main);

    for (int page = 0; page < kPageCount; ++page) {
        const std::wstring name = kPageNames[page];
        HWND button = findDescendant(app.main, kPageButton0 + page);
        if (!r.check(button != nullptr, L"page " + name + L": its page bar button exists")) continue;
        click(button);
        SIZE size = designSize(page, dpi);
        waitUntil([&] { return sameSize(windowSize(app.main), size); }, 1000);
        r.equal(sizeText(windowSize(app.main)), sizeText(size),
                L"page " + name + L": the window's outer size is " + sizeText(size) + at);
        checkOnlyPageShown(r, app.main, page, L"page " + name + L": only its container (ID " +
                                                    std::to_wstring(kPageContainer0 + page) + L") is shown");
        HWND container = findDescendant(app.main, kPageContainer0 + page);
        if (container) {
            checkInsideClient(r, app.main, container,
                              L"page " + name + L": every visible control lies inside the client area" + at);
        }
        screenshot(r, o, app.main, L"page-" + name);
    }
    checkHelp(r, o, app);
    checkExit(r, o, app);
    if (HWND first = findDescendant(app.main, kPageButton0)) {
        click(first);
        r.equal(sizeText(windowSize(app.main)), sizeText(want), L"back on the Drive page the window is " + sizeText(want) + at);
    }
    r.check(app.process.running(), L"wardeck.exe is still running after the page tour");
    app.process.terminate();
}

struct ArgumentCase {
    std::wstring rest;  // the raw command line after the program path
    bool quotedPath;
    bool shown;
    std::wstring drive;
    std::wstring label;
};

void argumentPart(Report& r, const Options& o) {
    std::wstring longArgument = L"notwatch";
    while (longArgument.size() < 10000) longArgument += L"watchG";
    longArgument.resize(10000);
    const bool pathHasBlank = o.app.find(L' ') != std::wstring::npos;
    const ArgumentCase cases[] = {
        {L" watchG", false, false, L"G:", L"watchG"},
        {L" watchG", true, false, L"G:", L"watchG (quoted path)"},
        {L" watch", false, false, L"h:", L"watch"},
        {L" watchG ", true, false, L" :", L"watchG with a trailing blank"},
        {L" watch優", true, false, L"優:", L"watch優"},
        {L" Watch", true, true, L"H:", L"Watch"},
        {L"  watchG", false, true, L"H:", L"two blanks before watchG"},
        {L" xwatchG", true, true, L"H:", L"xwatchG"},
        {L"", false, true, L"H:", L"no argument, unquoted path"},
        {L" " + longArgument, true, true, L"H:", L"a 10000-character argument"},
    };
    for (const auto& c : cases) {
        const bool quote = c.quotedPath || pathHasBlank;
        const std::wstring cmd = quote ? quotedCommandLine(o.app, c.rest) : o.app + c.rest;
        const std::wstring label = L"argument " + c.label + L": ";
        Running app = start(o.app, cmd);
        if (!r.check(app.main != nullptr, label + L"wardeck.exe makes its main window",
                     L"command line " + quoted(cmd) + L"\n" + app.error)) {
            app.process.terminate();
            continue;
        }
        if (c.shown) {
            r.check(waitUntil([&] { return visible(app.main); }, 5000), label + L"the main window is shown");
        } else {
            sleepMs(500);  // time to show itself, if it wrongly would
            r.check(!visible(app.main), label + L"the main window stays hidden (background mode)");
            r.check(app.process.running(), label + L"wardeck.exe keeps running in the background");
        }
        HWND combo = findDescendant(app.main, kCombo1);
        r.equal(text(combo), c.drive, label + L"the drive box reads " + quoted(c.drive));
        app.process.terminate();
    }
}

// The box counts only the Run value spelt exactly like the executable's name;
// the registry takes "WarDeck" for the same name, so a start that deleted
// what the box does not count would delete this one.
void runValuePart(Report& r, const Options& o) {
    const std::wstring kRunPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";  // HKLM
    const std::wstring label = L"run value: ";
    const std::wstring name = L"WarDeck", data = L"C:\\Other\\WarDeck.EXE watchQ";
    if (!r.check(machine::setValue(HKEY_LOCAL_MACHINE, kRunPath, machine::sz(name, data)),
                 label + L"seeded the Run value " + quoted(name))) {
        return;
    }
    Running app = start(o.app, quotedCommandLine(o.app, L""));
    if (r.check(app.main != nullptr, label + L"wardeck.exe starts", app.error)) {
        r.equal(checkState(findDescendant(app.main, kCheck4)), BST_UNCHECKED,
                label + L"the Autostart box does not count a value spelt otherwise");
        sleepMs(300);
        app.process.terminate();
    }
    const auto v = machine::value(HKEY_LOCAL_MACHINE, kRunPath, name);
    std::wstring seen = L"(no value)";
    if (v) seen = v->name + L" = " + std::wstring(reinterpret_cast<const wchar_t*>(v->data.data()), v->data.size() / 2);
    r.equal(seen, name + L" = " + data + std::wstring(1, L'\0'), label + L"the start left the Run value as it was");
    HKEY run = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunPath.c_str(), 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
        RegDeleteValueW(run, name.c_str());
        RegCloseKey(run);
    }
}

// ---- rights -------------------------------------------------------------------------

std::set<DWORD> wardecks() {
    const auto pids = pidsNamed(L"wardeck.exe");
    return {pids.begin(), pids.end()};
}

std::wstring elevationText(const std::optional<TokenFacts>& facts) {
    if (!facts) return L"unreadable";
    static const wchar_t* const names[] = {L"?", L"default", L"full", L"limited"};
    const int t = facts->elevationType;
    return std::to_wstring(t) + L" (" + (t >= 1 && t <= 3 ? names[t] : names[0]) + L")";
}

// The rights wardeck.exe takes at start. Started with the filtered token of
// an administrator (as a program starts before elevation), an interactive
// start asks once to run elevated ("runas") and ends; the `watch` start never
// asks. Wine grants "runas" without a prompt but without elevating either, so
// the copy comes up filtered again: it must run, and never ask a second time.
void rightsPart(Report& r, const Options& o) {
    {
        Running app = start(o.app, quotedCommandLine(o.app, L""));
        if (r.check(app.main != nullptr, L"rights: wardeck.exe starts", app.error)) {
            const auto facts = tokenFacts(app.process.pid());
            r.note(L"rights: this system gives the program the elevation type " + elevationText(facts));
            if (facts && facts->debugHeld) {
                r.check(facts->debugEnabled, L"rights: SeDebugPrivilege, which the token holds, is enabled at start");
            } else {
                r.note(L"rights: the token holds no SeDebugPrivilege");
            }
        }
        app.process.terminate();
    }

    HANDLE token = filteredToken();
    if (!token) {
        r.note(L"rights: this system has no filtered token for the user; the elevation request is not tried");
        return;
    }
    struct TokenCloser {
        HANDLE h;
        ~TokenCloser() { CloseHandle(h); }
    } closer{token};
    std::wstring error;

    const std::set<DWORD> before = wardecks();
    SpecialProcess filtered = SpecialProcess::start(o.app, quotedCommandLine(o.app, L""), token, L"", &error);
    if (!r.check(bool(filtered), L"rights: wardeck.exe starts with the filtered token", error)) return;
    r.note(L"rights: started filtered, its elevation type is " + elevationText(tokenFacts(filtered.pid())));
    DWORD code = 99;
    const bool ended = WaitForSingleObject(filtered.handle(), 10000) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(filtered.handle(), &code);
    r.check(ended && code == 0, L"rights: the filtered interactive start asks to run elevated and ends (exit code 0)",
            ended ? L"exit code " + std::to_wstring(code) : L"it still runs after 10 s");
    std::set<DWORD> copies;
    HWND copyWindow = nullptr;
    waitUntil(
        [&] {
            copies.clear();
            for (DWORD p : wardecks()) {
                if (!before.count(p) && p != filtered.pid()) copies.insert(p);
            }
            copyWindow = copies.size() == 1 ? waitTopLevel(kMainTitle, *copies.begin(), 0) : nullptr;
            return copyWindow != nullptr;
        },
        15000, 50);
    r.check(copyWindow != nullptr, L"rights: the copy it asked for runs and shows its main window",
            std::to_wstring(copies.size()) + L" new wardeck.exe");
    if (copyWindow) {
        const DWORD copy = *copies.begin();
        r.note(L"rights: the copy's elevation type is " + elevationText(tokenFacts(copy)));
        sleepMs(1500);
        std::set<DWORD> now = wardecks();
        for (DWORD p : before) now.erase(p);
        r.check(now == std::set<DWORD>{copy} && IsWindowVisible(copyWindow),
                L"rights: the copy, filtered again, does not ask a second time and keeps running",
                std::to_wstring(now.size()) + L" new wardeck.exe");
    }
    for (DWORD p : wardecks()) {
        if (!before.count(p)) endProcess(p);
    }

    SpecialProcess watching = SpecialProcess::start(o.app, quotedCommandLine(o.app, L" watchG"), token, L"", &error);
    if (!r.check(bool(watching), L"rights: wardeck.exe watchG starts with the filtered token", error)) return;
    HWND hidden = waitTopLevel(kMainTitle, watching.pid(), 15000);
    sleepMs(1000);
    std::set<DWORD> now = wardecks();
    for (DWORD p : before) now.erase(p);
    r.check(hidden && watching.running() && now == std::set<DWORD>{watching.pid()},
            L"rights: the filtered watch start never asks: it runs on itself, in the background",
            std::to_wstring(now.size()) + L" new wardeck.exe");
    watching.end();
}

}  // namespace

int scenarioStartup(Report& r, const Options& o) {
    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    if (o.wants(L"layout")) layoutPart(r, o);
    if (o.wants(L"arguments")) argumentPart(r, o);
    if (o.wants(L"run-value")) runValuePart(r, o);
    if (o.wants(L"rights")) rightsPart(r, o);
    return r.finish();
}

}  // namespace wdauto
