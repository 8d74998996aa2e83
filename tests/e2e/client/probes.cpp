#include "probes.h"

// Kept after windows.h (in automation.h), which they need.
#include <commctrl.h>
#include <psapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <utility>

#include "machine_state.h"

namespace wdauto {

namespace {

struct HandleCloser {
    HANDLE h;
    ~HandleCloser() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

bool sameNameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The process environment block of another process (64-bit layout: this
// client and the program are both x64).
void* pebOf(HANDLE process) {
    struct BasicInformation {
        LONG_PTR exitStatus;
        void* peb;
        ULONG_PTR affinity;
        LONG_PTR basePriority;
        ULONG_PTR pid;
        ULONG_PTR parentPid;
    };
    using Query = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return nullptr;
    BasicInformation info{};
    ULONG got = 0;
    if (query(process, 0 /* ProcessBasicInformation */, &info, sizeof info, &got) != 0) return nullptr;
    return info.peb;
}

template <typename T>
bool readRemote(HANDLE process, const void* at, T& out) {
    SIZE_T got = 0;
    return ReadProcessMemory(process, at, &out, sizeof out, &got) && got == sizeof out;
}

}  // namespace

// ---- processes ----------------------------------------------------------------

std::vector<ProcessInfo> runningProcesses() {
    std::vector<ProcessInfo> out;
    HandleCloser snap{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (snap.h == INVALID_HANDLE_VALUE) return out;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    if (!Process32FirstW(snap.h, &e)) return out;
    do {
        out.push_back({e.th32ProcessID, e.szExeFile});
        e.dwSize = sizeof e;
    } while (Process32NextW(snap.h, &e));
    return out;
}

std::vector<DWORD> pidsNamed(const std::wstring& exeName) {
    std::vector<DWORD> out;
    for (const auto& p : runningProcesses()) {
        if (sameNameIgnoringCase(p.exeName, exeName)) out.push_back(p.pid);
    }
    return out;
}

bool processAlive(DWORD pid) {
    HandleCloser h{OpenProcess(SYNCHRONIZE, FALSE, pid)};
    return h.h && WaitForSingleObject(h.h, 0) == WAIT_TIMEOUT;
}

std::wstring mainModulePath(DWORD pid) {
    HandleCloser h{OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)};
    if (!h.h) return {};
    std::wstring buf(32768, L'\0');
    DWORD n = GetModuleFileNameExW(h.h, nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    buf.resize(n);
    return buf;
}

std::wstring newProcessPath(DWORD pid) {
    HandleCloser h{OpenProcess(SYNCHRONIZE, FALSE, pid)};
    for (int attempt = 0;; ++attempt) {
        std::wstring path = mainModulePath(pid);
        if (!path.empty() || attempt == 100 || !h.h || WaitForSingleObject(h.h, 20) != WAIT_TIMEOUT) return path;
    }
}

std::optional<ULONGLONG> exitTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!process || WaitForSingleObject(process, 0) != WAIT_OBJECT_0) return std::nullopt;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
    return (static_cast<ULONGLONG>(exited.dwHighDateTime) << 32) | exited.dwLowDateTime;
}

bool endProcess(DWORD pid, int timeoutMs) {
    HandleCloser h{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)};
    if (!h.h) return !processAlive(pid);
    TerminateProcess(h.h, 99);
    return WaitForSingleObject(h.h, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

std::optional<StartShow> startShow(DWORD pid) {
    HandleCloser h{OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)};
    if (!h.h) return std::nullopt;
    auto* peb = static_cast<const BYTE*>(pebOf(h.h));
    if (!peb) return std::nullopt;
    // x64: PEB.ProcessParameters at 0x20; in RTL_USER_PROCESS_PARAMETERS,
    // WindowFlags (STARTUPINFO.dwFlags) at 0xA4 and ShowWindowFlags at 0xA8.
    const BYTE* params = nullptr;
    if (!readRemote(h.h, peb + 0x20, params) || !params) return std::nullopt;
    StartShow s;
    DWORD show = 0;
    if (!readRemote(h.h, params + 0xA4, s.flags) || !readRemote(h.h, params + 0xA8, show)) return std::nullopt;
    s.show = static_cast<WORD>(show);
    return s;
}

std::optional<std::wstring> currentFolder(DWORD pid) {
    HandleCloser h{OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)};
    if (!h.h) return std::nullopt;
    auto* peb = static_cast<const BYTE*>(pebOf(h.h));
    const BYTE* params = nullptr;
    if (!peb || !readRemote(h.h, peb + 0x20, params) || !params) return std::nullopt;
    // x64 RTL_USER_PROCESS_PARAMETERS: CurrentDirectory.DosPath, a
    // UNICODE_STRING, at 0x38 (Length) and 0x40 (Buffer).
    USHORT length = 0;
    const wchar_t* buffer = nullptr;
    if (!readRemote(h.h, params + 0x38, length) || !readRemote(h.h, params + 0x40, buffer) || !buffer)
        return std::nullopt;
    std::wstring folder(length / sizeof(wchar_t), L'\0');
    SIZE_T got = 0;
    if (!folder.empty() && (!ReadProcessMemory(h.h, buffer, folder.data(), length, &got) || got != length))
        return std::nullopt;
    return folder;
}

std::optional<TokenFacts> tokenFacts(DWORD pid) {
    HandleCloser process{OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid)};
    HANDLE raw = nullptr;
    if (!process.h || !OpenProcessToken(process.h, TOKEN_QUERY, &raw)) return std::nullopt;
    HandleCloser token{raw};
    TokenFacts facts;
    TOKEN_ELEVATION_TYPE type{};
    DWORD size = 0;
    if (GetTokenInformation(token.h, TokenElevationType, &type, sizeof type, &size)) facts.elevationType = type;
    LUID debug{};
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &debug)) return facts;
    GetTokenInformation(token.h, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    if (!GetTokenInformation(token.h, TokenPrivileges, buffer.data(), size, &size)) return facts;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
        if (p.Luid.LowPart == debug.LowPart && p.Luid.HighPart == debug.HighPart) {
            facts.debugHeld = true;
            facts.debugEnabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    return facts;
}

HANDLE filteredToken() {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
    HandleCloser ownCloser{own};
    TOKEN_ELEVATION_TYPE type{};
    DWORD size = 0;
    if (!GetTokenInformation(own, TokenElevationType, &type, sizeof type, &size)) return nullptr;
    HANDLE filtered = nullptr;
    if (type == TokenElevationTypeLimited) {
        DuplicateTokenEx(own, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &filtered);
        return filtered;
    }
    TOKEN_LINKED_TOKEN linked{};
    if (type != TokenElevationTypeFull ||
        !GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size) || !linked.LinkedToken)
        return nullptr;
    HandleCloser linkedCloser{linked.LinkedToken};
    DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary, &filtered);
    return filtered;
}

