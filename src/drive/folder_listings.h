// What a quarantine run knows of the folders of its drive from listing them.
// A folder in which many names are looked for is listed once, and a name its
// listing does not hold then costs no look at all; the few lines of an
// ordinary autorun file cost one look each and no listing.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>

#include "platform/files.h"

namespace wd::drive {

class FolderListings {
public:
    // Whether the place may exist, from the listings alone: false only when
    // a listing says it does not. Asks of folders not yet listed are counted.
    bool mayExist(const platform::DriveParts& parts);
    // Whether the folder at `level` of a name is to be listed (again) now.
    bool due(const platform::DriveParts& parts, std::size_t level) const;
    // Lists the folder that `at` has reached, the one at `level` of a name
    // (due, see above); whether the part at `level` may be in it.
    bool relist(platform::DrivePath& at, const platform::DriveParts& parts, std::size_t level);
    // A name that was moved away is gone from its folder's listing (its key
    // stays while it stands for other entries too).
    void movedAway(const platform::DriveParts& parts);

private:
    using Clock = std::chrono::steady_clock;
    struct Listing {
        int asked = 0;
        bool listed = false, unlistable = false;
        Clock::time_point at{};
        struct Names {
            int count = 0;        // entries with this key
            bool folder = false;  // one of them is (or was) a folder
        };
        std::unordered_map<std::string, Names> entries;  // by listing key of names and aliases
    };
    static bool inListing(const Listing& l, const platform::DriveParts& parts, std::size_t i);

    std::map<std::string, Listing> listings_;  // by listing key of the folder's path
    std::size_t listedEntries_ = 0;
};

}  // namespace wd::drive
