// What a click of a cleaner is about to delete, read whole before anything
// is deleted; the pages delete only what it holds.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "registry/reg_file.h"
#include "registry/registry_access.h"

namespace wd::registry {

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

}  // namespace wd::registry
