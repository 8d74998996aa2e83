#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "platform/win32/binding.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/dpi.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/session.h"
#include "platform/win32/text.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {

// ---- WindowImpl --------------------------------------------------------------------

WindowImpl::WindowImpl(Session& session, std::string_view name, const ui::WindowStyle& style)
    : session_(session), name_(name), style_(style), back_(systemColor(COLOR_BTNFACE)) {
    wsStyle_ = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    wsExStyle_ = WS_EX_CONTROLPARENT;
    if (style.border == ui::BorderStyle::FixedDialog)
        wsExStyle_ |= WS_EX_DLGMODALFRAME;
    else if (style.minimizeButton)
        wsStyle_ |= WS_MINIMIZEBOX;
    // An owned window has no task-bar button.
    const HWND owner = style.showInTaskbar ? nullptr : session.parking();
    // WM_NCCREATE binds the window to this object and fills hwnd_.
    ::CreateWindowExW(wsExStyle_, kWindowClass, L"", wsStyle_, 0, 0, 100, 100, owner, nullptr, session.instance(),
                      this);
    session_.addWindow(this);
    if (!hwnd()) return;
    dpi_ = dpi::forWindow(hwnd());
    loadFont();
    if (style.hasIcon) loadIcons();
    applySize();
}

WindowImpl::~WindowImpl() {
    *alive_ = false;
    session_.rows().flush();
    session_.removeWindow(this);
    // Controls and timers that outlive the window no longer refer to it.
    for (Widget* w = first_; w;) {
        Widget* next = w->next_;
        w->top_ = nullptr;
        w->prev_ = w->next_ = nullptr;
        w = next;
    }
    first_ = last_ = nullptr;
    for (auto& [id, timer] : timers_) {
        if (hwnd()) ::KillTimer(hwnd(), id);
        timer->detach();
    }
    timers_.clear();
    toolTip_.reset();
    if (hwnd()) unbindWindow(hwnd());
    hwnd_.reset();
}

LRESULT CALLBACK WindowImpl::proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return Dispatch::run(L"window", msg, [&]() -> LRESULT {
        if (msg == WM_NCCREATE) {
            bindAtCreation<WindowImpl>(h, msg, lp);
            if (auto* self = boundObject<WindowImpl>(h)) self->hwnd_.reset(h);
        }
        auto* self = boundObject<WindowImpl>(h);
        if (!self) return ::DefWindowProcW(h, msg, wp, lp);
        if (msg == WM_NCDESTROY) {
            unbindWindow(h);
            if (self->hwnd_.get() == h) self->hwnd_.release();
            return ::DefWindowProcW(h, msg, wp, lp);
        }
        return self->handle(msg, wp, lp);
    });
}

LRESULT WindowImpl::handle(UINT msg, WPARAM wp, LPARAM lp) {
    const HWND h = hwnd();
    LRESULT result = 0;
    if (routeChildMessage(h, msg, wp, lp, result)) return result;
    switch (msg) {
        case WM_CLOSE:
            requestClose();
            return 0;
        case WM_TIMER:
            if (onTimer(wp)) return 0;
            break;
        case WM_ERASEBKGND:
            return onEraseBackground(reinterpret_cast<HDC>(wp));
        case WM_DPICHANGED:
            onDpiChanged(HIWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_ACTIVATE:
            if (onActivate(wp)) return 0;
            break;
        case WM_SIZE:
            onSize(wp);
            break;
        default:
            break;
    }
    return ::DefWindowProcW(h, msg, wp, lp);
}

bool WindowImpl::onTimer(UINT_PTR id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return false;  // not one of ours
    it->second->tick();
    return true;
}

LRESULT WindowImpl::onEraseBackground(HDC dc) {
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    ::FillRect(dc, &client, session_.brush(back_));
    return 1;
}

bool WindowImpl::onActivate(WPARAM wp) {
    const HWND h = hwnd();
    if (LOWORD(wp) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(h, focus)) savedFocus_ = focus;
        return false;
    }
    if (HIWORD(wp)) return false;  // minimized
    if (savedFocus_ && ::IsWindow(savedFocus_) && ::IsChild(h, savedFocus_) && ::IsWindowVisible(savedFocus_) &&
        ::IsWindowEnabled(savedFocus_))
        ::SetFocus(savedFocus_);
    else
        focusFirst();
    return true;
}

