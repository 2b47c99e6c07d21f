#include "command_line_rest.h"

#include <cstddef>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t SkipBlanks(const std::string& line, std::size_t at) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    return at;
}

// Returns the index just past the program's path starting at at.
std::size_t PastFirstWord(const std::string& line, std::size_t at) {
    if (at < line.size() && line[at] == '"') {
        const std::size_t close = line.find('"', at + 1);
        return close == std::string::npos ? line.size() : close + 1;
    }
    while (at < line.size() && !IsBlank(line[at])) ++at;
    return at;
}

// Returns the index just past the word starting at at.
std::size_t PastWord(const std::string& line, std::size_t at) {
    bool quoted = false;
    std::size_t backslashes = 0;
    for (; at < line.size(); ++at) {
        const char c = line[at];
        if (!quoted && IsBlank(c)) break;
        if (c == '"' && backslashes % 2 == 0) quoted = !quoted;
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    return at;
}

}  // namespace

std::string RestOfCommandLine(const std::string& commandLine, int words) {
    std::size_t at = 0;
    for (int word = 0; word < words; ++word) {
        at = SkipBlanks(commandLine, at);
        if (at >= commandLine.size()) return "";
        at = word == 0 ? PastFirstWord(commandLine, at) : PastWord(commandLine, at);
    }
    return commandLine.substr(SkipBlanks(commandLine, at));
}
