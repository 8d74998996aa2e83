// The process manager from outside: the Process list with its names and
// paths, the Suspect search, Loop kill, the Process menu with its
// confirmation and its properties item, Auto refresh under use, the scroll
// bar of a long list, and bad input. The processes to list and end are
// copies of dummy.exe started from the mapped drive G:.
//
// Parts (--only): list, search, loopkill, menu, refresh, input, scroll.
#include <algorithm>
#include <set>

#include "probes.h"
#include "scenarios.h"
#include "wardeck_tools_ui.h"

namespace wdauto {

namespace {

using namespace wardeck;

const std::wstring kRoot = L"G:\\";

struct Row {
    int index = 0;
    HWND hwnd = nullptr;
    std::wstring caption;
    std::wstring tip;        // the tool tip's first line: the executable's path
    std::wstring signature;  // its second line: who signed the file
    bool hasTip = false;
};

struct Context {
    Report& r;
    const Options& o;
    Running app;
    DWORD pid = 0;
    HWND main = nullptr;
    DummyGroup dummies;
    Process* dummyUpper = nullptr;  // G:\Dummy.EXE
    std::vector<Process*> triples;  // G:\triple.exe, three times
    Process* noExtension = nullptr;  // G:\病毒Ä
    std::vector<Process*> lates;     // G:\late.exe, started after the search's first look

