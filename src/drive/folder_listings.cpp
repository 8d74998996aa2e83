#include "drive/folder_listings.h"

#include <string_view>

namespace wd::drive {

namespace {

using platform::DriveParts;

// A folder is listed once this many names have been looked for in it; until
// then each name costs one look, which is cheaper for the few lines of an
// ordinary autorun file.
constexpr int kListAfter = 64;
// Limits of the listings a run keeps: entries of one folder, entries of all,
// folders. A folder beyond them is not listed: its names are looked for one
// by one.
constexpr std::size_t kMaxFolderEntries = 32768;
constexpr std::size_t kMaxListedEntries = 65536;
constexpr std::size_t kMaxListedFolders = 256;
// A listing older than this is made again before it is used.
constexpr auto kListingLife = std::chrono::seconds(5);

// A coarse key for the listings: ASCII letters upper-cased, every other
// character one and the same mark. Two names that a file system takes for one
// always get the same key; names with the same key are looked for for real.
std::string listingKey(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : ch;
        else if ((c & 0xC0) != 0x80) out += '\x01';
    }
    return out;
}

// The listing key of the folder that holds part `count` of a name.
std::string folderKey(const DriveParts& parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
    return listingKey(out);
}

}  // namespace

bool FolderListings::mayExist(const DriveParts& parts) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string folder = folderKey(parts, i);
        auto it = listings_.find(folder);
        if (it == listings_.end()) {
            if (listings_.size() >= kMaxListedFolders) return true;
            it = listings_.emplace(folder, Listing{}).first;
        }
        Listing& l = it->second;
        if (l.unlistable) return true;
        if (!l.listed) {
            ++l.asked;
            return true;
        }
        if (Clock::now() - l.at > kListingLife) return true;  // listed again on the way
        if (!inListing(l, parts, i)) return false;
    }
    return true;
}

bool FolderListings::inListing(const Listing& l, const DriveParts& parts, std::size_t i) {
    const auto entry = l.entries.find(listingKey(parts[i]));
    return entry != l.entries.end() && (i + 1 == parts.size() || entry->second.folder);
}

bool FolderListings::due(const DriveParts& parts, std::size_t level) const {
    const auto it = listings_.find(folderKey(parts, level));
    if (it == listings_.end()) return false;
    const Listing& l = it->second;
    return !l.unlistable && (l.listed ? Clock::now() - l.at > kListingLife : l.asked > kListAfter);
}

bool FolderListings::relist(platform::DrivePath& at, const DriveParts& parts, std::size_t level) {
    const auto it = listings_.find(folderKey(parts, level));
    if (it == listings_.end()) return true;
    Listing& l = it->second;
    listedEntries_ -= l.entries.size();
    l.entries.clear();
    l.listed = false;
    const auto entries = at.list(kMaxFolderEntries);
    if (!entries || listedEntries_ + entries->size() > kMaxListedEntries) {
        l.unlistable = true;
        return true;
    }
    for (const auto& e : *entries) {
        for (const std::string* name : {&e.name, &e.alias}) {
            if (name->empty() || (name == &e.alias && listingKey(e.alias) == listingKey(e.name))) continue;
            Listing::Names& names = l.entries[listingKey(*name)];
            ++names.count;
            names.folder = names.folder || e.folder;
        }
    }
    listedEntries_ += l.entries.size();
    l.listed = true;
    l.at = Clock::now();
    return inListing(l, parts, level);
}

void FolderListings::movedAway(const DriveParts& parts) {
    auto it = listings_.find(folderKey(parts, parts.size() - 1));
    if (it == listings_.end() || !it->second.listed) return;
    auto entry = it->second.entries.find(listingKey(parts.back()));
    if (entry != it->second.entries.end() && --entry->second.count <= 0) {
        it->second.entries.erase(entry);
        --listedEntries_;
    }
}

}  // namespace wd::drive
