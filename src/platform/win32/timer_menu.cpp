// The window's interval timers and its pop-up menus.
#include <windows.h>

#include "platform/win32/dispatch.h"
#include "platform/win32/text.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {

// ---- TimerImpl ----------------------------------------------------------------------------

TimerImpl::TimerImpl(WindowImpl& owner, UINT_PTR id, int intervalMs)
    : owner_(&owner), id_(id), interval_(intervalMs) {
    owner.addTimer(id_, this);
}

TimerImpl::~TimerImpl() {
    if (!owner_) return;
    if (enabled_ && owner_->hwnd()) ::KillTimer(owner_->hwnd(), id_);
    owner_->removeTimer(id_);
}

void TimerImpl::setEnabled(bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (!owner_ || !owner_->hwnd()) return;
    if (on && interval_ > 0)
        ::SetTimer(owner_->hwnd(), id_, static_cast<UINT>(interval_), nullptr);
    else
        ::KillTimer(owner_->hwnd(), id_);
}

void TimerImpl::tick() {
    if (!enabled_) return;
    // A copy: the handler may switch this timer off or replace its handler.
    if (auto handler = onTick) handler();
}

// ---- PopupMenuImpl -------------------------------------------------------------------------

PopupMenuImpl::PopupMenuImpl(WindowImpl& owner, std::string_view title, std::vector<Item> entries)
    : owner_(owner.hwnd()), caption_(title), items_(std::move(entries)), menu_(::CreatePopupMenu()) {
    if (!menu_) return;
    UINT_PTR command = 1;
    for (const Item& item : items_)
        ::AppendMenuW(menu_.get(), MF_STRING, command++, widen(item.caption).c_str());
}

void PopupMenuImpl::popup() {
    if (!menu_ || !owner_ || !::IsWindow(owner_)) return;
    POINT at{};
    ::GetCursorPos(&at);
    // Without the foreground the menu would not close when clicked away from.
    ::SetForegroundWindow(owner_);
    const MessageLoop loop;  // the menu's
    const int chosen = static_cast<int>(::TrackPopupMenu(
        menu_.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0,
        owner_, nullptr));
    ::PostMessageW(owner_, WM_NULL, 0, 0);
    if (chosen <= 0 || static_cast<std::size_t>(chosen) > items_.size()) return;
    if (auto handler = items_[static_cast<std::size_t>(chosen) - 1].onClick) handler();
}

}  // namespace wd::win32
