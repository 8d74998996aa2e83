// An in-memory registry for the unit tests. It behaves like the real one
// where the program's logic depends on it:
// - key and value names compare as Windows compares them (sameNameAsWindows:
//   ordinal, each UTF-16 unit upper-cased), and keep the spelling they were
//   made with;
// - two views, as on 64-bit Windows: the 64-bit view sees the keys where they
//   are; the 32-bit view sees HKLM\Software\... at HKLM\Software\Wow6432Node\...
//   except for shared keys (Image File Execution Options from the start, more
//   with share()), and HKCU as it is; a handle tells where its key is stored;
//- a name or path handed to the registry is read up to its first NUL, as the
//   system reads a wide string, while enumerations return names whole;
// - a key that has subkeys cannot be deleted (AccessDenied);
// - subkeys and values enumerate in the order they were made, stably;
// - a handle to a key that has been removed answers KeyDeleted;
// - string data is UTF-16LE with its NUL, so "" has two bytes of data, and a
//   value can be made without any data at all.
// Knobs let a test refuse opening, fail deletions and writes, hide a value's
// data behind "more data", and change the registry between two enumeration
// calls, as another program may.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "registry/reg_file.h"

namespace wd::test {

using platform::RootKey;
inline constexpr RootKey HKCU = RootKey::CurrentUser;
inline constexpr RootKey HKLM = RootKey::LocalMachine;

class MemoryRegistry : public platform::Registry {
public:
    struct Node;
    class Handle;

    MemoryRegistry();
    ~MemoryRegistry() override;

    // ---- seeding (missing keys on the path are made) ----
    void addKey(RootKey root, std::string_view path);
    // A registry link at `path` to the key at `targetPath` (which need not
    // exist): paths through it lead there, and it holds one value,
    // SymbolicLinkValue (REG_LINK), the target's kernel name.
    void addLink(RootKey root, std::string_view path, RootKey targetRoot, std::string_view targetPath);
    void setString(RootKey root, std::string_view path, std::string_view name, std::string_view utf8);
    void setExpandString(RootKey root, std::string_view path, std::string_view name, std::string_view utf8);
    void setMultiString(RootKey root, std::string_view path, std::string_view name,
                        const std::vector<std::string>& strings);
    void setDword(RootKey root, std::string_view path, std::string_view name, std::uint32_t v);
    void setQword(RootKey root, std::string_view path, std::string_view name, std::uint64_t v);
    void setBinary(RootKey root, std::string_view path, std::string_view name, std::vector<std::uint8_t> data);
    void setRaw(RootKey root, std::string_view path, std::string_view name, std::uint32_t type,
                std::vector<std::uint8_t> data);
    // A value without any data (REG_SZ of zero bytes unless told otherwise).
    void setNoData(RootKey root, std::string_view path, std::string_view name, std::uint32_t type = 1);

    // Where `view` keeps the key at `path`: "Software\Wow6432Node\..." for a
    // redirected key of the 32-bit view, else the path itself.
    std::string physicalPath(RootKey root, std::string_view path, platform::View view) const;

    // ---- looking ----
    bool hasKey(RootKey root, std::string_view path) const;
    bool hasValue(RootKey root, std::string_view path, std::string_view name) const;
    std::optional<platform::RegValue> value(RootKey root, std::string_view path, std::string_view name) const;
    std::vector<std::string> subkeyNames(RootKey root, std::string_view path) const;
    std::vector<std::string> valueNames(RootKey root, std::string_view path) const;
    // The key and everything below it, parents before children, as a backup
    // file would hold it. Empty when the key is missing.
    std::vector<registry::RegFileKey> tree(RootKey root, std::string_view path) const;
    // Both roots whole, keys sorted by path and values by name, so that two
    // states compare equal whatever order their keys were made in.
    std::vector<registry::RegFileKey> snapshot() const;
    // Does what the registry editor does when it imports the file: makes
    // every key and sets every value.
    void import(const registry::RegFile& file);

