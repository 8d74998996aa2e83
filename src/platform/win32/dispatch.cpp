#include "platform/win32/dispatch.h"

#include <cwchar>
#include <string>

#include "platform/win32/session.h"
#include "platform/win32/text.h"
#include "platform/win32/ui_thread.h"

namespace wd::win32 {
namespace {

void showPendingRows() noexcept {
    try {
        if (Session* s = Session::current()) s->rows().flush();
    } catch (...) {
        // Out of memory while placing rows: they are placed at the next flush.
    }
}

}  // namespace

UiThread& uiThread() {
    static UiThread state;
    return state;
}

Dispatch::HandlerScope::HandlerScope() noexcept { ++uiThread().handlerDepth; }

Dispatch::HandlerScope::~HandlerScope() {
    UiThread& thread = uiThread();
    --thread.handlerDepth;
    if (thread.handlerDepth == thread.loopDepth) showPendingRows();
}

void Dispatch::report(const wchar_t* where, UINT msg, const char* what) noexcept {
    wchar_t line[96] = {};
    std::swprintf(line, sizeof(line) / sizeof(line[0]), L"Wardeck: %ls, message 0x%04X: a handler threw: ",
                  where ? where : L"?", msg);
    ::OutputDebugStringW(line);
    try {
        ::OutputDebugStringW(what ? widen(what).c_str() : L"an exception that is not a std::exception");
    } catch (...) {
        ::OutputDebugStringW(L"(no memory to say what)");
    }
    ::OutputDebugStringW(L"\n");
}

MessageLoop::MessageLoop() noexcept : savedLoopDepth_(uiThread().loopDepth) {
    uiThread().loopDepth = uiThread().handlerDepth;
}

MessageLoop::~MessageLoop() { uiThread().loopDepth = savedLoopDepth_; }

namespace {

// A paint that does not validate its window would come back at once: a
// round handles a bounded number of messages.
constexpr int kMessagesPerRound = 64;

// Timers and paints due now. PeekMessageW also hands the messages sent to
// this thread to their windows.
void dispatchRound() {
    MSG msg{};
    for (int n = 0; n < kMessagesPerRound && ::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE); ++n)
        ::DispatchMessageW(&msg);
    for (int n = 0; n < kMessagesPerRound && ::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++n)
        ::DispatchMessageW(&msg);
}

}  // namespace

void dispatchPending() {
    const MessageLoop loop;
    dispatchRound();
    // Sent messages that came meanwhile (no message is taken off the queue).
    MSG msg{};
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

bool waitDispatching(HANDLE object, DWORD timeoutMs) {
    const MessageLoop loop;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        // Timers and paints due now first: what the wait sees as new is only
        // what comes after this look at the queue.
        dispatchRound();

        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &object, left, QS_TIMER | QS_PAINT | QS_SENDMESSAGE, 0);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;  // out of time, or the wait failed
        // Messages that keep coming do not stretch the wait.
        if (::GetTickCount64() >= deadline) return ::WaitForSingleObject(object, 0) == WAIT_OBJECT_0;
    }
}

}  // namespace wd::win32
