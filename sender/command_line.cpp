#include "command_line.h"

#include <cstddef>

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

// Returns the index just past the run of blanks and tabs starting at pos.
std::size_t SkipSeparators(const std::string& line, std::size_t pos) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    return pos;
}

// Appends the byte at pos to out, with its trail byte when it is a lead byte
// and one follows. Returns the index just past what was copied.
std::size_t CopyCharacter(const std::string& line, std::size_t pos, std::string& out,
                          LeadBytePredicate isLeadByte) {
    out += line[pos];
    ++pos;
    if (isLeadByte(static_cast<unsigned char>(line[pos - 1])) && pos < line.size()) {
        out += line[pos];
        ++pos;
    }
    return pos;
}

// Reads the first token (the program's path) starting at pos into out.
// Returns the index just past it. A token that begins with a double quote
// runs to the next double quote, which is dropped; otherwise it runs to the
// first blank or tab. Backslashes mean nothing special here.
std::size_t ReadFirstToken(const std::string& line, std::size_t pos, std::string& out,
                           LeadBytePredicate isLeadByte) {
    if (pos < line.size() && line[pos] == '"') {
        ++pos;
        while (pos < line.size() && line[pos] != '"') {
            pos = CopyCharacter(line, pos, out, isLeadByte);
        }
        return pos < line.size() ? pos + 1 : pos;
    }
    while (pos < line.size() && !IsSeparator(line[pos])) {
        pos = CopyCharacter(line, pos, out, isLeadByte);
    }
    return pos;
}

// Reads one argument starting at pos (not a separator) into out. Returns the
// index of the blank or tab that ended it, or the end of the line.
std::size_t ReadArgument(const std::string& line, std::size_t pos, std::string& out,
                         LeadBytePredicate isLeadByte) {
    bool quoted = false;
    while (pos < line.size()) {
        const char c = line[pos];
        if (!quoted && IsSeparator(c)) break;
        if (c == '\\') {
            std::size_t count = 0;
            while (pos < line.size() && line[pos] == '\\') {
                ++count;
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                // 2N backslashes give N and leave the quote to act; 2N+1 give
                // N and one literal quote.
                out.append(count / 2, '\\');
                if (count % 2 == 1) {
                    out += '"';
                    ++pos;
                }
            } else {
                out.append(count, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && pos + 1 < line.size() && line[pos + 1] == '"') {
                out += '"';
                quoted = false;
                pos += 2;
            } else {
                quoted = !quoted;
                ++pos;
            }
            continue;
        }
        pos = CopyCharacter(line, pos, out, isLeadByte);
    }
    return pos;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine,
                                          LeadBytePredicate isLeadByte) {
    std::vector<std::string> arguments(1);
    std::size_t pos = ReadFirstToken(commandLine, 0, arguments[0], isLeadByte);
    pos = SkipSeparators(commandLine, pos);
    while (pos < commandLine.size()) {
        arguments.emplace_back();
        pos = ReadArgument(commandLine, pos, arguments.back(), isLeadByte);
        pos = SkipSeparators(commandLine, pos);
    }
    return arguments;
}