SpecialProcess::~SpecialProcess() { end(); }

SpecialProcess::SpecialProcess(SpecialProcess&& o) noexcept
    : process_(std::exchange(o.process_, nullptr)), pid_(std::exchange(o.pid_, 0)) {}

SpecialProcess& SpecialProcess::operator=(SpecialProcess&& o) noexcept {
    if (this != &o) {
        end();
        process_ = std::exchange(o.process_, nullptr);
        pid_ = std::exchange(o.pid_, 0);
    }
    return *this;
}

SpecialProcess SpecialProcess::start(const std::wstring& app, const std::wstring& commandLine, HANDLE token,
                                     const std::wstring& sddl, std::wstring* error) {
    SpecialProcess out;
    auto fail = [&](const std::wstring& what) {
        if (error) *error = what + L", error " + std::to_wstring(GetLastError());
        return std::move(out);
    };
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!sddl.empty() &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr))
        return fail(L"bad security descriptor " + sddl);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, sd, FALSE};
    std::wstring cmd = commandLine;
    const auto slash = app.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : app.substr(0, slash);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL ok = startRetrying([&] {
        return token ? CreateProcessAsUserW(token, app.c_str(), cmd.data(), sd ? &attributes : nullptr, nullptr,
                                                 FALSE, 0, nullptr, folder.empty() ? nullptr : folder.c_str(), &si, &pi)
                          : CreateProcessW(app.c_str(), cmd.data(), sd ? &attributes : nullptr, nullptr, FALSE, 0,
                                           nullptr, folder.empty() ? nullptr : folder.c_str(), &si, &pi);
    });
    if (sd) LocalFree(sd);
    if (!ok) return fail(L"cannot start " + app);
    CloseHandle(pi.hThread);
    out.process_ = pi.hProcess;
    out.pid_ = pi.dwProcessId;
    return out;
}

