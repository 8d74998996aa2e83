// UTF-8 and UTF-16LE helpers, below every subsystem: the program's text is
// UTF-8, and data that Windows stores as UTF-16LE (registry strings, .reg
// files, autorun files with a byte-order mark) passes through here. Nothing
// here fails: bytes that are not valid text are replaced, never read past.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wd::common {

void appendUtf8(std::string& out, char32_t c);

// UTF-16LE bytes to UTF-8: an odd byte at the end is dropped, broken
// surrogates become U+FFFD, NULs are kept.
std::string utf16leToUtf8(std::span<const std::uint8_t> bytes);
std::string utf16leToUtf8(std::string_view bytes);
// UTF-8 to UTF-16LE bytes, without a terminating NUL. Bytes that are not
// UTF-8 become U+FFFD.
std::vector<std::uint8_t> utf8ToUtf16le(std::string_view text);

// Length of the UTF-8 sequence that `lead` starts; 0 for a byte that starts none.
std::size_t utf8SequenceLength(unsigned char lead);

// The first or last character of a UTF-8 text, whole. A byte that is not part
// of a well-formed sequence counts as a character of its own.
std::string firstCharacter(std::string_view text);
std::string lastCharacter(std::string_view text);

}  // namespace wd::common
