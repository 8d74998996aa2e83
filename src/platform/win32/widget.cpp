#include <windows.h>
#include <commctrl.h>

#include <stdexcept>

#include "platform/win32/binding.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/dpi.h"
#include "platform/win32/session.h"
#include "platform/win32/text.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {

COLORREF colorRef(ui::Rgb c) { return RGB(c.r, c.g, c.b); }

ui::Rgb systemColor(int index) {
    const COLORREF c = ::GetSysColor(index);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// ---- what the controls share ----------------------------------------------------

std::string windowText(HWND h) {
    if (!h) return {};
    const int length = ::GetWindowTextLengthW(h);
    if (length <= 0) return {};
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(h, buffer.data(), length + 1);
    buffer.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return narrow(buffer);
}

void setWindowText(HWND h, std::string_view text) {
    if (h) ::SetWindowTextW(h, widen(text).c_str());
}

bool mouseButton(UINT msg, ui::MouseButton& button) {
    switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: button = ui::MouseButton::Left; return true;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: button = ui::MouseButton::Right; return true;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK: button = ui::MouseButton::Middle; return true;
        default: return false;
    }
}

HBRUSH paintWith(HDC dc, HBRUSH brush, ui::Rgb back, COLORREF text) {
    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, colorRef(back));
    ::SetTextColor(dc, text);
    return brush;
}

// ---- containers ------------------------------------------------------------------

ContainerImpl& ContainerImpl::from(ui::Container& c) {
    auto* impl = dynamic_cast<ContainerImpl*>(&c);
    if (!impl) throw std::invalid_argument("container from another toolkit");
    return *impl;
}

ContainerImpl* ContainerImpl::fromHwnd(HWND hwnd) {
    if (!hwnd) return nullptr;
    // The class tells what the window is bound to.
    const auto proc = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(hwnd, GCLP_WNDPROC));
    if (proc == &WindowImpl::proc) return boundObject<WindowImpl>(hwnd);
    if (proc == &PictureImpl::proc) {
        Widget* control = boundObject<Widget>(hwnd);
        return control ? static_cast<PictureImpl*>(control) : nullptr;
    }
    return nullptr;
}

bool ContainerImpl::routeChildMessage(HWND self, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // The object of the child control that sent the message, if it is one of ours.
    const auto sender = [self](HWND child) { return child ? Widget::fromChild(self, child) : nullptr; };
    switch (msg) {
        case WM_COMMAND:
        case WM_VSCROLL: {
            Widget* w = sender(reinterpret_cast<HWND>(lp));
            if (!w) return false;
            if (msg == WM_COMMAND)
                w->command(HIWORD(wp));
            else
                w->scroll(LOWORD(wp));
            result = 0;
            return true;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
            if (Widget* w = Widget::fromChild(self, reinterpret_cast<HWND>(lp))) {
                if (HBRUSH brush = w->ctlColor(reinterpret_cast<HDC>(wp), msg)) {
                    result = reinterpret_cast<LRESULT>(brush);
                    return true;
                }
            }
            return false;
        case WM_NOTIFY: {
            if (!lp) return false;
            const auto* header = reinterpret_cast<const NMHDR*>(lp);
            if (header->code == TTN_GETDISPINFOW) {
                // A tool tip asks for the text of one of our boxes (its id is the box).
                auto* request = reinterpret_cast<NMTTDISPINFOW*>(lp);
                auto* box = dynamic_cast<CheckBoxImpl*>(sender(reinterpret_cast<HWND>(request->hdr.idFrom)));
                if (!box) return false;
                box->giveToolTipText(*request);
                result = 0;
                return true;
            }
            Widget* w = sender(header->hwndFrom);
            if (!w) return false;
            result = w->notify(*header);
            return true;
        }
        default:
            return false;
    }
}

// ---- Widget ------------------------------------------------------------------------

Widget::Widget(WindowImpl* top, const ui::Layout& l)
    : name_(l.name ? l.name : ""), id_(l.id), rect_(l.rect), top_(top) {
    if (top_) top_->addWidget(this);
}

Widget::~Widget() {
    unhook();
    hwnd_.reset();
    if (top_) top_->removeWidget(this);
}

UniqueWindow Widget::releaseWindow() {
    unhook();
    return std::move(hwnd_);
}

void Widget::unhook() {
    if (HWND h = hwnd_.get()) {
        if (original_) ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        unbindWindow(h);
    }
}

void Widget::create(ContainerImpl& parent, const wchar_t* cls, DWORD style, DWORD exStyle, std::wstring_view text,
                    bool raise) {
    const HWND parentHwnd = parent.containerHwnd();
    if (!parentHwnd) return;
    const std::wstring caption(text);
    const RECT px = pixelRect(dpi());
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (visible_) style |= WS_VISIBLE;
    if (!enabled_) style |= WS_DISABLED;
    const HINSTANCE instance = top_ ? top_->session().instance() : ::GetModuleHandleW(nullptr);
    const HWND h = ::CreateWindowExW(exStyle, cls, caption.c_str(), style, px.left, px.top, px.right - px.left,
                                     px.bottom - px.top, parentHwnd,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), instance, nullptr);
    if (!h) return;
    hwnd_.reset(h);
    placed_ = px;
    bindWindow(h, this);
    original_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Widget::controlProc)));
    if (top_) applyFont(top_->font(), false);
    // A new control goes above the ones made before it where they overlap
    // (Windows puts a new child at the bottom).
    if (raise) ::SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT Widget::callOriginal(WNDPROC original, HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (!original) original = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(h, GCLP_WNDPROC));
    return ::CallWindowProcW(original, h, msg, wp, lp);
}

