#include "watch_usage.h"

#include "../common/text_lines.h"

namespace {

const char* const kUsageLines[] = {
    "ZenoltWatch v1.0 - prints each change of Cartes du Ciel as it comes",
    "",
    "USAGE: ZenoltWatch [--now] [--count N] [--timeout MS] [--poll MS] [--json]",
    "                   [--server HOST[:PORT] | --dde]",
    "       ZenoltWatch --version",
    "",
    "  --now          first print the value as it is now, then each change",
    "  --count N      end after N records",
    "  --timeout MS   end when no record came for MS milliseconds (exit status 2)",
    "  --poll MS      ask for the value every MS milliseconds (50 or more) and print",
    "                 it when it changed, instead of asking to be told of changes",
    "  --json         print each record as one line of JSON",
    "  --server HOST[:PORT]  watch the TCP command server at HOST (a name, an IPv4",
    "                 address or [IPv6]), port PORT (default 3292), only",
    "  --dde          watch over DDE only (Cartes du Ciel before 2006)",
    "",
    "Over DDE a value is Cartes du Ciel's DDE data; over TCP each object",
    "identified (a click on the chart, a SEARCH) is a value, and the value as it",
    "is now is its state: the time, RA, DEC and field, the selected object, the",
    "chart's date and the observatory, one line each.",
    "Each record is a header line (the local time, the number of bytes of text and",
    "the word bytes), the text exactly as received, and a line end. Ctrl+C ends.",
    "Over TCP, a planetarium silent for 10 s is asked GETDATE; no answer within",
    "20 s more ends the watch as lost.",
    "Exit status: 0 ended by --count or Ctrl+C; 1 Cartes du Ciel not reached, or",
    "lost; 2 --timeout ran out; 3 bad usage.",
};

}  // namespace

void PrintWatchUsage(std::FILE* out) {
    WriteLines(out, kUsageLines, sizeof kUsageLines / sizeof kUsageLines[0]);
}
