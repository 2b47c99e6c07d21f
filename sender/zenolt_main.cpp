// Zenolt: pokes its arguments, joined by blanks, into the running
// planetarium as one command text; without arguments, prints the usage list.
//
// Exit status: 0, or 1 when no conversation with the planetarium could be
// opened. A poke the planetarium refuses or leaves unanswered is not an error.
#include <cstdio>
#include <string>
#include <vector>

#include "../common/dde_link.h"
#include "command_line.h"
#include "command_text.h"
#include "sender_usage.h"

namespace {

bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

}  // namespace

int main() {
    // No critical-error or file-not-found message boxes: this is a console
    // program that scripts run unattended.
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // Split the raw command line by the sender's own rules, so that the
    // command text does not depend on the C runtime the program is linked with.
    const std::vector<std::string> arguments =
        SplitCommandLine(GetCommandLineA(), IsAnsiLeadByte);
    if (arguments.size() < 2) {
        PrintSenderUsage(stdout);
        return 0;
    }
    return PokeCommandText(BuildCommandText(arguments)) ? 0 : 1;
}
