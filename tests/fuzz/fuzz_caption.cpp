// Registry value data of any type and length becomes a caption without a
// crash, and the caption is valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/unicode.h"
#include "registry/registry_access.h"

namespace {

bool validUtf8(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint32_t type = data[0] % 16;
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    const std::string caption = wd::registry::CaptionOf(type, bytes);
    if (!validUtf8(caption)) __builtin_trap();
    const std::string text = wd::common::utf16leToUtf8(bytes);
    if (!validUtf8(text)) __builtin_trap();
    // UTF-8 that came out of the decoder goes back to the same UTF-16.
    const auto round = wd::common::utf8ToUtf16le(text);
    if (wd::common::utf16leToUtf8(round) != text) __builtin_trap();
    return 0;
}
