#include "support/reg_file_reader.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/unicode.h"
#include "platform/registry.h"

namespace wd::test {

namespace {

using registry::RegFile;
using registry::RegFileValue;
using platform::ValueType;

constexpr std::uint32_t typeOf(ValueType t) { return static_cast<std::uint32_t>(t); }

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted text starting at s[0] == '"'; `rest` gets what follows the closing quote.
std::optional<std::string> readQuoted(std::string_view s, std::string_view& rest) {
    if (s.empty() || s[0] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\') {
            if (i + 1 >= s.size()) return std::nullopt;
            out += s[++i];
        } else if (s[i] == '"') {
            rest = s.substr(i + 1);
            return out;
        } else {
            out += s[i];
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> readHexList(std::string_view s) {
    std::vector<std::uint8_t> out;
    s = trimRight(trimLeft(s));
    if (s.empty()) return out;
    for (;;) {
        s = trimLeft(s);
        if (s.size() < 2) return std::nullopt;
        const int hi = hexDigit(s[0]), lo = hexDigit(s[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        s = trimLeft(s.substr(2));
        if (s.empty()) return out;
        if (s[0] != ',') return std::nullopt;
        s.remove_prefix(1);
    }
}

std::optional<std::uint32_t> readHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

std::string decodeFile(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        bytes.remove_prefix(2);
        return common::utf16leToUtf8(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
}

}  // namespace

std::optional<RegFile> ParseRegFile(std::string_view bytes) {
    const std::string text = decodeFile(bytes);
    const std::vector<std::string_view> lines = splitLines(text);
    std::size_t i = 0;
    while (i < lines.size() && trimRight(lines[i]).empty()) ++i;
    if (i >= lines.size() || trimRight(lines[i]) != registry::kRegFileHeader) return std::nullopt;
    ++i;

    RegFile file;
    for (; i < lines.size(); ++i) {
        const std::string_view line = trimRight(lines[i]);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']' || line[1] == '-') return std::nullopt;
            file.keys.push_back({std::string(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (file.keys.empty()) return std::nullopt;

        RegFileValue v;
        std::string_view rest;
        if (line[0] == '@') {
            rest = line.substr(1);
        } else {
            auto name = readQuoted(line, rest);
            if (!name || name->empty()) return std::nullopt;
            v.name = std::move(*name);
        }
        rest = trimLeft(rest);
        if (rest.empty() || rest[0] != '=') return std::nullopt;
        rest = trimLeft(rest.substr(1));

        if (!rest.empty() && rest[0] == '"') {
            std::string_view after;
            auto data = readQuoted(rest, after);
            if (!data || !trimLeft(after).empty()) return std::nullopt;
            v.type = typeOf(ValueType::String);
            v.data = common::utf8ToUtf16le(*data);
            v.data.push_back(0);
            v.data.push_back(0);
        } else if (rest.substr(0, 6) == "dword:") {
            auto d = readHexNumber(rest.substr(6), 8);
            if (!d) return std::nullopt;
            v.type = typeOf(ValueType::Dword);
            for (int b = 0; b < 4; ++b) v.data.push_back(static_cast<std::uint8_t>(*d >> (8 * b)));
        } else if (rest.substr(0, 3) == "hex") {
            rest.remove_prefix(3);
            if (!rest.empty() && rest[0] == ':') {
                v.type = typeOf(ValueType::Binary);
                rest.remove_prefix(1);
            } else {
                const std::size_t close = rest.find("):");
                if (rest.empty() || rest[0] != '(' || close == std::string_view::npos) return std::nullopt;
                auto t = readHexNumber(rest.substr(1, close - 1), 8);
                if (!t) return std::nullopt;
                v.type = *t;
                rest.remove_prefix(close + 2);
            }
            // Continuation lines: ",\" at the end carries on with the next line.
            std::string list(rest);
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                if (++i >= lines.size()) return std::nullopt;
                list += trimLeft(trimRight(lines[i]));
            }
            auto data = readHexList(list);
            if (!data) return std::nullopt;
            v.data = std::move(*data);
        } else {
            return std::nullopt;  // "-" (a deletion) or something unknown
        }
        file.keys.back().values.push_back(std::move(v));
    }
    return file;
}

}  // namespace wd::test
