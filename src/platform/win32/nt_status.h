// The NTSTATUS values the native calls of the services answer with, named
// once (winternl.h names almost none of them).
#pragma once

#include <windows.h>
// winternl.h needs the types of windows.h first.
#include <winternl.h>

namespace wd::win32::nt {

constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kNoMoreEntries = static_cast<NTSTATUS>(0x8000001AL);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023L);
constexpr NTSTATUS kNameInvalid = static_cast<NTSTATUS>(0xC0000033L);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003AL);
constexpr NTSTATUS kIsADirectory = static_cast<NTSTATUS>(0xC00000BAL);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103L);

// Whether a status says the answer did not fit the buffer given.
constexpr bool bufferTooSmall(NTSTATUS status) {
    return status == kBufferOverflow || status == kBufferTooSmall || status == kInfoLengthMismatch;
}

}  // namespace wd::win32::nt
