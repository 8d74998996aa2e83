#include <windows.h>
// winternl.h needs the types of windows.h first.
#include <winternl.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/win32/functions.h"
#include "platform/win32/nt_status.h"
#include "platform/win32/services.h"
#include "platform/win32/services_util.h"
#include "platform/win32/text.h"

namespace wd::win32 {
namespace {

// Key names are at most 255 characters and value names at most 16383; the
// buffers start small and grow on ERROR_MORE_DATA up to this (NUL included).
constexpr DWORD kMaxNameChars = kMaxPathChars;
constexpr DWORD kFirstKeyNameChars = 256;
// A value that keeps changing size while it is read gets this many tries.
constexpr int kValueTries = 8;
// A key's name as the kernel keeps it ("\REGISTRY\MACHINE\...") is read into
// a buffer that starts at this many bytes and doubles up to the limit (a
// counted name holds at most 65535 bytes).
constexpr ULONG kFirstKernelNameBytes = 1024;
constexpr ULONG kMaxKernelNameBytes = 64u * 1024u + 16u;

class Key final : public platform::RegKey {
public:
    Key(UniqueKey key, platform::RootKey root, platform::View view) noexcept
        : key_(std::move(key)), root_(root), view_(view) {}
    HKEY get() const noexcept { return key_.get(); }
    platform::RootKey root() const noexcept { return root_; }
    platform::View view() const noexcept { return view_; }
    // The buffer that the reads of this key's values share: grown as they
    // need, never cleared.
    std::byte* buffer(std::size_t bytes) {
        if (bytes > capacity_) {
            buffer_ = std::make_unique_for_overwrite<std::byte[]>(bytes);
            capacity_ = bytes;
        }
        return buffer_.get();
    }
    std::size_t capacity() const noexcept { return capacity_; }

private:
    UniqueKey key_;
    platform::RootKey root_;
    platform::View view_;
    std::unique_ptr<std::byte[]> buffer_;
    std::size_t capacity_ = 0;
};

HKEY rootKey(platform::RootKey root) {
    return root == platform::RootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

REGSAM viewFlag(platform::View view) {
    return view == platform::View::Bit32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
}

const Key* ownKey(platform::RegKey& key) { return dynamic_cast<const Key*>(&key); }

HKEY handleOf(platform::RegKey& key) {
    const Key* own = ownKey(key);
    return own ? own->get() : nullptr;
}

// The system reads a wide name up to its first NUL: a name that holds one
// would reach another key or value, so it is refused before any call.
bool holdsNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

// KEY_INFORMATION_CLASS KeyNameInformation and its answer (KEY_NAME_INFORMATION).
constexpr int kKeyNameInformation = 3;
using NtQueryKeyFn = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// The kernel's name of an open key ("\REGISTRY\MACHINE\SOFTWARE\..."), empty
// when the system does not tell.
std::wstring kernelName(HKEY key) {
    static const auto query = ntdllFunction<NtQueryKeyFn>("NtQueryKey");
    if (!query || !key) return {};
    std::vector<std::uint8_t> buffer(kFirstKernelNameBytes);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status >= 0) {
            ULONG bytes = 0;
            std::memcpy(&bytes, buffer.data(), sizeof bytes);
            if (bytes > buffer.size() - sizeof bytes) return {};
            std::wstring name(bytes / sizeof(wchar_t), L'\0');
            std::memcpy(name.data(), buffer.data() + sizeof bytes, name.size() * sizeof(wchar_t));
            return name;
        }
        // Too small: grow, to the limit.
        if ((status != nt::kBufferOverflow && status != nt::kBufferTooSmall) || buffer.size() >= kMaxKernelNameBytes)
            return {};
        const std::size_t next = std::max<std::size_t>(buffer.size() * 2, needed);
        buffer.assign(std::min<std::size_t>(next, kMaxKernelNameBytes), 0);
    }
}

// The kernel's name of a root key.
std::wstring rootKernelName(platform::RootKey root) {
    if (root == platform::RootKey::LocalMachine) return L"\\REGISTRY\\MACHINE";
    // HKEY_CURRENT_USER is a stand-in handle; the user's own key has a name.
    UniqueKey user;
    if (::RegOpenCurrentUser(KEY_READ, user.put()) != ERROR_SUCCESS) return {};
    return kernelName(user.get());
}

DWORD grown(DWORD size, DWORD cap) { return size >= cap / 2 ? cap : size * 2; }

// What a Win32 error code says, as the registry interface tells it.
platform::RegStatus statusOf(LONG error) {
    using S = platform::RegStatus;
    switch (error) {
        case ERROR_SUCCESS: return S::Success;
        case ERROR_FILE_NOT_FOUND: return S::NotFound;
        case ERROR_ACCESS_DENIED: return S::AccessDenied;
        case ERROR_INVALID_PARAMETER: return S::Invalid;
        case ERROR_MORE_DATA: return S::MoreData;
        case ERROR_NO_MORE_ITEMS: return S::NoMoreItems;
        case ERROR_KEY_DELETED: return S::KeyDeleted;
        case ERROR_CANT_RESOLVE_FILENAME: return S::LinkRefused;
        default: return S::Failed;
    }
}

// A key of ours at `path` below the root, from `call` (which opens or makes
// it). MAXIMUM_ALLOWED rather than a fixed KEY_READ | KEY_WRITE: for a user
// without rights to change HKLM the fixed request fails outright, while this
// one opens the key with the read access the user does have. The view is
// always named, so that the program reads the same keys whatever its own
// bitness.
template <typename Call>
std::unique_ptr<platform::RegKey> keyAt(platform::RootKey root, std::string_view path, platform::View view,
                                        platform::RegStatus& status, Call call) {
    if (holdsNul(path)) {
        status = platform::RegStatus::Invalid;
        return nullptr;
    }
    UniqueKey key;
    status = statusOf(call(rootKey(root), widen(path).c_str(), MAXIMUM_ALLOWED | viewFlag(view), key.put()));
    if (status != platform::RegStatus::Success) return nullptr;
    return std::make_unique<Key>(std::move(key), root, view);
}

}  // namespace

