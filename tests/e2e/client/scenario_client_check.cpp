// The client's own check, against programs that are not ours: Wine's notepad
// and wdauto.exe itself. If this fails, the harness or Wine is at fault, not
// wardeck.exe.
#include "automation.h"
#include "fixture.h"
#include "scenarios.h"

namespace wdauto {

namespace {

std::wstring selfPath() {
    wchar_t buf[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    return buf;
}

std::wstring readUtf8File(const std::wstring& path) {
    std::string bytes;
    if (FILE* f = _wfopen(path.c_str(), L"rb")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
        fclose(f);
    }
    return fromUtf8(bytes);
}

// A child wdauto.exe writes the command line it was given; it must be exactly
// the one we passed, blanks and all.
void checkRawCommandLines(Report& r, const Options& o) {
    const std::wstring self = selfPath();
    const std::wstring echoFile = joinPath(o.out, L"client-check-cmdline.txt");
    SetEnvironmentVariableW(L"WDAUTO_ECHO", echoFile.c_str());
    const std::wstring lines[] = {
        L"\"" + self + L"\" echo-cmdline",
        L"\"" + self + L"\" echo-cmdline ",
        L"\"" + self + L"\"  echo-cmdline  two",
        L"\"" + self + L"\" echo-cmdline 優盘 \"quoted\"",
    };
    for (const auto& line : lines) {
        DeleteFileW(echoFile.c_str());
        std::wstring error;
        Process p = launch(self, line, L"", &error);
        DWORD code = 1;
        bool ended = p && p.waitExit(10000, &code);
        r.equal(readUtf8File(echoFile), line,
                L"a child started with " + quoted(line.substr(line.find(L"\" ") + 1)) + L" sees exactly that" +
                    (ended ? L"" : L" (it did not end)"));
    }
    SetEnvironmentVariableW(L"WDAUTO_ECHO", nullptr);
    DeleteFileW(echoFile.c_str());
}

// The client's own test window, started as another process.
void checkFixture(Report& r) {
    namespace fx = fixture;
    const std::wstring self = selfPath();
    const std::wstring title = fx::kTitle;

    Process hidden = launch(self, L"\"" + self + L"\" fixture hidden");
    HWND h = waitTopLevel(title, hidden.pid(), 10000);
    hidden.waitIdle(5000);
    r.check(h != nullptr && !visible(h), L"a hidden window is found by title and process, and reads as hidden");
    hidden.terminate();
    r.check(!hidden.running(), L"terminate ends a program");

    Process p = launch(self, L"\"" + self + L"\" fixture");
    HWND w = waitTopLevel(title, p.pid(), 10000, true);
    if (!r.check(w != nullptr, L"the test window is found by its exact title")) {
        p.terminate();
        return;
    }
    p.waitIdle(5000);
    HWND status = findDescendant(w, fx::kStatus);
    click(findDescendant(w, fx::kPressButton));
    r.equal(text(status), L"clicked 1", L"a click runs the button's handler before it returns");
    HWND nested = findDescendant(w, fx::kNestedButton);
    r.check(nested && GetParent(nested) != w, L"a control inside a frame is found by its ID");
    click(nested);
    r.equal(text(status), L"clicked 2", L"a nested button is clicked");

    HWND box = findDescendant(w, fx::kCheckBox);
    r.equal(checkState(box), BST_UNCHECKED, L"a check box reads unticked");
    click(box);
    r.equal(checkState(box), BST_CHECKED, L"after a click it reads ticked");
    r.equal(text(box), L"勾选", L"a Chinese caption reads back");

    HWND combo = findDescendant(w, fx::kCombo);
    auto items = comboItems(combo);
    std::wstring joined;
    for (auto& i : items) joined += i + L" ";
    r.equal(joined, L"D: E: F: ", L"combo box items are read");
    r.equal(text(combo), L"E:", L"a drop-down combo box's text is read");

    auto rows = listItems(findDescendant(w, fx::kList));
    joined.clear();
    for (auto& i : rows) joined += i + L" ";
    r.equal(joined, L"一 二 三 ", L"list box items are read");

    RECT client = clientRectOnScreen(w);
    r.check(contains(windowRect(w), client) && contains(client, windowRect(nested)),
            L"window, client area and a nested control nest on screen");

    postClick(findDescendant(w, fx::kAskButton));
    HWND ask = waitMessageBox(p.pid(), 5000, fx::kBoxTitle);
    if (r.check(ask != nullptr, L"a message box is found by its title and process")) {
        r.equal(messageBoxText(ask), fx::kQuestion, L"the message box's text is read (control 0xFFFF)");
        r.check(pressDialogButton(ask, IDNO), L"the message box's No button is pressed");
        r.check(waitUntil([&] { return text(status) == L"answer 7"; }, 5000), L"the program gets the answer No",
                L"status " + quoted(text(status)));
    }
    PostMessageW(w, WM_CLOSE, 0, 0);
    DWORD code = 1;
    r.check(p.waitExit(5000, &code) && code == 0, L"the test window closes and its program ends");
    p.terminate();
}

void checkNotepad(Report& r, const Options& o) {
    wchar_t windir[MAX_PATH] = {};
    GetWindowsDirectoryW(windir, MAX_PATH);
    const std::wstring notepad = joinPath(joinPath(windir, L"system32"), L"notepad.exe");
    std::wstring error;
    Process p = launch(notepad, L"notepad.exe", L"", &error);
    if (!r.check(bool(p), L"notepad starts", error)) return;
    HWND main = waitMainWindowOf(p.pid(), 10000);
    if (!r.check(main != nullptr, L"notepad's main window is found by its process")) {
        p.terminate();
        return;
    }
    r.note(L"notepad's title: " + quoted(text(main)));
    r.check(findTopLevel(text(main), p.pid(), true) == main, L"the same window is found by its exact title");
    r.check(waitTopLevel(L"no such window title", 0, 100) == nullptr, L"a missing title is not found");

    auto edits = descendantsOfClass(main, L"Edit");
    HWND edit = edits.empty() ? nullptr : edits.front();
    if (r.check(edit != nullptr, L"notepad's edit box is found among its descendants")) {
        r.check(findDescendant(main, controlId(edit)) != nullptr, L"a descendant is found by its ID");
        const std::wstring sample = L"wdauto 自检 ✓";
        setText(edit, sample);
        r.equal(text(edit), sample, L"WM_GETTEXT reads back Chinese text");
        RECT client = clientRectOnScreen(main);
        RECT outer = windowRect(main);
        r.check(contains(outer, client) && contains(client, windowRect(edit)),
                L"window, client area and edit box nest", describe(outer) + L" / " + describe(client) + L" / " +
                                                              describe(windowRect(edit)));
        const std::wstring shot = joinPath(o.out, L"client-check-notepad.bmp");
        repaint(main);
        r.check(saveScreenBmp(outer, shot), L"a screenshot of the window is saved");

        // A pop-up menu: the edit box's context menu.
        PostMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(client.left + 20, client.top + 20));
        HWND menu = waitPopupMenu(p.pid(), 3000);
        if (r.check(menu != nullptr, L"the edit box's pop-up menu is found (#32768)")) {
            auto items = popupMenuItems(menu);
            r.note(L"menu items readable across processes: " + std::to_wstring(items.size()));
            closePopupMenu(menu);
            r.check(waitUntil([&] { return findPopupMenu(p.pid()) == nullptr; }, 3000), L"Escape closes the pop-up menu");
        }
        // Again, and choose "Select All": Undo, Cut, Copy, Paste, Delete, Select All.
        SendMessageW(edit, EM_SETSEL, 0, 0);
        PostMessageW(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(client.left + 20, client.top + 20));
        if (HWND again = waitPopupMenu(p.pid(), 3000)) {
            choosePopupMenuItem(again, 5);
            DWORD from = 1, to = 0;
            const DWORD length = static_cast<DWORD>(sample.size());
            bool all = waitUntil(
                [&] {
                    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
                    return from == 0 && to == length;
                },
                3000);
            r.check(all, L"a pop-up menu item is chosen by keyboard (Select All selects the text)",
                    L"selection " + std::to_wstring(from) + L".." + std::to_wstring(to));
        } else {
            r.check(false, L"the edit box's pop-up menu opens a second time");
        }

        // A message box: closing a changed text asks whether to save it.
        SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
        PostMessageW(main, WM_CLOSE, 0, 0);
        HWND box = waitMessageBox(p.pid(), 5000);
        if (r.check(box != nullptr, L"closing changed text shows a message box (#32770)")) {
            r.check(!messageBoxText(box).empty(), L"the message box's text is read (control 0xFFFF)",
                    L"buttons: " + std::to_wstring(dialogButtons(box).size()));
            r.note(L"message box: " + quoted(messageBoxText(box)));
            r.check(pressDialogButton(box, IDNO), L"the message box has a No button");
        }
    }
    DWORD code = 0;
    r.check(p.waitExit(5000, &code), L"notepad ends after No");
    p.terminate();
}

}  // namespace

int scenarioClientCheck(Report& r, const Options& o) {
    checkRawCommandLines(r, o);
    checkFixture(r);
    checkNotepad(r, o);
    return r.finish();
}

}  // namespace wdauto
