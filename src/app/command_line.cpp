#include "app/command_line.h"

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

namespace {

// Length in bytes of the UTF-8 sequence that starts with `lead`.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

// The last character of a UTF-8 text, whole (a non-ASCII letter stays one
// character); an invalid tail byte counts as a character of its own.
std::string lastCharacter(std::string_view text) {
    std::size_t start = text.size() - 1;
    std::size_t back = 0;
    while (start > 0 && back < 3 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
        --start;
        ++back;
    }
    if (sequenceLength(static_cast<unsigned char>(text[start])) != text.size() - start)
        return std::string(text.substr(text.size() - 1));
    return std::string(text.substr(start));
}

}  // namespace

WatchRequest parseWatchArgument(std::string_view argument) {
    WatchRequest r;
    if (argument.substr(0, 5) != "watch") return r;
    r.watch = true;
    r.driveText = lastCharacter(argument) + ":";
    return r;
}

}  // namespace wd::app
