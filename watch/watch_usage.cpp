#include "watch_usage.h"

#include "../common/text_lines.h"

namespace {

const LineFor E = LineFor::Every;
const LineFor D = LineFor::DdeSystem;
const LineFor O = LineFor::OtherSystem;

const UsageLine kUsageLines[] = {
    {"ZenoltWatch v1.0 - prints each change of Cartes du Ciel as it comes", E},
    {"", E},
    {"USAGE: ZenoltWatch [--now] [--count N] [--timeout MS] [--poll MS] [--json]", E},
    {"                   [--wait SECONDS] [--follow] [--server HOST[:PORT] | --dde]", D},
    {"                   [--wait SECONDS] [--follow] [--server HOST[:PORT]]", O},
    {"       ZenoltWatch --help | --version", E},
    {"", E},
    {"  --now          first print the value as it is now, then each change", E},
    {"  --count N      end after N records", E},
    {"  --timeout MS   end when no record came for MS milliseconds (exit status 2)", E},
    {"  --poll MS      ask for the value every MS milliseconds (50 or more) and print", E},
    {"                 it when it changed, instead of asking to be told of changes", E},
    {"  --json         print each record as one line of JSON", E},
    {"  --wait SECONDS when Cartes du Ciel is not there yet, look again every 250 ms", E},
    {"                 for up to SECONDS seconds (default 0, or ZENOLT_WAIT)", E},
    {"  --follow       when the conversation is lost, wait for Cartes du Ciel to come", E},
    {"                 back (as long as it takes, or up to --wait each time) and go on", E},
    {"  --server HOST[:PORT]  watch the TCP command server at HOST (a name, an IPv4", E},
    {"                 address or [IPv6]), port PORT (default 3292), only", E},
    {"                 (default ZENOLT_SERVER)", E},
    {"  --dde          watch over DDE only (Cartes du Ciel before 2006)", D},
    {"  --help, -h     print this text", E},
    {"", E},
    {"Over DDE a value is Cartes du Ciel's DDE data; over TCP each object", D},
    {"identified (a click on the chart, a SEARCH) is a value, and the value as it", D},
    {"is now is its state: the time, RA, DEC and field, the selected object, the", D},
    {"chart's date and the observatory, one line each.", D},
    {"Each object identified (a click on the chart, a SEARCH) is a value, and the", O},
    {"value as it is now is its state: the time, RA, DEC and field, the selected", O},
    {"object, the chart's date and the observatory, one line each.", O},
    {"Each record is a header line (the local time, the number of bytes of text and", E},
    {"the word bytes), the text exactly as received, and a line end. Ctrl+C ends.", E},
    {"Over TCP, a planetarium silent for 10 s is asked GETDATE; no answer within", D},
    {"20 s more ends the watch as lost.", D},
    {"A planetarium silent for 10 s is asked GETDATE; no answer within 20 s more", O},
    {"ends the watch as lost.", O},
    {"ZENOLT_TRACE=1 writes the conversation to standard error as it goes.", E},
    {"Exit status: 0 ended by --count or Ctrl+C; 1 Cartes du Ciel not reached, or", E},
    {"lost; 2 --timeout ran out; 3 bad usage.", E},
};

}  // namespace

void PrintWatchUsage(std::FILE* out, bool hasDde) {
    WriteUsageLines(out, kUsageLines, sizeof kUsageLines / sizeof kUsageLines[0], hasDde);
}