std::unique_ptr<platform::RegKey> Registry::open(platform::RootKey root, std::string_view path,
                                                 platform::View view, platform::RegStatus& status) {
    return keyAt(root, path, view, status, [](HKEY under, const wchar_t* name, REGSAM access, HKEY* key) {
        return ::RegOpenKeyExW(under, name, 0, access, key);
    });
}

std::unique_ptr<platform::RegKey> Registry::create(platform::RootKey root, std::string_view path,
                                                   platform::View view, platform::RegStatus& status) {
    return keyAt(root, path, view, status, [](HKEY under, const wchar_t* name, REGSAM access, HKEY* key) {
        return ::RegCreateKeyExW(under, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key, nullptr);
    });
}

platform::RegStatus Registry::enumSubkey(platform::RegKey& key, std::uint32_t index, std::string& name) {
    name.clear();
    const HKEY hkey = handleOf(key);
    if (!hkey) return platform::RegStatus::Failed;
    std::wstring buffer(kFirstKeyNameChars, L'\0');
    for (;;) {
        DWORD len = static_cast<DWORD>(buffer.size());
        const LONG status =
            ::RegEnumKeyExW(hkey, static_cast<DWORD>(index), buffer.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            name = narrow(std::wstring_view(buffer.data(), std::min<std::size_t>(len, buffer.size())));
            return platform::RegStatus::Success;
        }
        if (status != ERROR_MORE_DATA || buffer.size() >= kMaxNameChars) return statusOf(status);
        buffer.assign(grown(static_cast<DWORD>(buffer.size()), kMaxNameChars), L'\0');
    }
}