LRESULT CALLBACK Widget::controlProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return Dispatch::run(L"control", msg, [&]() -> LRESULT {
        auto* self = boundObject<Widget>(h);
        if (!self || self->hwnd_.get() != h) return callOriginal(nullptr, h, msg, wp, lp);
        const WNDPROC original = self->original_;
        if (msg == WM_NCDESTROY) {
            // Destroyed by Windows along with its parent: the object stays,
            // without a window, until its owner lets it go.
            ::SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
            unbindWindow(h);
            self->hwnd_.release();
            return callOriginal(original, h, msg, wp, lp);
        }
        LRESULT result = 0;
        if (self->filter(msg, wp, lp, result)) return result;
        return callOriginal(original, h, msg, wp, lp);
    });
}

Widget* Widget::fromChild(HWND container, HWND h) {
    for (int depth = 0; h && depth < 8; ++depth) {
        const HWND parent = ::GetParent(h);
        if (parent == container) {
            if (!(::GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) return nullptr;
            return boundObject<Widget>(h);
        }
        h = parent;
    }
    return nullptr;
}

ContainerImpl* Widget::parentContainer() const { return ContainerImpl::fromHwnd(parentHwnd()); }

UINT Widget::dpi() const { return top_ ? top_->dpi() : dpi::kDefault; }

RECT Widget::pixelRect(UINT d) const {
    const int left = dpi::toPixels(rect_.left, d);
    const int top = dpi::toPixels(rect_.top, d);
    return {left, top, left + dpi::toPixels(rect_.width, d), top + dpi::toPixels(rect_.height, d)};
}

void Widget::place() {
    if (!hwnd() || !top_) return;
    const RECT px = pixelRect(dpi());
    ::SetWindowPos(hwnd(), nullptr, px.left, px.top, px.right - px.left, px.bottom - px.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    placed_ = px;
}

void Widget::applyFont(HFONT font, bool redraw) {
    if (hwnd() && font) ::SendMessageW(hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

void Widget::doSetRect(const ui::Rect& r) {
    if (r == rect_) return;
    rect_ = r;
    if (!queueChange()) place();
}

void Widget::doSetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    if (!hwnd() || queueChange()) return;
    ::ShowWindow(hwnd(), v ? SW_SHOWNA : SW_HIDE);
}

void Widget::doSetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    if (hwnd()) ::EnableWindow(hwnd(), v);
}

ui::Rgb Widget::parentBack() const {
    if (const ContainerImpl* parent = parentContainer()) return parent->containerBack();
    return systemColor(COLOR_BTNFACE);
}

HBRUSH Widget::brushFor(ui::Rgb c) const {
    if (top_) return top_->session().brush(c);
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
}

void Widget::invalidate() {
    if (hwnd()) ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

}  // namespace wd::win32
