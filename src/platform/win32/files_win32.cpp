#include <windows.h>
// winternl.h needs the types of windows.h first.
#include <winternl.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "common/paths.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// Reads and writes go in pieces of this size (ReadFile / WriteFile count in DWORDs).
constexpr DWORD kChunk = 1u << 20;

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool folderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder part of a path ("C:\a\b" for "C:\a\b\c.txt"); empty when there is none.
std::wstring parentOf(const std::wstring& path) {
    std::size_t end = path.size();
    while (end > 0 && isSeparator(path[end - 1])) --end;  // a trailing separator belongs to the last part
    while (end > 0 && !isSeparator(path[end - 1])) --end;
    while (end > 0 && isSeparator(path[end - 1])) --end;
    return path.substr(0, end);
}

// Makes `folder` and any missing folder above it.
bool makeFolders(const std::wstring& folder) {
    // Walk up to the first folder that exists (or to the top: a drive, a
    // share or nothing), then make the missing ones from the top down. Each
    // step shortens the path, so the walk ends.
    std::vector<std::wstring> missing;
    for (std::wstring at = folder; !at.empty() && !folderExists(at); at = parentOf(at)) {
        missing.push_back(at);
    }
    // A part that cannot be made ("C:", "\\server\share", a name taken
    // by a file) is passed over here; the check below tells.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) ::CreateDirectoryW(it->c_str(), nullptr);
    return folderExists(folder);
}

}  // namespace

bool Files::exists(std::string_view path) {
    return ::GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Files::isNetworkPath(std::string_view path) {
    const common::PathPlace place = common::placeOf(path);
    if (place.kind == common::PathPlace::Kind::Remote) return true;
    if (place.kind != common::PathPlace::Kind::OnDrive) return false;
    // The kind of a drive comes from its DOS device: a mapped letter is
    // remote without asking the host.
    const wchar_t root[] = {static_cast<wchar_t>(place.drive), L':', L'\\', L'\0'};
    return ::GetDriveTypeW(root) == DRIVE_REMOTE;
}

bool Files::isFolder(std::string_view path) { return folderExists(widen(path)); }

bool Files::makeFolder(std::string_view path) { return ::CreateDirectoryW(widen(path).c_str(), nullptr) != FALSE; }

bool Files::setNormalAttributes(std::string_view path) {
    return ::SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool Files::deleteFile(std::string_view path) { return ::DeleteFileW(widen(path).c_str()) != FALSE; }

bool Files::rename(std::string_view from, std::string_view to) {
    // No MOVEFILE_REPLACE_EXISTING (an existing target stays) and no
    // MOVEFILE_COPY_ALLOWED (the move stays on its drive).
    return ::MoveFileExW(widen(from).c_str(), widen(to).c_str(), 0) != FALSE;
}

std::optional<std::string> Files::readAll(std::string_view path, std::uint64_t maxBytes) {
    const UniqueFileHandle file(::CreateFileW(widen(path).c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;

    std::string out;
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
        const auto expected = std::min<std::uint64_t>(static_cast<std::uint64_t>(size.QuadPart), maxBytes);
        if (expected <= out.max_size()) out.reserve(static_cast<std::size_t>(expected));
    }
    // Until the end of the file or the limit, whichever comes first; the file
    // may change while it is read, so its size only guides the reservation.
    while (out.size() < maxBytes) {
        const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, maxBytes - out.size()));
        const std::size_t at = out.size();
        out.resize(at + want);
        DWORD got = 0;
        if (!::ReadFile(file.get(), out.data() + at, want, &got, nullptr)) return std::nullopt;
        out.resize(at + got);
        if (got == 0) break;
    }
    return out;
}

bool Files::writeAll(std::string_view path, std::string_view bytes) {
    const std::wstring wide = widen(path);
    if (wide.empty()) return false;
    if (const std::wstring parent = parentOf(wide); !parent.empty() && !makeFolders(parent)) return false;

    const UniqueFileHandle file(
        ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, bytes.size() - done));
        DWORD wrote = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, want, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

// ---- new files written in pieces ----

namespace {

class NewFile final : public platform::NewFile {
public:
    NewFile(HANDLE file, std::wstring path) noexcept : file_(file), path_(std::move(path)) {}

    bool write(std::string_view bytes) override {
        if (!file_) return false;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kChunk, bytes.size() - done));
            DWORD wrote = 0;
            if (!::WriteFile(file_.get(), bytes.data() + done, want, &wrote, nullptr) || wrote == 0) return false;
            done += wrote;
        }
        return true;
    }

    bool flush() override { return file_ && ::FlushFileBuffers(file_.get()) != FALSE; }

    void discard() override {
        if (!file_) return;
        // Deleted through the handle: whatever the path names by now, only
        // the file this program made goes.
        FILE_DISPOSITION_INFO info{};
        info.DeleteFile = TRUE;
        const bool marked = ::SetFileInformationByHandle(file_.get(), FileDispositionInfo, &info, sizeof info) != FALSE;
        file_.reset();
        if (!marked) ::DeleteFileW(path_.c_str());
    }