namespace {

// The value classes of NtEnumerateValueKey and NtQueryValueKey, and their
// answers' fixed parts (KEY_VALUE_BASIC_INFORMATION and
// KEY_VALUE_FULL_INFORMATION; the partial one is the full one without a name).
constexpr int kValueBasic = 0;
constexpr int kValueFull = 1;
constexpr int kValuePartial = 2;
struct ValueBasic {
    ULONG titleIndex, type, nameLength;
};
struct ValueFull {
    ULONG titleIndex, type, dataOffset, dataLength, nameLength;
};
struct ValuePartial {
    ULONG titleIndex, type, dataLength;
};
constexpr std::size_t kValueFullNameOffset = sizeof(ValueFull);
constexpr std::size_t kValuePartialDataOffset = sizeof(ValuePartial);
// Room for the longest value name (16,383 characters) and the fixed part.
constexpr std::size_t kFirstValueBuffer = 4096;
constexpr std::size_t kMaxNameBytes = 16384 * sizeof(wchar_t);

using NtEnumerateValueKeyFn = LONG(NTAPI*)(HANDLE, ULONG, int, void*, ULONG, ULONG*);
using NtQueryValueKeyFn = LONG(NTAPI*)(HANDLE, UNICODE_STRING*, int, void*, ULONG, ULONG*);

platform::RegStatus errorOf(LONG status) {
    if (status == nt::kNoMoreEntries) return platform::RegStatus::NoMoreItems;
    if (status == nt::kNameNotFound) return platform::RegStatus::NotFound;
    const ULONG error = ::RtlNtStatusToDosError(status);
    return error == ERROR_SUCCESS ? platform::RegStatus::Failed : statusOf(static_cast<LONG>(error));
}

// Asks `read` (a call of the value function with a buffer and its size) for
// one value into the key's buffer, grown until the fixed part, the name and
// at most `maxBytes` of data fit. The system fills what fits of a value too
// large and says so (STATUS_BUFFER_OVERFLOW): that is the value cut. Answers
// the status and how many bytes of the buffer are filled.
template <typename Read>
LONG readValue(Key& key, std::size_t dataOffsetLimit, std::size_t maxBytes, std::size_t& filled, Read read) {
    std::size_t want = std::max(kFirstValueBuffer, key.capacity());
    for (int attempt = 0; attempt < kValueTries; ++attempt) {
        std::byte* buffer = key.buffer(want);
        ULONG needed = 0;
        const LONG status = read(buffer, static_cast<ULONG>(std::min<std::size_t>(want, ULONG_MAX)), needed);
        if (status >= 0) {
            filled = std::min<std::size_t>(needed, want);
            return status;
        }
        if (status != nt::kBufferOverflow && status != nt::kBufferTooSmall) return status;
        // All of it fits within the limits: make room and ask again.
        const std::size_t limit = dataOffsetLimit + maxBytes;
        if (needed > want && needed <= limit) {
            want = needed;
            continue;
        }
        if (want >= limit && status == nt::kBufferOverflow) {
            filled = want;  // the value is cut at the limit
            return status;
        }
        want = std::max(want, std::min<std::size_t>(limit, std::max<std::size_t>(needed, want * 2)));
    }
    return nt::kBufferOverflow;
}

}  // namespace

