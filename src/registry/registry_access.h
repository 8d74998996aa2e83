// The registry access layer: every read and write of the registry that the
// pages make goes through these stateless operations. A routine opens the key
// it needs, works on it and lets the handle go (which closes it) before it
// returns; nothing here keeps a key or any other state.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace wd::registry {

using platform::RootKey;
using platform::View;

// An open key. Destroying it closes the key (CloseKey).
using KeyHandle = std::unique_ptr<platform::RegKey>;

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
std::string_view RootKeyName(RootKey root);

struct OpenResult {
    platform::RegStatus status = platform::RegStatus::NotFound;
    KeyHandle key;  // set exactly when status is Success
};

// Opens the key as `view` shows it. A path that holds a NUL names no key the
// registry can be asked for and is refused.
OpenResult OpenKey(platform::Registry& reg, RootKey root, std::string_view path, View view = View::Bit64);
// Opens the key to change it or what is in it: the key itself, never a
// registry link in its place. The last part of the path is opened as the key
// it is (a link there is refused with LinkRefused); in the user's own keys,
// which any program of the user can change, so is every part before it. (The
// machine's keys above the last part are an administrator's to change.)
OpenResult OpenKeyAsItself(platform::Registry& reg, RootKey root, std::string_view path, View view = View::Bit64);
// Opens the direct subkey `name` of `parent` as itself (see
// platform::Registry::openSubkey); a name with a NUL or a backslash is none.
OpenResult OpenSubkey(platform::Registry& reg, platform::RegKey& parent, std::string_view name);
// Opens the key, making it when it is missing. Null when even that failed.
KeyHandle CreateKey(platform::Registry& reg, RootKey root, std::string_view path, View view = View::Bit64);

// Whether `view` shows a key of its own at the path, one that the cleaners
// list in that view. The 64-bit view always counts. The 32-bit view counts
// when it shows a key that is stored elsewhere than the 64-bit view's (a
// redirected key), or when only it shows one; a key the system shares
// between the views is the 64-bit view's, so it is read once. When the
// system does not tell where a key is stored, the 32-bit view does not count.
bool ViewHasOwnKey(platform::Registry& reg, RootKey root, std::string_view path, View view);

// A row's link to the registry: the entry's name and the view it was found in.
struct ViewedName {
    std::string name;
    View view = View::Bit64;
    friend bool operator==(const ViewedName&, const ViewedName&) = default;
};

// One enumerated value as the pages see it.
struct ValueEntry {
    std::string Name;            // UTF-8
    std::int32_t ByteCount = 0;  // bytes of data; 0 for a value without data
    std::string Text;            // a readable caption of the data (see CaptionOf)
};

// How an enumeration ended.
struct WalkEnd {
    // The status that ended it; Success when the caller stopped it.
    platform::RegStatus status = platform::RegStatus::NoMoreItems;
    std::uint32_t unreadable = 0;  // entries the system could not hand over whole
};

// How much of one value's data is read: whole for a backup, the first part
// for a caption or a tip (a longer value is shown cut, with "…").
inline constexpr std::size_t kMaxWholeValueBytes = 64u << 20;
inline constexpr std::size_t kMaxShownValueBytes = 64u << 10;

// Walking enumerations: the callback sees each entry before the next one is
// asked for, and returns false to stop the walk. An enumeration ends on any
// status other than success; an entry the system reports as too large to hand
// over (MoreData, which the platform only returns once its own buffers have
// hit their limits) is passed over and counted, and the walk goes on with the
// next index.
WalkEnd WalkSubkeyNames(platform::Registry& reg, platform::RegKey& key,
                        const std::function<bool(const std::string& name)>& visit);
// Each value with a caption of (at most kMaxShownValueBytes of) its data.
WalkEnd WalkValues(platform::Registry& reg, platform::RegKey& key,
                   const std::function<bool(const ValueEntry& entry)>& visit);
// Each value's name only.
WalkEnd WalkValueNames(platform::Registry& reg, platform::RegKey& key,
                       const std::function<bool(const std::string& name)>& visit);
// Each value with its type and its data whole; a value larger than
// kMaxWholeValueBytes is passed over as one the system would not hand over.
WalkEnd WalkRawValues(platform::Registry& reg, platform::RegKey& key,
                      const std::function<bool(const platform::RegValue& value)>& visit);
// The value of that name (matched as the registry matches names), as
// WalkValues shows it; nothing when there is none.
std::optional<ValueEntry> QueryValue(platform::Registry& reg, platform::RegKey& key, std::string_view name);

// A collecting enumeration: the whole list first, for callers that delete.
std::vector<std::string> EnumSubkeyNames(platform::Registry& reg, platform::RegKey& key);

// Deletes the direct subkey `name` with everything below it, each key from
// the bottom up through its own handle, never through a registry link (a
// link inside keeps its parents, and the subkey stays; LinkRefused when the
// subkey is one). `mayDelete` is asked for each key with its path below
// `key` ("name", "name\sub", ...); a key it refuses stays, and so do the
// keys above it. Success when the subkey is gone. An empty name or one with
// a backslash names no direct subkey and is refused, and so is a name with a
// NUL (the system would read a shorter name), in DeleteValue and
// SetStringValue too.
platform::RegStatus DeleteKeyTree(platform::Registry& reg, platform::RegKey& key, std::string_view name,
                                  const std::function<bool(const std::string& path)>& mayDelete = {});
platform::RegStatus DeleteValue(platform::Registry& reg, platform::RegKey& key, std::string_view name);
// Writes `text` as REG_SZ: UTF-16LE with its terminating NUL.
platform::RegStatus SetStringValue(platform::Registry& reg, platform::RegKey& key, std::string_view name,
                                   std::string_view text);

// The registry nests keys at most this deep; deeper means a loop.
inline constexpr int kMaxKeyDepth = 512;

// True when a name or path holds a NUL.
bool HoldsNul(std::string_view text);

// ---- data and text ----

// The ValueEntry of a value as read: its ByteCount is what the value holds;
// a caption of data that was cut ends in "…".
ValueEntry MakeValueEntry(const platform::RegValue& value);

// A readable caption of value data of any type:
// - REG_SZ, REG_EXPAND_SZ, REG_LINK: the UTF-16LE text up to its first NUL (a
//   stray odd byte at the end is dropped, broken surrogates show as U+FFFD);
// - REG_MULTI_SZ: the strings joined by kMultiStringSeparator;
// - REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_QWORD of their proper size: decimal;
// - anything else: the bytes in hex, "01 a0 ff", the first kCaptionHexBytes
//   of them followed by "…" when there are more.
std::string CaptionOf(std::uint32_t type, std::span<const std::uint8_t> data);

inline constexpr char kMultiStringSeparator[] = " | ";
inline constexpr std::size_t kCaptionHexBytes = 1024;

}  // namespace wd::registry