    // ---- knobs ----
    // Opening the key answers "access denied".
    void denyOpen(RootKey root, std::string_view path, bool on = true);
    // Deletions and writes through a handle of this key answer "access denied".
    void makeReadOnly(RootKey root, std::string_view path, bool on = true);
    // Enumerating this value answers "more data", as the system does for data
    // larger than the platform will read.
    void makeUnreadable(RootKey root, std::string_view path, std::string_view name);
    // Removes the key and everything below it, as another program may.
    bool removeTree(RootKey root, std::string_view path);
    // Enumerating the key's values or subkeys answers `status` at `index`, as
    // a read that fails part of the way does.
    void breakEnumeration(RootKey root, std::string_view path, std::uint32_t index,
                          platform::RegStatus status = platform::RegStatus::Failed);
    // The key disappears just before its enumeration asks for `index`.
    void vanishDuringEnumeration(RootKey root, std::string_view path, std::uint32_t index);
    // The key and everything below it is one key for both views.
    void share(RootKey root, std::string_view path, bool on = true);
    bool hideStoredPaths = false;  // storedPath() knows nothing, as when the system does not tell
    bool failDeletes = false;  // every deleteKey/deleteValue answers AccessDenied
    bool failWrites = false;   // every setValue and every create that makes a key answers AccessDenied
    // Runs before every enumeration call with the key's path ("HKLM\...") and the index.
    std::function<void(const std::string& keyPath, std::uint32_t index)> beforeEnumerate;

    // ---- what happened ----
    int openHandles() const { return openHandles_; }
    int enumerationCalls() const { return enumerationCalls_; }
    int queries() const { return queries_; }
    // The most data one read handed over.
    std::size_t largestRead = 0;
    // Deletions and writes asked for, failed ones too: "deleteKey HKLM\a\b",
    // "deleteValue HKLM\a:name", "setValue HKLM\a:name".
    std::vector<std::string> log;

    // ---- platform::Registry ----
    std::unique_ptr<platform::RegKey> open(RootKey root, std::string_view path, platform::View view,
                                           platform::RegStatus& status) override;
    std::unique_ptr<platform::RegKey> create(RootKey root, std::string_view path, platform::View view,
                                             platform::RegStatus& status) override;
    platform::RegStatus enumSubkey(platform::RegKey& key, std::uint32_t index, std::string& name) override;
    platform::RegStatus enumValue(platform::RegKey& key, std::uint32_t index, platform::RegValue& value,
                   std::size_t maxBytes) override;
    platform::RegStatus enumValueName(platform::RegKey& key, std::uint32_t index, std::string& name) override;
    platform::RegStatus queryValue(platform::RegKey& key, std::string_view name, platform::RegValue& value,
                    std::size_t maxBytes) override;
    platform::RegStatus info(platform::RegKey& key, platform::KeyInfo& out) override;
    std::unique_ptr<platform::RegKey> openSubkey(platform::RegKey& parent, std::string_view name,
                                                 platform::RegStatus& status) override;
    platform::RegStatus deleteKey(platform::RegKey& key) override;
    platform::RegStatus deleteValue(platform::RegKey& key, std::string_view name) override;
    platform::RegStatus setValue(platform::RegKey& key, const platform::RegValue& value) override;
    std::optional<std::string> storedPath(platform::RegKey& key) override;

    // Bytes of a UTF-8 text as REG_SZ data: UTF-16LE with its NUL.
    static std::vector<std::uint8_t> sz(std::string_view utf8);

private:
    friend class Handle;
    std::shared_ptr<Node> find(RootKey root, std::string_view path) const;
    std::shared_ptr<Node> make(RootKey root, std::string_view path);
    Node& mustFind(RootKey root, std::string_view path) const;
    void put(Node& node, platform::RegValue v);

    std::shared_ptr<Node> currentUser_, localMachine_;
    std::vector<std::pair<RootKey, std::string>> shared_;
    int openHandles_ = 0;
    int enumerationCalls_ = 0;
    int queries_ = 0;
};

}  // namespace wd::test
