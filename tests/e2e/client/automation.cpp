#include "automation.h"

#include <algorithm>
#include <cstdio>
#include <thread>

namespace wdauto {

namespace {

constexpr UINT kSendTimeoutMs = 5000;

LRESULT send(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, msg, wp, lp, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs, &result)) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

}  // namespace

// ---- text ---------------------------------------------------------------------

std::string toUtf8(std::wstring_view s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring fromUtf8(std::string_view s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::wstring quoted(std::wstring_view s) {
    std::wstring out = L"\"";
    size_t shown = 0;
    for (wchar_t c : s) {
        if (++shown > 120) {
            out += L"…(" + std::to_wstring(s.size()) + L" chars)";
            break;
        }
        switch (c) {
            case L'\r': out += L"\\r"; break;
            case L'\n': out += L"\\n"; break;
            case L'\t': out += L"\\t"; break;
            case L'"': out += L"\\\""; break;
            case L'\\': out += L"\\\\"; break;
            default:
                if (c < 0x20) {
                    wchar_t buf[8];
                    swprintf(buf, 8, L"\\x%02x", static_cast<unsigned>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + L"\"";
}

// ---- time ---------------------------------------------------------------------

void sleepMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

bool waitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs) {
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (Clock::now() >= end) return false;
        sleepMs(pollMs);
    }
}

// ---- processes ----------------------------------------------------------------

Process::~Process() {
    if (thread_) CloseHandle(thread_);
    if (process_) CloseHandle(process_);
}

Process::Process(Process&& o) noexcept : process_(o.process_), thread_(o.thread_), pid_(o.pid_) {
    o.process_ = o.thread_ = nullptr;
    o.pid_ = 0;
}

Process& Process::operator=(Process&& o) noexcept {
    if (this != &o) {
        this->~Process();
        process_ = o.process_;
        thread_ = o.thread_;
        pid_ = o.pid_;
        o.process_ = o.thread_ = nullptr;
        o.pid_ = 0;
    }
    return *this;
}

bool Process::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool Process::waitExit(int timeoutMs, DWORD* exitCode) {
    if (!process_) return true;
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_, exitCode);
    return true;
}

void Process::terminate() {
    if (!process_) return;
    if (running()) TerminateProcess(process_, 99);
    WaitForSingleObject(process_, 10000);
}

bool Process::waitIdle(int timeoutMs) {
    return process_ && WaitForInputIdle(process_, static_cast<DWORD>(timeoutMs)) == 0;
}

Process launch(const std::wstring& app, const std::wstring& commandLine, const std::wstring& workDir,
               std::wstring* error) {
    Process p;
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    std::wstring dir = workDir;
    if (dir.empty()) {
        auto slash = app.find_last_of(L"\\/");
        if (slash != std::wstring::npos) dir = app.substr(0, slash);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!startRetrying([&] {
            return CreateProcessW(app.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  dir.empty() ? nullptr : dir.c_str(), &si, &pi);
        })) {
        if (error) *error = L"CreateProcessW failed, error " + std::to_wstring(GetLastError());
        return p;
    }
    p.process_ = pi.hProcess;
    p.thread_ = pi.hThread;
    p.pid_ = pi.dwProcessId;
    return p;
}

// ---- windows ------------------------------------------------------------------

std::wstring text(HWND w) {
    if (!w) return {};
    LRESULT n = send(w, WM_GETTEXTLENGTH);
    if (n < 0) return {};
    std::wstring buf(static_cast<size_t>(n) + 64, L'\0');
    LRESULT got = send(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()));
    if (got < 0) return {};
    buf.resize(std::min<size_t>(static_cast<size_t>(got), buf.size()));
    return buf;
}

std::wstring className(HWND w) {
    wchar_t buf[256] = {};
    if (!w || !GetClassNameW(w, buf, 256)) return {};
    return buf;
}

LONG_PTR style(HWND w) { return GetWindowLongPtrW(w, GWL_STYLE); }
int controlId(HWND w) { return static_cast<int>(GetWindowLongPtrW(w, GWLP_ID)); }

DWORD windowPid(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid;
}

bool visible(HWND w) { return w && IsWindowVisible(w); }
bool enabled(HWND w) { return w && IsWindowEnabled(w); }

namespace {
struct TopLevelQuery {
    const std::wstring* title;
    const std::wstring* cls;
    DWORD pid;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND w, LPARAM lp) {
    auto* q = reinterpret_cast<TopLevelQuery*>(lp);
    if (q->pid && windowPid(w) != q->pid) return TRUE;
    if (q->visibleOnly && !IsWindowVisible(w)) return TRUE;
    if (!q->cls->empty() && _wcsicmp(className(w).c_str(), q->cls->c_str()) != 0) return TRUE;
    if (!q->title->empty()) {
        // For another process's window GetWindowTextW reads the stored caption
        // without sending a message, so a hung program cannot stall the search.
        wchar_t buf[512] = {};
        GetWindowTextW(w, buf, 512);
        if (*q->title != buf) return TRUE;
    }
    q->found.push_back(w);
    return TRUE;
}

BOOL CALLBACK collectChild(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}
}  // namespace

std::vector<HWND> topLevels(const std::wstring& title, DWORD pid, bool visibleOnly, const std::wstring& cls) {
    TopLevelQuery q{&title, &cls, pid, visibleOnly, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&q));
    return q.found;
}

HWND findTopLevel(const std::wstring& title, DWORD pid, bool visibleOnly) {
    auto all = topLevels(title, pid, visibleOnly);
    return all.empty() ? nullptr : all.front();
}

HWND waitTopLevel(const std::wstring& title, DWORD pid, int timeoutMs, bool visibleOnly) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findTopLevel(title, pid, visibleOnly)) != nullptr; }, timeoutMs, 10);
    return found;
}

