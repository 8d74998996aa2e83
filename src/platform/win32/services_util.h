// Owners for the kernel and registry handles the system services use, on top
// of the Unique template of handles.h.
#pragma once

#include <windows.h>

#include "platform/win32/handles.h"

namespace wd::win32 {

// Process, thread and token handles: NULL means none.
struct KernelHandlePolicy : NullIsEmpty<HANDLE> {
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};

// Files and tool-help snapshots: INVALID_HANDLE_VALUE means none. Not
// constexpr, as INVALID_HANDLE_VALUE is a cast from an integer.
struct FileHandlePolicy {
    using Handle = HANDLE;
    static Handle empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};

// Registry keys opened or created by us (never a predefined root).
struct KeyPolicy : NullIsEmpty<HKEY> {
    static void close(Handle h) noexcept { ::RegCloseKey(h); }
};

using UniqueKernelHandle = Unique<KernelHandlePolicy>;
using UniqueFileHandle = Unique<FileHandlePolicy>;
using UniqueKey = Unique<KeyPolicy>;

// Upper bound for any path or name buffer we grow: the longest path the
// Windows API can take, in UTF-16 units with the terminating NUL.
inline constexpr DWORD kMaxPathChars = 32768;

}  // namespace wd::win32
