// The text a Win32 call writes into a buffer of ours, however long: the
// buffer starts at MAX_PATH units and grows to kMaxPathChars, the longest
// path the API takes, in at most kGrowTries calls.
#pragma once

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>

#include "platform/win32/services_util.h"

namespace wd::win32 {

inline constexpr DWORD kFirstTextChars = MAX_PATH;
// Enough to double MAX_PATH up to kMaxPathChars.
inline constexpr int kGrowTries = 8;

// How a call says that the buffer was too small.
enum class TooSmall {
    // It answers the size it needs, NUL included, instead of the length
    // written (GetSystemDirectoryW, GetCurrentDirectoryW, GetFullPathNameW,
    // GetFinalPathNameByHandleW, GetEnvironmentVariableW).
    SaysSize,
    // It cuts the text to the buffer and answers the length it wrote
    // (GetModuleFileNameW, GetModuleFileNameExW, K32GetMappedFileNameW).
    CutsText,
};

// `call(buffer, size)` writes into `buffer` of `size` units and answers the
// length written (without the NUL), or as `tooSmall` says; 0 is a failure.
// Nothing on a failure, or for a text longer than kMaxPathChars.
template <typename Call>
std::optional<std::wstring> grownText(TooSmall tooSmall, Call&& call) {
    std::wstring buffer(kFirstTextChars, L'\0');
    for (int attempt = 0; attempt < kGrowTries; ++attempt) {
        const auto size = static_cast<DWORD>(buffer.size());
        const DWORD len = call(buffer.data(), size);
        if (len == 0) return std::nullopt;
        // A cut text fills the buffer: only a shorter one is known to be whole.
        if (tooSmall == TooSmall::SaysSize ? len < size : len + 1 < size) {
            buffer.resize(len);
            return buffer;
        }
        if (tooSmall == TooSmall::SaysSize) {
            if (len > kMaxPathChars) return std::nullopt;
            buffer.assign(len, L'\0');
        } else {
            if (size >= kMaxPathChars) return std::nullopt;
            buffer.assign(std::min<DWORD>(size * 2, kMaxPathChars), L'\0');
        }
    }
    return std::nullopt;
}

}  // namespace wd::win32