platform::RegStatus Registry::enumValue(platform::RegKey& key, std::uint32_t index, platform::RegValue& value, std::size_t maxBytes) {
    static const auto enumerate = ntdllFunction<NtEnumerateValueKeyFn>("NtEnumerateValueKey");
    value.name.clear();
    value.type = REG_NONE;
    value.data.clear();
    value.size = 0;
    auto* own = dynamic_cast<Key*>(&key);
    if (!own || !enumerate) return platform::RegStatus::Failed;
    maxBytes = std::min<std::size_t>(maxBytes, kMaxValueBytes);
    std::size_t filled = 0;
    const LONG status = readValue(*own, kValueFullNameOffset + kMaxNameBytes, maxBytes, filled,
                                  [&](std::byte* buffer, ULONG size, ULONG& needed) {
                                      return enumerate(own->get(), index, kValueFull, buffer, size, &needed);
                                  });
    if (status < 0 && status != nt::kBufferOverflow) return errorOf(status);
    ValueFull info{};
    if (filled < sizeof info) return platform::RegStatus::MoreData;
    const std::byte* buffer = own->buffer(0);
    std::memcpy(&info, buffer, sizeof info);
    if (kValueFullNameOffset + info.nameLength > filled) return platform::RegStatus::MoreData;  // not even its name fits
    value.name = narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(buffer + kValueFullNameOffset),
                                          info.nameLength / sizeof(wchar_t)));
    value.type = info.type;
    value.size = info.dataLength;
    if (info.dataLength > 0 && info.dataOffset < filled) {
        const std::size_t have = std::min<std::size_t>({info.dataLength, filled - info.dataOffset, maxBytes});
        const auto* data = reinterpret_cast<const std::uint8_t*>(buffer + info.dataOffset);
        value.data.assign(data, data + have);
    }
    return platform::RegStatus::Success;
}

platform::RegStatus Registry::enumValueName(platform::RegKey& key, std::uint32_t index, std::string& name) {
    static const auto enumerate = ntdllFunction<NtEnumerateValueKeyFn>("NtEnumerateValueKey");
    name.clear();
    auto* own = dynamic_cast<Key*>(&key);
    if (!own || !enumerate) return platform::RegStatus::Failed;
    std::size_t filled = 0;
    const LONG status = readValue(*own, sizeof(ValueBasic) + kMaxNameBytes, 0, filled,
                                  [&](std::byte* buffer, ULONG size, ULONG& needed) {
                                      return enumerate(own->get(), index, kValueBasic, buffer, size, &needed);
                                  });
    if (status < 0) return errorOf(status);
    ValueBasic info{};
    const std::byte* buffer = own->buffer(0);
    std::memcpy(&info, buffer, sizeof info);
    if (sizeof info + info.nameLength > filled) return platform::RegStatus::MoreData;
    name = narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(buffer + sizeof info),
                                    info.nameLength / sizeof(wchar_t)));
    return platform::RegStatus::Success;
}

platform::RegStatus Registry::queryValue(platform::RegKey& key, std::string_view name, platform::RegValue& value,
                          std::size_t maxBytes) {
    static const auto query = ntdllFunction<NtQueryValueKeyFn>("NtQueryValueKey");
    value.name = std::string(name);
    value.type = REG_NONE;
    value.data.clear();
    value.size = 0;
    auto* own = dynamic_cast<Key*>(&key);
    if (!own || !query) return platform::RegStatus::Failed;
    if (holdsNul(name)) return platform::RegStatus::Invalid;
    std::wstring wide = widen(name);
    if (wide.size() * sizeof(wchar_t) > 0xFFFE) return platform::RegStatus::Invalid;
    UNICODE_STRING counted{static_cast<USHORT>(wide.size() * sizeof(wchar_t)),
                           static_cast<USHORT>(wide.size() * sizeof(wchar_t)), wide.data()};
    maxBytes = std::min<std::size_t>(maxBytes, kMaxValueBytes);
    std::size_t filled = 0;
    const LONG status = readValue(*own, kValuePartialDataOffset, maxBytes, filled,
                                  [&](std::byte* buffer, ULONG size, ULONG& needed) {
                                      return query(own->get(), &counted, kValuePartial, buffer, size, &needed);
                                  });
    if (status < 0 && status != nt::kBufferOverflow) return errorOf(status);
    ValuePartial info{};
    if (filled < sizeof info) return platform::RegStatus::MoreData;
    const std::byte* buffer = own->buffer(0);
    std::memcpy(&info, buffer, sizeof info);
    value.type = info.type;
    value.size = info.dataLength;
    const std::size_t have =
        std::min<std::size_t>({info.dataLength, filled - kValuePartialDataOffset, maxBytes});
    const auto* data = reinterpret_cast<const std::uint8_t*>(buffer + kValuePartialDataOffset);
    value.data.assign(data, data + have);
    return platform::RegStatus::Success;
}

