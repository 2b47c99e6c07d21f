// Reading the options of a program's command line.
#ifndef ZENOLT_COMMON_OPTIONS_H
#define ZENOLT_COMMON_OPTIONS_H

#include <cstddef>
#include <cstdio>
#include <string>

// The longest wait any option accepts, in milliseconds (an hour).
constexpr unsigned long kLongestWaitMs = 3600000;

// Returns true with value set when text is a decimal number (digits only, no
// sign or blank) from lowest to highest; otherwise false, value unchanged.
bool ParseOptionNumber(const char* text, unsigned long lowest, unsigned long highest,
                       unsigned long& value);

// One option a program takes: a flag ("--json", which sets *flag), an
// option with a decimal value from lowest to highest ("--count 3", which
// sets *number; unit names what it counts, for the error), or one with any
// text as its value ("--server host:3292", which sets *text). An option with
// a value also sets *flag, when flag is given, to tell that it was there.
struct ProgramOption {
    const char* name;
    bool* flag;
    unsigned long* number;
    unsigned long lowest, highest;
    std::string* text;
    const char* unit;
};

// Reads the arguments from argv[1] on as the count options given while they
// begin with "-" (but for "-" alone, which is no option), in any order, a
// later one of the same option winning. An option's value is the next
// argument ("--count 3") or follows an equals sign ("--count=3"); "--" ends
// the options. Returns true, with next the index of the first argument that
// is no option; or false, with error set to one line naming the option and
// what is wrong with it ("--timeout 0: not a whole number of milliseconds
// from 1 to 3600000"), at the first that is not in options, lacks its value,
// has a value it does not take, or has one out of bounds.
bool ReadOptions(int argc, const char* const* argv, const ProgramOption* options,
                 std::size_t count, int& next, std::string& error);

// Returns whether argument asks for the usage text: --help or -h.
bool AsksForHelp(const char* argument);

// What a command line asks for before any work.
enum class Asked { Work, Usage, Version };

// Returns Usage when an option of argv (read as ReadOptions reads them, the
// values of the options that take one passed over) is --help or -h, else
// Version when one is --version, else Work: those two are answered whatever
// else is given.
Asked AskedForUsageOrVersion(int argc, const char* const* argv, const ProgramOption* options,
                             std::size_t count);

// Writes a usage error to standard error: "<program>: <error>", then
// "Try '<program> --help'.", each a line.
void ReportUsageError(const char* program, const std::string& error);

#endif