private:
    UniqueFileHandle file_;
    std::wstring path_;
};

}  // namespace

std::unique_ptr<platform::NewFile> Files::createNew(std::string_view path, bool& exists) {
    exists = false;
    // A NUL would end the path early, at another file.
    if (path.find('\0') != std::string_view::npos) return nullptr;
    const std::wstring wide = widen(path);
    if (wide.empty()) return nullptr;
    if (const std::wstring parent = parentOf(wide); !parent.empty() && !makeFolders(parent)) return nullptr;
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    return std::make_unique<NewFile>(file, wide);
}

}  // namespace wd::win32

// ---- one drive's files, never through a link ------------------------------------
//
// A drive's places are reached part by part with the native calls: each part
// is opened with NtCreateFile relative to the handle of the folder before it
// (FILE_OPEN_REPARSE_POINT, so a link, junction or mount point is opened as
// itself and shows FILE_ATTRIBUTE_REPARSE_POINT), and folders on the way stay
// open without FILE_SHARE_DELETE, so that none of them can be renamed or
// replaced while held. Folders inside the Quarantine folder are made the same
// way (FILE_CREATE relative to their parent), and a move names its target as
// a name relative to the held folder it goes into (FILE_RENAME_INFORMATION's
// RootDirectory, through NtSetInformationFile: Wine's SetFileInformationByHandle
// refuses a relative name). Only the root itself is opened by its path, the
// drive text.
//
// The reparse attribute is not enough: Wine plays a Unix symbolic link as a
// plain file or folder, and an 8.3 alias reaches an entry under another name.
// So a place must also really lie where its parts say: the name the system
// gives the handle must be the root's name followed by the parts. It is asked
// once for the deepest part stepped to (a link anywhere on the way shows in
// it), and the file system's normalized name (long names) is used where there
// is one; Wine has none, and gives every handle its real place with long
// names as the object's name. A part that differs from its name there, or
// holds a "~", must be the 8.3 alias of that very entry, which a listing of
// its folder with the part as the pattern tells (Wine has no
// FileAlternateNameInformation either).

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID context,
                                               PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS infoClass, BOOLEAN singleEntry,
                                               PUNICODE_STRING mask, BOOLEAN restart);

namespace wd::win32 {
namespace {

constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006L);
constexpr NTSTATUS kBufferOverflow = static_cast<NTSTATUS>(0x80000005L);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
constexpr NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023L);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000FL);
constexpr NTSTATUS kNameInvalid = static_cast<NTSTATUS>(0xC0000033L);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003AL);
constexpr NTSTATUS kIsADirectory = static_cast<NTSTATUS>(0xC00000BAL);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103L);
// Information classes not named by every SDK.
constexpr auto kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);
constexpr auto kFileIdBothDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(37);
constexpr auto kFileNormalizedNameInformation = static_cast<FILE_INFORMATION_CLASS>(48);
constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);

