#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <iterator>
#include <optional>
#include <string>

#include "platform/win32/binding.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/services.h"
#include "platform/win32/system_library.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

constexpr wchar_t kClassName[] = L"WardeckTrayWindow";

// What a mouse message of the icon is, if it is one.
std::optional<platform::TrayMouse> trayMouse(UINT message) {
    using M = platform::TrayMouse;
    switch (message) {
        case WM_MOUSEMOVE: return M::Move;
        case WM_LBUTTONDOWN: return M::LeftDown;
        case WM_LBUTTONUP: return M::LeftUp;
        case WM_LBUTTONDBLCLK: return M::LeftDoubleClick;
        case WM_RBUTTONDOWN: return M::RightDown;
        case WM_RBUTTONUP: return M::RightUp;
        case WM_RBUTTONDBLCLK: return M::RightDoubleClick;
        case WM_MBUTTONDOWN: return M::MiddleDown;
        case WM_MBUTTONUP: return M::MiddleUp;
        case WM_MBUTTONDBLCLK: return M::MiddleDoubleClick;
        default: return std::nullopt;
    }
}

NOTIFYICONDATAW iconData(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = Tray::kIconId;
    return data;
}

}  // namespace

Tray::Tray(HINSTANCE instance) : instance_(instance) {
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Tray::windowProc;
    wc.hInstance = instance_;
    wc.lpszClassName = kClassName;
    // A second tray in the same process finds the class made already.
    classRegistered_ = ::RegisterClassExW(&wc) || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The window is made with the first icon rather than at start: a top-level
// window costs start-up a few milliseconds, and most runs never go to the tray.
// Until there is an icon, there is nothing for a new shell's "TaskbarCreated"
// to bring back either.
bool Tray::makeWindow() {
    if (window_) return true;
    if (!classRegistered_) return false;
    // Top-level (no parent, not HWND_MESSAGE) so that broadcasts reach it;
    // never shown, and a tool window so it would stay off the task bar even then.
    window_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Wardeck", WS_POPUP, 0, 0, 0, 0, nullptr,
                                    nullptr, instance_, this));
    if (!window_) return false;

    // When the program runs elevated, messages from the (unelevated) shell
    // are filtered unless let through explicitly.
    ::ChangeWindowMessageFilterEx(window_.get(), kCallbackMessage, MSGFLT_ALLOW, nullptr);
    if (taskbarCreated_) ::ChangeWindowMessageFilterEx(window_.get(), taskbarCreated_, MSGFLT_ALLOW, nullptr);
    return true;
}

Tray::~Tray() {
    if (added_) remove();
    if (window_) {
        // No more calls into this object while the window goes.
        unbindWindow(window_.get());
        window_.reset();
    }
}

HICON Tray::icon() {
    if (ownIcon_) return ownIcon_.get();
    if (sharedIcon_) return sharedIcon_;
    // The 16x16 tray picture, at the small-icon size of the system DPI.
    const int cx = ::GetSystemMetrics(SM_CXSMICON);
    const int cy = ::GetSystemMetrics(SM_CYSMICON);
    ownIcon_.reset(static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(WD_ICON_TRAY), IMAGE_ICON, cx, cy, LR_DEFAULTCOLOR)));
    if (ownIcon_) return ownIcon_.get();
    // Without our picture the icon would be an empty, unclickable gap.
    sharedIcon_ = static_cast<HICON>(::LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, cx, cy, LR_SHARED));
    return sharedIcon_;
}

bool Tray::add(std::string_view tip) {
    if (added_ || !makeWindow()) return false;
    NOTIFYICONDATAW data = iconData(window_.get());
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon();
    // The tip is cut to the field (127 characters and the NUL), never past it.
    const std::wstring wide = widen(tip);
    const std::size_t room = std::size(data.szTip) - 1;
    wide.copy(data.szTip, wide.size() < room ? wide.size() : room);
    added_ = shellNotifyIcon(NIM_ADD, &data) != FALSE;
    return added_;
}

bool Tray::remove() {
    if (!window_) return false;
    NOTIFYICONDATAW data = iconData(window_.get());
    const bool removed = shellNotifyIcon(NIM_DELETE, &data) != FALSE;
    added_ = false;
    return removed;
}

void Tray::setForeground() {
    if (window_) ::SetForegroundWindow(window_.get());
}

LRESULT CALLBACK Tray::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return Dispatch::run(L"tray icon", msg, [&]() -> LRESULT {
        bindAtCreation<Tray>(hwnd, msg, lParam);
        if (auto* self = boundObject<Tray>(hwnd)) {
            if (msg == kCallbackMessage) {
                self->onIconMessage(wParam, lParam);
                return 0;
            }
            if (self->taskbarCreated_ && msg == self->taskbarCreated_) {
                self->onTaskbarRecreated();
                return 0;
            }
        }
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    });
}

void Tray::onIconMessage(WPARAM wParam, LPARAM lParam) {
    // Version-0 icons: wParam is the icon id, lParam the mouse message.
    if (wParam != kIconId || !onMouse) return;
    if (const std::optional<platform::TrayMouse> event = trayMouse(LOWORD(lParam))) onMouse(*event);
}

void Tray::onTaskbarRecreated() {
    // The new task bar has none of the old icons.
    added_ = false;
    if (onTaskbarCreated) onTaskbarCreated();
}

}  // namespace wd::win32
