// What the process, tray and DLL scenarios read from outside the program
// beyond plain window messages: the running processes, the tooltips of the
// Process rows, the notification-area icon, the program's USER and GDI
// objects, and how a process was asked to show its window. Everything here
// works across processes on Windows and under Wine.
#pragma once

#include "automation.h"

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace wdauto {

// ---- processes ----------------------------------------------------------------

struct ProcessInfo {
    DWORD pid = 0;
    std::wstring exeName;  // as the snapshot reports it
};

// Every running process, in the order of a new snapshot.
std::vector<ProcessInfo> runningProcesses();
// Ids of the running processes whose executable name is `exeName`, letter case ignored.
std::vector<DWORD> pidsNamed(const std::wstring& exeName);
bool processAlive(DWORD pid);
// The full path of the process's main module as the system reports it; empty if unreadable.
std::wstring mainModulePath(DWORD pid);
// The same for a process just made: its module list exists once its loader
// has run, so this asks again for up to 2 s while the process runs.
std::wstring newProcessPath(DWORD pid);
// When the process ended (100 ns units), if it has.
std::optional<ULONGLONG> exitTime(HANDLE process);
// Ends the process by id and waits (bounded) for it to be gone.
bool endProcess(DWORD pid, int timeoutMs = 5000);

// The show-window request a process was started with (STARTUPINFO's
// dwFlags and wShowWindow), read from its process parameters.
struct StartShow {
    DWORD flags = 0;
    WORD show = 0;
};
std::optional<StartShow> startShow(DWORD pid);
// The current folder of a process, read from its process parameters.
std::optional<std::wstring> currentFolder(DWORD pid);

// What a process's token says of its rights.
struct TokenFacts {
    int elevationType = 0;  // TOKEN_ELEVATION_TYPE: 1 default, 2 full, 3 limited
    bool debugHeld = false;
    bool debugEnabled = false;  // SeDebugPrivilege
};
std::optional<TokenFacts> tokenFacts(DWORD pid);

// The filtered token of this client's user (the rights an administrator has
// before elevation), as a primary token; null when the system has none.
HANDLE filteredToken();

// A process started with a token or a security descriptor of the test's
// choosing, which `launch` does not offer. Ended and closed when it goes.
class SpecialProcess {
public:
    SpecialProcess() = default;
    ~SpecialProcess();
    SpecialProcess(SpecialProcess&& o) noexcept;
    SpecialProcess& operator=(SpecialProcess&& o) noexcept;
    SpecialProcess(const SpecialProcess&) = delete;
    SpecialProcess& operator=(const SpecialProcess&) = delete;

    // `token`: null for ours. `sddl`: the process object's security
    // descriptor, empty for the default. It runs in the app's folder.
    static SpecialProcess start(const std::wstring& app, const std::wstring& commandLine, HANDLE token,
                                const std::wstring& sddl, std::wstring* error);
    explicit operator bool() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    bool running() const;
    void end();

private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// The folder of wdauto.exe itself, where the run puts dummy.exe.
std::wstring clientFolder();

// Started copies of dummy.exe; every one is ended when the group goes.
class DummyGroup {
public:
    DummyGroup() = default;
    ~DummyGroup();
    DummyGroup(const DummyGroup&) = delete;
    DummyGroup& operator=(const DummyGroup&) = delete;

    // Copies dummy.exe to `path` (if not there yet) and starts it. Null on failure, with `error` set.
    Process* start(const std::wstring& path, std::wstring* error = nullptr);
    // Ends every started copy that still runs.
    void endAll();
    std::deque<Process>& all() { return started_; }

private:
    std::deque<Process> started_;
};

// ---- tooltips -----------------------------------------------------------------

// The tooltip controls (class tooltips_class32) that `pid` owns, top-level as Windows makes them.
std::vector<HWND> toolTipControls(DWORD pid);
// The text of every tool of a tooltip control of another process, by the
// window the tool stands for (tools made with TTF_IDISHWND). The control's
// answers are written into memory lent inside its own process.
std::map<HWND, std::wstring> toolTipTexts(HWND tooltip, std::wstring* error = nullptr);

// ---- the notification area ----------------------------------------------------

// The program's hidden window that owns its tray icon (class WardeckTrayWindow).
HWND findTrayOwner(DWORD pid);
// Whether the notification area holds the icon (owner, id): an empty
// NIM_MODIFY succeeds only for an icon it knows and changes nothing.
bool trayIconShown(HWND owner, UINT id);
// The tips of the icons that the shell's notification area shows (the tools
// of its tooltip controls).
std::vector<std::wstring> trayTips();
// What the shell sends the owner when the mouse does `mouseMessage` on the icon.
void postTrayMouse(HWND owner, UINT mouseMessage);

// A stand-in notification area for after the real shell has gone: a window
// of class "Shell_TrayWnd" on its own thread that answers Shell_NotifyIcon's
// requests and records them.
class StandInTray {
public:
    struct Request {
        DWORD action = 0;  // NIM_ADD, NIM_MODIFY, NIM_DELETE, ...
        HWND owner = nullptr;
        UINT id = 0;
        UINT flags = 0;
        UINT callbackMessage = 0;
        std::vector<BYTE> data;  // the whole request as it came
        bool holdsText(const std::wstring& s) const;
    };
    StandInTray() = default;
    ~StandInTray();
    StandInTray(const StandInTray&) = delete;
    StandInTray& operator=(const StandInTray&) = delete;

    bool start();
    void stop();
    std::vector<Request> requests();
    HWND window() const { return window_; }

private:
    static DWORD WINAPI threadMain(void* self);
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    HWND window_ = nullptr;
    CRITICAL_SECTION lock_{};
    bool lockMade_ = false;
    std::vector<Request> requests_;
};

// ---- input ------------------------------------------------------------------

// Types `s` into an edit control as the keyboard would: one WM_CHAR per
// character, posted, so the program's key handler sees each (13 for Enter).
void typeChars(HWND edit, const std::wstring& s);
// A right button press on a window, posted (the program may open a pop-up
// menu, whose loop would hold a sent message). No release follows: the menu
// opens under the mouse, where a release could choose an item.
void postRightButtonDown(HWND w);
// What a scroll bar control tells its parent when the user works it.
void postScroll(HWND scrollBar, WORD code);

// ---- USER and GDI objects -----------------------------------------------------

struct GuiCounts {
    long user = -1;
    long gdi = -1;
    std::wstring how;  // where the numbers come from
};
// GetGuiResources where the system implements it: every USER object (windows,
// menus, icons, cursors, hooks) and every GDI object. Wine does not (it
// answers 0 with ERROR_CALL_NOT_IMPLEMENTED); there USER objects are counted
// as the process's windows, the only USER objects Wine lets another process
// count, and GDI objects as the used entries of the process's GDI handle
// table, which Wine keeps, as Windows once did, at PEB.GdiSharedHandleTable.
GuiCounts guiCounts(HANDLE process, DWORD pid);
// Every window of `pid`: top-level, message-only and all their descendants.
long windowCount(DWORD pid);

// ---- handles and memory -------------------------------------------------------

struct HandleCount {
    long count = -1;
    std::wstring how;
};
// The kernel handles the process holds: GetProcessHandleCount, or else its
// entries in the system's handle table.
HandleCount handleCount(HANDLE process, DWORD pid);

struct MemoryCounts {
    double privateMb = -1;  // what the criterion uses (see `how`); -1 when no source gave more than 0
    double pagefileMb = -1, workingSetMb = -1;  // GetProcessMemoryInfo
    double rssMb = -1, rssAnonMb = -1, dataMb = -1;  // /proc/<pid>/status of the Unix process
    std::wstring how;
};
// `procFolder`: the Unix process's folder as unixProcFolder gives it, or empty.
MemoryCounts memoryCounts(HANDLE process, const std::wstring& procFolder);

// The /proc folder, as Z:\proc\<pid>, of the Unix process of this Wine
// prefix (same WINEPREFIX) whose name starts with `comm` (the wineserver, or a
// Wine process by its .exe name); empty when it cannot be found.
std::wstring unixProcFolder(const std::string& comm);

}  // namespace wdauto
