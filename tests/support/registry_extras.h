// Operations of the registry access layer (registry/registry_access.h) that
// only the tests use: the program deletes whole trees and walks values as
// they come.
#pragma once

#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "registry/registry_access.h"

namespace wd::test {

// Every value of the key, as WalkValues shows each.
std::vector<registry::ValueEntry> EnumValues(platform::Registry& reg, platform::RegKey& key);

// Deletes a direct subkey that has no subkeys of its own; the system refuses
// any other. An empty name or one with a backslash names no direct subkey and
// is refused, and so is a name with a NUL. A subkey that is a registry link is
// not deleted (LinkRefused), nor is anything it leads to.
platform::RegStatus DeleteSubkey(platform::Registry& reg, platform::RegKey& key, std::string_view name);

}  // namespace wd::test
