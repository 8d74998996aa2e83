#include "support/memory_platform.h"

#include "common/unicode.h"

namespace wd::test {

namespace {

char32_t lowerOf(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    // As the invariant locale lower-cases them (and unlike the registry's
    // name comparison): the dotted capital I and the Kelvin sign.
    if (c == 0x130) return U'i';
    if (c == 0x212A) return U'k';
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    return c;
}

char16_t upperUnit(char16_t u) {
    if (u >= u'a' && u <= u'z') return static_cast<char16_t>(u - 32);
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char16_t>(u - 32);
    if (u == 0xFF) return 0x178;
    // Latin Extended-A: capital and small letters in pairs; U+0130, U+0131,
    // U+0138, U+0149 and U+017F have no simple partner here.
    if ((u >= 0x100 && u <= 0x12F) || (u >= 0x132 && u <= 0x137) || (u >= 0x14A && u <= 0x177))
        return (u & 1) ? static_cast<char16_t>(u - 1) : u;
    if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) return (u & 1) ? u : static_cast<char16_t>(u - 1);
    if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return static_cast<char16_t>(u - 32);
    if (u >= 0x430 && u <= 0x44F) return static_cast<char16_t>(u - 32);
    if (u >= 0x450 && u <= 0x45F) return static_cast<char16_t>(u - 80);
    return u;
}

}  // namespace

std::string nameKeyAsWindows(std::string_view name) {
    std::vector<std::uint8_t> w = common::utf8ToUtf16le(name);
    for (std::size_t i = 0; i + 1 < w.size(); i += 2) {
        const char16_t u = upperUnit(static_cast<char16_t>(w[i] | (w[i + 1] << 8)));
        w[i] = static_cast<std::uint8_t>(u & 0xFF);
        w[i + 1] = static_cast<std::uint8_t>(u >> 8);
    }
    return std::string(w.begin(), w.end());
}

bool sameNameAsWindows(std::string_view a, std::string_view b) {
    const std::vector<std::uint8_t> wa = common::utf8ToUtf16le(a), wb = common::utf8ToUtf16le(b);
    if (wa.size() != wb.size()) return false;
    for (std::size_t i = 0; i + 1 < wa.size(); i += 2) {
        const auto x = static_cast<char16_t>(wa[i] | (wa[i + 1] << 8));
        const auto y = static_cast<char16_t>(wb[i] | (wb[i + 1] << 8));
        if (upperUnit(x) != upperUnit(y)) return false;
    }
    return true;
}

std::string MemoryText::lowerCase(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || i + static_cast<std::size_t>(len) > s.size()) {
            out += s[i++];  // not UTF-8: kept as it is
            continue;
        }
        char32_t c = len == 1 ? b : b & (0x7F >> len);
        for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        common::appendUtf8(out, lowerOf(c));
        i += static_cast<std::size_t>(len);
    }
    return out;
}

}  // namespace wd::test