bool SpecialProcess::running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

void SpecialProcess::end() {
    if (!process_) return;
    if (running()) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 3000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    pid_ = 0;
}

std::wstring clientFolder() {
    wchar_t buf[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    std::wstring self = buf;
    auto slash = self.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : self.substr(0, slash);
}

DummyGroup::~DummyGroup() { endAll(); }

Process* DummyGroup::start(const std::wstring& path, std::wstring* error) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::wstring source = joinPath(clientFolder(), L"dummy.exe");
        if (!CopyFileW(source.c_str(), path.c_str(), FALSE)) {
            if (error) *error = L"cannot copy " + source + L" to " + path + L", error " + std::to_wstring(GetLastError());
            return nullptr;
        }
    }
    auto slash = path.find_last_of(L'\\');
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    Process p = launch(path, L"\"" + name + L"\"", L"", error);
    if (!p) return nullptr;
    started_.push_back(std::move(p));
    return &started_.back();
}

void DummyGroup::endAll() {
    // Every one asked first, then each waited for: a slow exit costs once.
    for (auto& p : started_) {
        if (p.running()) TerminateProcess(p.handle(), 99);
    }
    for (auto& p : started_) p.waitExit(3000);
    started_.clear();
}

// ---- tooltips -----------------------------------------------------------------

std::vector<HWND> toolTipControls(DWORD pid) { return topLevels(L"", pid, false, TOOLTIPS_CLASSW); }

std::map<HWND, std::wstring> toolTipTexts(HWND tooltip, std::wstring* error) {
    std::map<HWND, std::wstring> out;
    auto fail = [&](const std::wstring& why) {
        if (error) *error = why + L", error " + std::to_wstring(GetLastError());
        return out;
    };
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(tooltip, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) {
        return fail(L"TTM_GETTOOLCOUNT got no answer");
    }
    if (count == 0) return out;
    HandleCloser process{OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                                     windowPid(tooltip))};
    if (!process.h) return fail(L"cannot open the tooltip's process");
    // One tool record and room for its text; the control copies the whole
    // text, however long, so the room is as large as a path can be.
    constexpr SIZE_T kTextChars = 32768 + 64;
    const SIZE_T size = sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t);
    BYTE* remote = static_cast<BYTE*>(VirtualAllocEx(process.h, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote) return fail(L"cannot lend memory in the tooltip's process");
    std::vector<wchar_t> zeros(kTextChars, L'\0');
    std::vector<wchar_t> text(kTextChars, L'\0');
    for (DWORD_PTR i = 0; i < count; ++i) {
        TTTOOLINFOW info{};
        info.cbSize = sizeof info;
        info.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof info);
        SIZE_T done = 0;
        WriteProcessMemory(process.h, remote + sizeof info, zeros.data(), zeros.size() * sizeof(wchar_t), &done);
        WriteProcessMemory(process.h, remote, &info, sizeof info, &done);
        DWORD_PTR ok = 0;
        if (!SendMessageTimeoutW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000,
                                 &ok) ||
            !ok) {
            continue;
        }
        TTTOOLINFOW got{};
        ReadProcessMemory(process.h, remote, &got, sizeof got, &done);
        if (got.lpszText == LPSTR_TEXTCALLBACKW) {
            // A text asked for when the tip shows: TTM_GETTEXTW asks for it as
            // showing does, the control keeps it, and it is enumerated again.
            got.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof info);
            WriteProcessMemory(process.h, remote, &got, sizeof got, &done);
            SendMessageTimeoutW(tooltip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote),
                                SMTO_ABORTIFHUNG, 5000, &ok);
            WriteProcessMemory(process.h, remote + sizeof info, zeros.data(), zeros.size() * sizeof(wchar_t), &done);
            WriteProcessMemory(process.h, remote, &info, sizeof info, &done);
            if (!SendMessageTimeoutW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG,
                                     5000, &ok) ||
                !ok) {
                continue;
            }
            ReadProcessMemory(process.h, remote, &got, sizeof got, &done);
        }
        ReadProcessMemory(process.h, remote + sizeof info, text.data(), text.size() * sizeof(wchar_t), &done);
        text.back() = L'\0';
        // A text kept by the caller or given by callback is not copied; then
        // lpszText no longer points into our room.
        const bool copied = got.lpszText == reinterpret_cast<wchar_t*>(remote + sizeof info);
        HWND tool = (got.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(got.uId) : got.hwnd;
        out[tool] = copied ? std::wstring(text.data()) : std::wstring();
    }
    VirtualFreeEx(process.h, remote, 0, MEM_RELEASE);
    return out;
}

