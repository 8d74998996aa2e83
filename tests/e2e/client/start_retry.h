// A process start that rides over Wine's passing refusals; used by the
// automation client and by the in-process benchmark, which does not link it.
#pragma once

#include <windows.h>

namespace wdauto {

// Runs `start` (a CreateProcess call) and tries again, a few times, when it
// fails with ERROR_INTERNAL_ERROR: Wine answers so now and then under load
// for a start that works a moment later.
template <typename Start>
BOOL startRetrying(Start start) {
    for (int attempt = 0;; ++attempt) {
        if (start()) return TRUE;
        if (GetLastError() != ERROR_INTERNAL_ERROR || attempt >= 4) return FALSE;
        Sleep(100);
    }
}

}  // namespace wdauto
