// The one way a window is bound to its C++ object: the object's pointer in
// the window's GWLP_USERDATA, read back as the type it was stored as. A
// window of one of our own classes is bound at WM_NCCREATE, from the object
// handed to CreateWindowExW; a control of a system class right after it is
// made (and its window procedure replaced by ours, see widgets.h).
#pragma once

#include <windows.h>

namespace wd::win32 {

template <typename T>
void bindWindow(HWND window, T* object) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
}

// The window's messages reach no object from now on.
inline void unbindWindow(HWND window) { ::SetWindowLongPtrW(window, GWLP_USERDATA, 0); }

// The object bound to the window (as bindWindow stored it), or null.
template <typename T>
T* boundObject(HWND window) {
    return reinterpret_cast<T*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// At WM_NCCREATE (the first message of a window of ours): binds the object
// that CreateWindowExW was handed, a T*.
template <typename T>
void bindAtCreation(HWND window, UINT msg, LPARAM lp) {
    if (msg == WM_NCCREATE)
        bindWindow(window, static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lp)->lpCreateParams));
}

}  // namespace wd::win32
