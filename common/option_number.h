// Reading the number an option of a program's command line takes.
#ifndef ZENOLT_COMMON_OPTION_NUMBER_H
#define ZENOLT_COMMON_OPTION_NUMBER_H

// The longest wait any option accepts, in milliseconds (an hour).
constexpr unsigned long kLongestWaitMs = 3600000;

// Returns true with value set when text is a decimal number (digits only, no
// sign or blank) from lowest to highest; otherwise false, value unchanged.
bool ParseOptionNumber(const char* text, unsigned long lowest, unsigned long highest,
                       unsigned long& value);

#endif
