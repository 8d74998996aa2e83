#include "drive/autorun_reader.h"

#include <algorithm>

#include "common/unicode.h"

namespace wd::drive {

// Line ends, "=" and " " are found in the file's own bytes: in the ANSI code
// pages of Windows (East Asian double-byte ones included) and in UTF-8 these
// bytes are never part of another character, and in UTF-16 they are whole
// units. Only a name is decoded.
void AutorunReader::feed(platform::Text& text, std::string_view bytes, std::vector<std::string>& names) {
    if (encoding_ != Encoding::Unknown) {
        scan(text, bytes, names);
        return;
    }
    head_.append(bytes);
    if (head_.size() >= 3) detect(text, names);
}

void AutorunReader::finish(platform::Text& text, std::vector<std::string>& names) {
    if (encoding_ == Encoding::Unknown) detect(text, names);
    odd_.clear();  // an odd byte at the end of UTF-16 text is dropped
    if (lineStarted_) endLine(text, names);
    afterCr_ = false;
}

void AutorunReader::detect(platform::Text& text, std::vector<std::string>& names) {
    std::string head;
    head.swap(head_);
    std::size_t skip = 0;
    if (head.compare(0, 2, "\xFF\xFE") == 0) {
        encoding_ = Encoding::Utf16;
        skip = 2;
    } else if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        encoding_ = Encoding::Utf8;
        skip = 3;
    } else {
        encoding_ = Encoding::Ansi;
    }
    scan(text, std::string_view(head).substr(std::min(skip, head.size())), names);
}

void AutorunReader::scan(platform::Text& text, std::string_view bytes, std::vector<std::string>& names) {
    if (encoding_ != Encoding::Utf16) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            unit(text, static_cast<unsigned char>(bytes[i]), bytes.substr(i, 1), names);
        return;
    }
    std::size_t i = 0;
    if (!odd_.empty() && !bytes.empty()) {
        const std::string pair = odd_ + bytes[0];
        odd_.clear();
        unit(text, static_cast<unsigned char>(pair[0]) | (static_cast<unsigned char>(pair[1]) << 8), pair, names);
        i = 1;
    }
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
        unit(text, u, bytes.substr(i, 2), names);
    }
    if (i < bytes.size()) odd_.assign(1, bytes[i]);
}

void AutorunReader::unit(platform::Text& text, char32_t u, std::string_view raw, std::vector<std::string>& names) {
    if (afterCr_ && u == U'\n') {  // CR LF ends one line
        afterCr_ = false;
        return;
    }
    afterCr_ = false;
    if (u == U'\r' || u == U'\n') {
        endLine(text, names);
        afterCr_ = u == U'\r';
        return;
    }
    if ((u == U'=' || u == U' ') && lineStarted_) {
        separated_ = true;
        tooLong_ = false;
        name_.clear();
    } else if (separated_ && !tooLong_) {
        if (name_.size() + raw.size() > kMaxNameBytes) {
            tooLong_ = true;
            name_.clear();
            name_.shrink_to_fit();
        } else {
            name_.append(raw);
        }
    }
    lineStarted_ = true;
}

void AutorunReader::endLine(platform::Text& text, std::vector<std::string>& names) {
    if (separated_ && !tooLong_) {
        switch (encoding_) {
            case Encoding::Utf16: names.push_back(common::utf16leToUtf8(name_)); break;
            case Encoding::Utf8: names.push_back(name_); break;
            default: {
                const bool ascii = std::all_of(name_.begin(), name_.end(),
                                               [](char c) { return static_cast<unsigned char>(c) < 0x80; });
                names.push_back(ascii ? name_ : text.fromAnsi(name_));
            }
        }
    }
    lineStarted_ = separated_ = tooLong_ = false;
    name_.clear();
}

}  // namespace wd::drive