// ---- the notification area ----------------------------------------------------

HWND findTrayOwner(DWORD pid) {
    auto all = topLevels(L"", pid, false, L"WardeckTrayWindow");
    return all.empty() ? nullptr : all.front();
}

bool trayIconShown(HWND owner, UINT id) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = owner;
    data.uID = id;
    data.uFlags = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

std::vector<std::wstring> trayTips() {
    std::vector<std::wstring> out;
    for (DWORD pid : pidsNamed(L"explorer.exe")) {
        for (HWND tip : toolTipControls(pid)) {
            for (auto& [tool, text] : toolTipTexts(tip)) {
                if (!text.empty()) out.push_back(text);
            }
        }
    }
    return out;
}

void postTrayMouse(HWND owner, UINT mouseMessage) {
    // The program's callback message is WM_APP + 1; icon id 1; version-0
    // icons get the mouse message in lParam.
    PostMessageW(owner, WM_APP + 1, 1, static_cast<LPARAM>(mouseMessage));
}

bool StandInTray::Request::holdsText(const std::wstring& s) const {
    const size_t bytes = s.size() * sizeof(wchar_t);
    if (bytes == 0 || data.size() < bytes) return false;
    for (size_t at = 0; at + bytes <= data.size(); at += 2) {
        if (memcmp(data.data() + at, s.data(), bytes) == 0) return true;
    }
    return false;
}

StandInTray::~StandInTray() {
    stop();
    if (lockMade_) DeleteCriticalSection(&lock_);
}

bool StandInTray::start() {
    if (thread_) return window_ != nullptr;
    if (!lockMade_) {
        InitializeCriticalSection(&lock_);
        lockMade_ = true;
    }
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, &StandInTray::threadMain, this, 0, nullptr);
    if (!thread_) return false;
    WaitForSingleObject(ready_, 5000);
    return window_ != nullptr;
}

void StandInTray::stop() {
    if (!thread_) return;
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(thread_, 5000) != WAIT_OBJECT_0) TerminateThread(thread_, 1);
    CloseHandle(thread_);
    thread_ = nullptr;
    if (ready_) CloseHandle(ready_);
    ready_ = nullptr;
    window_ = nullptr;
}

std::vector<StandInTray::Request> StandInTray::requests() {
    if (!lockMade_) return {};
    EnterCriticalSection(&lock_);
    auto copy = requests_;
    LeaveCriticalSection(&lock_);
    return copy;
}

DWORD WINAPI StandInTray::threadMain(void* p) {
    auto* self = static_cast<StandInTray*>(p);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &StandInTray::proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&wc);
    self->window_ = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    wc.hInstance, self);
    SetEvent(self->ready_);
    if (!self->window_) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
    return 0;
}

LRESULT CALLBACK StandInTray::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(w, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    }
    auto* self = reinterpret_cast<StandInTray*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    switch (msg) {
        case WM_COPYDATA: {
            const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            Request r;
            r.action = static_cast<DWORD>(cds->dwData);
            const BYTE* bytes = static_cast<const BYTE*>(cds->lpData);
            r.data.assign(bytes, bytes + cds->cbData);
            // Every form of the request starts with the window (32 bits), the
            // id, the flags and the callback message.
            if (cds->cbData >= 16) {
                LONG owner = 0;
                memcpy(&owner, bytes, 4);
                r.owner = reinterpret_cast<HWND>(static_cast<LONG_PTR>(owner));
                memcpy(&r.id, bytes + 4, 4);
                memcpy(&r.flags, bytes + 8, 4);
                memcpy(&r.callbackMessage, bytes + 12, 4);
            }
            if (self) {
                EnterCriticalSection(&self->lock_);
                self->requests_.push_back(std::move(r));
                LeaveCriticalSection(&self->lock_);
            }
            return TRUE;
        }
        case WM_CLOSE:
            DestroyWindow(w);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

// ---- input ------------------------------------------------------------------

void typeChars(HWND edit, const std::wstring& s) {
    for (wchar_t c : s) PostMessageW(edit, WM_CHAR, c, 1);
}

void postRightButtonDown(HWND w) { PostMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 4)); }

