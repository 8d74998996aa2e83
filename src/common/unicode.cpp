#include "common/unicode.h"

namespace wd::common {

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

namespace {

void appendUtf16(std::vector<std::uint8_t>& out, char16_t u) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
}

}  // namespace

std::vector<std::uint8_t> utf8ToUtf16le(std::string_view s) {
    std::vector<std::uint8_t> out;
    out.reserve(s.size() * 2);
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = 0;
        char32_t c = 0;
        char32_t least = 0;
        if (b < 0x80) len = 1, c = b;
        else if ((b & 0xE0) == 0xC0) len = 2, c = b & 0x1F, least = 0x80;
        else if ((b & 0xF0) == 0xE0) len = 3, c = b & 0x0F, least = 0x800;
        else if ((b & 0xF8) == 0xF0) len = 4, c = b & 0x07, least = 0x10000;
        bool ok = len > 0 && i + static_cast<std::size_t>(len) <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto t = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((t & 0xC0) != 0x80) ok = false;
            else c = (c << 6) | (t & 0x3F);
        }
        if (ok && (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) ok = false;
        if (!ok) {
            appendUtf16(out, 0xFFFD);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            appendUtf16(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            appendUtf16(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            appendUtf16(out, static_cast<char16_t>(c));
        }
        i += static_cast<std::size_t>(len);
    }
    return out;
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

}  // namespace wd::common
