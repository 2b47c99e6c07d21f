#include "batch_usage.h"

#include "../common/text_lines.h"

namespace {

const LineFor E = LineFor::Every;
const LineFor D = LineFor::DdeSystem;
const LineFor O = LineFor::OtherSystem;

const UsageLine kUsageLines[] = {
    {"ZenoltBatch v1.0 - sends a script of commands to Cartes du Ciel in one conversation", E},
    {"", E},
    {"USAGE: ZenoltBatch [--timeout MS] [--pause MS] [--wait SECONDS] [--replies]", E},
    {"                   [--json] [--server HOST[:PORT] | --dde] FILE", D},
    {"                   [--json] [--server HOST[:PORT]] FILE", O},
    {"       ZenoltBatch [options as above] -", E},
    {"       (- reads the script from standard input)", E},
    {"       ZenoltBatch --help | --version", E},
    {"", E},
    {"One command per line, each as Zenolt would send it. Blanks and tabs around a", E},
    {"command are cut; empty lines and lines starting with # are skipped.", E},
    {"", E},
    {"  --timeout MS   wait up to MS milliseconds for each command's answer", E},
    {"                 (default 1000 over DDE, 30000 over TCP)", D},
    {"                 (default 30000)", O},
    {"  --pause MS     wait MS milliseconds between two commands (default 0)", E},
    {"                 (a planetarium that vanishes meanwhile is noticed within 30 s)", E},
    {"  --wait SECONDS when Cartes du Ciel is not there yet, look again every 250 ms", E},
    {"                 for up to SECONDS seconds (default 0, or ZENOLT_WAIT)", E},
    {"  --replies      after each acknowledged command, print what Cartes du Ciel", E},
    {"                 answered (over DDE: what its DDE data then holds) as a record:", D},
    {"                 answered as a record:", O},
    {"                 a header line (time, number of bytes of text, the word bytes),", E},
    {"                 the text, and a line end", E},
    {"  --json         print one line of JSON for each command line, and one for", E},
    {"                 the summary, instead", E},
    {"  --server HOST[:PORT]  talk to the TCP command server at HOST (a name, an", E},
    {"                 IPv4 address or [IPv6]), port PORT (default 3292), only", E},
    {"                 (default ZENOLT_SERVER)", E},
    {"  --dde          talk DDE only (Cartes du Ciel before 2006)", D},
    {"  --help, -h     print this text", E},
    {"", E},
    {"Without --server, Cartes du Ciel is looked for at the TCP port it publishes on", E},
    {"this computer; when it publishes none, over DDE first (Cartes du Ciel before 2006).", D},
    {"this computer.", O},
    {"ZENOLT_TRACE=1 writes the conversation to standard error as it goes.", E},
    {"Each command that is not acknowledged is reported on standard error with its", E},
    {"line number: refused, unanswered, or not sent (a NUL byte in it, longer than", E},
    {"1022 bytes over TCP, or the conversation lost); a summary follows on", E},
    {"standard output.", E},
    {"Exit status: 0 all acknowledged; 1 Cartes du Ciel not reached, or lost part way;", E},
    {"2 some refused, unanswered or not sent; 3 bad usage or unreadable script.", E},
};

}  // namespace

// Returns nothing; writes the usage lines to out.
void PrintBatchUsage(std::FILE* out, bool hasDde) {
    WriteUsageLines(out, kUsageLines, sizeof kUsageLines / sizeof kUsageLines[0], hasDde);
}
