// The native file calls the drive's places are reached with: parts opened
// relative to the folder held before them, never through a link, and what
// the system says of an open file (its attributes, its name, the entries of a
// folder). See drive_win32.cpp for why.
#pragma once

#include <windows.h>
// winternl.h needs the types of windows.h first.
#include <winternl.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/services_util.h"

namespace wd::win32::nt {

// Information classes not named by every SDK.
constexpr auto kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);

// Folders on the way: open for listing (so the share mode counts) and not
// shared for deletion, which keeps them from being renamed while held.
constexpr ACCESS_MASK kHoldFolder = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kOpenOptions = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;

// Whether a status of opening says there is no such entry.
bool missing(NTSTATUS status);

// One part of a path: no separator, stream, wildcard or NUL, not "." or "..".
bool plainPart(const std::wstring& part);

// NtCreateFile of `name` relative to the open `folder` (an empty name opens
// the folder itself anew); `status` is the call's answer.
UniqueFileHandle openRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                              ULONG disposition, ULONG options, NTSTATUS& status);

// The attributes of an open file or folder; nothing when they cannot be read.
std::optional<DWORD> attributesOf(HANDLE h);

// Clears the attributes of an open file or folder.
bool setNormal(HANDLE h);

// What names the places of a drive: the file system's normalized name, or
// the object's name.
enum class Naming { Normalized, Object };

// The name the system gives an open file or folder, without a trailing
// separator; nothing when it cannot be had.
std::optional<std::wstring> nameOf(HANDLE h, Naming naming);

// An entry of a folder.
struct Entry {
    std::wstring name, alias;
    DWORD attributes = 0;
};

// Reads entries of the folder `folder` into `out` through a handle of its
// own (the pattern of a listing belongs to its handle): all of them, or with
// `pattern` the one it matches by name or alias. False when it cannot be
// listed or holds more than `maxEntries`.
bool listFolder(HANDLE folder, const std::wstring* pattern, std::size_t maxEntries, std::vector<Entry>& out);

}  // namespace wd::win32::nt
