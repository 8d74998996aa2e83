#include "platform/win32/file_io.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace wd::win32 {
namespace {

// Reads and writes go in pieces of this size.
constexpr DWORD kChunk = 1u << 20;

}  // namespace

bool readToEnd(HANDLE file, std::uint64_t maxBytes, std::string& out) {
    // The file may change while it is read: only its end stops the reading.
    while (out.size() < maxBytes) {
        const auto want = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, maxBytes - out.size()));
        const std::size_t at = out.size();
        out.resize(at + want);
        DWORD got = 0;
        if (!::ReadFile(file, out.data() + at, want, &got, nullptr)) return false;
        out.resize(at + got);
        if (got == 0) break;
    }
    return true;
}

bool writeWhole(HANDLE file, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(kChunk, bytes.size() - done));
        DWORD wrote = 0;
        if (!::WriteFile(file, bytes.data() + done, want, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

std::vector<unsigned char> renameInfo(std::wstring_view target, HANDLE folder, bool replaceIfExists) {
    const std::size_t bytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> buffer(offsetof(FILE_RENAME_INFO, FileName) + bytes + sizeof(wchar_t), 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replaceIfExists ? TRUE : FALSE;
    info->RootDirectory = folder;
    info->FileNameLength = static_cast<DWORD>(bytes);
    std::memcpy(info->FileName, target.data(), bytes);
    return buffer;
}

}  // namespace wd::win32
