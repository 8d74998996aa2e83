// The state of the program's one UI thread that no object can be handed to,
// and the program's one global. Windows calls a window procedure with nothing
// but a window handle, so the dispatch scope that every message enters
// (dispatch.h) finds here how deeply handlers are nested and which session's
// rows to show; the shell's calls, made before the toolkit exists too (the
// elevated restart), find here whether the thread has entered a COM
// apartment. Every other piece of state belongs to an object; what is looked
// up once and never changes (a library's module, a function's address) is
// kept in a constant where it is used.
#pragma once

namespace wd::win32 {

class Session;

struct UiThread {
    Session* session = nullptr;  // the toolkit's, while it lives
    int handlerDepth = 0;        // dispatch scopes open
    int loopDepth = 0;           // ... when the innermost message loop started
    bool comTried = false;       // the shell's first call has tried to enter a COM apartment
    bool comEntered = false;     // ... and entered one, to be left before the program ends
};

UiThread& uiThread();

}  // namespace wd::win32
