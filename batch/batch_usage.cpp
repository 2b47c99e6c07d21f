#include "batch_usage.h"

#include "../common/text_lines.h"

namespace {

const char* const kUsageLines[] = {
    "ZenoltBatch v1.0 - sends a script of commands to Cartes du Ciel in one conversation",
    "",
    "USAGE: ZenoltBatch [--timeout MS] [--pause MS] [--replies] [--json]",
    "                   [--server HOST[:PORT] | --dde] FILE",
    "       ZenoltBatch [options as above] -",
    "       (- reads the script from standard input)",
    "       ZenoltBatch --version",
    "",
    "One command per line, each as Zenolt would send it. Blanks and tabs around a",
    "command are cut; empty lines and lines starting with # are skipped.",
    "",
    "  --timeout MS   wait up to MS milliseconds for each command's answer",
    "                 (default 1000 over DDE, 30000 over TCP)",
    "  --pause MS     wait MS milliseconds between two commands (default 0)",
    "                 (a planetarium that vanishes meanwhile is noticed within 30 s)",
    "  --replies      after each acknowledged command, print what Cartes du Ciel",
    "                 answered (over DDE: what its DDE data then holds) as a record:",
    "                 a header line (time, number of bytes of text, the word bytes),",
    "                 the text, and a line end",
    "  --json         print one line of JSON for each command line, and one for",
    "                 the summary, instead",
    "  --server HOST[:PORT]  talk to the TCP command server at HOST (a name, an",
    "                 IPv4 address or [IPv6]), port PORT (default 3292), only",
    "  --dde          talk DDE only (Cartes du Ciel before 2006)",
    "",
    "Without --server or --dde, Cartes du Ciel is looked for over DDE first, then",
    "at the TCP port it publishes on this computer.",
    "Each command that is not acknowledged is reported on standard error with its",
    "line number: refused, unanswered, or not sent (a NUL byte in it, longer than",
    "1022 bytes over TCP, or the conversation lost); a summary follows on",
    "standard output.",
    "Exit status: 0 all acknowledged; 1 Cartes du Ciel not reached, or lost part way;",
    "2 some refused, unanswered or not sent; 3 bad usage or unreadable script.",
};

}  // namespace

// Returns nothing; writes the usage lines to out.
void PrintBatchUsage(std::FILE* out) {
    WriteLines(out, kUsageLines, sizeof kUsageLines / sizeof kUsageLines[0]);
}
