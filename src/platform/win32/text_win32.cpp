#include <windows.h>

#include <climits>

#include "platform/win32/functions.h"
#include "platform/win32/services.h"
#include "platform/win32/text.h"

namespace wd::win32 {

std::string Text::lowerCase(std::string_view utf8) {
    const std::wstring wide = widen(utf8);
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return std::string(utf8);
    const int inLen = static_cast<int>(wide.size());
    // The invariant locale: the same answer on every system, every script.
    const int outLen =
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, wide.data(), inLen, nullptr, 0, nullptr, nullptr, 0);
    if (outLen <= 0) return std::string(utf8);
    std::wstring lower(static_cast<std::size_t>(outLen), L'\0');
    const int written = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, wide.data(), inLen, lower.data(),
                                        outLen, nullptr, nullptr, 0);
    if (written <= 0) return std::string(utf8);
    lower.resize(static_cast<std::size_t>(written));
    return narrow(lower);
}

std::string Text::fromAnsi(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int inLen = static_cast<int>(bytes.size());
    const int outLen = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), inLen, nullptr, 0);
    if (outLen <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(outLen), L'\0');
    const int written = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), inLen, wide.data(), outLen);
    if (written <= 0) return {};
    wide.resize(static_cast<std::size_t>(written));
    return narrow(wide);
}

bool Text::sameName(std::string_view a, std::string_view b) {
    const std::wstring wa = widen(a), wb = widen(b);
    // A text that does not convert is compared byte for byte.
    if ((wa.empty() && !a.empty()) || (wb.empty() && !b.empty())) return a == b;
    if (wa.size() > static_cast<std::size_t>(INT_MAX) || wb.size() > static_cast<std::size_t>(INT_MAX)) return a == b;
    return win32::sameName(wa, wb);
}

std::string Text::nameKey(std::string_view name) {
    using UpcaseFn = WCHAR(NTAPI*)(WCHAR);
    // The table CompareStringOrdinal ignores case by.
    static const auto upcase = ntdllFunction<UpcaseFn>("RtlUpcaseUnicodeChar");
    std::wstring wide = widen(name);
    // A text that does not convert is its own key, apart from every other.
    if ((wide.empty() && !name.empty()) || !upcase) {
        std::string own(1, '\0');
        own.append(name);
        return own;
    }
    for (wchar_t& c : wide) c = upcase(c);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

}  // namespace wd::win32
