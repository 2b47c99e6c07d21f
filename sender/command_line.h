// Splitting a raw Windows command line into the argument vector, by the
// rules the sender documents, whichever C runtime the program is linked with.
#ifndef ZENOLT_SENDER_COMMAND_LINE_H
#define ZENOLT_SENDER_COMMAND_LINE_H

#include <string>
#include <vector>

// Tells whether a byte is the lead byte of a double-byte character of the
// ANSI code page (IsDBCSLeadByte on Windows; a stand-in in tests).
typedef bool (*LeadBytePredicate)(unsigned char byte);

// Returns the argument vector of commandLine: element 0 is the first token
// (the program's path), then one element per argument. Lead bytes keep their
// trail byte; a lead byte at the very end of the line is taken alone.
std::vector<std::string> SplitCommandLine(const std::string& commandLine,
                                          LeadBytePredicate isLeadByte);

#endif
