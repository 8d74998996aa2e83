// The command line as Windows hands it over, and the `watch` rule on it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::string argument = wd::app::argumentFromCommandLine(line);
    if (argument.size() > line.size()) __builtin_trap();
    if (line.compare(line.size() - argument.size(), argument.size(), argument) != 0) __builtin_trap();
    const auto request = wd::app::parseWatchArgument(argument);
    if (request.watch != (argument.rfind("watch", 0) == 0)) __builtin_trap();
    if (request.watch) {
        const std::string& d = request.driveText;
        if (d.size() < 2 || d.size() > 5 || d.back() != ':') __builtin_trap();
        const std::string letter = d.substr(0, d.size() - 1);
        if (argument.compare(argument.size() - letter.size(), letter.size(), letter) != 0) __builtin_trap();
    }
    return 0;
}
