// Authenticode signatures over WinVerifyTrust.
#pragma once

#include "platform/trust.h"

namespace wd::win32 {

// wintrust.dll and crypt32.dll are not among the libraries that Windows
// always loads from its own folder, and the program may run from a folder a
// worm writes to: both are loaded by full path from the system folder when a
// signature is first asked for, never found by a search.
class Trust final : public platform::Trust {
public:
    std::optional<std::uint64_t> fileStamp(std::string_view path) override;
    platform::Signature verify(std::string_view path) override;
};

}  // namespace wd::win32
