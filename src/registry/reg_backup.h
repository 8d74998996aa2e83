// Backups of what the cleaners delete, as files that the Windows registry
// editor imports ("Windows Registry Editor Version 5.00", UTF-16LE with a
// byte-order mark, CRLF line ends). Importing a backup puts back every key and
// value it holds, with the same types and data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace wd::registry {

struct RegFileValue {
    std::string name;  // UTF-8; empty for the key's default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    friend bool operator==(const RegFileValue&, const RegFileValue&) = default;
};

struct RegFileKey {
    std::string path;  // with its root: "HKEY_LOCAL_MACHINE\Software\..."
    std::vector<RegFileValue> values;
    friend bool operator==(const RegFileKey&, const RegFileKey&) = default;
};

// The keys of a file in their order: a key's block comes before its subkeys'.
struct RegFile {
    std::vector<RegFileKey> keys;
    friend bool operator==(const RegFile&, const RegFile&) = default;
};

inline constexpr char kRegFileHeader[] = "Windows Registry Editor Version 5.00";

// The bytes of the file: byte-order mark, then UTF-16LE text.
//   "name"="text"        REG_SZ that reads back exactly (\ and " escaped)
//   @=...                the default (unnamed) value
//   dword:0000002a       REG_DWORD of four bytes
//   hex:01,02            REG_BINARY
//   hex(N):...           every other type N, and any data of the types above
//                        that the short forms cannot carry exactly
// Long hex data is continued on the next line after ",\" as the registry
// editor does, keeping lines to about 80 columns.
std::string WriteRegFile(const RegFile& file);

// Reads a file in that format back (UTF-16LE with its byte-order mark, or
// UTF-8). Nothing when it is not such a file or holds anything this program
// does not write (deletion entries, values outside a key, broken data).
std::optional<RegFile> ParseRegFile(std::string_view bytes);

// Collects, before a click deletes anything, all that the click is about to
// delete. Keys are read whole (values and subkeys to any depth). An item that
// cannot be kept faithfully (data the system would not hand over, a name that
// cannot stand in the file, a key nested too deep) is left out whole, and the
// pages delete only what the set holds: one such item never blocks the rest.
class BackupSet {
public:
    // `text` (may be null) folds letter case when value names are matched
    // beyond ASCII, as the registry itself does.
    explicit BackupSet(platform::Registry& reg, platform::Text* text = nullptr);

    // The key with all its values and all its subkeys, parents before
    // children. Nothing when the key cannot be opened.
    void addKeyTree(platform::RootKey root, std::string_view path);
    // Every direct subkey of the key, each whole.
    void addSubkeyTrees(platform::RootKey root, std::string_view path);
    // The value of that name (matched as the registry matches names), if any.
    void addValue(platform::RootKey root, std::string_view path, std::string_view name);
    // Every value of the key.
    void addAllValues(platform::RootKey root, std::string_view path);

    bool empty() const { return file_.keys.empty(); }
    // False when some item asked for was left out.
    bool complete() const { return complete_; }
    const RegFile& file() const { return file_; }

    // Whether the set holds this key whole, or this value: only then may it
    // be deleted.
    bool holdsKey(platform::RootKey root, std::string_view path) const;
    bool holdsValue(platform::RootKey root, std::string_view path, std::string_view name) const;

private:
    bool addTree(platform::RootKey root, const std::string& path, int depth);
    RegFileKey& block(platform::RootKey root, std::string_view path);
    const RegFileKey* findBlock(platform::RootKey root, std::string_view path) const;
    bool addTo(RegFileKey& key, const platform::RegValue& v);
    bool sameName(std::string_view a, std::string_view b) const;

    platform::Registry& reg_;
    platform::Text* text_;
    RegFile file_;
    std::vector<std::string> wholeKeys_;  // the full paths of the trees held whole
    bool complete_ = true;
};

// Backups go to <local app data>\Wardeck\Backups\<timestamp>-<page>.reg.
inline constexpr char kBackupFolder[] = "Wardeck\\Backups";

// Writes the backup of one click; `page` is "hijack" or "browser". A file of
// the same name is never replaced: "-2", "-3", ... is added instead. Returns
// the path written, or nothing when the backup could not be written (no
// app-data folder, a failed write).
std::optional<std::string> WriteBackupFile(platform::Files& files, platform::Environment& env, std::string_view page,
                                           const BackupSet& set);

}  // namespace wd::registry
