#include "session_usage.h"

#include "../common/text_lines.h"

namespace {

const char* const kUsageLines[] = {
    "ZenoltSession v1.0 - one conversation with Cartes du Ciel for a whole script",
    "",
    "USAGE: ZenoltSession [--server HOST[:PORT]] COMMAND [ARG...]",
    "       ZenoltSession --start [--idle SECONDS] [--cmd | --pwsh]",
    "                     [--server HOST[:PORT]]",
    "       ZenoltSession --stop",
    "       ZenoltSession --help | --version",
    "",
    "Runs COMMAND with ZENOLT_SESSION set, so that each Zenolt, ZenoltDump and",
    "ZenoltBatch it runs sends through the session's one conversation, at the",
    "cost of the command alone; ends with COMMAND, with its exit status.",
    "",
    "  --start        start a session in the background and print what sets",
    "                 ZENOLT_SESSION in the shell: eval \"$(ZenoltSession --start)\"",
    "  --idle SECONDS end it after SECONDS unused: no command, no program",
    "                 connected (default 600)",
    "  --cmd          print it for cmd.exe, to run with for /f",
    "  --pwsh         print it for PowerShell, to pipe to Invoke-Expression",
    "  --stop         end the session ZENOLT_SESSION names",
    "  --server HOST[:PORT]  talk to the TCP command server at HOST (a name, an",
    "                 IPv4 address or [IPv6]), port PORT (default 3292), only",
    "                 (default ZENOLT_SERVER)",
    "  --help, -h     print this text",
    "",
    "Without --server, Cartes du Ciel is looked for at the TCP port it publishes",
    "on this computer. A program that would talk elsewhere, or finds no",
    "planetarium through the session, talks directly. What a command such as",
    "SELECTCHART sets holds for the commands that follow it in the session.",
    "Exit status: COMMAND's; 125 no session could be made; 126 COMMAND could not",
    "be run; 127 COMMAND not found; 3 bad usage. --start, --stop: 0, or 1.",
};

}  // namespace

void PrintSessionUsage(std::FILE* out) {
    WriteLines(out, kUsageLines, sizeof kUsageLines / sizeof kUsageLines[0]);
}
