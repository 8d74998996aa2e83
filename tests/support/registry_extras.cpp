#include "support/registry_extras.h"

namespace wd::test {

std::vector<registry::ValueEntry> EnumValues(platform::Registry& reg, platform::RegKey& key) {
    std::vector<registry::ValueEntry> entries;
    registry::WalkValues(reg, key, [&](const registry::ValueEntry& e) {
        entries.push_back(e);
        return true;
    });
    return entries;
}

platform::RegStatus DeleteSubkey(platform::Registry& reg, platform::RegKey& key, std::string_view name) {
    // An empty name would make the system delete the open key itself, and a
    // path a key further down: neither is a direct subkey.
    if (name.empty() || name.find('\\') != std::string_view::npos) return platform::RegStatus::NotFound;
    if (registry::HoldsNul(name)) return platform::RegStatus::Invalid;
    registry::OpenResult sub = registry::OpenSubkey(reg, key, name);
    if (sub.status != platform::RegStatus::Success) return sub.status;
    return reg.deleteKey(*sub.key);
}

}  // namespace wd::test