// Folders on the way: open for listing (so the share mode counts) and not
// shared for deletion, which keeps them from being renamed while held.
constexpr ACCESS_MASK kHoldFolder = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ULONG kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kOpenOptions = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT;
// Bytes read at once from a file on the drive.
constexpr DWORD kDriveReadChunk = 1u << 20;
// A folder's listing is read this many bytes at a time.
constexpr ULONG kListChunk = 64u << 10;
// The longest name the system gives a handle, in bytes.
constexpr ULONG kMaxNameBytes = kMaxPathChars * sizeof(wchar_t);

bool missing(NTSTATUS status) {
    return status == kNameNotFound || status == kPathNotFound || status == kNameInvalid || status == kNoSuchFile ||
           status == kNotADirectory || status == kIsADirectory;
}

// One part of a path: no separator, stream, wildcard or NUL, not "." or "..".
bool plainPart(const std::wstring& part) {
    return !part.empty() && part != L"." && part != L".." && part.size() <= 255 &&
           part.find_first_of(std::wstring_view(L"\\/:*?<>\"|\0", 10)) == std::wstring::npos;
}

UniqueFileHandle openRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share,
                              ULONG disposition, ULONG options, NTSTATUS& status) {
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE h = nullptr;
    status = ::NtCreateFile(&h, access, &attributes, &io, nullptr, 0, share, disposition, options, nullptr, 0);
    if (status < 0 || !h) return UniqueFileHandle();
    return UniqueFileHandle(h);
}

// The attributes of an open file or folder; nothing when they cannot be read.
std::optional<DWORD> attributesOf(HANDLE h) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) return std::nullopt;
    return tag.FileAttributes;
}

bool setNormal(HANDLE h) {
    FILE_BASIC_INFO info{};
    info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(h, FileBasicInfo, &info, sizeof info) != FALSE;
}

