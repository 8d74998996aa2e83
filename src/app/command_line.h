// The program's one command-line argument.
#pragma once

#include <string>
#include <string_view>

namespace wd::app {

// The text after the program path in a raw command line, without the one
// blank that separates them. The path may be quoted or not.
std::string argumentFromCommandLine(std::string_view commandLine);

// What the `watch` argument asks for: its first five characters are exactly
// "watch"; then its last character is the letter of the drive to watch.
struct WatchRequest {
    bool watch = false;
    std::string driveText;  // the last character followed by ":"
};
WatchRequest parseWatchArgument(std::string_view argument);

}  // namespace wd::app
