// Not a fuzz target: scripts/fuzz builds it with the targets' flags and runs
// it on one input, to see undefined behaviour stop a run as a crash does
// (-fno-sanitize-recover=all). It must fail.
#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int n = INT_MAX - 1;
    if (size > 0) n += data[0];  // a signed overflow for any byte above 1
    return n == 0 ? 1 : 0;
}