void postScroll(HWND scrollBar, WORD code) {
    PostMessageW(GetParent(scrollBar), WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(scrollBar));
}

// ---- USER and GDI objects -----------------------------------------------------

namespace {

struct CountQuery {
    DWORD pid;
    long count;
};

BOOL CALLBACK countChild(HWND, LPARAM lp) {
    ++reinterpret_cast<CountQuery*>(lp)->count;
    return TRUE;
}

BOOL CALLBACK countTopLevel(HWND w, LPARAM lp) {
    auto* q = reinterpret_cast<CountQuery*>(lp);
    if (windowPid(w) != q->pid) return TRUE;
    ++q->count;
    EnumChildWindows(w, countChild, lp);
    return TRUE;
}

long gdiHandleTableCount(HANDLE process) {
    auto* peb = static_cast<const BYTE*>(pebOf(process));
    if (!peb) return -1;
    // x64: PEB.GdiSharedHandleTable at 0xF8. Wine's table: 0x10000 entries
    // of 24 bytes (object, owner, unique, type, flags, user pointer); an
    // entry in use has a type other than 0.
    const BYTE* table = nullptr;
    if (!readRemote(process, peb + 0xF8, table) || !table) return -1;
    struct Entry {
        UINT64 object;
        ULONG owner;
        USHORT unique;
        UCHAR type;
        UCHAR flags;
        UINT64 user;
    };
    static_assert(sizeof(Entry) == 24, "GDI handle entry");
    std::vector<Entry> entries(0x10000);
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(Entry), &got) ||
        got != entries.size() * sizeof(Entry)) {
        return -1;
    }
    return static_cast<long>(std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.type != 0; }));
}

}  // namespace

long windowCount(DWORD pid) {
    CountQuery q{pid, 0};
    EnumWindows(countTopLevel, reinterpret_cast<LPARAM>(&q));
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) {
        if (windowPid(w) != pid) continue;
        ++q.count;
        EnumChildWindows(w, countChild, reinterpret_cast<LPARAM>(&q));
    }
    return q.count;
}

GuiCounts guiCounts(HANDLE process, DWORD pid) {
    GuiCounts c;
    SetLastError(0);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    const DWORD userError = GetLastError();
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    if (user > 0 && gdi > 0) {
        c.user = static_cast<long>(user);
        c.gdi = static_cast<long>(gdi);
        c.how = L"GetGuiResources: every USER object (windows, menus, icons, cursors, hooks...) and every GDI object";
        return c;
    }
    HandleCloser reader{OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid)};
    c.user = windowCount(pid);
    c.gdi = reader.h ? gdiHandleTableCount(reader.h) : -1;
    c.how = L"GetGuiResources answers 0 (error " + std::to_wstring(userError) +
            L"): USER = the program's windows only (menus, icons and cursors are kept where no other "
            L"process can count them), GDI = used entries of its GDI handle table";
    return c;
}

// ---- handles and memory -------------------------------------------------------

