// The plain file operations: the drive monitor's cheap look for autorun.inf,
// the network test of the signature tips, and the new files of the backups.
// One drive's files reached part by part are drive_win32.cpp's.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "common/paths.h"
#include "platform/win32/file_io.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

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
    if (!readToEnd(file.get(), maxBytes, out)) return std::nullopt;
    return out;
}

bool Files::writeAll(std::string_view path, std::string_view bytes) {
    const std::wstring wide = widen(path);
    if (wide.empty()) return false;
    if (const std::wstring parent = parentOf(wide); !parent.empty() && !makeFolders(parent)) return false;

    const UniqueFileHandle file(
        ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && writeWhole(file.get(), bytes);
}

// ---- new files written in pieces ----

namespace {

class NewFile final : public platform::NewFile {
public:
    NewFile(UniqueFileHandle file, std::wstring path) noexcept : file_(std::move(file)), path_(std::move(path)) {}

    bool write(std::string_view bytes) override { return file_ && writeWhole(file_.get(), bytes); }

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
    UniqueFileHandle file(::CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = ::GetLastError();
        exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    return std::make_unique<NewFile>(std::move(file), wide);
}

}  // namespace wd::win32
