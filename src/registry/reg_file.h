// Files that the Windows registry editor imports: "Windows Registry Editor
// Version 5.00", UTF-16LE with a byte-order mark, CRLF line ends. Importing
// one puts back every key and value it holds, with the same types and data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wd::registry {

struct RegFileValue {
    std::string name;  // UTF-8; empty for the key's default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    friend bool operator==(const RegFileValue&, const RegFileValue&) = default;
};

struct RegFileKey {
    std::string path;  // with its root: "HKEY_LOCAL_MACHINE\Software\..."
    std::vector<RegFileValue> values;
    friend bool operator==(const RegFileKey&, const RegFileKey&) = default;
};

// The keys of a file in their order: a key's block comes before its subkeys'.
struct RegFile {
    std::vector<RegFileKey> keys;
    friend bool operator==(const RegFile&, const RegFile&) = default;
};

inline constexpr char kRegFileHeader[] = "Windows Registry Editor Version 5.00";

// The bytes of the file: byte-order mark, then UTF-16LE text.
//   "name"="text"        REG_SZ that reads back exactly (\ and " escaped)
//   @=...                the default (unnamed) value
//   dword:0000002a       REG_DWORD of four bytes
//   hex:01,02            REG_BINARY
//   hex(N):...           every other type N, and any data of the types above
//                        that the short forms cannot carry exactly
// Long hex data is continued on the next line after ",\" as the registry
// editor does, keeping lines to about 80 columns.
//
// The bytes go to `sink` in pieces of kRegFilePiece bytes (the last one
// shorter) as they are made, so that writing needs no more memory than one
// piece whatever the size of the data. False as soon as the sink fails.
using RegFileSink = std::function<bool(std::string_view piece)>;
bool WriteRegFile(const RegFile& file, const RegFileSink& sink);
// The same, all the bytes at once.
std::string WriteRegFile(const RegFile& file);

inline constexpr std::size_t kRegFilePiece = 64 * 1024;

}  // namespace wd::registry
