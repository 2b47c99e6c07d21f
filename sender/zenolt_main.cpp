// Zenolt: sends its arguments, joined by blanks, to the running planetarium
// as one command text; without arguments, prints the usage list. A
// planetarium with a DDE server gets the text poked into its data item; any
// other gets it through its TCP command server, and Zenolt writes the reply.
//
// It looks for the planetarium where ZENOLT_SERVER says (else on this
// computer), for up to ZENOLT_WAIT seconds: its arguments are all its own.
//
// Exit status: 0, or 1 when the planetarium could not be reached (or closed
// the connection before it answered). Over DDE a poke the planetarium
// refuses or leaves unanswered is not an error; over TCP a refusal, no
// answer within 30 s, or a command that cannot be sent is status 2. A bad
// ZENOLT_SERVER or ZENOLT_WAIT is status 3, and nothing is sent.
#include <string>
#include <vector>

#include "../common/dde_link.h"
#include "../common/planetarium_reach.h"
#include "../common/process_platform.h"
#include "../common/trace.h"
#include "command_line.h"
#include "command_over_tcp.h"
#include "command_text.h"
#include "sender_usage.h"

int main(int argc, char** argv) {
    PrepareUnattendedRun();
    // Where the system keeps the command line whole, it is split by the
    // sender's own rules, so that the command text does not depend on the C
    // runtime the program is linked with; elsewhere the shell's words count.
    std::string commandLine;
    const std::vector<std::string> arguments = ProcessCommandLine(commandLine)
                                                   ? SplitCommandLine(commandLine, IsAnsiLeadByte)
                                                   : std::vector<std::string>(argv, argv + argc);
    if (arguments.size() < 2) {
        PrintSenderUsage(stdout);
        return 0;
    }
    StartTrace();
    PlanetariumChoice choice;
    if (!ReadPlanetariumEnvironment(choice, false, false, "Zenolt")) return 3;
    return SendCommandText(BuildCommandText(arguments), choice);
}
