#include "app/unicode.h"

namespace wd::app {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string utf16leToUtf8(std::span<const std::uint8_t> bytes) {
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) { return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); };
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const char16_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{low} - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? char32_t{0xFFFD} : char32_t{u});
    }
    return out;
}

std::string utf16leToUtf8(std::string_view bytes) {
    return utf16leToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::size_t utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

namespace {

bool wellFormedAt(std::string_view text, std::size_t start, std::size_t len) {
    if (len == 0 || start + len > text.size()) return false;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(text[start + k]) & 0xC0) != 0x80) return false;
    return true;
}

}  // namespace

std::string firstCharacter(std::string_view text) {
    if (text.empty()) return {};
    const std::size_t len = utf8SequenceLength(static_cast<unsigned char>(text[0]));
    return std::string(text.substr(0, wellFormedAt(text, 0, len) ? len : 1));
}

std::string lastCharacter(std::string_view text) {
    if (text.empty()) return {};
    std::size_t start = text.size() - 1;
    for (std::size_t back = 0; start > 0 && back < 3 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80;
         ++back)
        --start;
    const std::size_t len = utf8SequenceLength(static_cast<unsigned char>(text[start]));
    if (len == text.size() - start && wellFormedAt(text, start, len)) return std::string(text.substr(start));
    return std::string(text.substr(text.size() - 1));
}

}  // namespace wd::app
