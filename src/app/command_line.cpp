#include "app/command_line.h"

#include "common/unicode.h"

namespace wd::app {

std::string argumentFromCommandLine(std::string_view commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        // A quoted program path runs to the next quote.
        std::size_t close = commandLine.find('"', 1);
        i = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
    }
    // One blank separates the path from the argument; the rest is the argument.
    if (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    return std::string(commandLine.substr(i));
}

WatchRequest parseWatchArgument(std::string_view argument) {
    WatchRequest r;
    constexpr std::string_view kWatch = "watch";
    if (argument.substr(0, kWatch.size()) != kWatch) return r;
    r.watch = true;
    r.driveText = common::lastCharacter(argument) + ":";
    return r;
}

}  // namespace wd::app
