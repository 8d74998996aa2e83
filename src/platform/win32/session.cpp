#include "platform/win32/session.h"

#include <algorithm>

#include "platform/win32/dispatch.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {

// ---- Art -----------------------------------------------------------------------

namespace {

struct ImageResources {
    ui::Image image;
    int normal;
    int doubled;
};

constexpr ImageResources kImageResources[] = {
    {ui::Image::Banner, WD_BITMAP_BANNER, WD_BITMAP_BANNER_2X},
    {ui::Image::HSeparator, WD_BITMAP_HSEPARATOR, WD_BITMAP_HSEPARATOR_2X},
    {ui::Image::VSeparator, WD_BITMAP_VSEPARATOR, WD_BITMAP_VSEPARATOR_2X},
    {ui::Image::ExitBanner, WD_BITMAP_EXIT_BANNER, WD_BITMAP_EXIT_BANNER_2X},
};

}  // namespace

HBITMAP Art::bitmap(int resourceId) {
    auto it = bitmaps_.find(resourceId);
    if (it == bitmaps_.end()) {
        UniqueBitmap loaded(static_cast<HBITMAP>(
            ::LoadImageW(instance_, MAKEINTRESOURCEW(resourceId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        it = bitmaps_.emplace(resourceId, std::move(loaded)).first;
    }
    return it->second.get();
}

UniqueIcon Art::icon(int resourceId, int size) const {
    return UniqueIcon(static_cast<HICON>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

void Art::draw(HDC dc, ui::Image image, const RECT& area, UINT dpi) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || image == ui::Image::None) return;

    const auto* entry = std::find_if(std::begin(kImageResources), std::end(kImageResources),
                                     [image](const ImageResources& r) { return r.image == image; });
    if (entry == std::end(kImageResources)) return;
    HBITMAP picture = bitmap(dpi > 96 ? entry->doubled : entry->normal);
    if (!picture) picture = bitmap(entry->normal);
    if (!picture) return;

    BITMAP info{};
    if (!::GetObjectW(picture, sizeof(info), &info)) return;
    const UniqueMemoryDc source(::CreateCompatibleDC(dc));
    if (!source) return;
    const SelectGuard selected(source.get(), picture);
    if (info.bmWidth == width && info.bmHeight == height) {
        ::BitBlt(dc, area.left, area.top, width, height, source.get(), 0, 0, SRCCOPY);
    } else {
        const int oldMode = ::SetStretchBltMode(dc, HALFTONE);
        POINT oldOrigin{};
        ::SetBrushOrgEx(dc, 0, 0, &oldOrigin);
        ::StretchBlt(dc, area.left, area.top, width, height, source.get(), 0, 0, info.bmWidth, info.bmHeight,
                     SRCCOPY);
        ::SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
        ::SetStretchBltMode(dc, oldMode);
    }
}

// ---- Session -------------------------------------------------------------------

namespace {

Session* currentSession = nullptr;
constexpr UINT kFlushShows = WM_APP + 0x57;

// The hidden owner window. Its one message of its own only has to arrive: the
// dispatch scope shows the pending rows as it leaves.
LRESULT CALLBACK parkingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return Dispatch::run(L"owner window", msg, [&]() -> LRESULT {
        if (msg == kFlushShows) return 0;
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

Session::Session(HINSTANCE instance) : instance_(instance), art_(instance) {
    windowAtom_ = registerClass(instance, kWindowClass, &WindowImpl::proc, 0);
    pictureAtom_ = registerClass(instance, kPictureClass, &PictureImpl::proc, CS_DBLCLKS);
    ownerAtom_ = registerClass(instance, kOwnerClass, &parkingProc, 0);
    currentSession = this;
}

HWND Session::parking() {
    if (!parking_ && ownerAtom_)
        parking_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                         nullptr, instance_, nullptr));
    return parking_.get();
}

Session::~Session() {
    pendingSyncs_.clear();
    pendingDestroys_.clear();
    if (currentSession == this) currentSession = nullptr;
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

Session* Session::current() { return currentSession; }

void Session::deferSync(Widget* control) {
    pendingSyncs_.push_back(control);
    postFlush();
}

void Session::forgetSync(Widget* control) {
    pendingSyncs_.erase(std::remove(pendingSyncs_.begin(), pendingSyncs_.end(), control), pendingSyncs_.end());
}

void Session::deferDestroy(UniqueWindow control) {
    pendingDestroys_.push_back(std::move(control));
    postFlush();
}

void Session::postFlush() {
    // Handlers that run outside this toolkit's windows (the tray icon's, say)
    // still get their rows sorted out when the loop comes round.
    if (flushPosted_) return;
    if (const HWND owner = parking()) flushPosted_ = ::PostMessageW(owner, kFlushShows, 0, 0) != FALSE;
}

void Session::flushShows() {
    flushPosted_ = false;
    if (pendingSyncs_.empty() && pendingDestroys_.empty()) return;
    constexpr UINT kQuiet = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW;
    std::vector<HWND> touched;  // containers to repaint once
    const auto touch = [&touched](HWND parent) {
        if (parent && std::find(touched.begin(), touched.end(), parent) == touched.end()) touched.push_back(parent);
    };

    std::vector<UniqueWindow> destroys = std::move(pendingDestroys_);
    pendingDestroys_.clear();
    for (UniqueWindow& w : destroys) {
        const HWND h = w.get();
        if (!::IsWindow(h)) {
            w.release();  // went with its parent
            continue;
        }
        if (::GetWindowLongPtrW(h, GWL_STYLE) & WS_VISIBLE) {
            touch(::GetParent(h));
            ::SetWindowPos(h, nullptr, 0, 0, 0, 0, kQuiet | SWP_HIDEWINDOW);
        }
    }
    destroys.clear();

    // Every queued control is alive: one that goes away takes itself off the queue.
    std::vector<Widget*> rows = std::move(pendingSyncs_);
    pendingSyncs_.clear();
    std::vector<HWND> quieted;  // containers whose drawing stops while captions change
    for (Widget* w : rows) {
        // A new caption paints at once, and a new shown window has its place
        // worked out among all the others shown there; with its container's
        // drawing stopped each waits for the one repaint below.
        const HWND parent = w->syncParent();
        if (((w->hwnd() && w->hasPendingText()) || w->comesShown()) && parent &&
            std::find(quieted.begin(), quieted.end(), parent) == quieted.end() &&
            (::GetWindowLongPtrW(parent, GWL_STYLE) & WS_VISIBLE)) {
            ::SendMessageW(parent, WM_SETREDRAW, FALSE, 0);
            quieted.push_back(parent);
        }
    }
    for (Widget* w : rows)
        if (w->syncQuietly() == Widget::Sync::Repaint) touch(w->syncParent());
    for (HWND parent : quieted) {
        ::SendMessageW(parent, WM_SETREDRAW, TRUE, 0);
        touch(parent);
    }

    for (HWND parent : touched)
        ::RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool Session::preTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || !msg.hwnd) return false;
    if (::GetKeyState(VK_CONTROL) < 0 || ::GetKeyState(VK_MENU) < 0) return false;
    WindowImpl* window = windowFromHwnd(::GetAncestor(msg.hwnd, GA_ROOT));
    if (!window) return false;
    window->tabFrom(::GetFocus(), ::GetKeyState(VK_SHIFT) < 0);
    return true;
}

}  // namespace wd::win32
