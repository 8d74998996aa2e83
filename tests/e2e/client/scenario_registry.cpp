// The registry cleaners end to end: the Hijack page ("映像劫持清理") and the
// Browser page ("清理IE流氓") against keys seeded into the Wine registry.
//
// Each part seeds the keys through the registry API, starts wardeck.exe,
// opens the page (the list is read on the page's first opening), compares
// the rows with what the registry holds, ticks and removes, reads the keys
// back and compares them with what must be left, then imports the backup
// file the click wrote and compares the keys with the seeded state again.
//
// Parts (--only): "hijack", "browser", "lowercase" (the protected name in
// another letter case is listed), "bad-input" (values of every type, odd
// sizes, a 64 KB value and a 16,383-character name under the Browser keys),
// "unusual-names" (names a .reg file must escape or cannot hold), "views"
// (add-ons of the registry's 32-bit view, made with reg.exe /reg:32, and the
// hijack key that both views share).
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
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

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;

// ---- the page under test ------------------------------------------------------------

struct PageIds {
    const wchar_t* name;
    int page, box, bar, selectAll, clear, row0;
};
const PageIds kHijackPage{L"Hijack", kHijack, kPicture2, kVScroll2, kCommand4, kCommand3, kHijackRow0};
const PageIds kBrowserPage{L"Browser", kBrowser, kPicture4, kVScroll1, kCommand9, kCommand10, kBrowserRow0};

bool answers(HWND w, int timeoutMs) {
    DWORD_PTR res = 0;
    return SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &res) != 0;
}

// The rows 1..n of a page's list, by child ID; `gaps` tells of row IDs beyond
// an unbroken run from 1. A row window that the program has hidden is not
// part of the list (a row scrolled out of the box stays visible, clipped).
std::vector<HWND> rowsOf(HWND main, const PageIds& p, std::wstring* gaps = nullptr) {
    HWND box = findDescendant(main, p.box);
    std::map<int, HWND> byId;
    for (HWND w : descendants(box)) {
        int id = controlId(w);
        if (id > p.row0 && id < p.row0 + 100000 && (style(w) & WS_VISIBLE)) byId[id] = w;
    }
    std::vector<HWND> out;
    for (int k = 1; byId.count(p.row0 + k); ++k) out.push_back(byId[p.row0 + k]);
    if (gaps) {
        gaps->clear();
        if (byId.size() != out.size()) {
            for (auto& [id, w] : byId)
                if (id - p.row0 > static_cast<int>(out.size())) *gaps += L" " + std::to_wstring(id);
        }
    }
    return out;
}

// Waits until the program has done what its last event left for later (the
// list stays the same over two looks 60 ms apart), at most 3 s.
void settle(HWND main, const PageIds& p) {
    auto last = rowsOf(main, p);
    waitUntil(
        [&] {
            auto now = rowsOf(main, p);
            bool same = now == last;
            last = now;
            return same;
        },
        3000, 60);
}

std::vector<std::wstring> captionsOf(const std::vector<HWND>& rows) {
    std::vector<std::wstring> out;
    for (HWND r : rows) out.push_back(text(r));
    return out;
}

std::wstring joined(const std::vector<std::wstring>& list) {
    std::wstring out;
    for (const auto& s : list) out += (out.empty() ? L"" : L", ") + quoted(s);
    return L"[" + out + L"]";
}

int tickedCount(const std::vector<HWND>& rows) {
    int n = 0;
    for (HWND r : rows) n += checkState(r) == BST_CHECKED;
    return n;
}

void screenshot(Report& r, const Options& o, HWND window, const std::wstring& base) {
    repaint(window);
    std::wstring path = joinPath(o.out, base + (o.tag.empty() ? L"" : L"-" + o.tag) + L".bmp");
    if (!saveScreenBmp(windowRect(window), path)) r.note(L"could not save " + path);
}

// Starts the program and opens the page; the rows are there when the page
// bar's click returns (the page reads the registry inside the click).
struct OpenedPage {
    Running app;
    double openMs = 0;
};

OpenedPage openPage(Report& r, const Options& o, const PageIds& p, const std::wstring& label) {
    OpenedPage op;
    op.app = start(o.app, quotedCommandLine(o.app, L""));
    if (!r.check(op.app.main != nullptr, label + L"wardeck.exe starts", op.app.error)) return op;
    HWND button = findDescendant(op.app.main, kPageButton0 + p.page);
    if (!r.check(button != nullptr, label + L"the page bar button of the " + p.name + L" page exists")) return op;
    auto t0 = Clock::now();
    click(button);
    // A click that outlasts the message timeout returns early; wait for the page.
    bool ok = waitUntil([&] { return answers(op.app.main, 1000); }, 20000, 50);
    op.openMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    r.check(ok && op.app.process.running(),
            label + L"the " + p.name + L" page opens and the window answers again",
            op.app.process.running() ? L"no answer within 20 s" : L"the program ended");
    settle(op.app.main, p);
    r.check(visible(findDescendant(op.app.main, kPageContainer0 + p.page)), label + L"the " + p.name + L" page is shown");
    return op;
}

// ---- backups ------------------------------------------------------------------------

// With full rights (as the client starts it) the program keeps its backups
// where only administrators can change them, never in the user's profile.
std::wstring backupFolder() { return joinPath(environment(L"ProgramData"), kBackupFolder); }
std::wstring userBackupFolder() { return joinPath(environment(L"LOCALAPPDATA"), kBackupFolder); }

std::set<std::wstring> backupNames() {
    auto n = names(backupFolder());
    return {n.begin(), n.end()};
}

// The backup files that appeared since `before` and end in "-<page>.reg".
std::vector<std::wstring> newBackups(const std::set<std::wstring>& before, const std::wstring& page) {
    std::vector<std::wstring> out;
    const std::wstring suffix = L"-" + page + L".reg";
    for (const auto& n : backupNames()) {
        if (before.count(n)) continue;
        // <YYYY-MM-DD_HH-MM-SS>-page.reg, or with "-2", "-3" after the page when a name was taken.
        if (n.size() > suffix.size() && n.find(page) != std::wstring::npos && n.substr(n.size() - 4) == L".reg")
            out.push_back(joinPath(backupFolder(), n));
    }
    return out;
}

bool nameHasTimestamp(const std::wstring& file, const std::wstring& page) {
    auto slash = file.find_last_of(L'\\');
    std::wstring n = file.substr(slash + 1);
    // 2026-12-07_06-15-32-hijack.reg
    if (n.size() < 20) return false;
    const wchar_t* pattern = L"dddd-dd-dd_dd-dd-dd-";
    for (int i = 0; i < 20; ++i) {
        if (pattern[i] == L'd' ? !iswdigit(n[i]) : n[i] != pattern[i]) return false;
    }
    // then the page, and "-2", "-3", ... when the name was taken already
    std::wstring rest = n.substr(20);
    if (rest.rfind(page, 0) != 0 || rest.size() < page.size() + 4 || rest.substr(rest.size() - 4) != L".reg")
        return false;
    std::wstring extra = rest.substr(page.size(), rest.size() - page.size() - 4);
    return extra.empty() || (extra.size() >= 2 && extra[0] == L'-' &&
                             std::all_of(extra.begin() + 1, extra.end(), [](wchar_t c) { return iswdigit(c); }));
}

// Checks the one backup of a click and imports it; `content` gets the file's text.
bool checkAndImportBackup(Report& r, const std::set<std::wstring>& before, const std::wstring& page,
                          const std::wstring& label, std::wstring* content = nullptr) {
    auto files = newBackups(before, page);
    if (!r.equal(static_cast<long long>(files.size()), 1,
                 label + L"the click wrote one backup file into " + backupFolder())) {
        for (auto& f : files) r.note(L"backup: " + f);
        if (files.empty()) return false;
    }
    const std::wstring file = files.back();
    r.check(nameHasTimestamp(file, page), label + L"the backup is named <YYYY-MM-DD_HH-MM-SS>-" + page + L".reg",
            L"seen " + file);
    auto bytes = readFile(file);
    if (!r.check(bytes.has_value(), label + L"the backup file can be read", file)) return false;
    std::wstring all;
    if (bytes->size() >= 2 && static_cast<unsigned char>((*bytes)[0]) == 0xFF &&
        static_cast<unsigned char>((*bytes)[1]) == 0xFE) {
        for (size_t i = 2; i + 1 < bytes->size(); i += 2)
            all += static_cast<wchar_t>(static_cast<unsigned char>((*bytes)[i]) |
                                        (static_cast<unsigned char>((*bytes)[i + 1]) << 8));
    }
    if (content) *content = all;
    r.equal(all.substr(0, kRegFileHeader.size()), fromUtf8(kRegFileHeader),
            label + L"the backup is UTF-16LE with a byte-order mark and starts with the registry editor's header");
    long code = importRegFile(file);
    return r.equal(code, 0, label + L"regedit /S imports the backup");
}

// ---- comparing keys ------------------------------------------------------------------

struct Watched {
    HKEY root;
    std::wstring path;
    REGSAM view = 0;  // KEY_WOW64_32KEY for the 32-bit view
};

std::wstring watchedName(const Watched& k) {
    return regPathText(k.root, k.path) + (k.view == KEY_WOW64_32KEY ? L" (32-bit view)" : L"");
}

