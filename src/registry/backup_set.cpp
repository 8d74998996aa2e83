#include "registry/backup_set.h"

#include "common/unicode.h"

namespace wd::registry {

BackupSet::BackupSet(platform::Registry& reg, platform::Text* text) : reg_(reg), text_(text) {}

namespace {

using platform::RegValue;

bool hasLineBreakOrNul(std::string_view s) {
    for (char c : s)
        if (c == '\r' || c == '\n' || c == '\0') return true;
    return false;
}

// A name must come back from the file as it went in.
bool fitsInFile(std::string_view name) {
    return !hasLineBreakOrNul(name) && common::utf16leToUtf8(common::utf8ToUtf16le(name)) == name;
}

std::string fullPath(RootKey root, std::string_view path) {
    return std::string(RootKeyName(root)) + "\\" + std::string(path);
}

// A walk that ended before the registry said "no more items" (the key went
// away meanwhile, a read failed) or passed over an entry did not see it all.
bool sawAll(const WalkEnd& end) { return end.status == platform::RegStatus::NoMoreItems && end.unreadable == 0; }

}  // namespace

std::string BackupSet::nameKey(std::string_view name) const {
    // Only the registry's own rule: a looser one would take two names for one
    // and count the second as kept without writing it.
    if (text_) return text_->nameKey(name);
    std::string key(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

std::string BackupSet::placeKey(const Place& place) const {
    std::string key = place.root == RootKey::CurrentUser ? "U" : "M";
    key += place.view == View::Bit32 ? '3' : '6';
    return key + nameKey(place.path);
}

std::optional<std::string> BackupSet::filePath(const Place& place, platform::RegKey& key) const {
    if (place.view == View::Bit64) return fullPath(place.root, place.path);
    // The 32-bit view's key stands where the registry keeps it.
    std::optional<std::string> stored = reg_.storedPath(key);
    if (!stored || !fitsInFile(*stored)) return std::nullopt;
    return fullPath(place.root, *stored);
}

const RegFileKey* BackupSet::findBlock(const Place& place) const {
    const auto it = blocks_.find(placeKey(place));
    return it == blocks_.end() ? nullptr : &file_.keys[it->second];
}

std::size_t BackupSet::block(const Place& place, const std::string& path) {
    std::string key = placeKey(place);
    if (const auto it = blocks_.find(key); it != blocks_.end()) return it->second;
    file_.keys.push_back({path, {}});
    valueKeys_.emplace_back();
    placeKeys_.push_back(key);
    blocks_.emplace(std::move(key), file_.keys.size() - 1);
    return file_.keys.size() - 1;
}

void BackupSet::dropBlocksFrom(std::size_t first) {
    for (std::size_t i = first; i < placeKeys_.size(); ++i) blocks_.erase(placeKeys_[i]);
    const auto at = static_cast<std::ptrdiff_t>(first);
    file_.keys.erase(file_.keys.begin() + at, file_.keys.end());
    valueKeys_.erase(valueKeys_.begin() + at, valueKeys_.end());
    placeKeys_.erase(placeKeys_.begin() + at, placeKeys_.end());
}

bool BackupSet::addTo(std::size_t block, const RegValue& v) {
    if (!fitsInFile(v.name)) return false;
    if (!valueKeys_[block].insert(nameKey(v.name)).second) return true;  // kept already
    file_.keys[block].values.push_back({v.name, v.type, v.data});
    return true;
}

bool BackupSet::addTree(const Place& place, platform::RegKey& key, int depth) {
    if (depth > kMaxKeyDepth || !fitsInFile(place.path)) return false;
    if (findBlock(place)) return true;  // already collected, with all below it
    const std::optional<std::string> path = filePath(place, key);
    if (!path) return false;
    const std::size_t block = this->block(place, *path);
    bool whole = true;
    const WalkEnd values = WalkRawValues(reg_, key, [&](const RegValue& v) {
        whole = addTo(block, v) && whole;
        if (between) between();
        return true;
    });
    std::vector<std::string> children;
    const WalkEnd subkeys = WalkSubkeyNames(reg_, key, [&](const std::string& n) {
        children.push_back(n);
        return true;
    });
    if (!sawAll(values) || !sawAll(subkeys)) whole = false;
    for (const std::string& child : children) {
        // Each subkey as itself: a registry link inside the tree leads
        // elsewhere, and what it leads to is no part of the key.
        OpenResult sub = OpenSubkey(reg_, key, child);
        whole = sub.status == platform::RegStatus::Success &&
                addTree({place.root, place.view, place.path + "\\" + child}, *sub.key, depth + 1) && whole;
    }
    return whole;
}

void BackupSet::addKeyTree(RootKey root, std::string_view path, View view) {
    const Place place{root, view, std::string(path)};
    if (findBlock(place)) return;
    OpenResult key = OpenKeyAsItself(reg_, root, path, view);
    addTreeOf(place, key);
}

void BackupSet::addTreeOf(const Place& place, OpenResult& key) {
    const std::size_t before = file_.keys.size();
    if (between) between();
    if (key.status == platform::RegStatus::Success && addTree(place, *key.key, 0)) {
        if (file_.keys.size() > before) wholeKeys_.insert(placeKey(place));
        return;
    }
    // Left out whole: what was collected of it goes again.
    dropBlocksFrom(before);
    complete_ = false;
}

void BackupSet::addSubkeyTrees(RootKey root, std::string_view path, View view) {
    OpenResult parent = OpenKeyAsItself(reg_, root, path, view);
    if (parent.status != platform::RegStatus::Success) return;
    std::vector<std::string> children;
    const WalkEnd end = WalkSubkeyNames(reg_, *parent.key, [&](const std::string& n) {
        children.push_back(n);
        return true;
    });
    if (!sawAll(end)) complete_ = false;
    for (const std::string& child : children) {
        const Place place{root, view, std::string(path) + "\\" + child};
        if (findBlock(place)) continue;
        OpenResult key = OpenSubkey(reg_, *parent.key, child);
        addTreeOf(place, key);
    }
}

void BackupSet::addValue(RootKey root, std::string_view path, std::string_view name, View view) {
    const Place place{root, view, std::string(path)};
    OpenResult k = OpenKeyAsItself(reg_, root, path, view);
    if (k.status != platform::RegStatus::Success) return;
    bool found = false;
    const std::string wanted = nameKey(name);
    const WalkEnd end = WalkRawValues(reg_, *k.key, [&](const RegValue& v) {
        if (nameKey(v.name) != wanted) return true;
        found = true;
        const std::optional<std::string> file = fitsInFile(path) ? filePath(place, *k.key) : std::nullopt;
        // No block is made for a value that cannot stand in the file.
        if (!file || !fitsInFile(v.name) || !addTo(block(place, *file), v)) complete_ = false;
        return false;
    });
    if (!found && !sawAll(end)) complete_ = false;
}

void BackupSet::addAllValues(RootKey root, std::string_view path, View view) {
    const Place place{root, view, std::string(path)};
    OpenResult k = OpenKeyAsItself(reg_, root, path, view);
    if (k.status != platform::RegStatus::Success) return;
    const std::optional<std::string> file = fitsInFile(path) ? filePath(place, *k.key) : std::nullopt;
    const WalkEnd end = WalkRawValues(reg_, *k.key, [&](const RegValue& v) {
        if (!file || !fitsInFile(v.name) || !addTo(block(place, *file), v)) complete_ = false;
        if (between) between();
        return true;
    });
    if (!sawAll(end)) complete_ = false;
}

bool BackupSet::holdsKey(RootKey root, std::string_view path, View view) const {
    return wholeKeys_.count(placeKey({root, view, std::string(path)})) != 0;
}

bool BackupSet::holdsKeyBlock(RootKey root, std::string_view path, View view) const {
    return findBlock({root, view, std::string(path)}) != nullptr;
}

bool BackupSet::holdsValue(RootKey root, std::string_view path, std::string_view name, View view) const {
    const auto it = blocks_.find(placeKey({root, view, std::string(path)}));
    return it != blocks_.end() && valueKeys_[it->second].count(nameKey(name)) != 0;
}

}  // namespace wd::registry
