// The one way into the program for every Windows message.
//
// Each window procedure of ours (the top-level windows, the picture boxes, the
// controls, the tray icon's window and the hidden owner window) hands its
// message to Dispatch::run, which
//   - runs one named handler for it;
//   - catches whatever that handler throws (bad_alloc, out_of_range, ...):
//     the program goes on and the window keeps answering; what was thrown is
//     written with OutputDebugStringW, nothing is shown;
//   - shows the rows that the handler changed (RowBatch::flush), once,
//     when the message came out of a message loop. A message that our own code
//     sends while a handler runs (a caption set on a row sends WM_SETTEXT, for
//     one) enters a nested scope that shows nothing, so a list refilled in one
//     handler appears in one go.
//
// A message loop that the program runs or calls into (its own loop, a modal
// window's, TrackPopupMenu, MessageBoxW) is marked with a MessageLoop scope:
// the messages it hands out are handled as coming from a loop. A handler may
// therefore be re-entered while a menu or message box is open: it must look
// its rows up again afterwards.
//
// Code that works the program outside any window procedure (start-up, a
// benchmark timing a rebuild) runs inside a HandlerScope: it counts as one
// handler, so the rows it changes are shown once, when it ends.
#pragma once

#include <windows.h>

#include <exception>

namespace wd::win32 {

class Dispatch {
public:
    template <typename Handler>
    static LRESULT run(const wchar_t* where, UINT msg, Handler&& handler) noexcept {
        const HandlerScope scope;
        try {
            return handler();
        } catch (const std::exception& e) {
            report(where, msg, e.what());
        } catch (...) {
            report(where, msg, nullptr);
        }
        return 0;
    }

    class HandlerScope {
    public:
        HandlerScope() noexcept;
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;
    };

private:
    static void report(const wchar_t* where, UINT msg, const char* what) noexcept;
};

using HandlerScope = Dispatch::HandlerScope;

// Marks a message loop for as long as it runs (see above).
class MessageLoop {
public:
    MessageLoop() noexcept;
    ~MessageLoop();
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

private:
    int savedLoopDepth_;
};

// Waits for `object`, at most `timeoutMs`, as a message loop for the
// thread's timers, paints and sent messages: timer handlers run, the windows
// repaint and answer SendMessage, and a handler that runs here may re-enter
// the code that waits. Input and posted messages stay queued until the wait
// is over, so no click can start anything inside it. True when the object was
// signalled.
bool waitDispatching(HANDLE object, DWORD timeoutMs);

// The same without waiting: the timers due, the paints and the sent
// messages that are there now are handled, and it returns.
void dispatchPending();

}  // namespace wd::win32
