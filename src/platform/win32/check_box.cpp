// The check box, alone or as a row of a check-box array (a copy of element
// 0 whose window changes wait for the end of the handler, see RowBatch).
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>

#include "platform/win32/dispatch.h"
#include "platform/win32/dpi.h"
#include "platform/win32/session.h"
#include "platform/win32/text.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {

CheckBoxImpl::CheckBoxImpl(ContainerImpl* parent, const ui::Layout& l, bool arrayRow)
    : ControlImpl(parent ? parent->containerTop() : nullptr, l), caption_(l.caption ? l.caption : "") {
    // A row starts hidden, and rows come and go by the hundred: its window is
    // made at the end of the handler that made it, already in its place and
    // with its caption (see RowBatch).
    visible_ = !arrayRow;
    row_ = arrayRow;
    if (!parent) return;
    if (arrayRow) {
        lazyParent_ = parent->containerHwnd();
        queueChange();
    } else {
        create(*parent, WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP, 0, widen(caption_));
    }
}

bool CheckBoxImpl::materialize() {
    ContainerImpl* parent = ContainerImpl::fromHwnd(lazyParent_);
    if (!parent) return false;
    // Rows of one array never overlap: no need to raise each above the last.
    create(*parent, WC_BUTTONW, BS_CHECKBOX | WS_TABSTOP, 0, widen(caption_), false);
    if (!hwnd()) return false;
    lazyParent_ = nullptr;
    if (value_) ::SendMessageW(hwnd(), BM_SETCHECK, BST_CHECKED, 0);
    applyToolTip();
    return true;
}

CheckBoxImpl::~CheckBoxImpl() {
    setToolTip({}, nullptr);
    if (!row_) return;
    // A row's window goes at the next flush, hidden the same way as the others.
    Session* session = Session::current();
    if (queued_ && session) session->rows().forget(this);
    if (hwnd() && session) session->rows().deferDestroy(releaseWindow());
}

std::unique_ptr<CheckBoxImpl> CheckBoxImpl::copyOf(const CheckBoxImpl& element0, int index) {
    const ui::Layout l{element0.name_.c_str(), element0.id_ + index, element0.rect_, element0.caption_.c_str()};
    auto copy = std::make_unique<CheckBoxImpl>(element0.parentContainer(), l, true);
    copy->back_ = element0.back_;
    copy->arrayBase_ = element0.id_;
    if (!element0.enabled_) copy->setEnabled(false);
    return copy;
}

void CheckBoxImpl::setArrayIndex(int index) {
    const int id = arrayBase_ + index;
    if (id == id_) return;
    id_ = id;
    // The child ID is how the automation of other programs tells rows apart.
    if (hwnd()) ::SetWindowLongPtrW(hwnd(), GWLP_ID, static_cast<LONG_PTR>(id));
}

void CheckBoxImpl::setCaption(std::string_view text) {
    if (text == caption_) return;
    caption_ = text;
    if (!queueText(text)) setWindowText(hwnd(), text);
}

void CheckBoxImpl::setValue(int v) {
    const int next = v ? 1 : 0;
    if (next == value_) return;
    value_ = next;
    if (hwnd()) ::SendMessageW(hwnd(), BM_SETCHECK, next ? BST_CHECKED : BST_UNCHECKED, 0);
    // The handler may set the value again; that nested call raises its own
    // click, and nothing here touches the box after the handler returns.
    if (auto handler = onClick) handler();
}

void CheckBoxImpl::command(WORD code) {
    if (code == BN_CLICKED) setValue(1 - value_);
}

HBRUSH CheckBoxImpl::ctlColor(HDC dc, UINT) {
    const ui::Rgb back = backColor();
    return paintWith(dc, brushFor(back), back, ::GetSysColor(COLOR_BTNTEXT));
}

