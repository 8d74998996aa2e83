// Reads a registry editor file back, for the tests and the fuzz run to check
// what the program writes (registry/reg_file.h).
#pragma once

#include <optional>
#include <string_view>

#include "registry/reg_file.h"

namespace wd::test {

// Reads a file in the format WriteRegFile writes (UTF-16LE with its
// byte-order mark, or UTF-8). Nothing when it is not such a file or holds
// anything the program does not write (deletion entries, values outside a
// key, broken data).
std::optional<registry::RegFile> ParseRegFile(std::string_view bytes);

}  // namespace wd::test