HWND waitMainWindowOf(DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            for (HWND w : topLevels(L"", pid, true)) {
                if (GetWindowTextLengthW(w) > 0 && !GetWindow(w, GW_OWNER)) {
                    found = w;
                    return true;
                }
            }
            return false;
        },
        timeoutMs, 2);
    return found;
}

std::vector<HWND> descendants(HWND parent) {
    std::vector<HWND> all;
    if (parent) EnumChildWindows(parent, collectChild, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND findDescendant(HWND parent, int id) {
    for (HWND w : descendants(parent)) {
        if (controlId(w) == id) return w;
    }
    return nullptr;
}

HWND waitDescendant(HWND parent, int id, int timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findDescendant(parent, id)) != nullptr; }, timeoutMs, 10);
    return found;
}

std::vector<HWND> descendantsOfClass(HWND parent, const std::wstring& cls) {
    std::vector<HWND> out;
    for (HWND w : descendants(parent)) {
        if (_wcsicmp(className(w).c_str(), cls.c_str()) == 0) out.push_back(w);
    }
    return out;
}

RECT windowRect(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

RECT clientRectOnScreen(HWND w) {
    RECT r{};
    GetClientRect(w, &r);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SIZE windowSize(HWND w) {
    RECT r = windowRect(w);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

bool contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool intersect(const RECT& a, const RECT& b, RECT* out) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    bool any = r.left < r.right && r.top < r.bottom;
    if (out) *out = any ? r : RECT{};
    return any;
}

std::wstring describe(const RECT& r) {
    wchar_t buf[96];
    swprintf(buf, 96, L"(%ld,%ld)-(%ld,%ld) %ldx%ld", r.left, r.top, r.right, r.bottom, r.right - r.left,
             r.bottom - r.top);
    return buf;
}

std::wstring describe(HWND w) {
    std::wstring t = text(w);
    if (t.size() > 24) t = t.substr(0, 24) + L"…";
    return className(w) + L"#" + std::to_wstring(controlId(w)) + (t.empty() ? L"" : L" " + quoted(t));
}

// ---- controls -----------------------------------------------------------------

void click(HWND button) { send(button, BM_CLICK); }
void postClick(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }
int checkState(HWND button) { return static_cast<int>(send(button, BM_GETCHECK)); }

void setText(HWND w, const std::wstring& s) { send(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str())); }

std::vector<std::wstring> comboItems(HWND combo) {
    std::vector<std::wstring> items;
    LRESULT n = send(combo, CB_GETCOUNT);
    for (LRESULT i = 0; i < n; ++i) {
        LRESULT len = send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i));
        if (len < 0) len = 0;
        std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
        LRESULT got = send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(got < 0 ? 0 : std::min<size_t>(static_cast<size_t>(got), buf.size()));
        items.push_back(buf);
    }
    return items;
}

int comboSelection(HWND combo) { return static_cast<int>(send(combo, CB_GETCURSEL)); }

