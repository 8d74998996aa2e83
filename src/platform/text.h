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
    // Whether two names are one to the registry (and the file system): equal
    // after each UTF-16 unit is upper-cased by the system's own simple table,
    // with no normalisation and no locale (CompareStringOrdinal, ignoring
    // case). "I" and "İ", "K" and the Kelvin sign "K" stay different names.
    virtual bool sameName(std::string_view a, std::string_view b) = 0;
    // The name as sameName compares it, for hashing: each UTF-16 unit
    // upper-cased by the same table. Two names are one exactly when their
    // keys are equal. Not text to show.
    virtual std::string nameKey(std::string_view name) = 0;
};

}  // namespace wd::platform
