// The state of the machine around the program under test, read and written
// directly by the client: registry keys as whole trees, files and folders as
// listings. The registry and drive scenarios seed it before a click and
// compare it afterwards, independently of how the program reads it.
#pragma once

#include "automation.h"

#include <optional>
#include <string>
#include <vector>

namespace wdauto::machine {

// ---- registry -------------------------------------------------------------------

struct RegValue {
    std::wstring name;
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

// A key with all its values and subkeys, in the registry's enumeration order.
struct RegTree {
    std::wstring name;  // the key's own name (last part of its path)
    std::vector<RegValue> values;
    std::vector<RegTree> subkeys;

    RegTree& value(RegValue v);
    RegTree& subkey(RegTree k);
    const RegTree* find(const std::wstring& subkeyName) const;
    RegTree* find(const std::wstring& subkeyName);
    bool removeSubkey(const std::wstring& subkeyName);
    bool removeValue(const std::wstring& valueName);
};

// Value makers. `sz` and `expandSz` store the text with its terminating NUL.
RegValue sz(const std::wstring& name, const std::wstring& text);
RegValue expandSz(const std::wstring& name, const std::wstring& text);
RegValue multiSz(const std::wstring& name, const std::vector<std::wstring>& texts);
RegValue dword(const std::wstring& name, DWORD v);
RegValue binary(const std::wstring& name, std::vector<BYTE> bytes);
RegValue raw(const std::wstring& name, DWORD type, std::vector<BYTE> bytes);
RegTree key(const std::wstring& name, std::vector<RegValue> values = {}, std::vector<RegTree> subkeys = {});

// "HKLM\..." or "HKCU\..." for messages.
std::wstring regPathText(HKEY root, const std::wstring& path);

// `view` picks the registry view the path is read in: 0 (the client's own,
// 64-bit), KEY_WOW64_64KEY or KEY_WOW64_32KEY.

// The key as it is now; nothing when it does not exist.
std::optional<RegTree> readKey(HKEY root, const std::wstring& path, REGSAM view = 0);
// Subkey names and values in the registry's own enumeration order.
std::vector<std::wstring> subkeyNames(HKEY root, const std::wstring& path, REGSAM view = 0);
std::vector<RegValue> values(HKEY root, const std::wstring& path, REGSAM view = 0);
std::optional<RegValue> value(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view = 0);

// Makes the key (and its parents) and writes every value and subkey of
// `tree` into it; `tree.name` is not used. Returns an error text, empty on success.
std::wstring writeKey(HKEY root, const std::wstring& path, const RegTree& tree, REGSAM view = 0);
bool setValue(HKEY root, const std::wstring& path, const RegValue& v);
// Deletes the key with everything below it; true if it is gone afterwards.
bool deleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);
// Deletes every subkey (whole) and every value of the key, keeping the key.
bool emptyKey(HKEY root, const std::wstring& path, REGSAM view = 0);

// One line per key and value, values and subkeys sorted by name (letter case
// ignored) so that two trees with the same content read the same whatever
// their enumeration order. Long data is shown by size and checksum.
std::wstring describeTree(const RegTree& tree);
// What differs between two descriptions, line by line (at most `maxLines`).
std::wstring lineDiff(const std::wstring& expected, const std::wstring& seen, size_t maxLines = 12);

// ---- files ------------------------------------------------------------------------

std::optional<std::string> readFile(const std::wstring& path);
bool writeFile(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
// Writes `bytes` beside `path` first and then renames it into place, so that
// a program polling for `path` never sees it half written.
bool placeFile(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
bool exists(const std::wstring& path);
bool isFolder(const std::wstring& path);
DWORD attributes(const std::wstring& path);
// Deletes a file or a folder with everything in it (attributes cleared first).
bool removeAll(const std::wstring& path);

// Everything below `root` (recursive up to `depth` levels), one line per
// entry: relative path, attributes, size, last write time. `withRoot` adds the
// root folder's own last write time (it changes when an entry is made or
// deleted in it).
std::wstring listing(const std::wstring& root, int depth = 8, bool withRoot = true);
// Only the names of the entries directly in `folder`, sorted.
std::vector<std::wstring> names(const std::wstring& folder);

// ---- processes ----------------------------------------------------------------------

// Runs `commandLine` (raw) and waits; the exit code, or -1 if it did not start
// or end within `timeoutMs` (then it is ended).
long runAndWait(const std::wstring& exe, const std::wstring& commandLine, int timeoutMs);
// `regedit /S file`: imports a .reg file into the registry.
long importRegFile(const std::wstring& file, int timeoutMs = 30000);
// The system's reg.exe with `arguments` ("add HKLM\\... /v x /d y /reg:32 /f").
long runRegTool(const std::wstring& arguments, int timeoutMs = 30000);

std::wstring environment(const std::wstring& name);

}  // namespace wdauto::machine
