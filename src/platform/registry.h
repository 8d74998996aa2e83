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

// The two root keys the program works under: HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE.
enum class RootKey { CurrentUser, LocalMachine };

// The two views of the registry on 64-bit Windows. A 64-bit program sees the
// 64-bit view; 32-bit programs see the 32-bit view, in which the system
// redirects some keys (most of HKLM\Software goes to HKLM\Software\Wow6432Node)
// and shares others (HKCU\Software, and a list of keys under HKLM\Software)
// with the 64-bit view.
enum class View : std::uint8_t { Bit64, Bit32 };

// Registry value types. A value's type is data like its bytes: the registry
// stores it as this number, a backup file writes it as hex(N), and a type
// with no name here is kept as its number all the same (RegValue::type).
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

// How a registry call went.
enum class RegStatus {
    Success,
    NotFound,      // no such key or value
    AccessDenied,  // refused, or a key that still has subkeys was to be deleted
    Invalid,       // a name, path or data the registry cannot be asked for (one holding a NUL, ...)
    MoreData,      // an entry too large to hand over whole
    NoMoreItems,   // an enumeration's end
    KeyDeleted,    // the open key has been deleted meanwhile
    // A key that is a registry link, which the program never goes through
    // where it may change what it reaches.
    LinkRefused,
    Failed,  // anything else
};

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
    virtual std::unique_ptr<RegKey> open(RootKey root, std::string_view path, View view, RegStatus& status) = 0;
    // Opens the key, making it (and missing parents) when it is absent.
    virtual std::unique_ptr<RegKey> create(RootKey root, std::string_view path, View view, RegStatus& status) = 0;
    // Entry `index` of the key's direct subkeys; NoMoreItems past the end.
    virtual RegStatus enumSubkey(RegKey& key, std::uint32_t index, std::string& name) = 0;
    // Entry `index` of the key's values with at most `maxBytes` of its data
    // (value.size tells how much it holds); NoMoreItems past the end. The
    // buffers of `value` and of the key are used again from call to call.
    virtual RegStatus enumValue(RegKey& key, std::uint32_t index, RegValue& value, std::size_t maxBytes) = 0;
    // The name of entry `index` of the key's values, without its data.
    virtual RegStatus enumValueName(RegKey& key, std::uint32_t index, std::string& name) = 0;
    // The value of that name (as the registry matches names), with at most
    // `maxBytes` of its data; NotFound when there is none.
    virtual RegStatus queryValue(RegKey& key, std::string_view name, RegValue& value, std::size_t maxBytes) = 0;
    // How many subkeys and values the key has.
    virtual RegStatus info(RegKey& key, KeyInfo& out) = 0;
    // Opens the direct subkey `name` of an open key, in the view that key was
    // opened in, as the key it is: a registry link (which leads elsewhere,
    // anywhere in the registry) is not followed but refused with
    // LinkRefused.
    virtual std::unique_ptr<RegKey> openSubkey(RegKey& parent, std::string_view name, RegStatus& status) = 0;
    // Deletes the open key itself, which must have no subkeys: the key this
    // handle holds, whatever its path leads to by now.
    virtual RegStatus deleteKey(RegKey& key) = 0;
    virtual RegStatus deleteValue(RegKey& key, std::string_view name) = 0;
    virtual RegStatus setValue(RegKey& key, const RegValue& value) = 0;
    // Where the registry keeps the open key: its path below its root as
    // stored, after the view's redirection ("Software\Wow6432Node\..." for a
    // redirected key opened in the 32-bit view; the 64-bit key's own path for
    // a shared one). Two handles with the same stored path are one key.
    // Nothing when the system does not tell.
    virtual std::optional<std::string> storedPath(RegKey& key) = 0;
};

}  // namespace wd::platform
