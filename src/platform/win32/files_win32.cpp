#include <windows.h>
// shlwapi.h needs the types of windows.h first.
#include <shlwapi.h>

#include <algorithm>
#include <vector>

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

bool Files::exists(std::string_view path) { return ::PathFileExistsW(widen(path).c_str()) != FALSE; }

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
