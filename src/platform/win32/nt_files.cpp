#include "platform/win32/nt_files.h"

#include <algorithm>
#include <string_view>

#include "platform/win32/nt_status.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apc, PVOID context,
                                               PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS infoClass, BOOLEAN singleEntry,
                                               PUNICODE_STRING mask, BOOLEAN restart);

namespace wd::win32::nt {
namespace {

constexpr auto kFileIdBothDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(37);
constexpr auto kFileNormalizedNameInformation = static_cast<FILE_INFORMATION_CLASS>(48);
constexpr auto kObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
// A folder's listing is read this many bytes at a time.
constexpr ULONG kListChunk = 64u << 10;
// The longest name the system gives a handle, in bytes.
constexpr ULONG kMaxNameBytes = kMaxPathChars * sizeof(wchar_t);

}  // namespace

bool missing(NTSTATUS status) {
    return status == kNameNotFound || status == kPathNotFound || status == kNameInvalid || status == kNoSuchFile ||
           status == kNotADirectory || status == kIsADirectory;
}

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
        if (!bufferTooSmall(status)) return std::nullopt;
        const std::size_t grown = std::max<std::size_t>(buffer.size() * 2, needed + sizeof(wchar_t));
        if (grown > kMaxNameBytes + 64) return std::nullopt;
        buffer.assign(grown, 0);
    }
    return std::nullopt;
}

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

}  // namespace wd::win32::nt
