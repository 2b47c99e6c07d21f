#include "batch_usage.h"

#include "../common/text_lines.h"

namespace {

const char* const kUsageLines[] = {
    "ZenoltBatch v1.0 - sends a script of commands to Cartes du Ciel in one DDE conversation",
    "",
    "USAGE: ZenoltBatch [--timeout MS] [--pause MS] [--replies] [--json] FILE",
    "       ZenoltBatch [--timeout MS] [--pause MS] [--replies] [--json] -",
    "       (- reads the script from standard input)",
    "",
    "One command per line, each as Zenolt would send it. Blanks and tabs around a",
    "command are cut; empty lines and lines starting with # are skipped.",
    "",
    "  --timeout MS   wait up to MS milliseconds for each acknowledgement (default 1000)",
    "  --pause MS     wait MS milliseconds between two commands (default 0)",
    "  --replies      after each acknowledged command, print what Cartes du Ciel's",
    "                 DDE data then holds, as a record: a header line (time, number",
    "                 of bytes of text, the word bytes), the text, and a line end",
    "  --json         print one line of JSON for each command line, and one for",
    "                 the summary, instead",
    "",
    "Each command that is not acknowledged is reported on standard error with its",
    "line number; a summary of all of them follows on standard output.",
    "Exit status: 0 all acknowledged; 1 Cartes du Ciel not reached, or lost part way;",
    "2 some refused, unanswered or not sent; 3 bad usage or unreadable script.",
};

}  // namespace

// Returns nothing; writes the usage lines to out.
void PrintBatchUsage(std::FILE* out) {
    WriteLines(out, kUsageLines, sizeof kUsageLines / sizeof kUsageLines[0]);
}