    Context(Report& report, const Options& options) : r(report), o(options) {}
    HWND control(int id) const { return findDescendant(main, id); }
    bool alive() const { return app.process.running(); }
};

std::wstring lowerCase(std::wstring s) {
    if (!s.empty()) CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

std::wstring joined(const std::vector<std::wstring>& items, size_t limit = 60) {
    std::wstring out;
    for (size_t i = 0; i < items.size() && i < limit; ++i) out += (i ? L", " : L"") + quoted(items[i]);
    if (items.size() > limit) out += L", …";
    return L"[" + out + L"]";
}

// A row is a shown check box of ID kRowId0 + k inside the box; the program
// may keep hidden ones from a longer list for its next fill.
bool shown(HWND w) { return w && (GetWindowLongPtrW(w, GWL_STYLE) & WS_VISIBLE); }

HWND rowWindow(const Context& c, int k) {
    HWND box = c.control(kPicture3);
    HWND w = box ? GetDlgItem(box, kRowId0 + k) : nullptr;
    return shown(w) ? w : nullptr;
}

// The rows as they stand: captions by WM_GETTEXT, paths and signatures from
// the tooltips that the main window's tooltip control holds for them (read
// as a tip is read when it shows).
std::vector<Row> readRows(const Context& c) {
    std::vector<Row> rows;
    HWND box = c.control(kPicture3);
    if (!box) return rows;
    for (int k = 1;; ++k) {
        HWND w = rowWindow(c, k);
        if (!w) break;
        rows.push_back({k, w, text(w), L"", L"", false});
    }
    std::map<HWND, std::wstring> tips;
    for (HWND tip : toolTipControls(c.pid)) {
        if (GetWindow(tip, GW_OWNER) != c.main) continue;
        for (auto& [tool, t] : toolTipTexts(tip)) tips[tool] = t;
    }
    for (auto& row : rows) {
        auto it = tips.find(row.hwnd);
        if (it != tips.end()) {
            const size_t lineEnd = it->second.find(L'\n');
            row.tip = it->second.substr(0, lineEnd);
            if (lineEnd != std::wstring::npos) row.signature = it->second.substr(lineEnd + 1);
            row.hasTip = true;
        }
    }
    return rows;
}

// Only the captions, as the system stores them (GetWindowTextW sends no
// message to another process's window): for polling while Auto refresh
// rebuilds the rows. The program answers messages only between rebuilds,
// and a read in the middle of one sees part of the list.
std::vector<std::wstring> rowCaptions(const Context& c) {
    std::vector<std::pair<int, std::wstring>> rows;
    HWND box = c.control(kPicture3);
    for (HWND w = box ? GetWindow(box, GW_CHILD) : nullptr; w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (controlId(w) <= kRowId0 || !shown(w)) continue;
        wchar_t buf[1024] = {};
        GetWindowTextW(w, buf, 1024);
        rows.push_back({controlId(w), buf});
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::wstring> out;
    for (auto& row : rows) out.push_back(std::move(row.second));
    return out;
}

std::vector<Row> rowsCaptioned(const std::vector<Row>& rows, const std::wstring& caption) {
    std::vector<Row> out;
    for (const auto& row : rows) {
        if (row.caption == caption) out.push_back(row);
    }
    return out;
}

int firstRowCaptioned(const std::vector<Row>& rows, const std::wstring& caption, int from = 1) {
    for (const auto& row : rows) {
        if (row.index >= from && row.caption == caption) return row.index;
    }
    return 0;
}

void openProcessPage(Context& c) {
    // BM_CLICK returns after the handler: the rows are made.
    click(c.control(kProcessPageButton));
}

std::vector<std::wstring> suspects(const Context& c) { return listItems(c.control(kList1)); }

// The snapshot as the program should list it: lower-cased names, the
// program's own name left out.
struct Expected {
    std::vector<std::wstring> names;
    std::vector<DWORD> pids;
};

Expected expectedRows() {
    Expected e;
    for (const auto& p : runningProcesses()) {
        const std::wstring name = lowerCase(p.exeName);
        if (name == L"wardeck.exe") continue;
        e.names.push_back(name);
        e.pids.push_back(p.pid);
    }
    return e;
}

// Whether the rows show exactly the running processes, `withName` among
// them or not.
bool rowsMatchProcesses(const Context& c, const std::wstring& name, bool withName) {
    const auto expected = expectedRows().names;
    const bool has = std::find(expected.begin(), expected.end(), name) != expected.end();
    return has == withName && rowCaptions(c) == expected;
}

// A pop-up menu of the program, opened by a right button press on `w`.
HWND openMenuOn(const Context& c, HWND w, int timeoutMs = 3000) {
    if (!w) return nullptr;
    postRightButtonDown(w);
    return waitPopupMenu(c.pid, timeoutMs);
}

bool menuGone(const Context& c, int timeoutMs = 3000) {
    return waitUntil([&] { return findPopupMenu(c.pid) == nullptr; }, timeoutMs);
}

std::set<HWND> visibleTopLevels() {
    auto all = topLevels(L"", 0, true);
    return {all.begin(), all.end()};
}

// A program signed with the harness's throw-away certificate, and a copy of it
// changed after signing (tests/e2e/run makes both): Wine's WinVerifyTrust
// takes the self-signed certificate as valid and finds the changed file's
// digest wrong.
void checkSignedRows(Context& c) {
    Report& r = c.r;
    std::wstring error;
    Process* signedCopy = c.dummies.start(L"C:\\e2e\\signed.exe", &error);
    Process* tampered = c.dummies.start(L"C:\\e2e\\tampered.exe", &error);
    if (!r.check(signedCopy && tampered, L"the signed and the tampered copy of dummy.exe start", error)) return;
    openProcessPage(c);
    const auto rows = readRows(c);
    auto signatureOf = [&](const wchar_t* caption) {
        const auto found = rowsCaptioned(rows, caption);
        return found.empty() ? std::wstring(L"(no row)") : found[0].signature;
    };
    r.equal(signatureOf(L"signed.exe"), L"签名：Wardeck e2e signer",
            L"a signed program's tip names who signed it (签名：<signer>)");
    r.equal(signatureOf(L"tampered.exe"), L"签名：无效", L"a program changed after signing shows 签名：无效");
    TerminateProcess(signedCopy->handle(), 0);
    TerminateProcess(tampered->handle(), 0);
    signedCopy->waitExit(3000);
    tampered->waitExit(3000);
}

void setUp(Context& c) {
    std::wstring error;
    c.dummyUpper = c.dummies.start(kRoot + L"Dummy.EXE", &error);
    for (int i = 0; i < 3; ++i) {
        if (Process* p = c.dummies.start(kRoot + L"triple.exe", &error)) c.triples.push_back(p);
    }
    c.noExtension = c.dummies.start(kRoot + L"病毒Ä", &error);
    c.r.check(c.dummyUpper && c.triples.size() == 3 && c.noExtension,
              L"dummy processes start from G: (Dummy.EXE, triple.exe three times, 病毒Ä without an extension)", error);
}

// ---- list -------------------------------------------------------------------------

void listPart(Context& c) {
    Report& r = c.r;
    // The processes must hold still while the list is compared with a snapshot.
    Expected before, after;
    std::vector<Row> rows;
    for (int attempt = 0; attempt < 3; ++attempt) {
        before = expectedRows();
        openProcessPage(c);
        rows = readRows(c);
        after = expectedRows();
        if (before.names == after.names) break;
    }
    std::vector<std::wstring> captions;
    for (const auto& row : rows) captions.push_back(row.caption);
    r.check(captions == after.names,
            L"the Process list has one row per running process but wardeck.exe, in snapshot order, names lower-cased",
            L"expected " + joined(after.names) + L"\n    seen " + joined(captions));
    r.check(rowsCaptioned(rows, L"wardeck.exe").empty(), L"wardeck.exe itself is not listed");

    auto upper = rowsCaptioned(rows, L"dummy.exe");
    r.equal(static_cast<long long>(upper.size()), 1, L"Dummy.EXE is listed once, as dummy.exe");
    if (!upper.empty() && c.dummyUpper) {
        r.equal(upper[0].tip, L"G:\\Dummy.EXE", L"the dummy.exe row's tooltip is its full path G:\\Dummy.EXE");
        r.equal(upper[0].tip, mainModulePath(c.dummyUpper->pid()),
                L"the dummy.exe row's path is the one the system reports");
    }
    auto triple = rowsCaptioned(rows, L"triple.exe");
    r.equal(static_cast<long long>(triple.size()), 3, L"three running triple.exe give three rows");
    std::wstring wrongTips;
    for (const auto& row : triple) {
        if (row.tip != L"G:\\triple.exe") wrongTips += L" row " + std::to_wstring(row.index) + L": " + quoted(row.tip);
    }
    r.check(!triple.empty() && wrongTips.empty(), L"each triple.exe row's tooltip is G:\\triple.exe", wrongTips);
    auto foreign = rowsCaptioned(rows, L"病毒ä");
    r.check(foreign.size() == 1 && foreign[0].tip == L"G:\\病毒Ä",
            L"a process named 病毒Ä (no extension) is listed as 病毒ä with its path G:\\病毒Ä",
            L"rows " + joined(captions));

    // Every row's tooltip is the path of the process it stands for.
    std::wstring mismatch;
    int withPath = 0;
    if (captions == after.names) {
        for (size_t i = 0; i < rows.size(); ++i) {
            const std::wstring path = mainModulePath(after.pids[i]);
            if (!path.empty()) ++withPath;
            const bool right = path.empty() ? !rows[i].hasTip || rows[i].tip.empty() : rows[i].tip == path;
            if (!right) {
                mismatch += L"\nrow " + std::to_wstring(rows[i].index) + L" " + quoted(rows[i].caption) + L": tip " +
                            (rows[i].hasTip ? quoted(rows[i].tip) : L"none") + L", path " + quoted(path);
            }
        }
    } else {
        mismatch = L"(rows and snapshot differ, see above)";
    }
    r.check(mismatch.empty() && withPath > 0, L"every row's tooltip is its process's full path (none where it is unreadable)",
            mismatch);
    // Nothing here is signed: Wine's own programs and ours carry no signature.
    std::wstring signatures;
    for (const Row& row : rows)
        if (row.hasTip && !row.tip.empty() && row.signature != L"签名：无")
            signatures += L"\nrow " + std::to_wstring(row.index) + L": " + quoted(row.signature);
    r.check(signatures.empty() && withPath > 0, L"every tooltip's second line says the unsigned file is unsigned: 签名：无",
            signatures);
    checkSignedRows(c);

    HWND bar = c.control(kVScroll3);
    if (rows.size() <= static_cast<size_t>(kRowsInView)) {
        r.check(bar && !visible(bar), L"with " + std::to_wstring(rows.size()) + L" rows the Process list shows no scroll bar");
    }
    saveShot(r, c.o, c.main, L"process-list");
}

// ---- search -----------------------------------------------------------------------

void searchPart(Context& c) {
    Report& r = c.r;
    HWND search = c.control(kCommand8);
    if (!r.check(search != nullptr, L"the search button (Command8, ID 409) exists")) return;
    r.check(suspects(c).empty(), L"the Suspect list is empty at start", joined(suspects(c)));
    std::set<std::wstring> running;
    for (const auto& p : runningProcesses()) running.insert(lowerCase(p.exeName));

    click(search);
    r.equal(text(search), kSearchOff, L"\"寻找可疑进程\" switches the search on and reads \"停止 寻找\"");
    sleepMs(1000);  // five ticks of 200 ms: the first one has recorded what runs
    std::wstring error;
    for (int i = 0; i < 2; ++i) {
        if (Process* p = c.dummies.start(kRoot + L"late.exe", &error)) c.lates.push_back(p);
    }
    r.check(c.lates.size() == 2, L"two late.exe start after the search's first look", error);
    const bool found = waitUntil(
        [&] {
            auto items = suspects(c);
            return std::find(items.begin(), items.end(), L"late.exe") != items.end();
        },
        5000, 50);
    r.check(found, L"the search adds late.exe, started after its first tick, to the Suspect list", joined(suspects(c)));
    sleepMs(600);
    auto items = suspects(c);
    r.equal(static_cast<long long>(std::count(items.begin(), items.end(), L"late.exe")), 1,
            L"two late.exe processes give one Suspect list entry");
    std::wstring old;
    for (const auto& item : items) {
        if (running.count(item)) old += L" " + quoted(item);
    }
    r.check(old.empty(), L"no process that ran at the first tick is added", L"added:" + old);
    click(search);
    r.equal(text(search), kSearchOn, L"a second click switches the search off (\"寻找可疑进程\")");
}

// ---- loop kill --------------------------------------------------------------------

void loopKillPart(Context& c) {
    Report& r = c.r;
    HWND edit = c.control(kText1);
    HWND loop = c.control(kCommand7);
    if (!r.check(edit && loop, L"Text1 (ID 407) and Command7 (ID 410) exist")) return;
    const size_t had = suspects(c).size();
    typeChars(edit, L"triple\r");
    waitUntil([&] { return suspects(c).size() == had + 1; }, 3000);
    auto items = suspects(c);
    r.check(!items.empty() && items.back() == L"triple.exe" && items.size() == had + 1,
            L"typing triple and Enter in Text1 adds triple.exe", joined(items));
    r.equal(listSelection(c.control(kList1)), static_cast<long long>(items.size()) - 1,
            L"the added entry is selected");
    r.equal(text(edit), L"", L"Text1 is emptied after Enter");

    click(loop);
    r.equal(text(loop), kLoopKillOff, L"\"循环结束疑进程\" switches Loop kill on and reads \"停止 结束\"");
    std::vector<Process*> listed = c.triples;
    listed.insert(listed.end(), c.lates.begin(), c.lates.end());
    const bool ended = waitUntil(
        [&] { return std::none_of(listed.begin(), listed.end(), [](Process* p) { return p->running(); }); }, 5000, 5);
    r.check(ended && !listed.empty(), L"Loop kill ends every instance of the listed names (3 triple.exe, 2 late.exe)");
    click(loop);
    r.equal(text(loop), kLoopKillOn, L"a second click switches Loop kill off");

    // One instance per name per tick: the three triple.exe end at different ticks.
    std::vector<ULONGLONG> times;
    for (Process* p : c.triples) {
        if (auto t = exitTime(p->handle())) times.push_back(*t);
    }
    std::sort(times.begin(), times.end());
    std::wstring gaps;
    double smallest = 1e9;
    for (size_t i = 1; i < times.size(); ++i) {
        const double ms = static_cast<double>(times[i] - times[i - 1]) / 10000.0;
        smallest = std::min(smallest, ms);
        gaps += L" " + std::to_wstring(static_cast<int>(ms)) + L" ms";
    }
    r.note(L"triple.exe ended with gaps of" + gaps);
    // Ticks are 50 ms apart, but a late tick may be followed by an early one;
    // instances ended in one pass would end within a millisecond or two.
    r.check(times.size() == 3 && smallest >= 10.0,
            L"the three triple.exe end one per tick, not together", L"gaps:" + gaps);
    r.check(c.dummyUpper && c.dummyUpper->running() && c.noExtension && c.noExtension->running(),
            L"processes of unlisted names keep running");
    r.check(suspects(c) == items, L"Loop kill leaves the Suspect list as it was", joined(suspects(c)));
    r.check(c.alive(), L"wardeck.exe still runs after Loop kill");

    // A copy that borrows the name of a system process: Loop kill ends it and
    // passes over the system's own, which Wine runs from its system folder.
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring systemServices = lowerCase(std::wstring(system) + L"\\services.exe");
    std::vector<DWORD> own;
    for (DWORD p : pidsNamed(L"services.exe"))
        if (lowerCase(mainModulePath(p)) == systemServices) own.push_back(p);
    if (!r.check(!own.empty(), L"Wine's own services.exe runs from " + systemServices)) return;
    CreateDirectoryW((kRoot + L"sys").c_str(), nullptr);
    std::wstring error;
    Process* borrowed = c.dummies.start(kRoot + L"sys\\services.exe", &error);
    if (!r.check(borrowed != nullptr, L"a copy named services.exe runs from G:\\sys", error)) return;
    typeChars(edit, L"services\r");
    waitUntil([&] { return suspects(c).size() == items.size() + 1; }, 3000);
    click(loop);
    r.check(borrowed->waitExit(3000), L"Loop kill of services.exe ends the copy on the drive");
    sleepMs(300);  // six more ticks with the name listed
    click(loop);
    std::wstring gone;
    for (DWORD p : own) {
        const HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, p);
        if (!h || WaitForSingleObject(h, 0) != WAIT_TIMEOUT) gone += L" " + std::to_wstring(p);
        if (h) CloseHandle(h);
    }
    r.check(gone.empty(), L"... and leaves Wine's own services.exe running", L"ended:" + gone);
}

// ---- menu -------------------------------------------------------------------------

void menuPart(Context& c) {
    Report& r = c.r;
    openProcessPage(c);
    auto rows = readRows(c);
    std::wstring opened;
    for (int k = 1; k < kFirstRowWithMenu && k <= static_cast<int>(rows.size()); ++k) {
        postRightButtonDown(rowWindow(c, k));
        if (HWND menu = waitPopupMenu(c.pid, 400)) {
            opened += L" " + std::to_wstring(k);
            closePopupMenu(menu);
            menuGone(c);
        }
    }
    r.check(rows.size() >= 5 && opened.empty(), L"a right button press on rows 1 to 5 opens no menu",
            L"a menu opened on rows" + opened);

    const int row = firstRowCaptioned(rows, L"dummy.exe");
    std::vector<std::wstring> captions;
    for (const auto& x : rows) captions.push_back(x.caption);
    if (!r.check(row >= kFirstRowWithMenu, L"the dummy.exe row comes after the fifth",
                 L"row " + std::to_wstring(row) + L" of " + joined(captions))) {
        return;
    }
    HWND menu = openMenuOn(c, rowWindow(c, row));
    if (!r.check(menu != nullptr, L"a right button press on row " + std::to_wstring(row) + L" opens the Process menu")) return;
    r.check(visible(menu), L"the Process menu is shown");
    choosePopupMenuItem(menu, kMenuEndProcess);
    HWND box = waitMessageBox(c.pid, 3000, kEndConfirmTitle);
    if (r.check(box != nullptr, L"\"结束进程\" asks first, in a box titled \"结束进程\"")) {
        r.equal(messageBoxText(box), kEndConfirmText + L"dummy.exe",
                L"the question is the warning followed directly by the row's name");
        r.check(GetDlgItem(box, IDOK) && GetDlgItem(box, IDCANCEL) && dialogButtons(box).size() == 2,
                L"the box offers OK and Cancel", joined(dialogButtons(box)));
        pressDialogButton(box, IDCANCEL);
        waitUntil([&] { return !IsWindow(box); }, 3000);
        sleepMs(400);
        r.check(c.dummyUpper->running(), L"Cancel ends nothing: dummy.exe still runs");
    }
    menu = openMenuOn(c, rowWindow(c, row));
    if (menu) {
        choosePopupMenuItem(menu, kMenuEndProcess);
        box = waitMessageBox(c.pid, 3000, kEndConfirmTitle);
        if (box) {
            pressDialogButton(box, IDOK);
            r.check(c.dummyUpper->waitExit(3000), L"OK ends the process: dummy.exe is gone");
        } else {
            r.check(false, L"the confirmation opens a second time");
        }
    } else {
        r.check(false, L"the Process menu opens a second time");
    }

    // Two processes of one name from two folders: "结束进程" on the row of the
    // one that is not first in the snapshot ends that one, not the first.
    std::wstring error;
    CreateDirectoryW((kRoot + L"twinA").c_str(), nullptr);
    CreateDirectoryW((kRoot + L"twinB").c_str(), nullptr);
    Process* firstTwin = c.dummies.start(kRoot + L"twinA\\twin.exe", &error);
    Process* secondTwin = firstTwin ? c.dummies.start(kRoot + L"twinB\\twin.exe", &error) : nullptr;
    if (r.check(firstTwin && secondTwin, L"two twin.exe run from G:\\twinA and G:\\twinB", error)) {
        openProcessPage(c);
        int first = 0, second = 0;
        for (const Row& x : readRows(c)) {
            if (x.caption != L"twin.exe" || x.index < kFirstRowWithMenu) continue;
            if (lowerCase(x.tip) == lowerCase(kRoot + L"twinA\\twin.exe") && !first) first = x.index;
            if (lowerCase(x.tip) == lowerCase(kRoot + L"twinB\\twin.exe") && !second) second = x.index;
        }
        if (r.check(first && second && first < second, L"the twinA row comes before the twinB row",
                    std::to_wstring(first) + L", " + std::to_wstring(second))) {
            menu = openMenuOn(c, rowWindow(c, second));
            HWND confirm = nullptr;
            if (menu) {
                choosePopupMenuItem(menu, kMenuEndProcess);
                confirm = waitMessageBox(c.pid, 3000, kEndConfirmTitle);
            }
            if (r.check(confirm != nullptr, L"the second twin's row asks to end twin.exe")) {
                pressDialogButton(confirm, IDOK);
                r.check(secondTwin->waitExit(3000) && firstTwin->running(),
                        L"\"结束进程\" ends the process of the row clicked, the second twin.exe, and not the first");
            }
        }
    }

    // "查看文件属性": Wine's shell has no properties sheet; nothing may show.
    openProcessPage(c);
    rows = readRows(c);
    const int propertiesRow = firstRowCaptioned(rows, L"病毒ä", kFirstRowWithMenu);
    const std::set<HWND> shownBefore = visibleTopLevels();
    menu = openMenuOn(c, rowWindow(c, propertiesRow ? propertiesRow : kFirstRowWithMenu));
    if (r.check(menu != nullptr, L"the Process menu opens for \"查看文件属性\"")) {
        choosePopupMenuItem(menu, kMenuShowFile);
        menuGone(c);
        sleepMs(1500);
        std::wstring fresh;
        for (HWND w : visibleTopLevels()) {
            // A row's own tool tip may come up where the menu left the mouse.
            if (shownBefore.count(w) || className(w) == L"tooltips_class32") continue;
            fresh += L"\n" + describe(w) + L" of process " + std::to_wstring(windowPid(w));
        }
        r.check(fresh.empty(), L"\"查看文件属性\" shows nothing under Wine (its shell has no properties sheet)", fresh);
        r.check(c.alive() && answers(c.main), L"wardeck.exe runs and answers after \"查看文件属性\"");
    }
    menu = openMenuOn(c, rowWindow(c, kFirstRowWithMenu));
    if (menu) {
        closePopupMenu(menu);
        r.check(menuGone(c), L"Escape closes the Process menu");
    }
}

// ---- Auto refresh -----------------------------------------------------------------

void refreshPart(Context& c) {
    Report& r = c.r;
    HWND refresh = c.control(kCommand6);
    if (!r.check(refresh != nullptr, L"the Auto refresh button (Command6, ID 408) exists")) return;
    openProcessPage(c);
    sleepMs(300);
    const GuiCounts before = guiCounts(c.app.process.handle(), c.pid);
    r.note(L"USER/GDI objects before: " + std::to_wstring(before.user) + L"/" + std::to_wstring(before.gdi) + L" (" +
           before.how + L")");
    // A ticked row: Auto refresh makes the rows anew, unticked.
    HWND ticked = rowWindow(c, 1);
    click(ticked);
    r.equal(checkState(ticked), BST_CHECKED, L"row 1 is ticked before Auto refresh");
    const int target = std::max(kFirstRowWithMenu, firstRowCaptioned(readRows(c), L"病毒ä", kFirstRowWithMenu));

    click(refresh);
    r.equal(text(refresh), kAutoRefreshOff, L"\"自动刷新进程\" switches Auto refresh on and reads \"停止 刷新\"");
    r.check(waitUntil([&] { return checkState(rowWindow(c, 1)) == BST_UNCHECKED; }, 1000, 20),
            L"within a second of Auto refresh going on, the rows are made anew: row 1 is unticked");
    const auto start = Clock::now();
    auto elapsed = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(); };
    int menus = 0, tries = 0, boxes = 0;
    std::wstring wrongQuestions;
    bool died = false, freshSeen = false, freshGone = false;
    std::wstring error;
    Process* fresh = nullptr;
    for (int i = 0; elapsed() < 30000; ++i) {
        const auto stepStart = Clock::now();
        switch (i % 5) {
            case 0:
            case 1:
            case 2: {
                ++tries;
                // A row the program replaces before the press reaches it
                // loses the press; then the row of that number is tried again.
                HWND menu = nullptr;
                for (int attempt = 0; attempt < 4 && !menu; ++attempt) menu = openMenuOn(c, rowWindow(c, target), 700);
                if (!menu) break;
                ++menus;
                sleepMs(600);  // rows are rebuilt under the open menu
                if (i % 5 == 0) {
                    closePopupMenu(menu);
                } else if (i % 5 == 1) {
                    choosePopupMenuItem(menu, kMenuShowFile);
                } else {
                    choosePopupMenuItem(menu, kMenuEndProcess);
                    if (HWND box = waitMessageBox(c.pid, 2000, kEndConfirmTitle)) {
                        ++boxes;
                        const std::wstring question = messageBoxText(box);
                        if (question != kEndConfirmText + L"病毒ä") wrongQuestions += L"\n" + quoted(question);
                        sleepMs(600);  // and under the open confirmation
                        pressDialogButton(box, IDCANCEL);
                        waitUntil([&] { return !IsWindow(box); }, 2000);
                    }
                }
                menuGone(c, 2000);
                break;
            }
            case 3: {
                HWND menu = openMenuOn(c, c.control(kList1), 2000);
                if (menu) {
                    sleepMs(400);
                    closePopupMenu(menu);
                    menuGone(c, 2000);
                }
                break;
            }
            default:
                if (!fresh) {
                    fresh = c.dummies.start(kRoot + L"fresh.exe", &error);
                    freshSeen = fresh && waitUntil([&] { return rowsMatchProcesses(c, L"fresh.exe", true); }, 3000, 50);
                } else if (fresh->running()) {
                    fresh->terminate();
                    freshGone = waitUntil([&] { return rowsMatchProcesses(c, L"fresh.exe", false); }, 3000, 50);
                }
                break;
        }
        if (!c.alive()) {
            died = true;
            break;
        }
        while (std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stepStart).count() < 2000 &&
               elapsed() < 30000) {
            sleepMs(50);
        }
    }
    r.check(!died, L"wardeck.exe survives 30 s of Auto refresh with menus and the confirmation opened meanwhile");
    if (died) return;
    r.note(std::to_wstring(menus) + L" of " + std::to_wstring(tries) + L" Process menus opened, " +
           std::to_wstring(boxes) + L" confirmations, during Auto refresh");
    r.check(menus > 0 && boxes > 0, L"the Process menu and the confirmation open during Auto refresh");
    r.check(wrongQuestions.empty(), L"during Auto refresh the confirmation names the row's process (病毒ä)",
            wrongQuestions);
    r.check(freshSeen, L"within 3 s of a process starting during Auto refresh, the rows show it with the others", error);
    r.check(freshGone, L"within 3 s of its end, the rows show the others without it");
    click(refresh);
    r.equal(text(refresh), kAutoRefreshOn, L"a second click switches Auto refresh off");
    sleepMs(400);
    openProcessPage(c);
    sleepMs(300);
    r.check(answers(c.main), L"the main window answers after Auto refresh");
    const GuiCounts after = guiCounts(c.app.process.handle(), c.pid);
    r.note(L"USER/GDI objects after: " + std::to_wstring(after.user) + L"/" + std::to_wstring(after.gdi));
    r.check(before.user > 0 && after.user > 0 && std::abs(after.user - before.user) <= 10,
            L"USER objects before and after 30 s of Auto refresh agree within 10",
            std::to_wstring(before.user) + L" then " + std::to_wstring(after.user) + L" (" + before.how + L")");
    r.check(before.gdi > 0 && after.gdi > 0 && std::abs(after.gdi - before.gdi) <= 10,
            L"GDI objects before and after 30 s of Auto refresh agree within 10",
            std::to_wstring(before.gdi) + L" then " + std::to_wstring(after.gdi) + L" (" + before.how + L")");
}

// ---- bad input --------------------------------------------------------------------

void inputPart(Context& c) {
    Report& r = c.r;
    HWND list = c.control(kList1);
    HWND edit = c.control(kText1);
    if (!r.check(list && edit, L"the Suspect list (List1, ID 405) and Text1 (ID 407) exist")) return;
    if (HWND menu = openMenuOn(c, list)) {
        choosePopupMenuItem(menu, kMenuClearAll);
        r.check(waitUntil([&] { return suspects(c).empty(); }, 3000), L"the List menu's \"清除所有\" empties the Suspect list",
                joined(suspects(c)));
    } else {
        r.check(false, L"a right button press on the Suspect list opens the List menu");
    }
    typeChars(edit, L"\r");
    sleepMs(400);
    r.check(suspects(c).empty(), L"Enter in an empty Text1 adds nothing", joined(suspects(c)));

    std::wstring longName;
    for (int i = 0; longName.size() < 300; ++i) longName += static_cast<wchar_t>(L'a' + i % 26);
    const std::wstring typed[] = {longName, L"my virus", L"病毒"};
    std::vector<std::wstring> expected;
    for (const auto& t : typed) {
        typeChars(edit, t + L"\r");
        expected.push_back(t + L".exe");
        waitUntil([&] { return suspects(c).size() == expected.size(); }, 3000);
    }
    r.check(suspects(c) == expected,
            L"typed entries of 300 characters, with a space and in Chinese are added as typed with .exe",
            L"expected " + joined(expected) + L"\n    seen " + joined(suspects(c)));
    if (HWND menu = openMenuOn(c, list)) {
        choosePopupMenuItem(menu, kMenuClear);
        expected.pop_back();
        waitUntil([&] { return suspects(c).size() == expected.size(); }, 3000);
        r.check(suspects(c) == expected, L"the List menu's \"清 除\" removes the selected (last added) entry",
                joined(suspects(c)));
    }

    // The process without an extension: ticked, copied with ">>", ended by Loop kill.
    openProcessPage(c);
    const int row = firstRowCaptioned(readRows(c), L"病毒ä");
    HWND rowBox = rowWindow(c, row);
    if (!r.check(row > 0 && rowBox, L"the 病毒ä row is there")) return;
    click(rowBox);
    r.equal(checkState(rowBox), BST_CHECKED, L"a click ticks the 病毒ä row");
    click(c.control(kCommand5));
    auto items = suspects(c);
    r.check(!items.empty() && items.back() == L"病毒ä", L"\">>\" copies the ticked row's name 病毒ä", joined(items));
    HWND loop = c.control(kCommand7);
    click(loop);
    r.check(c.noExtension && c.noExtension->waitExit(3000),
            L"Loop kill ends the process named 病毒Ä (no extension) by its listed name 病毒ä");
    sleepMs(300);
    click(loop);
    r.equal(text(loop), kLoopKillOn, L"Loop kill is off again");
    r.check(c.alive() && answers(c.main), L"wardeck.exe runs and answers after the bad input");
}

// ---- scroll -----------------------------------------------------------------------

// Whether row k can be seen: its whole height lies inside the box. (The
// second column's rows reach past the box's right edge, which clips them.)
bool rowInside(const Context& c, int k) {
    HWND w = rowWindow(c, k);
    HWND box = c.control(kPicture3);
    if (!w || !box) return false;
    const RECT inner = clientRectOnScreen(box), row = windowRect(w);
    return row.top >= inner.top && row.bottom <= inner.bottom && row.left < inner.right && row.right > inner.left;
}

void scrollPart(Context& c) {
    Report& r = c.r;
    const int target = 40;
    int listed = static_cast<int>(expectedRows().names.size());
    std::wstring error;
    int started = 0;
    while (listed < target + 4 && started < 80) {
        if (!c.dummies.start(kRoot + L"fill.exe", &error)) break;
        ++started;
        ++listed;
    }
    r.check(listed >= target + 4, L"enough dummies run for more than 40 rows (" + std::to_wstring(started) + L" more)",
            error);
    openProcessPage(c);
    const auto rows = readRows(c);
    r.check(rows.size() >= static_cast<size_t>(target), L"the Process list has " + std::to_wstring(rows.size()) +
                                                             L" rows (40 or more)");
    HWND bar = c.control(kVScroll3);
    if (!r.check(bar && visible(bar), L"with more than 32 rows the Process list shows its scroll bar (VScroll3, ID 411)")) {
        return;
    }
    r.check(!rowInside(c, target), L"row 40 starts below the visible box");
    for (int i = 0; i < 10 && !rowInside(c, target); ++i) {
        DWORD_PTR res = 0;
        SendMessageTimeoutW(GetParent(bar), WM_VSCROLL, MAKEWPARAM(SB_PAGEDOWN, 0), reinterpret_cast<LPARAM>(bar),
                            SMTO_ABORTIFHUNG, 3000, &res);
    }
    r.check(rowInside(c, target), L"paging the scroll bar down brings row 40 inside the box",
            L"row 40 at " + describe(windowRect(rowWindow(c, target))) + L", box " +
                describe(clientRectOnScreen(c.control(kPicture3))));
    r.check(!rowInside(c, 1), L"row 1 has scrolled out of the box");
    saveShot(r, c.o, c.main, L"process-scrolled");
    DWORD_PTR res = 0;
    SendMessageTimeoutW(GetParent(bar), WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), reinterpret_cast<LPARAM>(bar),
                        SMTO_ABORTIFHUNG, 3000, &res);
    r.check(rowInside(c, 1), L"scrolling to the top brings row 1 back");
    r.check(c.alive() && answers(c.main), L"wardeck.exe runs and answers with " + std::to_wstring(rows.size()) + L" rows");
}

}  // namespace

int scenarioProcess(Report& r, const Options& o) {
    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    Context c(r, o);
    setUp(c);
    c.app = wardeck::start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(c.app.main != nullptr, L"wardeck.exe starts", c.app.error)) return r.finish();
    c.main = c.app.main;
    c.pid = c.app.process.pid();
    waitUntil([&] { return visible(c.main); }, 5000);

    struct Part {
        const wchar_t* name;
        void (*run)(Context&);
    };
    const Part parts[] = {{L"list", listPart},       {L"search", searchPart}, {L"loopkill", loopKillPart},
                          {L"menu", menuPart},       {L"refresh", refreshPart}, {L"input", inputPart},
                          {L"scroll", scrollPart}};
    for (const auto& part : parts) {
        if (!o.wants(part.name)) continue;
        if (!c.alive()) {
            r.check(false, std::wstring(L"wardeck.exe still runs before part ") + part.name);
            break;
        }
        part.run(c);
    }
    // Whatever menu or box is left open goes with the program.
    c.app.process.terminate();
    c.dummies.endAll();
    return r.finish();
}

}  // namespace wdauto
