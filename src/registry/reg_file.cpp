#include "registry/reg_file.h"

#include <array>
#include <cstdio>

#include "common/unicode.h"
#include "platform/registry.h"

namespace wd::registry {

namespace {

using platform::ValueType;

// Lines of hex data end at about this column, as the registry editor's do.
constexpr std::size_t kHexLineEnd = 77;

constexpr std::uint32_t typeOf(ValueType t) { return static_cast<std::uint32_t>(t); }

std::string escaped(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// The file's UTF-16LE bytes, handed on in pieces of kRegFilePiece bytes.
class PieceWriter {
public:
    explicit PieceWriter(const RegFileSink& sink) : sink_(sink) { buffer_.reserve(kRegFilePiece); }

    void unit(char16_t u) {
        buffer_ += static_cast<char>(u & 0xFF);
        buffer_ += static_cast<char>(u >> 8);
        if (buffer_.size() >= kRegFilePiece) drain();
    }
    void ascii(std::string_view s) {
        for (char c : s) unit(static_cast<unsigned char>(c));
    }
    // Text of the program (UTF-8), with \ and " escaped when asked.
    void text(std::string_view utf8, bool escape) {
        const std::vector<std::uint8_t> wide = common::utf8ToUtf16le(utf8);
        for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
            const auto u = static_cast<char16_t>(wide[i] | (wide[i + 1] << 8));
            if (escape && (u == u'\\' || u == u'"')) unit(u'\\');
            unit(u);
        }
    }
    bool finish() {
        drain();
        return ok_;
    }

private:
    void drain() {
        if (ok_ && !buffer_.empty()) ok_ = sink_(buffer_);
        buffer_.clear();
    }

    const RegFileSink& sink_;
    std::string buffer_;
    bool ok_ = true;
};

char16_t unitAt(const std::vector<std::uint8_t>& data, std::size_t i) {
    return static_cast<char16_t>(data[i] | (data[i + 1] << 8));
}

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Whether REG_SZ data can stand as a quoted string that reads back to exactly
// these bytes: whole UTF-16 units, one terminating NUL, well-formed
// surrogate pairs, nothing a line cannot hold. Looked at in place, so that
// large data is not copied.
bool quotable(const RegFileValue& v) {
    const std::size_t n = v.data.size();
    if (v.type != typeOf(ValueType::String) || n < 2 || n % 2 != 0) return false;
    if (unitAt(v.data, n - 2) != 0) return false;
    for (std::size_t i = 0; i + 2 < n; i += 2) {
        const char16_t u = unitAt(v.data, i);
        if (u == 0 || u == u'\r' || u == u'\n' || isLowSurrogate(u)) return false;
        if (isHighSurrogate(u)) {
            if (i + 4 >= n || !isLowSurrogate(unitAt(v.data, i + 2))) return false;
            i += 2;
        }
    }
    return true;
}

void writeHex(PieceWriter& out, std::size_t column, const std::vector<std::uint8_t>& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && column + 3 > kHexLineEnd) {
            out.ascii("\\\r\n  ");
            column = 2;
        }
        out.unit(static_cast<char16_t>(kDigits[data[i] >> 4]));
        out.unit(static_cast<char16_t>(kDigits[data[i] & 0xF]));
        column += 2;
        if (i + 1 < data.size()) {
            out.unit(u',');
            ++column;
        }
    }
    out.ascii("\r\n");
}

void writeValue(PieceWriter& out, const RegFileValue& v) {
    // The column the data starts at, for the line breaks of hex data.
    std::size_t column = 0;
    if (v.name.empty()) {
        out.ascii("@=");
        column = 2;
    } else {
        out.unit(u'"');
        out.text(v.name, true);
        out.ascii("\"=");
        column = common::utf8ToUtf16le(escaped(v.name)).size() / 2 + 3;
    }
    if (quotable(v)) {
        out.unit(u'"');
        for (std::size_t i = 0; i + 2 < v.data.size(); i += 2) {
            const char16_t u = unitAt(v.data, i);
            if (u == u'\\' || u == u'"') out.unit(u'\\');
            out.unit(u);
        }
        out.ascii("\"\r\n");
        return;
    }
    if (v.type == typeOf(ValueType::Dword) && v.data.size() == 4) {
        const std::uint32_t d = std::uint32_t{v.data[0]} | (std::uint32_t{v.data[1]} << 8) |
                                (std::uint32_t{v.data[2]} << 16) | (std::uint32_t{v.data[3]} << 24);
        std::array<char, 16> buf{};
        std::snprintf(buf.data(), buf.size(), "%08x", static_cast<unsigned>(d));
        out.ascii("dword:");
        out.ascii(buf.data());
        out.ascii("\r\n");
        return;
    }
    std::string prefix;
    if (v.type == typeOf(ValueType::Binary)) {
        prefix = "hex:";
    } else {
        std::array<char, 16> buf{};
        std::snprintf(buf.data(), buf.size(), "%x", static_cast<unsigned>(v.type));
        prefix = "hex(";
        prefix += buf.data();
        prefix += "):";
    }
    out.ascii(prefix);
    writeHex(out, column + prefix.size(), v.data);
}

}  // namespace

bool WriteRegFile(const RegFile& file, const RegFileSink& sink) {
    PieceWriter out(sink);
    out.unit(0xFEFF);  // the byte-order mark, FF FE
    out.ascii(kRegFileHeader);
    out.ascii("\r\n\r\n");
    for (const RegFileKey& key : file.keys) {
        out.unit(u'[');
        out.text(key.path, false);
        out.ascii("]\r\n");
        for (const RegFileValue& v : key.values) writeValue(out, v);
        out.ascii("\r\n");
    }
    return out.finish();
}

std::string WriteRegFile(const RegFile& file) {
    std::string bytes;
    WriteRegFile(file, [&](std::string_view piece) {
        bytes.append(piece);
        return true;
    });
    return bytes;
}

}  // namespace wd::registry
