// The folders of the system itself, as the system reports them: never the
// environment's %SystemRoot% and the like, which the user can set.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/win32/grown_text.h"

namespace wd::win32 {

// The system folder ("C:\Windows\System32").
inline std::optional<std::wstring> systemDirectory() {
    return grownText(TooSmall::SaysSize, [](wchar_t* buffer, DWORD size) { return ::GetSystemDirectoryW(buffer, size); });
}

// The Windows folder that every user shares ("C:\Windows"). Not
// GetWindowsDirectoryW: on a terminal server that gives each user a private
// folder of their own, which that user (and what runs as that user) can
// write to.
inline std::optional<std::wstring> sharedWindowsDirectory() {
    return grownText(TooSmall::SaysSize,
                     [](wchar_t* buffer, DWORD size) { return ::GetSystemWindowsDirectoryW(buffer, size); });
}

}  // namespace wd::win32
