// Reading and writing an open file in pieces that ReadFile and WriteFile can
// count (they count in DWORDs).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace wd::win32 {

// Appends to `out` what the file holds from its current position, until its
// end or until `out` holds `maxBytes`; false when a read fails.
bool readToEnd(HANDLE file, std::uint64_t maxBytes, std::string& out);

// Writes every byte at the file's current position; false as soon as one
// piece is not written.
bool writeWhole(HANDLE file, std::string_view bytes);

}  // namespace wd::win32