platform::RegStatus Registry::info(platform::RegKey& key, platform::KeyInfo& out) {
    out = {};
    const HKEY hkey = handleOf(key);
    if (!hkey) return platform::RegStatus::Failed;
    DWORD subkeys = 0, values = 0;
    const LONG status = ::RegQueryInfoKeyW(hkey, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                           nullptr, nullptr, nullptr, nullptr);
    out.subkeys = subkeys;
    out.values = values;
    return statusOf(status);
}

std::unique_ptr<platform::RegKey> Registry::openSubkey(platform::RegKey& parent, std::string_view name,
                                                       platform::RegStatus& status) {
    const Key* own = ownKey(parent);
    if (!own) {
        status = platform::RegStatus::Failed;
        return nullptr;
    }
    if (holdsNul(name)) {
        status = platform::RegStatus::Invalid;
        return nullptr;
    }
    // REG_OPTION_OPEN_LINK opens a link key as itself instead of the key it
    // leads to; what marks it a link is its SymbolicLinkValue of type REG_LINK.
    UniqueKey key;
    status = statusOf(::RegOpenKeyExW(own->get(), widen(name).c_str(), REG_OPTION_OPEN_LINK,
                                      MAXIMUM_ALLOWED | viewFlag(own->view()), key.put()));
    if (status != platform::RegStatus::Success) return nullptr;
    DWORD type = REG_NONE;
    if (::RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK) {
        status = platform::RegStatus::LinkRefused;
        return nullptr;
    }
    return std::make_unique<Key>(std::move(key), own->root(), own->view());
}

platform::RegStatus Registry::deleteKey(platform::RegKey& key) {
    using NtDeleteKeyFn = LONG(NTAPI*)(HANDLE);
    static const auto deleteKeyByHandle = ntdllFunction<NtDeleteKeyFn>("NtDeleteKey");
    const HKEY hkey = handleOf(key);
    if (!hkey || !deleteKeyByHandle) return platform::RegStatus::Failed;
    // By the handle, not by a name looked up again: the key that was opened
    // (and checked to be no link) is the one that goes.
    const LONG status = deleteKeyByHandle(hkey);
    if (status >= 0) return platform::RegStatus::Success;
    const ULONG error = ::RtlNtStatusToDosError(status);
    return error == ERROR_SUCCESS ? platform::RegStatus::AccessDenied : statusOf(static_cast<LONG>(error));
}

platform::RegStatus Registry::deleteValue(platform::RegKey& key, std::string_view name) {
    const HKEY hkey = handleOf(key);
    if (!hkey) return platform::RegStatus::Failed;
    if (holdsNul(name)) return platform::RegStatus::Invalid;
    return statusOf(::RegDeleteValueW(hkey, widen(name).c_str()));
}

platform::RegStatus Registry::setValue(platform::RegKey& key, const platform::RegValue& value) {
    const HKEY hkey = handleOf(key);
    if (!hkey) return platform::RegStatus::Failed;
    if (holdsNul(value.name)) return platform::RegStatus::Invalid;
    if (value.data.size() > static_cast<std::size_t>(ULONG_MAX)) return platform::RegStatus::Invalid;
    return statusOf(::RegSetValueExW(hkey, widen(value.name).c_str(), 0, static_cast<DWORD>(value.type),
                                     value.data.empty() ? nullptr : value.data.data(),
                                     static_cast<DWORD>(value.data.size())));
}

std::optional<std::string> Registry::storedPath(platform::RegKey& key) {
    const Key* own = ownKey(key);
    if (!own) return std::nullopt;
    const std::wstring name = kernelName(own->get());
    const std::wstring root = rootKernelName(own->root());
    if (name.empty() || root.empty() || name.size() <= root.size() + 1 || !startsWithName(name, root) ||
        name[root.size()] != L'\\')
        return std::nullopt;
    return narrow(std::wstring_view(name).substr(root.size() + 1));
}

}  // namespace wd::win32
