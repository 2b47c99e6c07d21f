// The part of a raw Windows command line that follows its first words, as
// it was typed: what a program that runs another command hands on.
#ifndef ZENOLT_COMMON_COMMAND_LINE_REST_H
#define ZENOLT_COMMON_COMMAND_LINE_REST_H

#include <string>

// Returns commandLine without its first words words and the blanks after
// them. Words are found as the C runtime splits them: the first (the
// program's path) runs to the next double quote when it begins with one,
// else to the first blank or tab; the others run to a blank or tab outside
// double quotes, a double quote after an odd number of backslashes being no
// quote. Returns "" when there are no more words than that.
std::string RestOfCommandLine(const std::string& commandLine, int words);

#endif