std::wstring stateOf(const std::vector<Watched>& keys) {
    std::wstring out;
    for (const auto& k : keys) {
        auto t = readKey(k.root, k.path, k.view);
        if (!t) {
            out += L"[" + watchedName(k) + L"] missing\n";
            continue;
        }
        t->name = watchedName(k);
        out += describeTree(*t);
    }
    return out;
}

std::wstring stateOf(const std::vector<std::pair<Watched, std::optional<RegTree>>>& expected) {
    std::wstring out;
    for (const auto& [k, t] : expected) {
        if (!t) {
            out += L"[" + watchedName(k) + L"] missing\n";
            continue;
        }
        RegTree named = *t;
        named.name = watchedName(k);
        out += describeTree(named);
    }
    return out;
}

// The same with some values left out (path relative to the watched key's root).
std::wstring stateWithout(const std::vector<std::pair<Watched, std::optional<RegTree>>>& keys,
                          const std::vector<std::pair<std::wstring, std::wstring>>& leaveOut) {
    auto copy = keys;
    for (auto& [k, t] : copy) {
        if (!t) continue;
        for (const auto& [path, name] : leaveOut) {
            if (path == k.path) t->removeValue(name);
            if (path.rfind(k.path + L"\\", 0) == 0)
                if (RegTree* sub = t->find(path.substr(k.path.size() + 1))) sub->removeValue(name);
        }
    }
    return stateOf(copy);
}

std::vector<std::pair<Watched, std::optional<RegTree>>> current(const std::vector<Watched>& keys) {
    std::vector<std::pair<Watched, std::optional<RegTree>>> out;
    for (const auto& k : keys) out.push_back({k, readKey(k.root, k.path, k.view)});
    return out;
}

bool compareState(Report& r, const std::wstring& expected, const std::wstring& seen, const std::wstring& what) {
    return r.check(expected == seen, what, lineDiff(expected, seen));
}

// ---- seeding ------------------------------------------------------------------------

bool seed(Report& r, HKEY root, const std::wstring& path, const RegTree& tree, const std::wstring& label) {
    deleteTree(root, path);
    std::wstring err = writeKey(root, path, tree);
    return r.check(err.empty(), label + L"seeded " + regPathText(root, path), err);
}

// The IFEO keys: the protected one, one with a subkey, one with a Chinese
// name, and enough others for more rows than the box shows.
RegTree ifeoSeed() {
    RegTree t = key(L"Image File Execution Options");
    t.subkey(key(kProtectedIfeo, {sz(L"Debugger", L"C:\\never\\listed.exe")}));
    t.subkey(key(L"notepad.exe", {sz(L"Debugger", L"C:\\evil\\dropper.exe")}));
    t.subkey(key(L"calc.exe", {sz(L"Debugger", L"ntsd -d"), dword(L"GlobalFlag", 2)}));
    // The filter form: the Debugger one level down, where a cleaner that
    // deletes one level misses it.
    t.subkey(key(L"regedit.exe", {dword(L"UseFilter", 1)},
                 {key(L"Filter1", {sz(L"FilterFullPath", L"C:\\windows\\regedit.exe"), sz(L"Debugger", L"C:\\evil\\x.exe")},
                      {key(L"Deeper", {dword(L"x", 1)})})}));
    t.subkey(key(L"杀毒软件.exe", {sz(L"Debugger", L"C:\\恶意\\程序.exe")}));
    for (const wchar_t* n : {L"360tray.exe", L"avp.exe", L"taskmgr.exe", L"msconfig.exe", L"rstrui.exe", L"kav.exe",
                             L"zz_last.exe"})
        t.subkey(key(n, {sz(L"Debugger", L"svchost.exe")}));
    return t;
}

const wchar_t* const kExt1 = L"{1A2B3C4D-0001-4000-8000-00000000E001}";
const wchar_t* const kExt2 = L"{1A2B3C4D-0001-4000-8000-00000000E002}";
const wchar_t* const kExt3 = L"{1A2B3C4D-0001-4000-8000-00000000E003}";
const wchar_t* const kExt4 = L"{1A2B3C4D-0001-4000-8000-00000000E004}";
const wchar_t* const kExt5 = L"{1A2B3C4D-0001-4000-8000-00000000E005}";
const wchar_t* const kExt6 = L"{1A2B3C4D-0001-4000-8000-00000000E006}";
const wchar_t* const kBar1 = L"{2B3C4D5E-0002-4000-8000-00000000B001}";
const wchar_t* const kBar2 = L"{2B3C4D5E-0002-4000-8000-00000000B002}";
const wchar_t* const kBar3 = L"{2B3C4D5E-0002-4000-8000-00000000B003}";
const wchar_t* const kBar4 = L"{2B3C4D5E-0002-4000-8000-00000000B004}";
const wchar_t* const kBar5 = L"{2B3C4D5E-0002-4000-8000-00000000B005}";

RegTree extensionsSeed() {
    RegTree t = key(L"Extensions");
    t.subkey(key(kExt1, {sz(L"ButtonText", L"按钮在前"), sz(L"MenuText", L"菜单在后"), sz(L"Icon", L"C:\\x.ico")}));
    t.subkey(key(kExt2, {sz(L"MenuText", L"菜单在前"), sz(L"ButtonText", L"按钮在后"), sz(L"CLSID", L"{0}")}));
    t.subkey(key(kExt3, {sz(L"Icon", L"C:\\y.ico"), sz(L"Exec", L"C:\\evil\\bar.exe")}));
    t.subkey(key(kExt4, {raw(L"MenuText", REG_SZ, {}), sz(L"ButtonText", L"无数据跳过")}));
    t.subkey(key(kExt5, {sz(L"menutext", L"小写不算"), sz(L"Exec", L"C:\\evil\\m.exe")}));
    t.subkey(key(kExt6, {sz(L"MenuText", L""), sz(L"ButtonText", L"不看")}));
    return t;
}

// The caption each extension must have on the Browser page: the text of the
// first value, in the registry's enumeration order, named exactly "MenuText"
// or "ButtonText" that has data; else the template row's caption. The seed
// stores the two in both orders; Wine enumerates values sorted by name, so
// there "ButtonText" always comes first.
struct CaptionChoice {
    std::wstring menuFirst, buttonFirst;  // the caption when that value comes first
};
const std::map<std::wstring, CaptionChoice>& extensionCaptions() {
    static const std::map<std::wstring, CaptionChoice> m = {
        {kExt1, {L"菜单在后", L"按钮在前"}},
        {kExt2, {L"菜单在前", L"按钮在后"}},
        {kExt3, {kExtensionTemplateCaption, kExtensionTemplateCaption}},
        {kExt4, {L"无数据跳过", L"无数据跳过"}},  // MenuText without data is passed over
        {kExt5, {kExtensionTemplateCaption, kExtensionTemplateCaption}},  // "menutext" does not count
        {kExt6, {L"", L"不看"}},  // MenuText holding "" is taken
    };
    return m;
}

std::map<std::wstring, std::wstring> browserCaptions() {
    std::map<std::wstring, std::wstring> out;
    for (const auto& [name, choice] : extensionCaptions()) {
        bool menuFirst = true;
        for (const auto& v : values(HKLM, kExtensionsPath + L"\\" + name)) {
            if (v.name == L"MenuText" || v.name == L"ButtonText") {
                menuFirst = v.name == L"MenuText";
                break;
            }
        }
        out[name] = menuFirst ? choice.menuFirst : choice.buttonFirst;
    }
    return out;
}

RegTree toolbarSeed() {
    RegTree t = key(L"Toolbar");
    t.value(sz(kBar1, L"工具栏一"));
    t.value(binary(kBar2, {}));  // no data: no row
    t.value(sz(kBar3, L"Toolbar Three"));
    t.value(sz(kBar4, L""));  // the empty text is data: a row with an empty caption
    t.value(sz(kExt2, L"同名工具栏"));  // the same name as an extension
    t.value(sz(kBar5, L"第五个工具栏"));
    return t;
}

RegTree searchHooksSeed() {
    RegTree t = key(L"URLSearchHooks");
    t.value(sz(L"{CFBFAE00-17A6-11D0-99CB-00C04FD64497}", L""));
    t.value(sz(L"{3C4D5E6F-0003-4000-8000-00000000C002}", L"搜索钩子"));
    t.value(dword(L"{3C4D5E6F-0003-4000-8000-00000000C003}", 1));
    return t;
}

const wchar_t* const kBho1 = L"{4D5E6F70-0004-4000-8000-00000000D001}";
const wchar_t* const kBho2 = L"{4D5E6F70-0004-4000-8000-00000000D002}";
const wchar_t* const kBho3 = L"{4D5E6F70-0004-4000-8000-00000000D003}";

RegTree helperObjectsSeed() {
    RegTree t = key(L"Browser Helper Objects");
    t.subkey(key(kBho1, {sz(L"", L"恶意插件"), dword(L"NoExplorer", 1)}));
    t.subkey(key(kBho2));
    t.subkey(key(kBho3, {}, {key(L"Inner", {sz(L"", L"goes with it")})}));
    return t;
}

// One entry of the Browser list as the registry holds it now: the name the
// row stands for and the caption it must show.
struct Entry {
    std::wstring name, caption;
};

