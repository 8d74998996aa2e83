#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include <climits>

#include "platform/win32/binding.h"
#include "platform/win32/dispatch.h"
#include "platform/win32/dpi.h"
#include "platform/win32/session.h"
#include "platform/win32/text.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {
namespace {

// The text of item `index` of a list box or combo box.
std::string listText(HWND h, UINT lengthMsg, UINT textMsg, int index) {
    if (!h || index < 0) return {};
    const LRESULT length = ::SendMessageW(h, lengthMsg, static_cast<WPARAM>(index), 0);
    if (length < 0) return {};
    std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT got =
        ::SendMessageW(h, textMsg, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return narrow(buffer);
}

}  // namespace

// ---- Button ------------------------------------------------------------------------

ButtonImpl::ButtonImpl(ContainerImpl& parent, const ui::Layout& l)
    : ControlImpl(parent.containerTop(), l), caption_(l.caption ? l.caption : "") {
    create(parent, WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0, widen(caption_));
}

void ButtonImpl::setCaption(std::string_view text) {
    caption_ = text;
    setWindowText(hwnd(), text);
}

void ButtonImpl::command(WORD code) {
    if (code != BN_CLICKED) return;
    // A copy: the handler may replace or destroy the button.
    if (auto handler = onClick) handler();
}

HBRUSH ButtonImpl::ctlColor(HDC dc, UINT) {
    // Only the corners around the face show this: the container's colour.
    const ui::Rgb around = parentBack();
    return paintWith(dc, brushFor(around), around, ::GetSysColor(COLOR_BTNTEXT));
}

ui::Rgb ButtonImpl::defaultBack() const { return systemColor(COLOR_BTNFACE); }

// ---- Label -----------------------------------------------------------------------------

LabelImpl::LabelImpl(ContainerImpl& parent, const ui::Layout& l)
    : ControlImpl(parent.containerTop(), l), caption_(l.caption ? l.caption : "") {
    create(parent, WC_STATICW, SS_LEFT | SS_NOPREFIX, 0, widen(caption_));
}

void LabelImpl::setCaption(std::string_view text) {
    caption_ = text;
    setWindowText(hwnd(), text);
    fit();
}

void LabelImpl::setAutoSize(bool on, bool wordWrap) {
    autoSize_ = on;
    wordWrap_ = wordWrap;
    if (hwnd()) {
        // One line stays one line: a fitted width must never wrap on rounding.
        LONG_PTR style = ::GetWindowLongPtrW(hwnd(), GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
        style |= (on && !wordWrap) ? SS_LEFTNOWORDWRAP : SS_LEFT;
        ::SetWindowLongPtrW(hwnd(), GWL_STYLE, style);
    }
    fit();
}

void LabelImpl::fit() {
    if (!autoSize_ || !top() || !top()->font()) return;
    const UINT d = dpi();
    const UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    if (!dc) return;
    const SelectGuard font(dc.get(), top()->font());
    const std::wstring text = widen(caption_);
    RECT r{0, 0, 0, 0};
    UINT flags = DT_CALCRECT | DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS;
    if (wordWrap_) {
        r.right = dpi::toPixels(rect_.width, d);
        flags |= DT_WORDBREAK;
    }
    // An empty caption still has the height of one line.
    ::DrawTextW(dc.get(), text.empty() ? L" " : text.c_str(), -1, &r, flags);
    ui::Rect next = rect_;
    if (!wordWrap_) next.width = text.empty() ? 0 : dpi::toTwips(r.right - r.left, d);
    next.height = dpi::toTwips(r.bottom - r.top, d);
    doSetRect(next);
}

void LabelImpl::dpiChanged() { fit(); }

void LabelImpl::setForeColor(ui::Rgb c) {
    fore_ = c;
    invalidate();
}

ui::Rgb LabelImpl::foreColor() const { return fore_ ? *fore_ : systemColor(COLOR_BTNTEXT); }

void LabelImpl::setTransparent(bool on) {
    transparent_ = on;
    invalidate();
}

HBRUSH LabelImpl::ctlColor(HDC dc, UINT) {
    ::SetTextColor(dc, colorRef(foreColor()));
    if (transparent_) {
        ::SetBkMode(dc, TRANSPARENT);
        return brushFor(parentBack());
    }
    const ui::Rgb back = backColor();
    ::SetBkMode(dc, OPAQUE);
    ::SetBkColor(dc, colorRef(back));
    return brushFor(back);
}

// ---- TextBox ------------------------------------------------------------------------------

TextBoxImpl::TextBoxImpl(ContainerImpl& parent, const ui::Layout& l, ui::TextBoxStyle style)
    : ControlImpl(parent.containerTop(), l), style_(style) {
    DWORD ws = WS_TABSTOP;
    ws |= style.multiLine ? (ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN) : ES_AUTOHSCROLL;
    if (style.readOnly) ws |= ES_READONLY;
    if (style.vScroll) ws |= WS_VSCROLL;
    create(parent, WC_EDITW, ws, WS_EX_CLIENTEDGE, widen(l.caption ? l.caption : ""));
    if (hwnd()) ::SendMessageW(hwnd(), EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
}

std::string TextBoxImpl::text() const { return windowText(hwnd()); }

void TextBoxImpl::setText(std::string_view t) { setWindowText(hwnd(), t); }

HBRUSH TextBoxImpl::ctlColor(HDC dc, UINT) {
    const ui::Rgb back = backColor();
    return paintWith(dc, brushFor(back), back, ::GetSysColor(COLOR_WINDOWTEXT));
}

ui::Rgb TextBoxImpl::defaultBack() const { return systemColor(COLOR_WINDOW); }

bool TextBoxImpl::filter(UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg != WM_CHAR) return false;
    const HWND h = hwnd();
    const bool multiLine = style_.multiLine;
    if (auto handler = onKeyPress) handler(static_cast<int>(wp));
    if (!::IsWindow(h)) {
        result = 0;
        return true;
    }
    // A one-line box has nothing to do with Enter but beep.
    if (!multiLine && wp == L'\r') {
        result = 0;
        return true;
    }
    return false;
}

// ---- ComboBox -----------------------------------------------------------------------------

namespace {
constexpr int kComboVisibleItems = 10;
}

ComboBoxImpl::ComboBoxImpl(ContainerImpl& parent, const ui::Layout& l) : ControlImpl(parent.containerTop(), l) {
    create(parent, WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, L"");
    if (!hwnd()) return;
    // Its text is what the program sets (as with the headless toolkit), not
    // the layout's caption.
    ::SendMessageW(hwnd(), CB_SETMINVISIBLE, kComboVisibleItems, 0);
    place();  // now that the font gives the item height
}

RECT ComboBoxImpl::pixelRect(UINT d) const {
    // The layout gives the closed box; the window also holds the list.
    RECT r = Widget::pixelRect(d);
    LRESULT item = hwnd() ? ::SendMessageW(hwnd(), CB_GETITEMHEIGHT, 0, 0) : CB_ERR;
    if (item <= 0) item = dpi::toPixels(240, d);
    r.bottom += static_cast<LONG>(item) * kComboVisibleItems + 2;
    return r;
}

std::string ComboBoxImpl::text() const { return windowText(hwnd()); }

void ComboBoxImpl::setText(std::string_view t) { setWindowText(hwnd(), t); }

void ComboBoxImpl::insertItem(int index, std::string_view text) {
    if (!hwnd()) return;
    const int count = itemCount();
    if (index < 0 || index > count) index = count;
    const std::wstring wide = widen(text);
    ::SendMessageW(hwnd(), CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(wide.c_str()));
}

int ComboBoxImpl::itemCount() const {
    if (!hwnd()) return 0;
    const LRESULT n = ::SendMessageW(hwnd(), CB_GETCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

std::string ComboBoxImpl::item(int index) const { return listText(hwnd(), CB_GETLBTEXTLEN, CB_GETLBTEXT, index); }

HBRUSH ComboBoxImpl::ctlColor(HDC dc, UINT) {
    const ui::Rgb back = backColor();
    return paintWith(dc, brushFor(back), back, ::GetSysColor(COLOR_WINDOWTEXT));
}

ui::Rgb ComboBoxImpl::defaultBack() const { return systemColor(COLOR_WINDOW); }

// ---- ListBox --------------------------------------------------------------------------------

ListBoxImpl::ListBoxImpl(ContainerImpl& parent, const ui::Layout& l) : ControlImpl(parent.containerTop(), l) {
    create(parent, WC_LISTBOXW, LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, L"");
}

int ListBoxImpl::count() const {
    if (!hwnd()) return 0;
    const LRESULT n = ::SendMessageW(hwnd(), LB_GETCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

std::string ListBoxImpl::item(int index) const { return listText(hwnd(), LB_GETTEXTLEN, LB_GETTEXT, index); }

void ListBoxImpl::addItem(std::string_view text) {
    if (!hwnd()) return;
    const std::wstring wide = widen(text);
    ::SendMessageW(hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void ListBoxImpl::removeItem(int index) {
    if (hwnd() && index >= 0) ::SendMessageW(hwnd(), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void ListBoxImpl::clear() {
    if (hwnd()) ::SendMessageW(hwnd(), LB_RESETCONTENT, 0, 0);
}

int ListBoxImpl::selectedIndex() const {
    if (!hwnd()) return -1;
    const LRESULT i = ::SendMessageW(hwnd(), LB_GETCURSEL, 0, 0);
    return i >= 0 ? static_cast<int>(i) : -1;
}

void ListBoxImpl::setSelectedIndex(int index) {
    if (hwnd()) ::SendMessageW(hwnd(), LB_SETCURSEL, static_cast<WPARAM>(index < 0 ? -1 : index), 0);
}

HBRUSH ListBoxImpl::ctlColor(HDC dc, UINT) {
    const ui::Rgb back = backColor();
    return paintWith(dc, brushFor(back), back, ::GetSysColor(COLOR_WINDOWTEXT));
}

ui::Rgb ListBoxImpl::defaultBack() const { return systemColor(COLOR_WINDOW); }

bool ListBoxImpl::filter(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    ui::MouseButton button{};
    if (!mouseButton(msg, button) || !onMouseDown) return false;
    const HWND h = hwnd();
    const UINT d = dpi();
    // The list selects first, so the handler sees the row under the mouse.
    result = callOriginal(original(), h, msg, wp, lp);
    if (!::IsWindow(h)) return true;
    if (auto handler = onMouseDown) handler(button, dpi::toTwips(GET_X_LPARAM(lp), d), dpi::toTwips(GET_Y_LPARAM(lp), d));
    return true;
}

// ---- VScrollBar ----------------------------------------------------------------------------

VScrollBarImpl::VScrollBarImpl(ContainerImpl& parent, const ui::Layout& l) : ControlImpl(parent.containerTop(), l) {
    create(parent, WC_SCROLLBARW, SBS_VERT, 0, L"");
    sync();
}

ui::Rgb VScrollBarImpl::defaultBack() const { return systemColor(COLOR_SCROLLBAR); }

int VScrollBarImpl::clamp(long long v) const {
    const long long lo = min_ < max_ ? min_ : max_;
    const long long hi = min_ < max_ ? max_ : min_;
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    return static_cast<int>(v);
}

void VScrollBarImpl::sync() {
    if (!hwnd()) return;
    // No page: the thumb keeps its size and the maximum can be reached.
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    info.nMin = min_ < max_ ? min_ : max_;
    info.nMax = min_ < max_ ? max_ : min_;
    info.nPage = 0;
    info.nPos = value_;
    ::SetScrollInfo(hwnd(), SB_CTL, &info, TRUE);
}

void VScrollBarImpl::change(int v) {
    if (v == value_) return;
    value_ = v;
    sync();
    if (auto handler = onChange) handler();
}

void VScrollBarImpl::setRange(int lo, int hi) {
    // A list refilled as it was (Auto refresh, every 200 ms) leaves the bar alone.
    if (lo == min_ && hi == max_) return;
    min_ = lo;
    max_ = hi;
    const int v = clamp(value_);
    if (v == value_) {
        sync();
        return;
    }
    change(v);
}

void VScrollBarImpl::setValue(int v) { change(clamp(v)); }

void VScrollBarImpl::setSteps(int smallStep, int largeStep) {
    small_ = smallStep;
    large_ = largeStep;
}

void VScrollBarImpl::scroll(WORD code) {
    long long v = value_;
    switch (code) {
        case SB_LINEUP: v -= small_; break;
        case SB_LINEDOWN: v += small_; break;
        case SB_PAGEUP: v -= large_; break;
        case SB_PAGEDOWN: v += large_; break;
        case SB_TOP: v = LLONG_MIN; break;
        case SB_BOTTOM: v = LLONG_MAX; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            // The 32-bit position; the message itself carries only 16 bits.
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_TRACKPOS;
            if (!hwnd() || !::GetScrollInfo(hwnd(), SB_CTL, &info)) return;
            v = info.nTrackPos;
            break;
        }
        default: return;
    }
    change(clamp(v));
}

// ---- Picture ------------------------------------------------------------------------------

PictureImpl::PictureImpl(ContainerImpl& parent, const ui::Layout& l, bool bordered)
    : ControlImpl(parent.containerTop(), l), session_(parent.containerTop()->session()), bordered_(bordered) {
    create(parent, kPictureClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT | (bordered ? WS_EX_CLIENTEDGE : 0), L"");
}

PictureImpl::~PictureImpl() {
    // Rows waiting to be destroyed may sit on this box: done with them first.
    session_.rows().flush();
}

void PictureImpl::setImage(ui::Image img) {
    image_ = img;
    invalidate();
}

void PictureImpl::paint() {
    const PaintScope ps(hwnd());
    RECT client{};
    ::GetClientRect(hwnd(), &client);
    ::FillRect(ps.dc(), &ps.area(), brushFor(backColor()));
    session_.art().draw(ps.dc(), image_, client, dpi());
}

LRESULT CALLBACK PictureImpl::proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    return Dispatch::run(L"picture box", msg, [&]() -> LRESULT {
        // The box is bound as the control it also is (see Widget::create).
        if (auto* control = boundObject<Widget>(h)) {
            auto* self = static_cast<PictureImpl*>(control);
            LRESULT result = 0;
            if (routeChildMessage(h, msg, wp, lp, result)) return result;
            switch (msg) {
                case WM_ERASEBKGND: return 1;  // WM_PAINT fills the whole box
                case WM_PAINT: self->paint(); return 0;
                default: break;
            }
        }
        return ::DefWindowProcW(h, msg, wp, lp);
    });
}

}  // namespace wd::win32
