// Whether a program file carries a valid Authenticode signature, and by whom.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wd::platform {

struct Signature {
    enum class State {
        None,     // the file carries no signature and no system catalog holds it
        Valid,    // a signature that verifies, embedded or by a system catalog
        Invalid,  // a signature that does not verify (changed file, distrusted or broken chain)
    };
    State state = State::None;
    std::string signer;  // the signing certificate's name, for a valid signature
};

class Trust {
public:
    virtual ~Trust() = default;
    // Something that changes whenever the file is written (its size and last
    // write time); nothing when the file cannot be found.
    virtual std::optional<std::uint64_t> fileStamp(std::string_view path) = 0;
    // Checks the file's signature. Slow (it reads the whole file): callers keep
    // the answer by path and stamp.
    virtual Signature verify(std::string_view path) = 0;
};

}  // namespace wd::platform
