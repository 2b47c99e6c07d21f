// Writing a text of fixed lines, such as a usage text.
#ifndef ZENOLT_COMMON_TEXT_LINES_H
#define ZENOLT_COMMON_TEXT_LINES_H

#include <cstddef>
#include <cstdio>
#include <string>

// Writes each of the count lines to out followed by a line end, flushing
// after every line end (also those of empty lines).
void WriteLines(std::FILE* out, const char* const* lines, std::size_t count);

// One line of a usage text, and where it belongs: some say what only a
// system with DDE (Windows) has, some what is said instead without it.
enum class LineFor { Every, DdeSystem, OtherSystem };
struct UsageLine {
    const char* text;
    LineFor where;
};

// Writes the lines of a usage text that belong on a system with DDE or
// without it (hasDde), as WriteLines writes lines.
void WriteUsageLines(std::FILE* out, const UsageLine* lines, std::size_t count, bool hasDde);

// Writes text and a line end to out in one piece (an unbuffered stream
// would otherwise take it a byte at a time) and flushes it.
void WriteLine(std::FILE* out, const std::string& text);

#endif
