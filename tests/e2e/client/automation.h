// What the automation client can do to a running Windows program: find its
// windows, read and press its controls, start and stop it. Everything works
// across processes with standard window messages, as a screen reader would.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "start_retry.h"

namespace wdauto {

// ---- text ---------------------------------------------------------------------
std::string toUtf8(std::wstring_view s);
std::wstring fromUtf8(std::string_view s);
// Shows control characters and non-printables as escapes, for log lines.
std::wstring quoted(std::wstring_view s);

// ---- time ---------------------------------------------------------------------
using Clock = std::chrono::steady_clock;
void sleepMs(int ms);
// Polls `done` every `pollMs` until it is true or `timeoutMs` has passed.
bool waitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 20);

// ---- processes ----------------------------------------------------------------
class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& o) noexcept;
    Process& operator=(Process&& o) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool running() const;
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    explicit operator bool() const { return process_ != nullptr; }

    // Waits for the end; true with its exit code if it ended in time.
    bool waitExit(int timeoutMs, DWORD* exitCode = nullptr);
    // Ends it at once and waits for it to be gone.
    void terminate();
    // Until its GUI thread first waits for input (start-up finished), or timeout.
    bool waitIdle(int timeoutMs);

private:
    friend Process launch(const std::wstring&, const std::wstring&, const std::wstring&, std::wstring*);
    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD pid_ = 0;
};

// Starts `app` with exactly `commandLine` as its raw command line (nothing is
// quoted or added). `workDir` empty: the app's folder. On failure the returned
// Process is empty and `error` says why.
Process launch(const std::wstring& app, const std::wstring& commandLine,
               const std::wstring& workDir = L"", std::wstring* error = nullptr);

// ---- windows ------------------------------------------------------------------
std::wstring text(HWND w);       // WM_GETTEXT
std::wstring className(HWND w);
LONG_PTR style(HWND w);
int controlId(HWND w);
DWORD windowPid(HWND w);
bool visible(HWND w);            // IsWindowVisible: itself and all its parents
bool enabled(HWND w);

// Top-level windows whose title is exactly `title` (any title if empty), of
// process `pid` (any if 0), visible ones only if `visibleOnly`.
std::vector<HWND> topLevels(const std::wstring& title, DWORD pid = 0, bool visibleOnly = false,
                            const std::wstring& cls = L"");
HWND findTopLevel(const std::wstring& title, DWORD pid = 0, bool visibleOnly = false);
HWND waitTopLevel(const std::wstring& title, DWORD pid, int timeoutMs, bool visibleOnly = false);
// The first visible top-level window with a caption that `pid` owns.
HWND waitMainWindowOf(DWORD pid, int timeoutMs);

std::vector<HWND> descendants(HWND parent);      // every level, Z order
HWND findDescendant(HWND parent, int id);        // first with this child ID
HWND waitDescendant(HWND parent, int id, int timeoutMs);
std::vector<HWND> descendantsOfClass(HWND parent, const std::wstring& cls);

RECT windowRect(HWND w);   // screen coordinates
RECT clientRectOnScreen(HWND w);
SIZE windowSize(HWND w);
bool contains(const RECT& outer, const RECT& inner);
bool intersect(const RECT& a, const RECT& b, RECT* out);
std::wstring describe(const RECT& r);  // "(l,t)-(r,b) w×h"
std::wstring describe(HWND w);         // "class#id 'text'"

// ---- controls -----------------------------------------------------------------
void click(HWND button);      // BM_CLICK, returns after the click handler
void postClick(HWND button);  // BM_CLICK, returns at once (for buttons that open a modal window)
int checkState(HWND button);  // BM_GETCHECK: BST_UNCHECKED / BST_CHECKED / BST_INDETERMINATE
void setText(HWND w, const std::wstring& s);

std::vector<std::wstring> comboItems(HWND combo);
int comboSelection(HWND combo);
std::vector<std::wstring> listItems(HWND list);
int listSelection(HWND list);  // LB_GETCURSEL

// Asks the window to paint now and waits a little for the screen to follow.
void repaint(HWND w);

// ---- message boxes and pop-up menus -------------------------------------------
// A dialog box (class #32770) of `pid` (any if 0), optionally with this title.
HWND waitMessageBox(DWORD pid, int timeoutMs, const std::wstring& title = L"");
std::wstring messageBoxText(HWND box);  // the text of its static control 0xFFFF
std::vector<std::wstring> dialogButtons(HWND box);
// Presses the dialog's button with this ID (IDOK, IDYES, ...). False if it has none.
bool pressDialogButton(HWND box, int id);

// The visible pop-up menu window (class #32768), if any, of `pid` (any if 0).
HWND findPopupMenu(DWORD pid = 0);
HWND waitPopupMenu(DWORD pid, int timeoutMs);
// Items of a pop-up menu as its owner sees them; empty where the system does
// not share another process's menus (Wine does not).
std::vector<std::wstring> popupMenuItems(HWND menu);
// Chooses item `index` by keyboard, as a user would: Down arrow index + 1
// times, then Enter. The arrows visit every item but separators, disabled
// items included, so `index` counts those.
void choosePopupMenuItem(HWND menu, int index);
void closePopupMenu(HWND menu);

// ---- pictures -----------------------------------------------------------------
// Saves what the screen shows inside `r` as a 24-bit BMP file.
bool saveScreenBmp(const RECT& r, const std::wstring& path);

// ---- paths --------------------------------------------------------------------
std::wstring joinPath(const std::wstring& dir, const std::wstring& name);
bool makeDirs(const std::wstring& dir);

// Makes this process see physical pixels whatever the DPI (call first thing).
void becomeDpiAware();
UINT systemDpi();

}  // namespace wdauto
