#include <windows.h>

#include <algorithm>
#include <climits>

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

class Key final : public platform::RegKey {
public:
    explicit Key(HKEY key) noexcept : key_(key) {}
    HKEY get() const noexcept { return key_.get(); }

private:
    UniqueKey key_;
};

HKEY rootKey(platform::RootKey root) {
    return root == platform::RootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HKEY handleOf(platform::RegKey& key) {
    const auto* own = dynamic_cast<const Key*>(&key);
    return own ? own->get() : nullptr;
}

DWORD grown(DWORD size, DWORD cap) { return size >= cap / 2 ? cap : size * 2; }

}  // namespace

// MAXIMUM_ALLOWED rather than a fixed KEY_READ | KEY_WRITE: for a user
// without rights to change HKLM the fixed request fails outright, while this
// one opens the key with the read access the user does have. No KEY_WOW64
// flag: the program is 64-bit, so its view is the native one.
std::unique_ptr<platform::RegKey> Registry::open(platform::RootKey root, std::string_view path, long& status) {
    HKEY key = nullptr;
    status = ::RegOpenKeyExW(rootKey(root), widen(path).c_str(), 0, MAXIMUM_ALLOWED, &key);
    if (status != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Key>(key);
}

std::unique_ptr<platform::RegKey> Registry::create(platform::RootKey root, std::string_view path, long& status) {
    HKEY key = nullptr;
    status = ::RegCreateKeyExW(rootKey(root), widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               MAXIMUM_ALLOWED, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Key>(key);
}

long Registry::enumSubkey(platform::RegKey& key, std::uint32_t index, std::string& name) {
    name.clear();
    const HKEY hkey = handleOf(key);
    if (!hkey) return ERROR_INVALID_HANDLE;
    std::wstring buffer(kFirstKeyNameChars, L'\0');
    for (;;) {
        DWORD len = static_cast<DWORD>(buffer.size());
        const LONG status =
            ::RegEnumKeyExW(hkey, static_cast<DWORD>(index), buffer.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            name = narrow(std::wstring_view(buffer.data(), std::min<std::size_t>(len, buffer.size())));
            return status;
        }
        if (status != ERROR_MORE_DATA || buffer.size() >= kMaxNameChars) return status;
        buffer.assign(grown(static_cast<DWORD>(buffer.size()), kMaxNameChars), L'\0');
    }
}

long Registry::enumValue(platform::RegKey& key, std::uint32_t index, platform::RegValue& value) {
    value = {};
    const HKEY hkey = handleOf(key);
    if (!hkey) return ERROR_INVALID_HANDLE;

    // Size both buffers for the largest name and data of the key, so that
    // one call usually does; a value that grew since is asked for again.
    DWORD maxName = 0, maxData = 0;
    LONG status = ::RegQueryInfoKeyW(hkey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                     &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    DWORD nameChars = std::clamp<DWORD>(maxName + 1, kFirstKeyNameChars, kMaxNameChars);
    DWORD dataBytes = std::min<DWORD>(maxData, kMaxValueBytes);

    std::wstring name;
    std::vector<std::uint8_t> data;
    for (int attempt = 0; attempt < kValueTries; ++attempt) {
        name.assign(nameChars, L'\0');
        data.assign(dataBytes, 0);
        DWORD nameLen = nameChars;
        DWORD type = REG_NONE;
        DWORD dataLen = dataBytes;
        // A null data pointer would mean "size only"; an empty value needs a real one.
        std::uint8_t spare = 0;
        status = ::RegEnumValueW(hkey, static_cast<DWORD>(index), name.data(), &nameLen, nullptr, &type,
                                 data.empty() ? &spare : data.data(), &dataLen);
        if (status == ERROR_SUCCESS) {
            name.resize(std::min<DWORD>(nameLen, nameChars));
            data.resize(std::min<DWORD>(dataLen, dataBytes));
            value.name = narrow(name);
            value.type = type;
            value.data = std::move(data);
            return status;
        }
        if (status != ERROR_MORE_DATA) return status;

        // Either buffer may have been short. A short data buffer reports the
        // size it needs; a short name reports nothing. So: take the reported
        // size, ask the key again for its largest name and data, and when
        // neither says more, double the name buffer.
        const DWORD oldName = nameChars, oldData = dataBytes;
        if (dataLen > dataBytes) {
            if (dataLen > kMaxValueBytes) return ERROR_MORE_DATA;
            dataBytes = dataLen;
        }
        if (::RegQueryInfoKeyW(hkey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                               &maxData, nullptr, nullptr) == ERROR_SUCCESS) {
            nameChars = std::max(nameChars, std::min(maxName + 1, kMaxNameChars));
            dataBytes = std::max(dataBytes, std::min(maxData, kMaxValueBytes));
        }
        if (nameChars == oldName && dataBytes == oldData) {
            if (nameChars >= kMaxNameChars) return ERROR_MORE_DATA;  // nothing left to try
            nameChars = grown(nameChars, kMaxNameChars);
        }
    }
    return status;
}

long Registry::deleteSubkey(platform::RegKey& key, std::string_view name) {
    const HKEY hkey = handleOf(key);
    if (!hkey) return ERROR_INVALID_HANDLE;
    // One level only: a key that still has subkeys is refused by the system.
    return ::RegDeleteKeyW(hkey, widen(name).c_str());
}

long Registry::deleteValue(platform::RegKey& key, std::string_view name) {
    const HKEY hkey = handleOf(key);
    if (!hkey) return ERROR_INVALID_HANDLE;
    return ::RegDeleteValueW(hkey, widen(name).c_str());
}

long Registry::setValue(platform::RegKey& key, const platform::RegValue& value) {
    const HKEY hkey = handleOf(key);
    if (!hkey) return ERROR_INVALID_HANDLE;
    if (value.data.size() > static_cast<std::size_t>(ULONG_MAX)) return ERROR_INVALID_PARAMETER;
    return ::RegSetValueExW(hkey, widen(value.name).c_str(), 0, static_cast<DWORD>(value.type),
                            value.data.empty() ? nullptr : value.data.data(),
                            static_cast<DWORD>(value.data.size()));
}

}  // namespace wd::win32