// The Browser list the page must show for the registry as it is: extension
// subkeys in enumeration order, then toolbar values with data.
std::vector<Entry> expectedBrowserRows(const std::map<std::wstring, std::wstring>& captions,
                                       const std::map<std::wstring, std::wstring>& toolbarCaptions) {
    std::vector<Entry> out;
    for (const auto& n : subkeyNames(HKLM, kExtensionsPath)) {
        auto it = captions.find(n);
        out.push_back({n, it == captions.end() ? L"?" : it->second});
    }
    for (const auto& v : values(HKLM, kToolbarPath)) {
        if (v.data.empty()) continue;
        auto it = toolbarCaptions.find(v.name);
        out.push_back({v.name, it == toolbarCaptions.end() ? L"?" : it->second});
    }
    return out;
}

std::map<std::wstring, std::wstring> toolbarCaptionsOf(const RegTree& toolbar) {
    std::map<std::wstring, std::wstring> m;
    for (const auto& v : toolbar.values) {
        std::wstring s(reinterpret_cast<const wchar_t*>(v.data.data()), v.data.size() / 2);
        while (!s.empty() && s.back() == L'\0') s.pop_back();
        m[v.name] = s;
    }
    return m;
}

std::vector<std::wstring> captionsOf(const std::vector<Entry>& entries) {
    std::vector<std::wstring> out;
    for (const auto& e : entries) out.push_back(e.caption);
    return out;
}

std::vector<std::wstring> ifeoRowsExpected() {
    std::vector<std::wstring> out;
    for (const auto& n : subkeyNames(HKLM, kIfeoPath))
        if (n != kProtectedIfeo) out.push_back(n);
    return out;
}

