// UTF-8 inside the program, UTF-16 at the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace wd::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// Whether two names are one to the file system and the registry: equal after
// each UTF-16 unit is upper-cased by the system's own table, with no
// normalisation and no locale (CompareStringOrdinal, ignoring case).
bool sameName(std::wstring_view a, std::wstring_view b);
// Whether `text` starts with `prefix`, compared as sameName compares.
bool startsWithName(std::wstring_view text, std::wstring_view prefix);

}  // namespace wd::win32
