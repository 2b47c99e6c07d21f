// Reading the options of a program's command line.
#ifndef ZENOLT_COMMON_OPTIONS_H
#define ZENOLT_COMMON_OPTIONS_H

#include <cstddef>
#include <string>

// The longest wait any option accepts, in milliseconds (an hour).
constexpr unsigned long kLongestWaitMs = 3600000;

// Returns true with value set when text is a decimal number (digits only, no
// sign or blank) from lowest to highest; otherwise false, value unchanged.
bool ParseOptionNumber(const char* text, unsigned long lowest, unsigned long highest,
                       unsigned long& value);

// One option a program takes: a flag ("--json", which sets *flag), an
// option with a decimal value from lowest to highest in the next argument
// ("--count 3", which sets *number), or one with any text as its value
// ("--server host:3292", which sets *text). An option with a value also sets
// *flag, when flag is given, to tell that it was there.
struct OptionSpec {
    const char* name;
    bool* flag;
    unsigned long* number;
    unsigned long lowest, highest;
    std::string* text;
};

// Reads the arguments from argv[1] on as options of specs while they begin
// with "--", in any order (a later one of the same option wins). Returns
// true, with next the index of the first argument that is no option, or
// false at the first option that is not in specs or whose value is missing
// or out of bounds.
bool ReadOptions(int argc, const char* const* argv, const OptionSpec* specs, std::size_t count,
                 int& next);

#endif