std::vector<std::wstring> listItems(HWND list) {
    std::vector<std::wstring> items;
    LRESULT n = send(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < n; ++i) {
        LRESULT len = send(list, LB_GETTEXTLEN, static_cast<WPARAM>(i));
        if (len < 0) len = 0;
        std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
        LRESULT got = send(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
        buf.resize(got < 0 ? 0 : std::min<size_t>(static_cast<size_t>(got), buf.size()));
        items.push_back(buf);
    }
    return items;
}

int listSelection(HWND list) { return static_cast<int>(send(list, LB_GETCURSEL)); }

void repaint(HWND w) {
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // Round trip through the window's thread, so its painting is done.
    send(w, WM_NULL);
    GdiFlush();
    sleepMs(150);
}

// ---- message boxes and pop-up menus -------------------------------------------

HWND waitMessageBox(DWORD pid, int timeoutMs, const std::wstring& title) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            auto all = topLevels(title, pid, true, L"#32770");
            found = all.empty() ? nullptr : all.front();
            return found != nullptr;
        },
        timeoutMs, 10);
    return found;
}

std::wstring messageBoxText(HWND box) { return text(GetDlgItem(box, 0xFFFF)); }

std::vector<std::wstring> dialogButtons(HWND box) {
    std::vector<std::wstring> out;
    for (HWND w : descendantsOfClass(box, L"Button")) {
        if (IsWindowVisible(w)) out.push_back(text(w));
    }
    return out;
}

bool pressDialogButton(HWND box, int id) {
    HWND b = GetDlgItem(box, id);
    if (!b) return false;
    // The dialog's owner may be waiting in the box's modal loop; post, don't send.
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
    return true;
}

HWND findPopupMenu(DWORD pid) {
    auto all = topLevels(L"", pid, true, L"#32768");
    return all.empty() ? nullptr : all.front();
}

HWND waitPopupMenu(DWORD pid, int timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findPopupMenu(pid)) != nullptr; }, timeoutMs, 10);
    return found;
}

std::vector<std::wstring> popupMenuItems(HWND menu) {
    std::vector<std::wstring> out;
    constexpr UINT kGetHMenu = 0x01E1;  // MN_GETHMENU
    auto h = reinterpret_cast<HMENU>(send(menu, kGetHMenu));
    if (!h || reinterpret_cast<LRESULT>(h) == -1) return out;
    int n = GetMenuItemCount(h);
    for (int i = 0; i < n; ++i) {
        wchar_t buf[256] = {};
        GetMenuStringW(h, static_cast<UINT>(i), buf, 256, MF_BYPOSITION);
        out.emplace_back(buf);
    }
    return out;
}

void choosePopupMenuItem(HWND menu, int index) {
    // The menu's modal loop reads the keyboard messages of its thread.
    for (int i = 0; i <= index; ++i) {
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYUP, VK_DOWN, 0xC0000000);
    }
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(menu, WM_KEYUP, VK_RETURN, 0xC0000000);
}

void closePopupMenu(HWND menu) {
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0xC0000000);
}

// ---- pictures -----------------------------------------------------------------

bool saveScreenBmp(const RECT& r, const std::wstring& path) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // bottom-up, as BMP files store it
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        SelectObject(mem, old);
        if (ok) {
            const DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
            const DWORD imageSize = stride * static_cast<DWORD>(h);
            BITMAPFILEHEADER fh{};
            fh.bfType = 0x4D42;
            fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
            fh.bfSize = fh.bfOffBits + imageSize;
            bi.bmiHeader.biSizeImage = imageSize;
            FILE* f = _wfopen(path.c_str(), L"wb");
            ok = f && fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                 fwrite(bits, imageSize, 1, f) == 1;
            if (f) fclose(f);
        }
    }
    if (bmp) DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

// ---- paths --------------------------------------------------------------------

std::wstring joinPath(const std::wstring& dir, const std::wstring& name) {
    if (dir.empty()) return name;
    wchar_t last = dir.back();
    return (last == L'\\' || last == L'/') ? dir + name : dir + L"\\" + name;
}

bool makeDirs(const std::wstring& dir) {
    if (dir.empty()) return true;
    DWORD a = GetFileAttributesW(dir.c_str());
    if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    auto slash = dir.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 2) makeDirs(dir.substr(0, slash));
    return CreateDirectoryW(dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void becomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    auto set = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 is ((HANDLE)-4).
    if (set && set(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) return;
    SetProcessDPIAware();
}

UINT systemDpi() {
    HDC screen = GetDC(nullptr);
    UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace wdauto
