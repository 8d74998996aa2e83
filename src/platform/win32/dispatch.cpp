#include "platform/win32/dispatch.h"

#include <cwchar>
#include <string>

#include "platform/win32/session.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// How many dispatch scopes are open, and how many were open when the
// innermost message loop started. One UI thread: plain statics.
int depth = 0;
int loopDepth = 0;

void showPendingRows() noexcept {
    try {
        if (Session* s = Session::current()) s->flushShows();
    } catch (...) {
        // Out of memory while placing rows: they are placed at the next flush.
    }
}

}  // namespace

Dispatch::HandlerScope::HandlerScope() noexcept { ++depth; }

Dispatch::HandlerScope::~HandlerScope() {
    --depth;
    if (depth == loopDepth) showPendingRows();
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

MessageLoop::MessageLoop() noexcept : savedLoopDepth_(loopDepth) { loopDepth = depth; }

MessageLoop::~MessageLoop() { loopDepth = savedLoopDepth_; }

}  // namespace wd::win32
