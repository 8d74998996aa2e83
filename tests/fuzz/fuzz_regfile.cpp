// The backup file: whatever the writer is given comes back the same through
// the parser, and the parser survives any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "registry/reg_file.h"
#include "registry/registry_access.h"
#include "support/reg_file_reader.h"

namespace {

// Builds keys and values from the input: each value takes a type byte, a
// length byte and that many data bytes; names come from the data as UTF-8.
wd::registry::RegFile fileFrom(const std::uint8_t* data, std::size_t size) {
    wd::registry::RegFile file;
    std::size_t i = 0;
    int keyCount = 0;
    while (i < size && keyCount < 8) {
        wd::registry::RegFileKey key;
        key.path = "HKEY_LOCAL_MACHINE\\Software\\Fuzz\\k" + std::to_string(keyCount++);
        const int values = data[i++] % 5;
        for (int v = 0; v < values && i + 2 <= size; ++v) {
            wd::registry::RegFileValue value;
            value.type = data[i++] % 13;
            const std::size_t wanted = data[i++];
            const std::size_t len = std::min(wanted, size - i);
            value.data.assign(data + i, data + i + len);
            i += len;
            value.name = "v" + std::to_string(v) + (len % 3 == 0 ? std::string("\"\\名=") : std::string());
            key.values.push_back(std::move(value));
        }
        file.keys.push_back(std::move(key));
    }
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Any bytes: parsed or refused, never a crash.
    const auto parsed = wd::test::ParseRegFile(
        std::string_view(reinterpret_cast<const char*>(data), size));
    if (parsed) {
        // What parses writes out and parses back the same.
        const auto again = wd::test::ParseRegFile(wd::registry::WriteRegFile(*parsed));
        if (!again || !(*again == *parsed)) __builtin_trap();
    }
    // Made-up keys and values of every type make the round trip exactly.
    const wd::registry::RegFile file = fileFrom(data, size);
    const auto back = wd::test::ParseRegFile(wd::registry::WriteRegFile(file));
    if (!back || !(*back == file)) __builtin_trap();
    return 0;
}
