#include "platform/win32/session.h"

#include <algorithm>

#include "platform/win32/dispatch.h"
#include "platform/win32/ui_thread.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {

namespace {


// The hidden owner window. Its one message of its own only has to arrive: the
// dispatch scope shows the pending rows as it leaves.
LRESULT CALLBACK parkingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return Dispatch::run(L"owner window", msg, [&]() -> LRESULT {
        if (msg == RowBatch::kFlushMessage) return 0;
        return ::DefWindowProcW(h, msg, wp, lp);
    });
}

ATOM registerClass(HINSTANCE instance, const wchar_t* name, WNDPROC proc, UINT classStyle) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc);
}

}  // namespace

Session::Session(HINSTANCE instance) : instance_(instance), art_(instance), rows_(*this) {
    windowAtom_ = registerClass(instance, kWindowClass, &WindowImpl::proc, 0);
    pictureAtom_ = registerClass(instance, kPictureClass, &PictureImpl::proc, CS_DBLCLKS);
    ownerAtom_ = registerClass(instance, kOwnerClass, &parkingProc, 0);
    uiThread().session = this;
}

HWND Session::parking() {
    if (!parking_ && ownerAtom_)
        parking_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                         nullptr, instance_, nullptr));
    return parking_.get();
}

Session::~Session() {
    rows_.clear();
    if (uiThread().session == this) uiThread().session = nullptr;
    parking_.reset();
    brushes_.clear();
    if (windowAtom_) ::UnregisterClassW(kWindowClass, instance_);
    if (pictureAtom_) ::UnregisterClassW(kPictureClass, instance_);
    if (ownerAtom_) ::UnregisterClassW(kOwnerClass, instance_);
}

HBRUSH Session::brush(ui::Rgb colour) {
    const COLORREF key = colorRef(colour);
    auto it = brushes_.find(key);
    if (it == brushes_.end()) it = brushes_.emplace(key, UniqueBrush(::CreateSolidBrush(key))).first;
    return it->second.get();
}

void Session::removeWindow(WindowImpl* w) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
    removeModal(w);
}

bool Session::anyOtherVisible(const WindowImpl* w) const {
    return std::any_of(windows_.begin(), windows_.end(),
                       [w](const WindowImpl* other) { return other != w && other->visible(); });
}

WindowImpl* Session::windowFromHwnd(HWND hwnd) const {
    for (WindowImpl* w : windows_)
        if (w->hwnd() == hwnd) return w;
    return nullptr;
}

void Session::pushModal(WindowImpl* w) {
    modal_.push_back(w);
    updateEnabling();
}

void Session::removeModal(WindowImpl* w) {
    const auto it = std::find(modal_.begin(), modal_.end(), w);
    if (it == modal_.end()) return;
    modal_.erase(it);
    updateEnabling();
}

void Session::updateEnabling() {
    for (WindowImpl* w : windows_) {
        const bool enable = modal_.empty() || w == modal_.back();
        if (w->hwnd() && (::IsWindowEnabled(w->hwnd()) != FALSE) != enable) ::EnableWindow(w->hwnd(), enable);
    }
}

Session* Session::current() { return uiThread().session; }

bool Session::preTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !msg.hwnd) return false;
    if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
    WindowImpl* window = windowFromHwnd(::GetAncestor(msg.hwnd, GA_ROOT));
    if (!window) return false;
    window->tabFrom(::GetFocus(), ::GetKeyState(VK_SHIFT) < 0);
    return true;
}

}  // namespace wd::win32