bool sameName(std::wstring_view a, std::wstring_view b) {
    return a.size() <= INT_MAX && b.size() <= INT_MAX &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

// What names the places of a drive: the file system's normalized name, or
// the object's name.
enum class Naming { Normalized, Object };

// The name the system gives an open file or folder, without a trailing
// separator; nothing when it cannot be had.
std::optional<std::wstring> nameOf(HANDLE h, Naming naming) {
    std::vector<unsigned char> buffer(1024);
    for (int tries = 0; tries < 4; ++tries) {
        NTSTATUS status = 0;
        ULONG needed = 0;
        std::wstring_view name;
        if (naming == Naming::Normalized) {
            IO_STATUS_BLOCK io{};
            status = ::NtQueryInformationFile(h, &io, buffer.data(), static_cast<ULONG>(buffer.size()),
                                              kFileNormalizedNameInformation);
            if (status >= 0) {
                const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
                name = std::wstring_view(info->FileName, std::min<std::size_t>(info->FileNameLength / sizeof(wchar_t),
                                                                               (buffer.size() - sizeof(DWORD)) / 2));
            } else if (status == kBufferOverflow) {
                needed = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data())->FileNameLength + sizeof(FILE_NAME_INFO);
            }
        } else {
            status = ::NtQueryObject(h, kObjectNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
            if (status >= 0) {
                const auto* info = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
                if (info->Buffer) name = std::wstring_view(info->Buffer, info->Length / sizeof(wchar_t));
            }
        }
        if (status >= 0) {
            while (!name.empty() && name.back() == L'\\') name.remove_suffix(1);
            return std::wstring(name);
        }
        if (status != kBufferOverflow && status != kInfoLengthMismatch && status != kBufferTooSmall) return std::nullopt;
        const std::size_t grown = std::max<std::size_t>(buffer.size() * 2, needed + sizeof(wchar_t));
        if (grown > kMaxNameBytes + 64) return std::nullopt;
        buffer.assign(grown, 0);
    }
    return std::nullopt;
}

struct Entry {
    std::wstring name, alias;
    DWORD attributes = 0;
};

// Reads entries of the folder `folder` into `out` through a handle of its
// own (the pattern of a listing belongs to its handle): all of them, or with
// `pattern` the one it matches by name or alias. False when it cannot be
// listed or holds more than `maxEntries`.
bool listFolder(HANDLE folder, const std::wstring* pattern, std::size_t maxEntries, std::vector<Entry>& out) {
    NTSTATUS status = 0;
    const UniqueFileHandle own = openRelative(folder, std::wstring(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                              FILE_DIRECTORY_FILE | kOpenOptions, status);
    if (!own) return false;
    UNICODE_STRING mask{};
    if (pattern) {
        mask.Buffer = const_cast<wchar_t*>(pattern->c_str());
        mask.Length = mask.MaximumLength = static_cast<USHORT>(pattern->size() * sizeof(wchar_t));
    }
    std::vector<unsigned char> buffer(pattern ? 4096 : kListChunk);
    for (bool first = true;; first = false) {
        IO_STATUS_BLOCK io{};
        status = NtQueryDirectoryFile(own.get(), nullptr, nullptr, nullptr, &io, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), kFileIdBothDirectoryInformation,
                                      pattern ? TRUE : FALSE, pattern ? &mask : nullptr, first ? TRUE : FALSE);
        if (status == kNoMoreFiles || (first && status == kNoSuchFile)) return true;
        if (status < 0) return false;
        std::size_t at = 0;
        for (;;) {
            if (at + sizeof(FILE_ID_BOTH_DIR_INFO) > buffer.size()) return false;
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + at);
            const std::size_t chars = info->FileNameLength / sizeof(wchar_t);
            if (at + offsetof(FILE_ID_BOTH_DIR_INFO, FileName) + chars * sizeof(wchar_t) > buffer.size()) return false;
            std::wstring name(info->FileName, chars);
            if (name != L"." && name != L"..") {
                if (out.size() >= maxEntries) return false;
                const std::size_t aliasChars = std::min<std::size_t>(static_cast<unsigned char>(info->ShortNameLength) / 2, 12);
                out.push_back({std::move(name), std::wstring(info->ShortName, aliasChars), info->FileAttributes});
            }
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
        if (pattern) return true;
    }
}

class DriveRootWin32;

class DrivePathWin32 final : public platform::DrivePath {
public:
    explicit DrivePathWin32(const DriveRootWin32& root) : root_(root) {}

    std::size_t depth() const override { return levels_.size(); }
    platform::DriveEntry step(const std::string& part, platform::DriveAccess access) override;
    platform::DriveEntry enter(const std::string& part) override;
    std::optional<platform::DriveParts> confirm() override;
    void back(std::size_t count) override { levels_.resize(levels_.size() - std::min(count, levels_.size())); }
    bool moveInto(platform::DrivePath& to, const std::string& name) override;
    bool deleteFile() override;
    std::optional<std::string> read(std::uint64_t offset, std::size_t maxBytes, std::string& identity) override;
    std::optional<std::vector<platform::DriveListing>> list(std::size_t maxEntries) override;

private:
    struct Level {
        UniqueFileHandle handle;
        std::wstring asked;  // the part as asked
        std::wstring own;    // its own name, once confirmed
        bool folder = false, confirmed = false;
        platform::DriveAccess access = platform::DriveAccess::Hold;
    };

    HANDLE folderAt(std::size_t count) const;  // the folder of the first `count` parts
    // The name the system gives the place of the first `count` parts.
    std::wstring nameUpTo(std::size_t count) const;
    // Whether the open handle `h` lies at `parent` + "\" + a single name the
    // same as `part`.
    bool liesAt(HANDLE h, const std::wstring& parent, const std::wstring& part) const;

    const DriveRootWin32& root_;
    std::vector<Level> levels_;
};

class DriveRootWin32 final : public platform::DriveRoot {
public:
    DriveRootWin32(UniqueFileHandle root, Naming naming, std::wstring name)
        : handle(std::move(root)), naming(naming), name(std::move(name)) {}
    std::unique_ptr<platform::DrivePath> path() override { return std::make_unique<DrivePathWin32>(*this); }

    UniqueFileHandle handle;
    Naming naming;
    std::wstring name;  // what the system calls the root, without a trailing separator
};

HANDLE DrivePathWin32::folderAt(std::size_t count) const {
    return count == 0 ? root_.handle.get() : levels_[count - 1].handle.get();
}

std::wstring DrivePathWin32::nameUpTo(std::size_t count) const {
    std::wstring out = root_.name;
    for (std::size_t i = 0; i < count; ++i) out += L"\\" + levels_[i].own;
    return out;
}

bool DrivePathWin32::liesAt(HANDLE h, const std::wstring& parent, const std::wstring& part) const {
    const std::optional<std::wstring> name = nameOf(h, root_.naming);
    return name && name->size() > parent.size() + 1 && sameName(std::wstring_view(*name).substr(0, parent.size()), parent) &&
           (*name)[parent.size()] == L'\\' && sameName(std::wstring_view(*name).substr(parent.size() + 1), part);
}

platform::DriveEntry DrivePathWin32::step(const std::string& part, platform::DriveAccess access) {
    if (!levels_.empty() && !levels_.back().folder) return platform::DriveEntry::Absent;
    std::wstring wide = widen(part);
    if (!plainPart(wide)) return platform::DriveEntry::Absent;
    ACCESS_MASK rights = kHoldFolder;
    ULONG options = kOpenOptions;
    switch (access) {
        case platform::DriveAccess::Hold: options |= FILE_DIRECTORY_FILE; break;
        case platform::DriveAccess::Move: rights = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE; break;
        case platform::DriveAccess::Read: rights = GENERIC_READ | SYNCHRONIZE; options |= FILE_NON_DIRECTORY_FILE; break;
        case platform::DriveAccess::Look: rights = FILE_READ_ATTRIBUTES | SYNCHRONIZE; break;
    }
    // Looking asks for no right that another holder's sharing could refuse.
    const ULONG share = access == platform::DriveAccess::Look ? kHoldShare | FILE_SHARE_DELETE : kHoldShare;
    NTSTATUS status = 0;
    UniqueFileHandle h = openRelative(folderAt(levels_.size()), wide, rights, share, FILE_OPEN, options, status);
    if (!h) return missing(status) ? platform::DriveEntry::Absent : platform::DriveEntry::Refused;
    const std::optional<DWORD> attributes = attributesOf(h.get());
    if (!attributes || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return platform::DriveEntry::Refused;
    const bool folder = (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    levels_.push_back({std::move(h), std::move(wide), {}, folder, false, access});
    return folder ? platform::DriveEntry::Folder : platform::DriveEntry::File;
}

platform::DriveEntry DrivePathWin32::enter(const std::string& part) {
    if (!levels_.empty() && (!levels_.back().folder || !levels_.back().confirmed)) return platform::DriveEntry::Refused;
    std::wstring wide = widen(part);
    if (!plainPart(wide)) return platform::DriveEntry::Refused;
    HANDLE parent = folderAt(levels_.size());
    NTSTATUS status = 0;
    // Made here: it lies in the held folder, where it was made.
    UniqueFileHandle h = openRelative(parent, wide, kHoldFolder, kHoldShare, FILE_CREATE,
                                      FILE_DIRECTORY_FILE | kOpenOptions, status);
    if (!h) {
        if (status != kNameCollision) return platform::DriveEntry::Refused;
        h = openRelative(parent, wide, kHoldFolder, kHoldShare, FILE_OPEN, FILE_DIRECTORY_FILE | kOpenOptions, status);
        if (!h) return status == kNotADirectory ? platform::DriveEntry::File : platform::DriveEntry::Refused;
        const std::optional<DWORD> attributes = attributesOf(h.get());
        if (!attributes || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !liesAt(h.get(), nameUpTo(levels_.size()), wide))
            return platform::DriveEntry::Refused;
    }
    levels_.push_back({std::move(h), wide, wide, true, true, platform::DriveAccess::Hold});
    return platform::DriveEntry::Folder;
}

std::optional<platform::DriveParts> DrivePathWin32::confirm() {
    std::size_t first = 0;
    while (first < levels_.size() && levels_[first].confirmed) ++first;
    if (first < levels_.size()) {
        // The real place of the deepest part: the confirmed parts' place,
        // then one name for each part stepped to since.
        const std::optional<std::wstring> name = nameOf(levels_.back().handle.get(), root_.naming);
        const std::wstring known = nameUpTo(first);
        if (!name || name->size() <= known.size() || !sameName(std::wstring_view(*name).substr(0, known.size()), known))
            return std::nullopt;
        std::vector<std::wstring> names;
        std::size_t at = known.size();
        while (at < name->size()) {
            if ((*name)[at] != L'\\') return std::nullopt;
            const std::size_t end = std::min(name->find(L'\\', at + 1), name->size());
            if (end == at + 1) return std::nullopt;
            names.emplace_back(*name, at + 1, end - at - 1);
            at = end;
        }
        if (names.size() != levels_.size() - first) return std::nullopt;
        for (std::size_t i = first; i < levels_.size(); ++i) {
            Level& level = levels_[i];
            const std::wstring& real = names[i - first];
            if (sameName(real, level.asked) && level.asked.find(L'~') == std::wstring::npos) {
                level.own = level.asked;
            } else {
                // An alias of that very entry, or nothing.
                std::vector<Entry> found;
                if (!listFolder(folderAt(i), &level.asked, 1, found) || found.size() != 1 || !sameName(found[0].name, real))
                    return std::nullopt;
                if (sameName(found[0].name, level.asked)) level.own = level.asked;
                else if (sameName(found[0].alias, level.asked)) level.own = found[0].name;
                else return std::nullopt;
            }
        }
        for (std::size_t i = first; i < levels_.size(); ++i) levels_[i].confirmed = true;
    }
    platform::DriveParts out;
    out.reserve(levels_.size());
    for (const Level& level : levels_) out.push_back(narrow(level.own));
    return out;
}

bool DrivePathWin32::moveInto(platform::DrivePath& to, const std::string& name) {
    auto* into = dynamic_cast<DrivePathWin32*>(&to);
    if (!into || &into->root_ != &root_ || levels_.empty() || into->levels_.empty()) return false;
    const Level& from = levels_.back();
    const Level& folder = into->levels_.back();
    if (!from.confirmed || from.access != platform::DriveAccess::Move || !folder.folder || !folder.confirmed) return false;
    const std::wstring wide = widen(name);
    if (!plainPart(wide)) return false;
    HANDLE target = folder.handle.get();

    // An earlier file at the target: its attributes are cleared so that the
    // move can replace it; anything else there stops the move.
    {
        NTSTATUS status = 0;
        const UniqueFileHandle old = openRelative(target, wide, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                                                  kOpenOptions, status);
        if (old) {
            const std::optional<DWORD> attributes = attributesOf(old.get());
            if (!attributes || (*attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
                !into->liesAt(old.get(), into->nameUpTo(into->levels_.size()), wide) || !setNormal(old.get()))
                return false;
        } else if (!missing(status)) {
            return false;
        }
    }
    // The folder it goes into must still be a plain folder: one that became a
    // mount point or link since it was made or entered takes nothing.
    const std::optional<DWORD> attributes = attributesOf(target);
    if (!attributes || (*attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    if (!setNormal(from.handle.get())) return false;

    const std::size_t bytes = wide.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + bytes + sizeof(wchar_t), 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = target;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(info->FileName, wide.data(), bytes);
    IO_STATUS_BLOCK io{};
    return ::NtSetInformationFile(from.handle.get(), &io, buffer.data(), static_cast<ULONG>(buffer.size()),
                                  kFileRenameInformation) >= 0;
}

bool DrivePathWin32::deleteFile() {
    if (levels_.empty()) return false;
    const Level& file = levels_.back();
    if (!file.confirmed || file.access != platform::DriveAccess::Move || file.folder) return false;
    if (!setNormal(file.handle.get())) return false;
    // Gone when the handle closes; until then nothing else can open it.
    FILE_DISPOSITION_INFO gone{};
    gone.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(file.handle.get(), FileDispositionInfo, &gone, sizeof gone) != FALSE;
}

std::optional<std::string> DrivePathWin32::read(std::uint64_t offset, std::size_t maxBytes, std::string& identity) {
    if (levels_.empty() || levels_.back().access != platform::DriveAccess::Read || levels_.back().folder) return std::nullopt;
    HANDLE file = levels_.back().handle.get();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info)) return std::nullopt;
    identity = std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
               std::to_string(info.nFileIndexLow);
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(std::min<std::uint64_t>(offset, INT64_MAX));
    if (!::SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return std::nullopt;
    std::string out;
    while (out.size() < maxBytes) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(kDriveReadChunk, maxBytes - out.size()));
        const std::size_t start = out.size();
        out.resize(start + want);
        DWORD got = 0;
        if (!::ReadFile(file, out.data() + start, want, &got, nullptr)) return std::nullopt;
        out.resize(start + got);
        if (got == 0) break;
    }
    return out;
}

std::optional<std::vector<platform::DriveListing>> DrivePathWin32::list(std::size_t maxEntries) {
    if (!levels_.empty() && !levels_.back().folder) return std::nullopt;
    std::vector<Entry> entries;
    if (!listFolder(folderAt(levels_.size()), nullptr, maxEntries, entries)) return std::nullopt;
    std::vector<platform::DriveListing> out;
    out.reserve(entries.size());
    for (const Entry& e : entries)
        out.push_back({narrow(e.name), narrow(e.alias), (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    return out;
}

}  // namespace

std::unique_ptr<platform::DriveRoot> Files::openDriveRoot(std::string_view drive) {
    const std::wstring asked = widen(drive) + L"\\";
    std::wstring full(MAX_PATH, L'\0');
    for (int tries = 0; tries < 3; ++tries) {
        const DWORD n = ::GetFullPathNameW(asked.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0 || n > kMaxPathChars) return nullptr;
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.assign(n, L'\0');
    }
    if (full.empty() || full.back() == L'\0') return nullptr;
    std::wstring extended;
    if (full.rfind(L"\\\\?\\", 0) == 0) {
        extended = full;
    } else if (full.rfind(L"\\\\", 0) == 0) {
        extended = L"\\\\?\\UNC\\" + full.substr(2);
    } else if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') {
        extended = L"\\\\?\\" + full;
    } else {
        return nullptr;
    }
    while (!extended.empty() && extended.back() == L'\\') extended.pop_back();

    UniqueFileHandle root(::CreateFileW((extended + L"\\").c_str(), kHoldFolder, kHoldShare, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root) return nullptr;
    Naming naming = Naming::Normalized;
    std::optional<std::wstring> name = nameOf(root.get(), naming);
    if (!name) name = nameOf(root.get(), naming = Naming::Object);
    if (!name) return nullptr;
    return std::make_unique<DriveRootWin32>(std::move(root), naming, std::move(*name));
}

}  // namespace wd::win32