namespace {

using NtQueryProcess = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using NtQuerySystem = LONG(WINAPI*)(int, void*, ULONG, ULONG*);

template <typename F>
F ntdllFunction(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The process's entries in SystemHandleInformation (16): a count, then one
// 24-byte record per handle (x64) starting with the owner's process id.
long systemTableHandles(DWORD pid) {
    auto query = ntdllFunction<NtQuerySystem>("NtQuerySystemInformation");
    if (!query) return -1;
    std::vector<BYTE> buf(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG got = 0;
        const LONG status = query(16, buf.data(), static_cast<ULONG>(buf.size()), &got);
        if (status == static_cast<LONG>(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
            buf.resize(std::max<size_t>(buf.size() * 2, got + 4096));
            continue;
        }
        if (status != 0) return -1;
        ULONG count = 0;
        memcpy(&count, buf.data(), sizeof count);
        constexpr size_t kHeader = 8, kEntry = 24;
        long mine = 0;
        for (ULONG i = 0; i < count && kHeader + (i + 1) * kEntry <= buf.size(); ++i) {
            ULONG owner = 0;
            memcpy(&owner, buf.data() + kHeader + i * kEntry, sizeof owner);
            mine += owner == pid;
        }
        return mine;
    }
    return -1;
}

// "Name:   1234 kB" lines of a /proc status file, in MB; -1 when missing.
double statusMb(const std::string& status, const char* field) {
    const std::string key = std::string("\n") + field + ":";
    size_t at = status.find(key);
    if (at == std::string::npos) return -1;
    at += key.size();
    return std::strtod(status.c_str() + at, nullptr) / 1024.0;
}

}  // namespace

HandleCount handleCount(HANDLE process, DWORD pid) {
    HandleCount c;
    DWORD n = 0;
    if (GetProcessHandleCount(process, &n) && n > 0) {
        c.count = static_cast<long>(n);
        c.how = L"GetProcessHandleCount";
        return c;
    }
    const DWORD error = GetLastError();
    c.count = systemTableHandles(pid);
    c.how = L"GetProcessHandleCount fails (error " + std::to_wstring(error) +
            L"): the process's entries in the system handle table";
    return c;
}

MemoryCounts memoryCounts(HANDLE process, const std::wstring& procFolder) {
    MemoryCounts m;
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    double privateUsage = -1;
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc)) {
        privateUsage = static_cast<double>(pmc.PrivateUsage) / (1024.0 * 1024.0);
        m.pagefileMb = static_cast<double>(pmc.PagefileUsage) / (1024.0 * 1024.0);
        m.workingSetMb = static_cast<double>(pmc.WorkingSetSize) / (1024.0 * 1024.0);
    }
    if (!procFolder.empty()) {
        if (auto status = machine::readFile(procFolder + L"\\status")) {
            const std::string s = "\n" + *status;
            m.rssMb = statusMb(s, "VmRSS");
            m.rssAnonMb = statusMb(s, "RssAnon");
            m.dataMb = statusMb(s, "VmData");
        }
    }
    // The first source that gives a figure above zero; none: -1, and `how`
    // says what each gave.
    if (privateUsage > 0) {
        m.privateMb = privateUsage;
        m.how = L"PrivateUsage of GetProcessMemoryInfo";
    } else if (m.rssAnonMb > 0) {
        m.privateMb = m.rssAnonMb;
        m.how = L"RssAnon of the Unix process (its private resident memory; PrivateUsage is 0 under Wine)";
    } else if (m.pagefileMb > 0) {
        m.privateMb = m.pagefileMb;
        m.how = L"PagefileUsage of GetProcessMemoryInfo (PrivateUsage and RssAnon gave nothing)";
    } else {
        m.privateMb = -1;
        m.how = L"no source gave a figure above zero: PrivateUsage " + std::to_wstring(privateUsage) +
                L" MB, RssAnon " + std::to_wstring(m.rssAnonMb) + L" MB, PagefileUsage " +
                std::to_wstring(m.pagefileMb) + L" MB";
    }
    return m;
}

std::wstring unixProcFolder(const std::string& comm) {
    const std::wstring prefix = machine::environment(L"WINEPREFIX");
    if (prefix.empty()) return {};
    const std::string want = "WINEPREFIX=" + toUtf8(prefix);
    for (const auto& pid : machine::names(L"Z:\\proc")) {
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
            continue;
        }
        const std::wstring folder = L"Z:\\proc\\" + pid;
        auto name = machine::readFile(folder + L"\\comm");
        if (!name || name->rfind(comm, 0) != 0) continue;
        auto env = machine::readFile(folder + L"\\environ");
        if (!env) continue;
        size_t at = 0;
        while (at < env->size()) {
            size_t end = env->find('\0', at);
            if (end == std::string::npos) end = env->size();
            if (env->compare(at, end - at, want) == 0) return folder;
            at = end + 1;
        }
    }
    return {};
}

}  // namespace wdauto
