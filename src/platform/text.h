// Text services whose answers depend on the system's tables.
#pragma once

#include <string>
#include <string_view>

namespace wd::platform {

class Text {
public:
    virtual ~Text() = default;
    // Lower-cases every letter of a UTF-8 text, in any language.
    virtual std::string lowerCase(std::string_view utf8) = 0;
    // Decodes bytes in the system's ANSI code page into UTF-8.
    virtual std::string fromAnsi(std::string_view bytes) = 0;
};

}  // namespace wd::platform
