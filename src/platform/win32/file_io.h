// Reading and writing an open file in pieces that ReadFile and WriteFile can
// count (they count in DWORDs).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wd::win32 {

// Appends to `out` what the file holds from its current position, until its
// end or until `out` holds `maxBytes`; false when a read fails.
bool readToEnd(HANDLE file, std::uint64_t maxBytes, std::string& out);

// Writes every byte at the file's current position; false as soon as one
// piece is not written.
bool writeWhole(HANDLE file, std::string_view bytes);

// A FILE_RENAME_INFO that names the new name `target`, relative to the open
// `folder` (null: `target` is a full path), in a buffer of its own size.
std::vector<unsigned char> renameInfo(std::wstring_view target, HANDLE folder, bool replaceIfExists);

}  // namespace wd::win32
