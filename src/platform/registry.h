// The Windows registry, as thin as the registry access layer needs it.
// Names and string data are UTF-8 here; every other value type is raw bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wd::platform {

enum class RootKey : std::uint32_t { CurrentUser = 0x80000001u, LocalMachine = 0x80000002u };

// The two views of the registry on 64-bit Windows. A 64-bit program sees the
// 64-bit view; 32-bit programs see the 32-bit view, in which the system
// redirects some keys (most of HKLM\Software goes to HKLM\Software\Wow6432Node)
// and shares others (HKCU\Software, and a list of keys under HKLM\Software)
// with the 64-bit view.
enum class View : std::uint8_t { Bit64, Bit32 };

// Registry value types with the numbers Windows gives them.
enum class ValueType : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiString = 7,
    ResourceList = 8,
    FullResourceDescriptor = 9,
    ResourceRequirementsList = 10,
    Qword = 11,
};

struct RegValue {
    std::string name;
    std::uint32_t type = 0;
    // The data exactly as stored; string types are UTF-16LE with their NULs.
    // A read that was given a limit holds at most that much of it.
    std::vector<std::uint8_t> data;
    // How many bytes the value holds: more than data.size() when it was cut.
    std::uint64_t size = 0;
};

// What a key holds, as its own information tells.
struct KeyInfo {
    std::uint32_t subkeys = 0;
    std::uint32_t values = 0;
};

// Status codes with the values Windows gives them.
inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidParameter = 87;
inline constexpr long kMoreData = 234;
inline constexpr long kNoMoreItems = 259;
// A key that is a registry link, which the program never goes through where
// it may change what it reaches (ERROR_CANT_RESOLVE_FILENAME).
inline constexpr long kLinkRefused = 1921;

// An open key; destroying it closes it.
class RegKey {
public:
    virtual ~RegKey() = default;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Opens the key as `view` shows it. A path or name that holds a NUL is
    // refused here and below: the system would take it for a shorter one.
    virtual std::unique_ptr<RegKey> open(RootKey root, std::string_view path, View view, long& status) = 0;
    // Opens the key, making it (and missing parents) when it is absent.
    virtual std::unique_ptr<RegKey> create(RootKey root, std::string_view path, View view, long& status) = 0;
    // Entry `index` of the key's direct subkeys; kNoMoreItems past the end.
    virtual long enumSubkey(RegKey& key, std::uint32_t index, std::string& name) = 0;
    // Entry `index` of the key's values with at most `maxBytes` of its data
    // (value.size tells how much it holds); kNoMoreItems past the end. The
    // buffers of `value` and of the key are used again from call to call.
    virtual long enumValue(RegKey& key, std::uint32_t index, RegValue& value, std::size_t maxBytes) = 0;
    // The name of entry `index` of the key's values, without its data.
    virtual long enumValueName(RegKey& key, std::uint32_t index, std::string& name) = 0;
    // The value of that name (as the registry matches names), with at most
    // `maxBytes` of its data; kFileNotFound when there is none.
    virtual long queryValue(RegKey& key, std::string_view name, RegValue& value, std::size_t maxBytes) = 0;
    // How many subkeys and values the key has.
    virtual long info(RegKey& key, KeyInfo& out) = 0;
    // Opens the direct subkey `name` of an open key, in the view that key was
    // opened in, as the key it is: a registry link (which leads elsewhere,
    // anywhere in the registry) is not followed but refused with
    // kLinkRefused.
    virtual std::unique_ptr<RegKey> openSubkey(RegKey& parent, std::string_view name, long& status) = 0;
    // Deletes the open key itself, which must have no subkeys: the key this
    // handle holds, whatever its path leads to by now.
    virtual long deleteKey(RegKey& key) = 0;
    virtual long deleteValue(RegKey& key, std::string_view name) = 0;
    virtual long setValue(RegKey& key, const RegValue& value) = 0;
    // Where the registry keeps the open key: its path below its root as
    // stored, after the view's redirection ("Software\Wow6432Node\..." for a
    // redirected key opened in the 32-bit view; the 64-bit key's own path for
    // a shared one). Two handles with the same stored path are one key.
    // Nothing when the system does not tell.
    virtual std::optional<std::string> storedPath(RegKey& key) = 0;
};

}  // namespace wd::platform
