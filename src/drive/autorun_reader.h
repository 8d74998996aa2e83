// The names an autorun file gives, read piece by piece: the drive monitor
// reads its Autorun copy in slices, in bounded memory, whatever the file holds.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace wd::drive {

// A name longer than this (in the file's own bytes) names nothing a path can
// hold; its line is passed over.
inline constexpr std::size_t kMaxNameBytes = 64u << 10;

// The names of an autorun file read piece by piece. A UTF-16LE or UTF-8
// byte-order mark decides the encoding, else the system's ANSI code page. A
// line ends at CR, CR LF or LF; the last line needs no end. A line's name is
// the text after its last "=" or space that is not the line's first
// character; a line without one names nothing. Of a line the reader keeps
// only the bytes after its last separator, at most kMaxNameBytes.
class AutorunReader {
public:
    // Reads the next bytes of the file; the name of every line they end is
    // appended to `names` (as UTF-8).
    void feed(platform::Text& text, std::string_view bytes, std::vector<std::string>& names);
    // The end of the file: the name of a last line without a line end.
    void finish(platform::Text& text, std::vector<std::string>& names);

private:
    enum class Encoding { Unknown, Ansi, Utf8, Utf16 };
    void detect(platform::Text& text, std::vector<std::string>& names);
    void scan(platform::Text& text, std::string_view bytes, std::vector<std::string>& names);
    void unit(platform::Text& text, char32_t u, std::string_view raw, std::vector<std::string>& names);
    void endLine(platform::Text& text, std::vector<std::string>& names);

    Encoding encoding_ = Encoding::Unknown;
    std::string head_;           // the first bytes, until the encoding is known
    std::string odd_;            // UTF-16: a byte waiting for its pair
    bool lineStarted_ = false;   // the current line has a first character
    bool separated_ = false;     // ... and a separator after it
    bool tooLong_ = false;       // ... whose name outgrew kMaxNameBytes
    bool afterCr_ = false;       // the last unit ended a line with CR
    std::string name_;           // the bytes after the last separator
};

}  // namespace wd::drive
