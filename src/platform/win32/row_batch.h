// Rows of check-box arrays come and go, and move, by the hundred inside one
// handler; on screen each such change costs a repaint (and, under Wine,
// server round trips). So a row's moves, shows and hides are put off until
// the handler returns (the dispatch scope calls flush, see dispatch.h) and
// then done in one SetWindowPos each without redrawing, followed by one
// repaint of each container touched. The windows of rows let go are
// destroyed then too, hidden first the same way. Outside the handler nothing
// of this shows.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/win32/handles.h"

namespace wd::win32 {

class CheckBoxImpl;
class Session;

class RowBatch {
public:
    explicit RowBatch(Session& session) : session_(session) {}
    RowBatch(const RowBatch&) = delete;
    RowBatch& operator=(const RowBatch&) = delete;

    // A row has a change of its window queued.
    void defer(CheckBoxImpl* row);
    // A row with a change queued is going away.
    void forget(CheckBoxImpl* row);
    // A row's window to be destroyed at the flush.
    void deferDestroy(UniqueWindow row);
    // Does what is queued.
    void flush();
    // Drops what is queued, undone (the toolkit is going away).
    void clear() {
        pendingSyncs_.clear();
        pendingDestroys_.clear();
    }

    // Posted to the session's hidden owner window, so that a change queued
    // outside the toolkit's windows is done when the loop comes round.
    static constexpr UINT kFlushMessage = WM_APP + 0x57;

private:
    void postFlush();

    Session& session_;
    std::vector<CheckBoxImpl*> pendingSyncs_;
    std::vector<UniqueWindow> pendingDestroys_;
    bool flushPosted_ = false;
};

}  // namespace wd::win32
