#include <windows.h>
// shlwapi.h needs the types of windows.h first.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
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
// Every place is opened part by part from the drive's root with
// FILE_FLAG_OPEN_REPARSE_POINT, so a link, junction or mount point is opened
// as itself and shows FILE_ATTRIBUTE_REPARSE_POINT. That alone is not enough:
// Wine plays a Unix symbolic link as a plain file or folder (a link to a
// folder shows the attribute, a link to a file does not), and 8.3 short names
// reach a place under another name. So each opened part must also really be
// where its path says: GetFinalPathNameByHandleW of the handle, the real
// place, must be the root's own final path followed by the parts asked for
// (or, where the final path is not given, the volume and the path on it).
//
// The check and the use are tied together: folders on the way stay open
// without FILE_SHARE_DELETE until the operation ends, so none of them can be
// renamed or replaced by a link meanwhile, and the file itself is changed
// through its handle (attributes and the move by SetFileInformationByHandle).
// What is left: the target of a move and a new folder are named by path (Wine
// takes no RootDirectory in FILE_RENAME_INFO, and Win32 makes folders by path
// only); their parent folders are held, so only the last part could be
// swapped in that instant, and a move never follows its target's last part
// (it replaces the entry itself), while a new folder is checked again before
// it is used.

namespace wd::win32 {
namespace {

// Folders on the way: open for listing (so the share mode counts) and not
// shared for deletion, which keeps them from being renamed while held.
constexpr DWORD kHoldFolder = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Bytes read at once from a file on the drive.
constexpr DWORD kDriveReadChunk = 1u << 20;

UniqueFileHandle openNoFollow(const std::wstring& path, DWORD access, DWORD share) {
    return UniqueFileHandle(::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Where an open file or folder really is, as a DOS path ("\\?\G:\a\b");
// empty when unknown (Wine 8 answers ERROR_MORE_DATA for any path longer than
// MAX_PATH, whatever the buffer).
std::wstring finalPath(HANDLE h) {
    std::wstring buf(MAX_PATH, L'\0');
    for (int tries = 0; tries < 3; ++tries) {
        const DWORD n = ::GetFinalPathNameByHandleW(h, buf.data(), static_cast<DWORD>(buf.size()), VOLUME_NAME_DOS);
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        if (n > kMaxPathChars) return {};
        buf.assign(n, L'\0');
    }
    return {};
}

// The same told another way, for when the final path is unknown: the serial
// number of the volume and the path below its root ("\a\b"), which is what
// the final path is made of.
std::wstring volumePath(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) return {};
    std::vector<unsigned char> buf(sizeof(FILE_NAME_INFO) + kMaxPathChars * sizeof(wchar_t));
    auto* name = reinterpret_cast<FILE_NAME_INFO*>(buf.data());
    if (!::GetFileInformationByHandleEx(h, FileNameInfo, name, static_cast<DWORD>(buf.size()))) return {};
    const std::size_t chars = std::min<std::size_t>(name->FileNameLength / sizeof(wchar_t), kMaxPathChars);
    std::wstring path(name->FileName, chars);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return std::to_wstring(info.dwVolumeSerialNumber) + L"|" + path;
}

bool sameName(const std::wstring& a, const std::wstring& b) {
    return a.size() <= INT_MAX && b.size() <= INT_MAX &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

bool setNormal(HANDLE h) {
    FILE_BASIC_INFO info{};
    info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(h, FileBasicInfo, &info, sizeof info) != FALSE;
}

class DriveRootWin32 final : public platform::DriveRoot {
public:
    DriveRootWin32(UniqueFileHandle root, std::wstring extended, std::wstring real, std::wstring onVolume)
        : root_(std::move(root)),
          extended_(std::move(extended)),
          real_(std::move(real)),
          onVolume_(std::move(onVolume)) {}

    platform::DriveEntry look(const platform::DriveParts& parts) override {
        std::vector<UniqueFileHandle> held;
        return walk(parts, FILE_READ_ATTRIBUTES | SYNCHRONIZE, held);
    }

    bool makeFolder(const platform::DriveParts& parts) override {
        if (parts.empty()) return false;
        std::vector<UniqueFileHandle> held;
        const platform::DriveParts parent(parts.begin(), parts.end() - 1);
        if (walk(parent, kHoldFolder, held) != platform::DriveEntry::Folder) return false;
        if (!::CreateDirectoryW(pathOf(parts).c_str(), nullptr)) return false;
        std::vector<UniqueFileHandle> check;
        return walk(parts, kHoldFolder, check) == platform::DriveEntry::Folder;
    }

    bool moveReplacing(const platform::DriveParts& from, const platform::DriveParts& to) override {
        if (from.empty() || to.empty()) return false;
        std::vector<UniqueFileHandle> heldFrom, heldTo;
        const platform::DriveEntry source =
            walk(from, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, heldFrom);
        if (source != platform::DriveEntry::File && source != platform::DriveEntry::Folder) return false;
        const platform::DriveParts toParent(to.begin(), to.end() - 1);
        if (walk(toParent, kHoldFolder, heldTo) != platform::DriveEntry::Folder) return false;

        // An earlier file at the target: its attributes are cleared so that
        // the move can replace it; anything else there stops the move.
        const std::wstring target = pathOf(to);
        {
            UniqueFileHandle old = openNoFollow(target, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
            if (old) {
                if (check(old.get(), to) != platform::DriveEntry::File || !setNormal(old.get())) return false;
            } else if (const DWORD e = ::GetLastError(); e != ERROR_FILE_NOT_FOUND && e != ERROR_PATH_NOT_FOUND) {
                return false;
            }
        }
        HANDLE moving = heldFrom.back().get();
        if (!setNormal(moving)) return false;

        // The target as an NT path: "\??\G:\..." for "\\?\G:\...".
        const std::wstring nt = L"\\??\\" + target.substr(4);
        const std::size_t bytes = nt.size() * sizeof(wchar_t);
        if (bytes > kMaxPathChars * sizeof(wchar_t)) return false;
        std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + bytes + sizeof(wchar_t), 0);
        auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = static_cast<DWORD>(bytes);
        std::memcpy(info->FileName, nt.data(), bytes);
        return ::SetFileInformationByHandle(moving, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
    }

    std::optional<std::string> read(const platform::DriveParts& parts, std::uint64_t offset, std::size_t maxBytes,
                                    std::string& identity) override {
        std::vector<UniqueFileHandle> held;
        if (walk(parts, GENERIC_READ | SYNCHRONIZE, held) != platform::DriveEntry::File) return std::nullopt;
        HANDLE file = held.back().get();
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

    std::optional<std::vector<platform::DriveListing>> list(const platform::DriveParts& parts,
                                                            std::size_t maxEntries) override {
        std::vector<UniqueFileHandle> held;
        if (walk(parts, kHoldFolder, held) != platform::DriveEntry::Folder) return std::nullopt;
        WIN32_FIND_DATAW data{};
        const UniqueFindHandle find(::FindFirstFileExW((pathOf(parts) + L"\\*").c_str(), FindExInfoBasic, &data,
                                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        std::vector<platform::DriveListing> out;
        if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(out) : std::nullopt;
        do {
            const std::wstring_view name(data.cFileName);
            if (name == L"." || name == L"..") continue;
            if (out.size() >= maxEntries) return std::nullopt;
            out.push_back({narrow(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        } while (::FindNextFileW(find.get(), &data));
        if (::GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
        return out;
    }

private:
    std::wstring relativeOf(const platform::DriveParts& parts, std::size_t count) const {
        std::wstring rel;
        for (std::size_t i = 0; i < count; ++i) rel += L"\\" + widen(parts[i]);
        return rel;
    }
    std::wstring pathOf(const platform::DriveParts& parts) const {
        return extended_ + relativeOf(parts, parts.size());
    }

    // What the open handle `h` of the place `parts` is, and whether it is
    // really there: not a reparse point, and at the place its path names.
    platform::DriveEntry check(HANDLE h, const platform::DriveParts& parts) const {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
            return platform::DriveEntry::Refused;
        }
        if (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return platform::DriveEntry::Refused;
        const std::wstring rel = relativeOf(parts, parts.size());
        const std::wstring real = finalPath(h);
        if (real.empty() ? !sameName(volumePath(h), onVolume_ + rel) : !sameName(real, real_ + rel)) {
            return platform::DriveEntry::Refused;
        }
        return (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? platform::DriveEntry::Folder
                                                               : platform::DriveEntry::File;
    }

    // Opens `parts` one by one into `held` (folders on the way with
    // kHoldFolder, the last part with `access`) and checks each.
    platform::DriveEntry walk(const platform::DriveParts& parts, DWORD access, std::vector<UniqueFileHandle>& held) {
        if (parts.empty()) return platform::DriveEntry::Folder;  // the root, held by this object
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const bool last = i + 1 == parts.size();
            const platform::DriveParts upTo(parts.begin(), parts.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            UniqueFileHandle h = openNoFollow(pathOf(upTo), last ? access : kHoldFolder, kHoldShare);
            if (!h) {
                const DWORD e = ::GetLastError();
                return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND || e == ERROR_INVALID_NAME
                           ? platform::DriveEntry::Absent
                           : platform::DriveEntry::Refused;
            }
            const platform::DriveEntry kind = check(h.get(), upTo);
            if (kind == platform::DriveEntry::Refused) return kind;
            if (!last && kind != platform::DriveEntry::Folder) return platform::DriveEntry::Absent;
            held.push_back(std::move(h));
            if (last) return kind;
        }
        return platform::DriveEntry::Absent;
    }

    UniqueFileHandle root_;
    std::wstring extended_;  // "\\?\G:" (no trailing separator)
    std::wstring real_;      // the root's final path, "\\?\G:" (no trailing separator)
    std::wstring onVolume_;  // the root's volume and path on it, "1191182336|" (see volumePath)
};

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

    UniqueFileHandle root = openNoFollow(extended + L"\\", kHoldFolder, kHoldShare);
    if (!root) return nullptr;
    std::wstring real = finalPath(root.get());
    while (!real.empty() && real.back() == L'\\') real.pop_back();
    std::wstring onVolume = volumePath(root.get());
    if (real.empty() || onVolume.empty()) return nullptr;
    return std::make_unique<DriveRootWin32>(std::move(root), std::move(extended), std::move(real), std::move(onVolume));
}

}  // namespace wd::win32