void WindowImpl::onSize(WPARAM kind) {
    // A size asked for while the window was an icon.
    if (kind == SIZE_RESTORED && sizePending_) applySize();
}

void WindowImpl::addWidget(Widget* w) {
    w->prev_ = last_;
    w->next_ = nullptr;
    if (last_)
        last_->next_ = w;
    else
        first_ = w;
    last_ = w;
}

void WindowImpl::removeWidget(Widget* w) {
    if (w->prev_)
        w->prev_->next_ = w->next_;
    else if (first_ == w)
        first_ = w->next_;
    if (w->next_)
        w->next_->prev_ = w->prev_;
    else if (last_ == w)
        last_ = w->prev_;
    w->prev_ = w->next_ = nullptr;
    if (savedFocus_ && savedFocus_ == w->hwnd()) savedFocus_ = nullptr;
}

HWND WindowImpl::toolTip() {
    if (!toolTip_ && hwnd()) {
        toolTip_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, session_.instance(),
                                         nullptr));
        fitToolTip();
    }
    return toolTip_.get();
}

void WindowImpl::fitToolTip() {
    if (!toolTip_) return;
    // Long texts wrap into lines, at most as wide as the screen the window is on.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    int width = dpi::toPixels(7200, dpi_);
    if (::GetMonitorInfoW(::MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST), &monitor))
        width = monitor.rcWork.right - monitor.rcWork.left;
    ::SendMessageW(toolTip_.get(), TTM_SETMAXTIPWIDTH, 0, width);
    ::SendMessageW(toolTip_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

// ---- size and place ----------------------------------------------------------------

SIZE WindowImpl::outerPixels() const {
    const int width = dpi::toPixels(widthTwips_, dpi_);
    const int height = dpi::toPixels(heightTwips_, dpi_);
    if (sizeMode_ == SizeMode::Outer) return {width, height};
    const RECT outer = dpi::adjustWindowRect({0, 0, width, height}, wsStyle_, wsExStyle_, dpi_);
    return {outer.right - outer.left, outer.bottom - outer.top};
}

void WindowImpl::applySize() {
    if (!hwnd()) return;
    // Before it is first shown the window takes its size with its place, in
    // centre(): one move instead of two on the way up.
    if (!shownOnce_ || ::IsIconic(hwnd())) {
        sizePending_ = true;
        return;
    }
    sizePending_ = false;
    const SIZE s = outerPixels();
    ::SetWindowPos(hwnd(), nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WindowImpl::setOuterSize(int width, int height) {
    sizeMode_ = SizeMode::Outer;
    widthTwips_ = width;
    heightTwips_ = height;
    applySize();
}

void WindowImpl::setClientSize(int width, int height) {
    sizeMode_ = SizeMode::Client;
    widthTwips_ = width;
    heightTwips_ = height;
    applySize();
}

int WindowImpl::outerWidth() const {
    return sizeMode_ == SizeMode::Outer ? widthTwips_ : dpi::toTwips(outerPixels().cx, dpi_);
}

int WindowImpl::outerHeight() const {
    return sizeMode_ == SizeMode::Outer ? heightTwips_ : dpi::toTwips(outerPixels().cy, dpi_);
}

int WindowImpl::clientWidth() const {
    if (sizeMode_ == SizeMode::Client) return widthTwips_;
    const RECT frame = dpi::adjustWindowRect({0, 0, 0, 0}, wsStyle_, wsExStyle_, dpi_);
    return dpi::toTwips(outerPixels().cx - (frame.right - frame.left), dpi_);
}

int WindowImpl::clientHeight() const {
    if (sizeMode_ == SizeMode::Client) return heightTwips_;
    const RECT frame = dpi::adjustWindowRect({0, 0, 0, 0}, wsStyle_, wsExStyle_, dpi_);
    return dpi::toTwips(outerPixels().cy - (frame.bottom - frame.top), dpi_);
}

void WindowImpl::centre() {
    if (!hwnd()) return;
    const SIZE s = outerPixels();
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    int x = 0;
    int y = 0;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (::GetMonitorInfoW(::MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const RECT& work = monitor.rcWork;
        x = work.left + ((work.right - work.left) - s.cx) / 2;
        y = work.top + ((work.bottom - work.top) - s.cy) / 2;
        if (x < work.left) x = work.left;
        if (y < work.top) y = work.top;
    } else {
        flags |= SWP_NOMOVE;
    }
    sizePending_ = false;
    ::SetWindowPos(hwnd(), nullptr, x, y, s.cx, s.cy, flags);
}

// ---- DPI, font, icons -----------------------------------------------------------------

void WindowImpl::loadFont() {
    const LOGFONTW font = dpi::messageFont(dpi_);
    font_.reset(::CreateFontIndirectW(&font));
}

void WindowImpl::loadIcons() {
    UniqueIcon big = session_.art().icon(WD_ICON_PROGRAM, dpi::systemMetric(SM_CXICON, dpi_));
    UniqueIcon small = session_.art().icon(WD_ICON_PROGRAM, dpi::systemMetric(SM_CXSMICON, dpi_));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    // The window has let go of the old ones now.
    bigIcon_ = std::move(big);
    smallIcon_ = std::move(small);
}

void WindowImpl::onDpiChanged(UINT newDpi, const RECT& suggested) {
    if (!newDpi || !hwnd()) return;
    dpi_ = newDpi;
    UniqueFont oldFont = std::move(font_);
    loadFont();
    for (Widget* w = first_; w; w = w->next_) w->applyFont(font_.get(), false);
    const SIZE s = outerPixels();
    ::SetWindowPos(hwnd(), nullptr, suggested.left, suggested.top, s.cx, s.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    fitToolTip();  // before the old font goes: the tip uses it until then
    oldFont.reset();
    if (style_.hasIcon) loadIcons();
    for (Widget* w = first_; w; w = w->next_) w->place();
    for (Widget* w = first_; w; w = w->next_) w->dpiChanged();
    ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

// ---- focus ----------------------------------------------------------------------------

std::vector<Widget*> WindowImpl::tabStops() const {
    std::vector<Widget*> stops;
    for (Widget* w = first_; w; w = w->next_)
        if (w->tabStop() && w->hwnd() && ::IsWindowVisible(w->hwnd()) && ::IsWindowEnabled(w->hwnd()))
            stops.push_back(w);
    return stops;
}

void WindowImpl::focusFirst() {
    const std::vector<Widget*> stops = tabStops();
    ::SetFocus(stops.empty() ? hwnd() : stops.front()->hwnd());
}

void WindowImpl::tabFrom(HWND focus, bool backwards) {
    const std::vector<Widget*> stops = tabStops();
    if (stops.empty()) return;
    const std::size_t n = stops.size();
    std::size_t at = n;
    for (std::size_t i = 0; i < n; ++i) {
        const HWND h = stops[i]->hwnd();
        if (focus && (h == focus || ::IsChild(h, focus))) {
            at = i;
            break;
        }
    }
    std::size_t next = 0;
    if (at == n)
        next = backwards ? n - 1 : 0;
    else
        next = backwards ? (at + n - 1) % n : (at + 1) % n;
    ::SetFocus(stops[next]->hwnd());
}

// ---- showing and closing -------------------------------------------------------------

void WindowImpl::setCaption(std::string_view text) {
    caption_ = text;
    if (hwnd()) ::SetWindowTextW(hwnd(), widen(text).c_str());
}

void WindowImpl::setBackColor(ui::Rgb c) {
    back_ = c;
    if (hwnd()) ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool WindowImpl::visible() const { return hwnd() && ::IsWindowVisible(hwnd()); }

bool WindowImpl::minimized() const { return pendingMinimize_ || (hwnd() && ::IsIconic(hwnd())); }

void WindowImpl::show() {
    if (!hwnd()) return;
    // Nothing comes up beside a modal window but the windows it opens itself.
    if (session_.modalOpen() && !inModal_) return;
    if (!shownOnce_) {
        shownOnce_ = true;
        centre();
    }
    if (pendingMinimize_) {
        pendingMinimize_ = false;
        ::ShowWindow(hwnd(), SW_SHOWMINNOACTIVE);
        return;
    }
    ::ShowWindow(hwnd(), SW_SHOW);
    if (!::IsIconic(hwnd())) ::SetForegroundWindow(hwnd());
}

void WindowImpl::hide() {
    if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

void WindowImpl::minimize() {
    if (!hwnd()) return;
    // A hidden window only remembers it; it comes up as an icon when shown.
    if (::IsWindowVisible(hwnd()))
        ::ShowWindow(hwnd(), SW_MINIMIZE);
    else if (!::IsIconic(hwnd()))
        pendingMinimize_ = true;
}

void WindowImpl::restore() {
    pendingMinimize_ = false;
    if (hwnd() && ::IsWindowVisible(hwnd()) && ::IsIconic(hwnd())) ::ShowWindow(hwnd(), SW_RESTORE);
}

void WindowImpl::showModal(ui::Window* owner) {
    if (!hwnd() || inModal_) return;
    const auto* ownerImpl = dynamic_cast<const WindowImpl*>(owner);
    const HWND ownerHwnd = ownerImpl ? ownerImpl->hwnd() : nullptr;
    // Stay above the owner while it is on screen; the hidden owner otherwise.
    if (!style_.showInTaskbar) {
        const bool ownerShown = ownerHwnd && ::IsWindowVisible(ownerHwnd) && !::IsIconic(ownerHwnd);
        ::SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT,
                            reinterpret_cast<LONG_PTR>(ownerShown ? ownerHwnd : session_.parking()));
    }
    inModal_ = true;
    session_.pushModal(this);
    if (!shownOnce_) {
        shownOnce_ = true;
        centre();
    }
    pendingMinimize_ = false;
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd());
    savedFocus_ = nullptr;
    focusFirst();

    // The window may be destroyed by a handler while its loop runs.
    const std::shared_ptr<bool> alive = alive_;
    const MessageLoop loop;
    MSG msg{};
    while (*alive && inModal_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            break;
        }
        if (got == -1) break;
        if (!session_.preTranslate(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    if (*alive && inModal_) endModal();
    if (ownerHwnd && ::IsWindow(ownerHwnd) && ::IsWindowVisible(ownerHwnd) && ::IsWindowEnabled(ownerHwnd))
        ::SetActiveWindow(ownerHwnd);
}

void WindowImpl::endModal() {
    inModal_ = false;
    // Enable the others before hiding, so that the activation goes to them.
    session_.removeModal(this);
    if (!hwnd()) return;
    ::ShowWindow(hwnd(), SW_HIDE);
    if (!style_.showInTaskbar)
        ::SetWindowLongPtrW(hwnd(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(session_.parking()));
    ::PostMessageW(hwnd(), WM_NULL, 0, 0);  // wakes the modal loop
}

void WindowImpl::close() {
    if (inModal_)
        endModal();
    else
        hide();
}

void WindowImpl::requestClose() {
    const std::shared_ptr<bool> alive = alive_;
    bool cancel = false;
    if (auto handler = onCloseRequest) handler(cancel);
    if (!*alive || cancel) return;
    if (inModal_) {
        endModal();
        return;
    }
    const bool last = session_.isMain(this) || !session_.anyOtherVisible(this);
    hide();
    if (last) ::PostQuitMessage(0);
}

std::uintptr_t WindowImpl::nativeHandle() const { return reinterpret_cast<std::uintptr_t>(hwnd()); }

}  // namespace wd::win32