// The scroll bar of a list with more rows than its box shows has a range, and
// scrolling to the end brings the last row into the box.
void checkScrolling(Report& r, HWND main, const PageIds& p, const std::wstring& label) {
    HWND bar = findDescendant(main, p.bar);
    auto rows = rowsOf(main, p);
    if (!r.check(bar && !rows.empty(), label + L"the list has its scroll bar and rows",
                 std::wstring(bar ? L"" : L"no scroll bar; ") + std::to_wstring(rows.size()) + L" rows")) {
        return;
    }
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_POS;
    GetScrollInfo(bar, SB_CTL, &si);
    r.check(si.nMax > si.nMin, label + L"the scroll bar has a range with " + std::to_wstring(rows.size()) + L" rows",
            L"range " + std::to_wstring(si.nMin) + L".." + std::to_wstring(si.nMax));
    HWND box = findDescendant(main, p.box);
    const RECT boxRect = clientRectOnScreen(box);
    // Rows are wider than the box (the page's width less 60 twips): only
    // their top and bottom count.
    auto inside = [&](HWND w) {
        RECT rr = windowRect(w);
        return rr.top >= boxRect.top && rr.bottom <= boxRect.bottom;
    };
    r.check(!inside(rows.back()), label + L"the last row lies below the box before scrolling",
            describe(windowRect(rows.back())) + L" in " + describe(boxRect));
    SendMessageTimeoutW(GetParent(bar), WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(bar), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    waitUntil([&] { return inside(rows.back()) && !inside(rows.front()); }, 1000);
    r.check(inside(rows.back()) && !inside(rows.front()),
            label + L"scrolled to the end, the last row is in the box and the first is not",
            L"last " + describe(windowRect(rows.back())) + L", first " + describe(windowRect(rows.front())) +
                L", box " + describe(boxRect));
    SendMessageTimeoutW(GetParent(bar), WM_VSCROLL, SB_TOP, reinterpret_cast<LPARAM>(bar), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    waitUntil([&] { return inside(rows.front()); }, 1000);
    r.check(inside(rows.front()), label + L"scrolled back to the top, the first row is in the box again");
}

void checkSelectAllToggle(Report& r, HWND main, const PageIds& p, const std::wstring& label) {
    HWND toggle = findDescendant(main, p.selectAll);
    auto rows = rowsOf(main, p);
    r.equal(text(toggle), kSelectAll, label + L"the select-all button reads " + kSelectAll);
    click(toggle);
    r.equal(tickedCount(rows), static_cast<long long>(rows.size()), label + L"select-all ticks every row");
    r.equal(text(toggle), kUnselectAll, label + L"the select-all button then reads " + kUnselectAll);
    click(toggle);
    r.equal(tickedCount(rows), 0, label + L"the second click unticks every row");
    r.equal(text(toggle), kSelectAll, label + L"the select-all button reads " + kSelectAll + L" again");
}

// ---- the Hijack page --------------------------------------------------------------------

void hijackPart(Report& r, const Options& o) {
    const std::wstring label = L"hijack: ";
    emptyKey(HKLM, kIfeoPath);
    const RegTree seeded = ifeoSeed();
    std::wstring err = writeKey(HKLM, kIfeoPath, seeded);
    if (!r.check(err.empty(), label + L"seeded 12 subkeys under HKLM\\" + kIfeoPath, err)) return;
    const std::vector<Watched> watched = {{HKLM, kIfeoPath}};
    const std::wstring seededState = stateOf(watched);

    OpenedPage op = openPage(r, o, kHijackPage, label);
    if (!op.app.main) return;
    HWND main = op.app.main;
    std::wstring gaps;
    auto rows = rowsOf(main, kHijackPage, &gaps);
    const auto expected = ifeoRowsExpected();
    r.equal(joined(captionsOf(rows)), joined(expected),
            label + L"the rows show every subkey but the protected one, in the registry's order");
    r.check(gaps.empty(), label + L"the rows are numbered without gaps", L"row IDs beyond the run:" + gaps);
    {
        const auto seen = captionsOf(rows);
        r.check(std::find(seen.begin(), seen.end(), L"杀毒软件.exe") != seen.end(),
                label + L"the Chinese subkey name reads exactly 杀毒软件.exe", joined(seen));
    }
    {
        std::wstring wrong;
        for (HWND w : rows) {
            if ((style(w) & BS_TYPEMASK) != BS_CHECKBOX && (style(w) & BS_TYPEMASK) != BS_AUTOCHECKBOX)
                wrong += L" " + describe(w);
            if (checkState(w) != BST_UNCHECKED) wrong += L" ticked:" + describe(w);
        }
        r.check(wrong.empty(), label + L"every row is an unticked check box", wrong);
    }
    screenshot(r, o, main, L"registry-hijack");
    checkScrolling(r, main, kHijackPage, label);
    checkSelectAllToggle(r, main, kHijackPage, label);

    // Tick everything, then untick calc.exe by hand.
    click(findDescendant(main, kCommand4));
    RegTree expectedAfter = seeded;
    for (size_t k = 0; k < rows.size(); ++k) {
        const std::wstring name = text(rows[k]);
        if (name == L"calc.exe") {
            click(rows[k]);
            r.equal(checkState(rows[k]), BST_UNCHECKED, label + L"a click on a ticked row unticks it");
        } else {
            expectedAfter.removeSubkey(name);  // with its subkeys (regedit.exe has two levels)
        }
    }
    r.equal(tickedCount(rows), static_cast<long long>(rows.size()) - 1, label + L"all rows but one are ticked");

    const auto before = backupNames();
    HWND clear = findDescendant(main, kCommand3);
    r.equal(text(clear), kClearHijacks, label + L"Command3 reads " + kClearHijacks);
    click(clear);
    r.check(answers(main, 5000) && op.app.process.running(), label + L"the program answers after " + kClearHijacks);
    settle(main, kHijackPage);
    compareState(r, stateOf({{{HKLM, kIfeoPath}, expectedAfter}}), stateOf(watched),
                 label + L"the ticked entries are gone with their subkeys; the protected one and calc.exe stay");
    auto after = rowsOf(main, kHijackPage);
    r.equal(joined(captionsOf(after)), joined(ifeoRowsExpected()), label + L"the list is read anew after the removal");
    r.equal(joined(captionsOf(after)), joined({L"calc.exe"}), label + L"calc.exe is listed again");
    r.equal(tickedCount(after), 0, label + L"the new rows are unticked");

    if (checkAndImportBackup(r, before, L"hijack", label)) {
        compareState(r, seededState, stateOf(watched), label + L"importing the backup gives back the seeded keys exactly");
    }
    op.app.process.terminate();
}

// ---- the Browser page -------------------------------------------------------------------

void browserPart(Report& r, const Options& o) {
    const std::wstring label = L"browser: ";
    const RegTree ext = extensionsSeed(), bar = toolbarSeed(), hooks = searchHooksSeed(), bho = helperObjectsSeed();
    bool ok = seed(r, HKLM, kExtensionsPath, ext, label) & seed(r, HKLM, kToolbarPath, bar, label) &
              seed(r, HKCU, kSearchHooksPath, hooks, label) & seed(r, HKLM, kHelperObjectsPath, bho, label);
    if (!ok) return;
    const std::vector<Watched> watched = {{HKLM, kExtensionsPath},
                                          {HKLM, kToolbarPath},
                                          {HKCU, kSearchHooksPath},
                                          {HKLM, kHelperObjectsPath}};
    const std::wstring seededState = stateOf(watched);
    const auto barCaptions = toolbarCaptionsOf(bar);

    OpenedPage op = openPage(r, o, kBrowserPage, label);
    if (!op.app.main) return;
    HWND main = op.app.main;
    std::wstring gaps;
    auto rows = rowsOf(main, kBrowserPage, &gaps);
    auto expected = expectedBrowserRows(browserCaptions(), barCaptions);
    r.equal(joined(captionsOf(rows)), joined(captionsOf(expected)),
            label + L"the rows show the extensions, then the toolbars with data, in the registry's order");
    r.check(gaps.empty(), label + L"the rows are numbered without gaps", L"row IDs beyond the run:" + gaps);
    r.equal(static_cast<long long>(rows.size()), 11, label + L"6 extensions and 5 of the 6 toolbar values give 11 rows");
    screenshot(r, o, main, L"registry-browser");
    checkScrolling(r, main, kBrowserPage, label);
    checkSelectAllToggle(r, main, kBrowserPage, label);

    // Tick: the extension whose name is also a toolbar value, the extension
    // without a caption, and two toolbars (one with an empty caption).
    std::set<std::wstring> tick = {kExt2, kExt3, kBar1, kBar4};
    const size_t ticks = tick.size();
    RegTree extAfter = ext, barAfter = bar, hooksAfter = key(L"URLSearchHooks"), bhoAfter = bho;
    for (size_t k = 0; k < rows.size() && k < expected.size(); ++k) {
        if (!tick.erase(expected[k].name)) continue;  // the extension row only, not the toolbar of the same name
        click(rows[k]);
        extAfter.removeSubkey(expected[k].name);
        barAfter.removeValue(expected[k].name);
    }
    r.equal(tickedCount(rows), static_cast<long long>(ticks), label + L"four rows are ticked");
    bhoAfter.removeSubkey(kBho1);
    bhoAfter.removeSubkey(kBho2);
    bhoAfter.removeSubkey(kBho3);

    auto before = backupNames();
    HWND clear = findDescendant(main, kCommand10);
    r.equal(text(clear), kClearBrowser, label + L"Command10 reads " + kClearBrowser);
    click(clear);
    r.check(answers(main, 5000) && op.app.process.running(), label + L"the program answers after " + kClearBrowser);
    settle(main, kBrowserPage);
    const std::wstring expectedAfter = stateOf({{{HKLM, kExtensionsPath}, extAfter},
                                                {{HKLM, kToolbarPath}, barAfter},
                                                {{HKCU, kSearchHooksPath}, hooksAfter},
                                                {{HKLM, kHelperObjectsPath}, bhoAfter}});
    compareState(r, expectedAfter, stateOf(watched),
                 label + L"ticked names are gone from both keys, and every search hook and every BHO");
    {
        auto bhoNow = readKey(HKLM, kHelperObjectsPath);
        r.check(bhoNow && !bhoNow->find(kBho3), label + L"the BHO with a subkey of its own is wiped whole");
        auto hooksNow = readKey(HKCU, kSearchHooksPath);
        r.check(hooksNow && hooksNow->values.empty(), label + L"URLSearchHooks holds no value");
    }
    auto after = rowsOf(main, kBrowserPage);
    r.equal(joined(captionsOf(after)), joined(captionsOf(expectedBrowserRows(browserCaptions(), barCaptions))),
            label + L"the list is read anew after the removal");
    r.equal(static_cast<long long>(after.size()), 6,
            label + L"6 rows are left (the toolbar named like the ticked extension went with it)");
    r.equal(tickedCount(after), 0, label + L"the new rows are unticked");

    if (checkAndImportBackup(r, before, L"browser", label)) {
        compareState(r, seededState, stateOf(watched), label + L"importing the backup gives back the seeded keys exactly");
    }

    // A click with nothing ticked still wipes the search hooks and the BHOs.
    before = backupNames();
    click(clear);
    r.check(answers(main, 5000) && op.app.process.running(), label + L"the program answers after a click with nothing ticked");
    settle(main, kBrowserPage);
    compareState(r,
                 stateOf({{{HKLM, kExtensionsPath}, ext},
                          {{HKLM, kToolbarPath}, bar},
                          {{HKCU, kSearchHooksPath}, hooksAfter},
                          {{HKLM, kHelperObjectsPath}, bhoAfter}}),
                 stateOf(watched),
                 label + L"with nothing ticked only the search hooks and the BHOs go");
    r.equal(joined(captionsOf(rowsOf(main, kBrowserPage))), joined(captionsOf(expected)),
            label + L"the list shows every seeded entry again");
    if (checkAndImportBackup(r, before, L"browser", label + L"nothing ticked: ")) {
        compareState(r, seededState, stateOf(watched),
                     label + L"nothing ticked: importing the backup gives back the seeded keys exactly");
    }
    op.app.process.terminate();
}

// ---- the protected name in another letter case ---------------------------------------------

void lowercasePart(Report& r, const Options& o) {
    const std::wstring label = L"lower-case protected name: ";
    emptyKey(HKLM, kIfeoPath);
    const std::wstring lowerName = L"your image file name here without a path";
    RegTree t = key(L"Image File Execution Options");
    t.subkey(key(lowerName, {sz(L"Debugger", L"C:\\evil\\x.exe")}));
    t.subkey(key(L"notepad.exe", {sz(L"Debugger", L"C:\\evil\\x.exe")}));
    std::wstring err = writeKey(HKLM, kIfeoPath, t);
    if (!r.check(err.empty(), label + L"seeded", err)) return;
    auto names = subkeyNames(HKLM, kIfeoPath);
    r.check(std::find(names.begin(), names.end(), lowerName) != names.end(),
            label + L"the registry holds the name in lower case", joined(names));
    OpenedPage op = openPage(r, o, kHijackPage, label);
    if (!op.app.main) return;
    auto rows = captionsOf(rowsOf(op.app.main, kHijackPage));
    r.equal(joined(rows), joined(ifeoRowsExpected()), label + L"both subkeys are listed in the registry's order");
    r.check(std::find(rows.begin(), rows.end(), lowerName) != rows.end(), label + L"the lower-case spelling IS listed",
            joined(rows));
    op.app.process.terminate();
    emptyKey(HKLM, kIfeoPath);
}

// ---- bad input ------------------------------------------------------------------------------

bool hasControlCharacters(const std::wstring& s) {
    return std::any_of(s.begin(), s.end(), [](wchar_t c) { return c < 0x20; });
}

void badInputPart(Report& r, const Options& o) {
    const std::wstring label = L"bad input: ";
    // A 64 KB string (32,767 characters and the NUL), every character varied so
    // that a cut or a garbled part shows.
    std::wstring big;
    for (int i = 0; i < 32767; ++i) big += static_cast<wchar_t>(i % 7 == 6 ? L'中' : L'a' + i % 26);
    std::wstring longName;
    for (int i = 0; i < 16383; ++i) longName += static_cast<wchar_t>(L'A' + i % 26);
    const std::wstring longNameCaption = L"长名字的工具栏";

    RegTree ext = key(L"Extensions");
    ext.subkey(key(L"{5E6F7081-0005-4000-8000-00000000F001}", {binary(L"MenuText", {0x01, 0x02, 0xff}),
                                                               sz(L"ButtonText", L"按钮")}));
    ext.subkey(key(L"{5E6F7081-0005-4000-8000-00000000F002}", {dword(L"MenuText", 7)}));
    ext.subkey(key(L"{5E6F7081-0005-4000-8000-00000000F003}",
                   {raw(L"ButtonText", REG_SZ, {'O', 0, 'd', 0, 'd'}), sz(L"MenuText", L"later")}));
    ext.subkey(key(L"a]b [c] \"quoted\"", {sz(L"MenuText", L"方括号")}));  // brackets and quotes in a key name
    RegTree bar = key(L"Toolbar");
    bar.value(binary(L"binary", {0x00, 0xff, 0x10, 0x20, 0x0d, 0x0a}));
    bar.value(dword(L"dword", 42));
    bar.value(multiSz(L"multi", {L"alpha", L"beta"}));
    bar.value(expandSz(L"expand", L"%SystemRoot%\\evil.exe"));
    bar.value(raw(L"odd", REG_SZ, {'A', 0, 'B', 0, 'C'}));
    bar.value(raw(L"nul-inside", REG_SZ, {0x4d, 0x52, 0, 0, 0x0e, 0x54, 0, 0}));  // "前\0后"
    bar.value(raw(L"none-type", REG_NONE, {1, 2, 3}));
    bar.value(sz(L"big", big));
    bar.value(sz(longName, longNameCaption));
    bar.value(sz(L"", L"默认值"));  // the key's unnamed value
    bar.value(sz(L"say \"hi\" \\ bye = [x]", L"引号"));
    bar.value(sz(L"newline", L"line1\r\nline2"));
    bar.value(sz(L"中文名字", L"中文数据"));
    bool ok = seed(r, HKLM, kExtensionsPath, ext, label) & seed(r, HKLM, kToolbarPath, bar, label);
    emptyKey(HKCU, kSearchHooksPath);
    emptyKey(HKLM, kHelperObjectsPath);
    if (!ok) return;
    {
        auto v = value(HKLM, kToolbarPath, longName);
        r.check(v && v->name == longName, label + L"the registry holds a value with a 16,383-character name");
        auto b = value(HKLM, kToolbarPath, L"big");
        r.equal(b ? static_cast<long long>(b->data.size()) : -1, 65536, label + L"the registry holds a 64 KB value");
    }
    const std::vector<Watched> watched = {{HKLM, kExtensionsPath}, {HKLM, kToolbarPath}};
    const auto seeded = current(watched);

    OpenedPage op = openPage(r, o, kBrowserPage, label);
    if (!op.app.main) return;
    r.note(L"the Browser page opened in " + std::to_wstring(static_cast<int>(op.openMs)) + L" ms");
    HWND main = op.app.main;
    auto rows = rowsOf(main, kBrowserPage);
    auto captions = captionsOf(rows);
    r.equal(static_cast<long long>(rows.size()), 4 + 13, label + L"4 extensions and 13 toolbar values give 17 rows");
    std::map<std::wstring, std::wstring> byName;
    {
        auto extNames = subkeyNames(HKLM, kExtensionsPath);
        size_t k = 0;
        for (; k < extNames.size() && k < captions.size(); ++k) byName[extNames[k]] = captions[k];
        for (const auto& v : values(HKLM, kToolbarPath))
            if (!v.data.empty() && k < captions.size()) byName[v.name] = captions[k++];
    }
    auto caption = [&](const std::wstring& n) { return byName.count(n) ? byName[n] : L"(no row)"; };
    r.equal(caption(L"big"), big, label + L"the 64 KB string is the caption whole, neither cut nor garbled");
    r.equal(caption(longName), longNameCaption, label + L"the value with a 16,383-character name gives its row");
    r.equal(caption(L"expand"), L"%SystemRoot%\\evil.exe", label + L"an expandable string reads as its text");
    const std::wstring dw = caption(L"dword"), multi = caption(L"multi");
    r.check(dw.find(L"42") != std::wstring::npos && !hasControlCharacters(dw),
            label + L"a DWORD toolbar reads as a readable number", L"caption " + quoted(dw));
    r.check(multi.find(L"alpha") != std::wstring::npos && multi.find(L"beta") != std::wstring::npos &&
                !hasControlCharacters(multi),
            label + L"a multi-string toolbar shows both texts, readably", L"caption " + quoted(multi));
    for (const wchar_t* n : {L"binary", L"none-type", L"odd", L"nul-inside"}) {
        const std::wstring c = caption(n);
        r.check(!c.empty() && c != L"(no row)" && !hasControlCharacters(c),
                label + L"the " + n + L" toolbar has a readable caption", L"caption " + quoted(c));
    }
    r.equal(caption(L""), L"默认值", label + L"the unnamed value gives its row");
    r.equal(caption(L"say \"hi\" \\ bye = [x]"), L"引号", label + L"a value name with quotes, backslash and brackets gives its row");
    r.equal(caption(L"中文名字"), L"中文数据", label + L"a Chinese value name gives its row");
    for (size_t k = 0; k < 4 && k < captions.size(); ++k) {
        r.check(!hasControlCharacters(captions[k]), label + L"extension row " + std::to_wstring(k + 1) +
                                                       L" has a readable caption",
                L"caption " + quoted(captions[k]));
    }

    // Remove everything: every value and key must come back from the backup
    // with its type and data.
    auto before = backupNames();
    click(findDescendant(main, kCommand9));
    r.equal(tickedCount(rows), static_cast<long long>(rows.size()), label + L"select-all ticks all 17 rows");
    click(findDescendant(main, kCommand10));
    r.check(waitUntil([&] { return answers(main, 1000); }, 20000, 50) && op.app.process.running(),
            label + L"the program answers after removing them all");
    settle(main, kBrowserPage);
    auto extNow = readKey(HKLM, kExtensionsPath);
    auto barNow = readKey(HKLM, kToolbarPath);
    r.check(extNow && extNow->subkeys.empty(), label + L"every extension key is gone",
            extNow ? describeTree(*extNow) : L"key missing");
    r.check(barNow && barNow->values.empty(), label + L"every toolbar value is gone",
            barNow ? describeTree(*barNow) : L"key missing");
    r.equal(static_cast<long long>(rowsOf(main, kBrowserPage).size()), 0, label + L"the list is empty");
    std::wstring backup;
    if (checkAndImportBackup(r, before, L"browser", label, &backup)) {
        // String data of odd length: the backup must carry its bytes exactly,
        // but Wine's regedit pads such data with a NUL on import, so these two
        // values are compared in the file rather than in the registry.
        const std::wstring extF003 = kExtensionsPath + L"\\{5E6F7081-0005-4000-8000-00000000F003}";
        for (const wchar_t* line : {L"\"ButtonText\"=hex(1):4f,00,64,00,64\r\n", L"\"odd\"=hex(1):41,00,42,00,43\r\n"})
            r.check(backup.find(line) != std::wstring::npos,
                    label + L"the backup holds the odd-length string " + quoted(line) + L" byte for byte");
        const std::vector<std::pair<std::wstring, std::wstring>> odd = {{extF003, L"ButtonText"},
                                                                        {kToolbarPath, L"odd"}};
        compareState(r, stateWithout(seeded, odd), stateWithout(current(watched), odd),
                     label + L"importing the backup gives back every type, size and name exactly");
    }
    op.app.process.terminate();
    deleteTree(HKLM, kExtensionsPath);
    deleteTree(HKLM, kToolbarPath);
}

// ---- unusual names ----------------------------------------------------------------------

// Key and value names that a .reg file must escape (brackets, quotes, a
// semicolon, characters outside the BMP) or that it may not be able to hold at
// all (line breaks), one at a time, under the IFEO key and the two keys that
// every Browser click wipes. Nothing may be lost: the click deletes and its
// backup gives everything back, or, for a name no backup can carry, the click
// deletes nothing. A name that a .reg file can carry must not stop the click.
struct OddCase {
    std::wstring what;
    bool carried;  // a .reg file can hold it: the click must delete it
    const PageIds* page;
    HKEY root;
    std::wstring path;
    RegTree tree;
};

std::vector<OddCase> oddCases() {
    std::vector<OddCase> out;
    auto ifeoKey = [](const std::wstring& n) {
        RegTree t = key(L"Image File Execution Options");
        t.subkey(key(n, {sz(L"Debugger", L"C:\\evil\\x.exe")}));
        return t;
    };
    for (auto [name, carried] : std::vector<std::pair<std::wstring, bool>>{
             {L"a]b [c].exe", true}, {L"quote\"name.exe", true}, {L"ÿ-latin1.exe", true},
             {L"emoji-\U0001F600.exe", true}, {L"semi;colon=eq.exe", true}, {L"tab\tname.exe", true},
             {L"line\nbreak.exe", false}}) {
        out.push_back({L"IFEO subkey " + quoted(name), carried, &kHijackPage, HKLM, kIfeoPath, ifeoKey(name)});
    }
    std::wstring longName;
    for (int i = 0; i < 16383; ++i) longName += static_cast<wchar_t>(L'a' + i % 26);
    std::vector<BYTE> blob(65536);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<BYTE>(i * 7 + 3);
    auto hooks = [](RegValue v) {
        RegTree t = key(L"URLSearchHooks");
        t.value(std::move(v));
        return t;
    };
    out.push_back({L"a search hook with a 16,383-character name and 64 KB of binary data", true, &kBrowserPage, HKCU,
                   kSearchHooksPath, hooks(binary(longName, blob))});
    out.push_back({L"a search hook named with quotes holding a list with an empty string", true, &kBrowserPage, HKCU,
                   kSearchHooksPath, hooks(multiSz(L"multi \"hook\" \\ [x]", {L"a", L"", L"c"}))});
    out.push_back({L"a search hook whose text holds a line feed", true, &kBrowserPage, HKCU, kSearchHooksPath,
                   hooks(sz(L"text", L"data\nwith a line feed"))});
    out.push_back({L"a search hook whose name holds a line feed", false, &kBrowserPage, HKCU, kSearchHooksPath,
                   hooks(sz(L"line\nbreak", L"x"))});
    RegTree bho = key(L"Browser Helper Objects");
    bho.subkey(key(L"a]b [c]", {expandSz(L"", L"%ProgramFiles%\\evil.dll"), raw(L"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8})}));
    bho.subkey(key(L"survivor", {}, {key(L"deep", {}, {key(L"deeper", {dword(L"x", 1)})})}));
    out.push_back({L"a BHO named with brackets beside a nested one", true, &kBrowserPage, HKLM, kHelperObjectsPath, bho});
    return out;
}

void oddNamesPart(Report& r, const Options& o) {
    deleteTree(HKLM, kExtensionsPath);
    deleteTree(HKLM, kToolbarPath);
    for (const OddCase& c : oddCases()) {
        const std::wstring l = L"unusual names: " + c.what + L": ";
        emptyKey(HKLM, kIfeoPath);
        emptyKey(HKCU, kSearchHooksPath);
        deleteTree(HKLM, kHelperObjectsPath);
        if (!seed(r, c.root, c.path, c.tree, l)) continue;
        const std::vector<Watched> watched = {{c.root, c.path}};
        const std::wstring seededState = stateOf(watched);
        OpenedPage op = openPage(r, o, *c.page, l);
        if (!op.app.main) return;
        HWND main = op.app.main;
        if (c.page == &kHijackPage) {
            r.equal(joined(captionsOf(rowsOf(main, *c.page))), joined(ifeoRowsExpected()), l + L"it is listed exactly");
            click(findDescendant(main, c.page->selectAll));
        }
        const auto before = backupNames();
        click(findDescendant(main, c.page->clear));
        r.check(waitUntil([&] { return answers(main, 1000); }, 20000, 50) && op.app.process.running(),
                l + L"the program answers after the click");
        const std::wstring afterClick = stateOf(watched);
        const bool wrote = !newBackups(before, c.page == &kHijackPage ? L"hijack" : L"browser").empty();
        if (c.carried) {
            r.check(wrote && afterClick != seededState, l + L"the click backs it up and deletes it",
                    wrote ? L"the backup was written but nothing was deleted" : L"no backup was written and nothing was deleted");
        } else if (!wrote) {
            r.check(afterClick == seededState, l + L"without a backup nothing is deleted", lineDiff(seededState, afterClick));
        }
        if (wrote && checkAndImportBackup(r, before, c.page == &kHijackPage ? L"hijack" : L"browser", l))
            compareState(r, seededState, stateOf(watched), l + L"importing the backup gives it back exactly");
        op.app.process.terminate();
    }
    emptyKey(HKLM, kIfeoPath);
    emptyKey(HKCU, kSearchHooksPath);
    deleteTree(HKLM, kHelperObjectsPath);
}

// ---- both registry views ----------------------------------------------------------------

// The 64-bit program sees the registry's 64-bit view; 32-bit browser add-ons
// live in the 32-bit view (HKLM\Software\Wow6432Node\...), where reg.exe
// /reg:32 puts them. Both are listed, the 32-bit rows after the others and
// marked; a ticked row goes in its own view only; the wipes cover both views;
// the backup, imported with regedit, brings both back. The hijack key is one
// key for both views (as on Windows 7 and later): it is listed once.
const wchar_t* const kVExt64 = L"{6A7B8C9D-0006-4000-8000-00000000A064}";
const wchar_t* const kVExt32 = L"{6A7B8C9D-0006-4000-8000-00000000A032}";
const wchar_t* const kVSame = L"{6A7B8C9D-0006-4000-8000-0000000A5A3E}";
const wchar_t* const kVBar64 = L"{7B8C9DAE-0007-4000-8000-00000000B064}";
const wchar_t* const kVBar32 = L"{7B8C9DAE-0007-4000-8000-00000000B032}";
const wchar_t* const kVBarSame = L"{7B8C9DAE-0007-4000-8000-0000000B5A3E}";
const wchar_t* const kVBho64 = L"{8C9DAEBF-0008-4000-8000-00000000C064}";
const wchar_t* const kVBho32 = L"{8C9DAEBF-0008-4000-8000-00000000C032}";
const wchar_t* const kVShared = L"shared-by-both-views.exe";

// ---- tool tips ----------------------------------------------------------------------------

// The tool tips of the rows of a page, by row, read as a tip is read when it
// shows (the program reads the registry for them only then).
std::map<HWND, std::wstring> rowTips(const Running& app) {
    std::map<HWND, std::wstring> tips;
    for (HWND tip : toolTipControls(app.process.pid())) {
        if (GetWindow(tip, GW_OWNER) != app.main) continue;
        for (auto& [tool, t] : toolTipTexts(tip)) tips[tool] = t;
    }
    return tips;
}

std::wstring tipOfRow(const std::map<HWND, std::wstring>& tips, const std::vector<HWND>& rows, const std::wstring& caption) {
    for (HWND w : rows) {
        if (text(w) != caption) continue;
        const auto it = tips.find(w);
        return it == tips.end() ? L"(no tip)" : it->second;
    }
    return L"(no row " + caption + L")";
}

const wchar_t* const kTipBarFound = L"{5E6F7081-0005-4000-8000-00000000A001}";
const wchar_t* const kTipBarMissing = L"{5E6F7081-0005-4000-8000-00000000A002}";
const wchar_t* const kTipBarShare = L"{5E6F7081-0005-4000-8000-00000000A003}";
// A host that does not exist: a tip that looked for the file would wait for
// the network to give up, and offer the user's credentials to whoever answers.
const wchar_t* const kShareDll = L"\\\\wdnohost\\share\\x.dll";
const std::wstring kClassesPath = L"Software\\Classes\\CLSID";

void toolTipsPart(Report& r, const Options& o) {
    const std::wstring label = L"tool tips: ";
    emptyKey(HKLM, kIfeoPath);
    emptyKey(HKLM, kToolbarPath);
    RegTree ifeo = key(L"Image File Execution Options");
    ifeo.subkey(key(L"tip-debug.exe", {dword(L"MitigationOptions", 256), sz(L"Debugger", L"C:\\evil\\dropper.exe")}));
    ifeo.subkey(key(L"tip-empty.exe"));
    ifeo.subkey(key(L"tip-filter.exe", {dword(L"UseFilter", 1)},
                    {key(L"Filter", {sz(L"FilterFullPath", L"C:\\Apps\\tip-filter.exe"), sz(L"Debugger", L"C:\\evil\\hidden.exe")})}));
    RegTree bar = key(L"Toolbar");
    bar.value(sz(kTipBarFound, L"tip found"));
    bar.value(sz(kTipBarMissing, L"tip missing"));
    bar.value(sz(kTipBarShare, L"tip share"));
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring found = std::wstring(system) + L"\\kernel32.dll", missing = L"C:\\nowhere\\gone.dll";
    bool ok = r.check(writeKey(HKLM, kIfeoPath, ifeo).empty() && writeKey(HKLM, kToolbarPath, bar).empty(),
                      label + L"seeded two IFEO subkeys and two toolbars");
    ok = ok && r.check(machine::setValue(HKLM, kClassesPath + L"\\" + kTipBarFound + L"\\InprocServer32", sz(L"", found)) &&
                           machine::setValue(HKLM, kClassesPath + L"\\" + kTipBarMissing + L"\\InprocServer32", sz(L"", missing)) &&
                           machine::setValue(HKLM, kClassesPath + L"\\" + kTipBarShare + L"\\InprocServer32", sz(L"", kShareDll)),
                       label + L"registered the toolbars' classes");
    if (!ok) return;

    OpenedPage op = openPage(r, o, kHijackPage, label);
    if (op.app.main) {
        settle(op.app.main, kHijackPage);
        const auto rows = rowsOf(op.app.main, kHijackPage);
        const auto tips = rowTips(op.app);
        r.equal(tipOfRow(tips, rows, L"tip-debug.exe"), L"Debugger = C:\\evil\\dropper.exe\nMitigationOptions = 256",
                label + L"an IFEO subkey's tip shows its Debugger value on the first line");
        r.equal(tipOfRow(tips, rows, L"tip-empty.exe"), L"（无值）", label + L"a subkey without values says so");
        r.equal(tipOfRow(tips, rows, L"tip-filter.exe"),
                L"Filter\\Debugger = C:\\evil\\hidden.exe\nUseFilter = 1\nFilter\\FilterFullPath = C:\\Apps\\tip-filter.exe",
                label + L"an entry in the filter form shows the Debugger of its subkey first");
        op.app.process.terminate();
    }
    op = openPage(r, o, kBrowserPage, label);
    if (op.app.main) {
        settle(op.app.main, kBrowserPage);
        const auto rows = rowsOf(op.app.main, kBrowserPage);
        // Every row's tip is read here, as it is read when it shows.
        const auto t0 = std::chrono::steady_clock::now();
        const auto tips = rowTips(op.app);
        const auto tipsTook = std::chrono::steady_clock::now() - t0;
        r.equal(tipOfRow(tips, rows, L"tip found"), std::wstring(kTipBarFound) + L"\n" + found,
                label + L"a toolbar's tip names its class and the DLL it loads");
        r.equal(tipOfRow(tips, rows, L"tip missing"), std::wstring(kTipBarMissing) + L"\n" + missing + L"（文件不存在）",
                label + L"a DLL that is not there is marked so");
        r.equal(tipOfRow(tips, rows, L"tip share"), std::wstring(kTipBarShare) + L"\n" + kShareDll,
                label + L"a DLL on a network share is shown, never looked for");
        r.check(tipsTook < std::chrono::seconds(2), label + L"the tips came within 2 s",
                std::to_wstring(std::chrono::duration_cast<std::chrono::milliseconds>(tipsTook).count()) + L" ms");
        op.app.process.terminate();
    }
    emptyKey(HKLM, kIfeoPath);
    emptyKey(HKLM, kToolbarPath);
    deleteTree(HKLM, kClassesPath + L"\\" + kTipBarFound);
    deleteTree(HKLM, kClassesPath + L"\\" + kTipBarMissing);
    deleteTree(HKLM, kClassesPath + L"\\" + kTipBarShare);
}

// ---- where the backups go ------------------------------------------------------------

// A file named like the program's folder, planted where the backups go (any
// user may make one in the machine's data folder): it must not stop them.
const std::wstring kPlanted = L"planted by a user\r\n";

std::wstring programFolder() { return joinPath(environment(L"ProgramData"), L"Wardeck"); }

void plantInTheBackupsWay(Report& r) {
    if (GetFileAttributesW(programFolder().c_str()) != INVALID_FILE_ATTRIBUTES) return;  // a run before planted it
    r.check(writeFile(programFolder(), toUtf8(kPlanted)), L"backups: a file named Wardeck is planted in " +
                                                              environment(L"ProgramData"));
}

void checkThePlantedFile(Report& r) {
    const DWORD attributes = GetFileAttributesW(programFolder().c_str());
    r.check(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT),
            L"backups: " + programFolder() + L" is a folder of the program's own");
    const auto aside = readFile(programFolder() + L".set-aside");
    r.check(aside && fromUtf8(*aside) == kPlanted, L"backups: the planted file was set aside whole, not used",
            aside ? fromUtf8(*aside) : L"no " + programFolder() + L".set-aside");
    r.check(names(userBackupFolder()).empty(), L"backups: nothing was written into the user's profile",
            userBackupFolder());
}

// ---- lists of any length -------------------------------------------------------------

// Malware that writes 15,000 decoy IFEO keys to push its real hijack past the
// rows a program can make, 20,000 search hooks, a class key of 5,000 values
// and a 16 MiB value: the page opens, its last row is reached by scrolling,
// everything is removed and backed up, the window answers throughout, and
// the program holds a few hundred windows at most.
constexpr int kDecoys = 15000;
constexpr int kHooks = 20000;
const wchar_t* const kBigBar = L"{5E6F7081-0005-4000-8000-0000000B16B1}";

std::wstring decoyName(int i) {
    wchar_t name[32];
    swprintf(name, 32, L"decoy%05d.exe", i);
    return name;
}

// Milliseconds since `t0`.
double since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Runs `command` (a program and its arguments) with its output thrown away;
// how long it took, in milliseconds, or -1.
double timeCommand(const std::wstring& command) {
    const auto t0 = std::chrono::steady_clock::now();
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    std::wstring line = command;
    const BOOL ok = startRetrying(
        [&] { return CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi); });
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!ok) return -1;
    WaitForSingleObject(pi.hProcess, 120000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return since(t0);
}

// Clicks `button` without waiting for its handler, then asks the window for
// an answer every 100 ms until `done` holds (at most `limitMs`); the longest
// wait for an answer, in milliseconds (-1 when `done` never held).
double clickAndWatchAnswers(HWND main, HWND button, const std::function<bool()>& done, int limitMs) {
    postClick(button);
    double worst = 0;
    const auto t0 = std::chrono::steady_clock::now();
    while (since(t0) < limitMs) {
        const auto asked = std::chrono::steady_clock::now();
        DWORD_PTR res = 0;
        SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &res);
        worst = std::max(worst, since(asked));
        if (done()) return worst;
        sleepMs(100);
    }
    return -1;
}

void scalePart(Report& r, const Options& o) {
    const std::wstring label = L"any length: ";
    emptyKey(HKLM, kIfeoPath);
    {
        HKEY ifeo = nullptr;
        bool seeded = RegOpenKeyExW(HKLM, kIfeoPath.c_str(), 0, KEY_ALL_ACCESS, &ifeo) == ERROR_SUCCESS;
        for (int i = 1; seeded && i <= kDecoys; ++i) {
            HKEY k = nullptr;
            seeded = RegCreateKeyExW(ifeo, decoyName(i).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) == ERROR_SUCCESS;
            if (k) RegCloseKey(k);
        }
        if (ifeo) RegCloseKey(ifeo);
        seeded = seeded && machine::setValue(HKLM, kIfeoPath + L"\\zzz-hijack.exe", sz(L"Debugger", L"C:\\evil\\x.exe"));
        if (!r.check(seeded, label + L"seeded 15,000 decoy IFEO keys and a real hijack last")) return;
    }
    const double query = timeCommand(L"reg query \"HKLM\\" + kIfeoPath + L"\"");
    OpenedPage op = openPage(r, o, kHijackPage, label);
    if (!op.app.main) return;
    HWND main = op.app.main;
    r.note(label + L"the Hijack page opened in " + std::to_wstring(static_cast<int>(op.openMs)) + L" ms; reg query of the key took " +
           std::to_wstring(static_cast<int>(query)) + L" ms (bench/registry measures both side by side)");
    const long windows = windowCount(op.app.process.pid());
    r.check(windows > 0 && windows < 1000, label + L"the program holds fewer than 1,000 windows with 15,001 rows",
            std::to_wstring(windows) + L" windows");
    HWND bar = findDescendant(main, kVScroll2);
    HWND box = findDescendant(main, kPicture2);
    if (!r.check(bar && box, label + L"the list box and its scroll bar exist")) return;
    SendMessageTimeoutW(GetParent(bar), WM_VSCROLL, SB_BOTTOM, reinterpret_cast<LPARAM>(bar), SMTO_ABORTIFHUNG, 5000, nullptr);
    HWND last = nullptr;
    waitUntil([&] {
        last = GetDlgItem(box, kHijackRow0 + kDecoys + 1);
        return last && (style(last) & WS_VISIBLE);
    }, 3000);
    const RECT boxRect = clientRectOnScreen(box);
    const bool inBox = last && windowRect(last).top >= boxRect.top && windowRect(last).bottom <= boxRect.bottom;
    r.check(inBox && text(last) == L"zzz-hijack.exe",
            label + L"scrolled to the end, row 15,001 is in the box and shows the real hijack", last ? text(last) : L"no row 15,001");
    click(findDescendant(main, kCommand4));
    r.check(last && checkState(last) == BST_CHECKED, label + L"select-all ticks row 15,001 too");
    const auto before = backupNames();
    const double worst = clickAndWatchAnswers(
        main, findDescendant(main, kCommand3),
        [&] { return subkeyNames(HKLM, kIfeoPath).size() <= 1 && rowsOf(main, kHijackPage).empty(); }, 240000);
    r.check(worst >= 0, label + L"\"清除劫持\" removes all 15,001 keys", std::to_wstring(subkeyNames(HKLM, kIfeoPath).size()) + L" keys left");
    r.check(worst >= 0 && worst < 2000, label + L"the window answers within 2 s throughout the removal",
            L"worst answer " + std::to_wstring(static_cast<int>(worst)) + L" ms");
    {
        const auto files = newBackups(before, L"hijack");
        std::wstring content;
        if (r.equal(static_cast<long long>(files.size()), 1, label + L"the removal wrote one backup")) {
            const auto bytes = readFile(files.back());
            size_t blocks = 0;
            for (size_t at = 0; bytes && (at = bytes->find("[\0H\0K\0E\0Y\0", at, 10)) != std::string::npos; at += 10) ++blocks;
            r.equal(static_cast<long long>(blocks), kDecoys + 1, label + L"the backup holds every key removed");
        }
    }
    r.check(windowCount(op.app.process.pid()) < 1000, label + L"still fewer than 1,000 windows after the removal");
    op.app.process.terminate();

    // The user's search hooks, and a class key too large to read whole for a tip.
    emptyKey(HKLM, kToolbarPath);
    deleteTree(HKLM, kExtensionsPath);
    emptyKey(HKCU, kSearchHooksPath);
    {
        HKEY hooks = nullptr;
        bool seeded = RegCreateKeyExW(HKCU, kSearchHooksPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hooks, nullptr) == ERROR_SUCCESS;
        for (int i = 1; seeded && i <= kHooks; ++i) {
            wchar_t name[64];
            swprintf(name, 64, L"{00000000-0000-4000-8000-%012d}", i);
            seeded = RegSetValueExW(hooks, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 2) == ERROR_SUCCESS;
        }
        if (hooks) RegCloseKey(hooks);
        const std::wstring server = kClassesPath + L"\\" + kBigBar + L"\\InprocServer32";
        HKEY big = nullptr;
        seeded = seeded && machine::setValue(HKLM, kToolbarPath, sz(kBigBar, L"big bar")) &&
                 RegCreateKeyExW(HKLM, server.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &big, nullptr) == ERROR_SUCCESS;
        for (int i = 1; seeded && i <= 5000; ++i) {
            const std::wstring name = L"v" + std::to_wstring(i);
            seeded = RegSetValueExW(big, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4) == ERROR_SUCCESS;
        }
        const std::vector<BYTE> huge(16u << 20, 0x5A);
        seeded = seeded && RegSetValueExW(big, L"huge", 0, REG_BINARY, huge.data(), static_cast<DWORD>(huge.size())) == ERROR_SUCCESS &&
                 RegSetValueExW(big, L"", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"C:\\big.dll"), 22) == ERROR_SUCCESS;
        if (big) RegCloseKey(big);
        if (!r.check(seeded, label + L"seeded 20,000 search hooks and a class of 5,000 values and 16 MiB")) return;
    }
    op = openPage(r, o, kBrowserPage, label);
    if (!op.app.main) return;
    main = op.app.main;
    {
        const auto rows = rowsOf(main, kBrowserPage);
        const auto t0 = std::chrono::steady_clock::now();
        const auto tips = rowTips(op.app);
        const double took = since(t0);
        r.equal(tipOfRow(tips, rows, L"big bar"), std::wstring(kBigBar) + L"\nC:\\big.dll（文件不存在）",
                label + L"the tip over a class of 5,000 values and 16 MiB names its DLL");
        r.check(took < 1000, label + L"that tip shows within 1 s", std::to_wstring(static_cast<int>(took)) + L" ms");
    }
    const auto hooksBefore = backupNames();
    const double worstWipe = clickAndWatchAnswers(
        main, findDescendant(main, kCommand10), [&] { return values(HKCU, kSearchHooksPath).empty(); }, 240000);
    r.check(worstWipe >= 0, label + L"\"清  除\" wipes all 20,000 search hooks");
    r.check(worstWipe >= 0 && worstWipe < 2000, label + L"the window answers within 2 s throughout the wipe",
            L"worst answer " + std::to_wstring(static_cast<int>(worstWipe)) + L" ms");
    sleepMs(500);
    {
        const auto files = newBackups(hooksBefore, L"browser");
        if (r.equal(static_cast<long long>(files.size()), 1, label + L"the wipe wrote one backup")) {
            const auto bytes = readFile(files.back());
            size_t hooksKept = 0;
            for (size_t at = 0; bytes && (at = bytes->find("\"\0{\0" "0\0" "0\0" "0\0" "0\0", at, 12)) != std::string::npos; at += 12)
                ++hooksKept;
            r.equal(static_cast<long long>(hooksKept), kHooks, label + L"the backup holds every search hook");
        }
    }
    op.app.process.terminate();
    emptyKey(HKLM, kToolbarPath);
    deleteTree(HKLM, kClassesPath + L"\\" + kBigBar);
}

void cleanViews() {
    for (REGSAM v : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
        deleteTree(HKLM, kExtensionsPath, v);
        deleteTree(HKLM, kToolbarPath, v);
        deleteTree(HKLM, kHelperObjectsPath, v);
    }
    deleteTree(HKLM, kIfeoPath + L"\\" + kVShared);
    emptyKey(HKCU, kSearchHooksPath);
}

void viewsPart(Report& r, const Options& o) {
    const std::wstring label = L"views: ";
    const REGSAM k64 = KEY_WOW64_64KEY, k32 = KEY_WOW64_32KEY;
    cleanViews();
    RegTree ext64 = key(L"Extensions"), bar64 = key(L"Toolbar"), bho64 = key(L"Browser Helper Objects");
    ext64.subkey(key(kVExt64, {sz(L"MenuText", L"六十四位扩展")}));
    ext64.subkey(key(kVSame, {sz(L"MenuText", L"同名扩展64")}));
    bar64.value(sz(kVBar64, L"工具栏64"));
    bar64.value(sz(kVBarSame, L"同名工具栏64"));
    bho64.subkey(key(kVBho64, {sz(L"", L"助手64")}));
    bool ok = r.check(writeKey(HKLM, kExtensionsPath, ext64, k64).empty() &&
                          writeKey(HKLM, kToolbarPath, bar64, k64).empty() &&
                          writeKey(HKLM, kHelperObjectsPath, bho64, k64).empty(),
                      label + L"seeded the 64-bit view");
    const std::wstring hklm = L"\"HKLM\\";
    for (const std::wstring& args :
         {L"add " + hklm + kExtensionsPath + L"\\" + kVSame + L"\" /v MenuText /d 同名扩展32 /reg:32 /f",
          L"add " + hklm + kExtensionsPath + L"\\" + kVExt32 + L"\" /v ButtonText /d 三十二位扩展 /reg:32 /f",
          L"add " + hklm + kToolbarPath + L"\" /v " + kVBar32 + L" /d 工具栏32 /reg:32 /f",
          L"add " + hklm + kToolbarPath + L"\" /v " + kVBarSame + L" /d 同名工具栏32 /reg:32 /f",
          L"add " + hklm + kHelperObjectsPath + L"\\" + kVBho32 + L"\" /ve /d 助手32 /reg:32 /f",
          L"add " + hklm + kIfeoPath + L"\\" + kVShared + L"\" /v Debugger /d C:\\evil\\x.exe /reg:32 /f"})
        ok = r.equal(runRegTool(args), 0, label + L"reg.exe " + args) && ok;
    if (!ok) return;
    // What Wine's registry does with the views, checked before the program is.
    r.check(!readKey(HKLM, kExtensionsPath + L"\\" + kVExt32, k64) && readKey(HKLM, kExtensionsPath + L"\\" + kVExt32, k32),
            label + L"a key made with /reg:32 is in the 32-bit view only");
    r.check(readKey(HKLM, L"Software\\Wow6432Node\\Microsoft\\Internet Explorer\\Extensions\\" + std::wstring(kVExt32)).has_value(),
            label + L"the 32-bit view keeps it below HKLM\\Software\\Wow6432Node");
    r.check(readKey(HKLM, kIfeoPath + L"\\" + kVShared, k64).has_value(),
            label + L"the hijack key is one key for both views");

    const std::vector<Watched> watched = {{HKLM, kExtensionsPath, k64}, {HKLM, kExtensionsPath, k32},
                                          {HKLM, kToolbarPath, k64},    {HKLM, kToolbarPath, k32},
                                          {HKLM, kHelperObjectsPath, k64}, {HKLM, kHelperObjectsPath, k32}};
    const auto seeded = current(watched);
    const std::wstring seededState = stateOf(watched);

    // The rows the page must show: every extension, then every toolbar, in
    // the registry's order; of each kind the 64-bit view's first.
    const std::map<std::pair<std::wstring, REGSAM>, std::wstring> extCaptions = {
        {{kVExt64, k64}, L"六十四位扩展"}, {{kVSame, k64}, L"同名扩展64"},
        {{kVSame, k32}, L"同名扩展32"},    {{kVExt32, k32}, L"三十二位扩展"}};
    auto expectedRows = [&] {
        std::vector<std::wstring> out;
        for (REGSAM v : {k64, k32}) {
            const std::wstring suffix = v == k32 ? kView32Suffix : L"";
            for (const auto& n : subkeyNames(HKLM, kExtensionsPath, v)) {
                auto it = extCaptions.find({n, v});
                out.push_back((it == extCaptions.end() ? L"?" : it->second) + suffix);
            }
        }
        for (REGSAM v : {k64, k32}) {
            const std::wstring suffix = v == k32 ? kView32Suffix : L"";
            for (const auto& val : values(HKLM, kToolbarPath, v))
                if (!val.data.empty()) out.push_back(toolbarCaptionsOf(key(L"", {val}))[val.name] + suffix);
        }
        return out;
    };

    OpenedPage op = openPage(r, o, kBrowserPage, label);
    if (!op.app.main) return;
    HWND main = op.app.main;
    auto rows = rowsOf(main, kBrowserPage);
    const auto expected = expectedRows();
    r.equal(joined(captionsOf(rows)), joined(expected),
            label + L"extensions before toolbars, of each the 64-bit view's first, then the 32-bit view's, marked " +
                kView32Suffix);
    r.equal(static_cast<long long>(rows.size()), 8, label + L"2 + 2 rows of each view: a name in both views gives two rows");
    screenshot(r, o, main, L"registry-views");
    checkSelectAllToggle(r, main, kBrowserPage, label);

    // Tick the 32-bit view's namesakes only.
    int ticked = 0;
    for (HWND w : rows) {
        const std::wstring c = text(w);
        if (c == L"同名扩展32" + kView32Suffix || c == L"同名工具栏32" + kView32Suffix) {
            click(w);
            ++ticked;
        }
    }
    r.equal(ticked, 2, label + L"the 32-bit extension and toolbar of the shared names are ticked");
    auto expectedAfter = seeded;
    for (auto& [k, t] : expectedAfter) {
        if (!t) continue;
        if (k.view == k32 && k.path == kExtensionsPath) t->removeSubkey(kVSame);
        if (k.view == k32 && k.path == kToolbarPath) t->removeValue(kVBarSame);
        if (k.path == kHelperObjectsPath) t->subkeys.clear();
    }
    const auto before = backupNames();
    click(findDescendant(main, kCommand10));
    r.check(waitUntil([&] { return answers(main, 1000); }, 20000, 50) && op.app.process.running(),
            label + L"the program answers after " + kClearBrowser);
    settle(main, kBrowserPage);
    compareState(r, stateOf(expectedAfter), stateOf(watched),
                 label + L"the ticked entries are gone from the 32-bit view only; the helper objects of both views are gone");
    r.equal(joined(captionsOf(rowsOf(main, kBrowserPage))), joined(expectedRows()),
            label + L"the list is read anew in both views");
    std::wstring content;
    if (checkAndImportBackup(r, before, L"browser", label, &content)) {
        r.check(content.find(L"[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Internet Explorer\\Extensions\\" +
                             std::wstring(kVSame) + L"]") != std::wstring::npos,
                label + L"the backup names the 32-bit view's key below Software\\Wow6432Node");
        compareState(r, seededState, stateOf(watched),
                     label + L"importing the backup gives back both views exactly");
    }
    op.app.process.terminate();

    // The hijack key that both views share: its subkey is listed once, unmarked.
    OpenedPage hijack = openPage(r, o, kHijackPage, label + L"hijack: ");
    if (hijack.app.main) {
        const auto seen = captionsOf(rowsOf(hijack.app.main, kHijackPage));
        r.check(std::count(seen.begin(), seen.end(), std::wstring(kVShared)) == 1,
                label + L"a subkey of the shared hijack key is listed once", joined(seen));
        r.check(std::none_of(seen.begin(), seen.end(),
                             [](const std::wstring& c) { return c.find(kView32Suffix) != std::wstring::npos; }),
                label + L"and no row is marked " + kView32Suffix, joined(seen));
        hijack.app.process.terminate();
    }
    cleanViews();
}

}  // namespace

int scenarioRegistry(Report& r, const Options& o) {
    if (!r.check(GetFileAttributesW(o.app.c_str()) != INVALID_FILE_ATTRIBUTES, L"wardeck.exe is there",
                 L"no file " + o.app)) {
        return r.finish();
    }
    plantInTheBackupsWay(r);
    if (o.wants(L"hijack")) hijackPart(r, o);
    if (o.wants(L"browser")) browserPart(r, o);
    if (o.wants(L"lowercase")) lowercasePart(r, o);
    if (o.wants(L"bad-input")) badInputPart(r, o);
    if (o.wants(L"unusual-names")) oddNamesPart(r, o);
    if (o.wants(L"views")) viewsPart(r, o);
    if (o.wants(L"tooltips")) toolTipsPart(r, o);
    if (o.wants(L"any-length")) scalePart(r, o);
    if (o.wants(L"hijack") || o.wants(L"browser")) checkThePlantedFile(r);
    return r.finish();
}

}  // namespace wdauto