bool CheckBoxImpl::filter(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    // Kept here, so that asking costs no call to the system (a list asks
    // each of its rows when it scrolls or refills).
    if (msg == WM_SETFOCUS) focused_ = true;
    if (msg == WM_KILLFOCUS) focused_ = false;
    if (hasTip_ && msg >= WM_MOUSEFIRST && msg <= WM_MBUTTONDBLCLK && top()) {
        // The tip sees the mouse through us rather than through a subclass of
        // its own (TTF_SUBCLASS), which would slow every message of the box.
        MSG relay{hwnd(), msg, wp, lp, static_cast<DWORD>(::GetMessageTime()), {}};
        ::GetCursorPos(&relay.pt);
        ::SendMessageW(top()->toolTip(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relay));
    }
    ui::MouseButton button{};
    if (!mouseButton(msg, button) || !onMouseDown) return false;
    const HWND h = hwnd();
    const WNDPROC own = original();
    const UINT d = dpi();
    if (auto handler = onMouseDown) handler(button, dpi::toTwips(GET_X_LPARAM(lp), d), dpi::toTwips(GET_Y_LPARAM(lp), d));
    // The handler may have pumped messages that destroyed this box.
    result = ::IsWindow(h) ? callOriginal(own, h, msg, wp, lp) : 0;
    return true;
}

void CheckBoxImpl::setToolTip(std::string_view key, std::function<std::string()> text) {
    // The same key: the tip the control holds (or will ask for) stays.
    tipText_ = std::move(text);
    if (key == tipKey_ && (hasTip_ || key.empty())) return;
    tipKey_ = key;
    applyToolTip();
}

void CheckBoxImpl::applyToolTip() {
    // A row's window not made yet gets its tip when it is made.
    if (!hwnd() || !top() || (tipKey_.empty() && !hasTip_)) return;
    const HWND tip = top()->toolTip();
    if (!tip) return;
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND;
    info.hwnd = parentHwnd();
    info.uId = reinterpret_cast<UINT_PTR>(hwnd());
    if (tipKey_.empty()) {
        ::SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        hasTip_ = false;
        return;
    }
    // The text is asked for (TTN_GETDISPINFOW) when the tip is about to show;
    // a tip given a new key forgets the text it kept.
    info.lpszText = LPSTR_TEXTCALLBACKW;
    if (hasTip_)
        ::SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    else
        hasTip_ = ::SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CheckBoxImpl::giveToolTipText(NMTTDISPINFOW& request) {
    tipBuffer_ = widen(tipText_ ? tipText_() : std::string());
    request.lpszText = tipBuffer_.data();
    request.hinst = nullptr;
    // The control keeps the text: it is not asked again until the key changes.
    request.uFlags |= TTF_DI_SETITEM;
}

bool CheckBoxImpl::queueChange() {
    if (!row_ || (!hwnd() && !lazyParent_) || !top()) return false;
    Session* session = Session::current();
    if (!session) return false;
    if (!queued_) {
        queued_ = true;
        session->rows().defer(this);
    }
    return true;
}

HWND CheckBoxImpl::syncParent() const { return hwnd() ? ::GetParent(hwnd()) : lazyParent_; }

bool CheckBoxImpl::queueText(std::string_view text) {
    if (!queueChange()) return false;
    pendingText_ = widen(text);
    return true;
}

CheckBoxImpl::Sync CheckBoxImpl::syncQuietly() {
    queued_ = false;
    if (!top()) return Sync::Nothing;
    if (!hwnd()) {
        // A row's window is made here, once, as it is to be: in its place,
        // with its caption, shown or not.
        pendingText_.reset();
        return materialize() && visible_ ? Sync::Repaint : Sync::Nothing;
    }
    const bool shown = (::GetWindowLongPtrW(hwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
    bool changed = false;
    if (pendingText_) {
        ::SetWindowTextW(hwnd(), pendingText_->c_str());
        pendingText_.reset();
        changed = true;
    }
    const RECT px = pixelRect(dpi());
    const bool moved = !::EqualRect(&px, &placed_);
    if (moved || shown != visible_) {
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW;
        if (!moved) flags |= SWP_NOMOVE | SWP_NOSIZE;
        if (visible_ && !shown) flags |= SWP_SHOWWINDOW;
        if (!visible_ && shown) flags |= SWP_HIDEWINDOW;
        ::SetWindowPos(hwnd(), nullptr, px.left, px.top, px.right - px.left, px.bottom - px.top, flags);
        placed_ = px;
        changed = true;
    }
    // A row that was and stays hidden changes nothing on screen.
    return changed && (shown || visible_) ? Sync::Repaint : Sync::Nothing;
}

}  // namespace wd::win32
