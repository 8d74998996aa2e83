#include "platform/win32/row_batch.h"

#include <algorithm>

#include "platform/win32/session.h"
#include "platform/win32/widgets.h"

namespace wd::win32 {

void RowBatch::defer(CheckBoxImpl* row) {
    pendingSyncs_.push_back(row);
    postFlush();
}

void RowBatch::forget(CheckBoxImpl* row) {
    pendingSyncs_.erase(std::remove(pendingSyncs_.begin(), pendingSyncs_.end(), row), pendingSyncs_.end());
}

void RowBatch::deferDestroy(UniqueWindow row) {
    pendingDestroys_.push_back(std::move(row));
    postFlush();
}

void RowBatch::postFlush() {
    // Handlers that run outside this toolkit's windows (the tray icon's, say)
    // still get their rows sorted out when the loop comes round.
    if (flushPosted_) return;
    if (const HWND owner = session_.parking()) flushPosted_ = ::PostMessageW(owner, kFlushMessage, 0, 0) != FALSE;
}

void RowBatch::flush() {
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
    std::vector<CheckBoxImpl*> rows = std::move(pendingSyncs_);
    pendingSyncs_.clear();
    std::vector<HWND> quieted;  // containers whose drawing stops while captions change
    for (CheckBoxImpl* w : rows) {
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
    for (CheckBoxImpl* w : rows)
        if (w->syncQuietly() == CheckBoxImpl::Sync::Repaint) touch(w->syncParent());
    for (HWND parent : quieted) {
        ::SendMessageW(parent, WM_SETREDRAW, TRUE, 0);
        touch(parent);
    }

    for (HWND parent : touched)
        ::RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace wd::win32
