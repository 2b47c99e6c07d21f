// The command text the sender pokes: its arguments joined by blanks.
#ifndef ZENOLT_SENDER_COMMAND_TEXT_H
#define ZENOLT_SENDER_COMMAND_TEXT_H

#include <string>
#include <vector>

// Returns the command text for an argument vector (element 0, the program's
// path, is not used): every argument followed by one blank, then the
// trailing run of white space cut off.
std::string BuildCommandText(const std::vector<std::string>& arguments);

// Cuts the trailing run of blanks, tabs, line feeds, vertical tabs, form
// feeds and carriage returns from text. Bytes from 0x80 up are never white
// space, whatever the locale.
void TrimTrailingWhiteSpace(std::string& text);

#endif
