// Backups of what the cleaners delete, as files that the Windows registry
// editor imports ("Windows Registry Editor Version 5.00", UTF-16LE with a
// byte-order mark, CRLF line ends). Importing a backup puts back every key and
// value it holds, with the same types and data.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "registry/registry_access.h"

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
//
// The bytes go to `sink` in pieces of kRegFilePiece bytes (the last one
// shorter) as they are made, so that writing needs no more memory than one
// piece whatever the size of the data. False as soon as the sink fails.
using RegFileSink = std::function<bool(std::string_view piece)>;
bool WriteRegFile(const RegFile& file, const RegFileSink& sink);
// The same, all the bytes at once.
std::string WriteRegFile(const RegFile& file);

inline constexpr std::size_t kRegFilePiece = 64 * 1024;

// Reads a file in that format back (UTF-16LE with its byte-order mark, or
// UTF-8). Nothing when it is not such a file or holds anything this program
// does not write (deletion entries, values outside a key, broken data).
std::optional<RegFile> ParseRegFile(std::string_view bytes);

// Collects, before a click deletes anything, all that the click is about to
// delete. Keys are read whole (values and subkeys to any depth), each in the
// registry view it is deleted in. An item that cannot be kept faithfully
// (data the system would not hand over, a name that cannot stand in the file
// or holds a NUL, a key nested too deep, a key whose reading ended on an
// error, a key of the 32-bit view whose place the system does not tell) is
// left out whole, and the pages delete only what the set holds: one such item
// never blocks the rest.
//
// A key of the 64-bit view stands in the file under the path it was asked
// for; a key of the 32-bit view under the path where the registry keeps it
// (HKEY_LOCAL_MACHINE\Software\Wow6432Node\... for a redirected key), which is
// where a registry editor imports it back into that view.
class BackupSet {
public:
    // `text` (may be null) matches names as the registry does; without it
    // only ASCII letters are matched without regard to case.
    explicit BackupSet(platform::Registry& reg, platform::Text* text = nullptr);

    using View = platform::View;

    // The key with all its values and all its subkeys, parents before
    // children. Nothing when the key cannot be opened.
    void addKeyTree(platform::RootKey root, std::string_view path, View view = View::Bit64);
    // Every direct subkey of the key, each whole.
    void addSubkeyTrees(platform::RootKey root, std::string_view path, View view = View::Bit64);
    // The value of that name (matched as the registry matches names), if any.
    void addValue(platform::RootKey root, std::string_view path, std::string_view name, View view = View::Bit64);
    // Every value of the key.
    void addAllValues(platform::RootKey root, std::string_view path, View view = View::Bit64);

    // Called between the entries read, for long work to keep the window
    // answering (may be empty).
    std::function<void()> between;

    bool empty() const { return file_.keys.empty(); }
    // False when some item asked for was left out.
    bool complete() const { return complete_; }
    const RegFile& file() const { return file_; }

    // Whether the set holds this key whole, or this value, as read in that
    // view: only then may it be deleted there.
    bool holdsKey(platform::RootKey root, std::string_view path, View view = View::Bit64) const;
    bool holdsValue(platform::RootKey root, std::string_view path, std::string_view name,
                    View view = View::Bit64) const;
    // Whether the set holds this key's own block (its values), as read in
    // that view: a key below a tree held whole, deleted with that tree, must
    // have been read with it (one made since stays).
    bool holdsKeyBlock(platform::RootKey root, std::string_view path, View view = View::Bit64) const;

private:
    // A key as it was asked for: the file's block of the same index holds it.
    struct Place {
        platform::RootKey root;
        View view;
        std::string path;
    };

    bool addTree(const Place& place, platform::RegKey& key, int depth);
    void addTreeOf(const Place& place, OpenResult& key);
    // The path a key stands under in the file; nothing when it cannot be told.
    std::optional<std::string> filePath(const Place& place, platform::RegKey& key) const;
    // The index of the file's block for the place, made when missing.
    std::size_t block(const Place& place, const std::string& filePath);
    const RegFileKey* findBlock(const Place& place) const;
    bool addTo(std::size_t block, const platform::RegValue& v);
    // Names and places as the registry tells them apart (ordinal, ignoring
    // case per UTF-16 unit), for the hash sets below.
    std::string nameKey(std::string_view name) const;
    std::string placeKey(const Place& place) const;
    // Drops the blocks from `first` on (a tree left out after all).
    void dropBlocksFrom(std::size_t first);

    platform::Registry& reg_;
    platform::Text* text_;
    RegFile file_;
    std::vector<std::string> placeKeys_;                     // of the place file_.keys[i] was read at
    std::vector<std::unordered_set<std::string>> valueKeys_;  // the names of file_.keys[i]'s values
    std::unordered_map<std::string, std::size_t> blocks_;    // place key -> index
    std::unordered_set<std::string> wholeKeys_;              // the trees held whole
    bool complete_ = true;
};

// Backups go to <folder>\Wardeck\Backups\<timestamp>-<page>.reg. Running
// with an administrator's full rights, the folder is the machine's data
// folder, and Wardeck and Backups in it are folders that only Administrators
// and SYSTEM may change: a backup that any program of the user could edit
// would be imported later with an administrator's rights. Without them it is
// the user's local application data (only the user's own keys can then be
// deleted).
inline constexpr char kBackupFolder[] = "Wardeck\\Backups";
inline constexpr char kProgramFolder[] = "Wardeck";

// Writes the backup of one click; `page` is "hijack" or "browser". The file
// is made new: one of the same name, also one another copy of the program
// makes at the same moment, is never opened or replaced, and "-2", "-3", ...
// is added instead. The file is written in pieces and is on the disk when
// this returns its path. Nothing when the backup could not be written whole
// (no folder for it, a failed write or flush): then no part of it is left.
std::optional<std::string> WriteBackupFile(platform::Files& files, platform::Environment& env, std::string_view page,
                                           const BackupSet& set);

}  // namespace wd::registry
