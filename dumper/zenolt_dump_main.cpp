// ZenoltDump: prints the byte count and text of the running planetarium's
// "DdeData" item, or, from a planetarium with no DDE server, of its state
// asked of its TCP command server and laid out as that item was; with any
// argument at all, prints its usage text instead.
//
// It looks for the planetarium where ZENOLT_SERVER says (else on this
// computer), for up to ZENOLT_WAIT seconds: any argument asks for the usage.
//
// Exit status: 0, or 1 when no conversation with the planetarium could be
// opened (or the TCP one was lost). A request that gives no data, or data
// that cannot be read, prints "0" and is not an error. A bad ZENOLT_SERVER or
// ZENOLT_WAIT is status 3, and nothing is asked.
#include <cstddef>
#include <cstdio>

#include "../common/planetarium_reach.h"
#include "../common/process_platform.h"
#include "../common/trace.h"
#include "data_request.h"
#include "dumper_usage.h"

namespace {

// Standard output is written in blocks this large: an item can be long, and
// every write to the device is a call into the system.
const std::size_t kOutputBlockSize = 64 * 1024;

}  // namespace

int main(int argc, char**) {
    PrepareUnattendedRun();
    if (argc > 1) {
        PrintDumperUsage(stdout);
        return 0;
    }
    // Nothing has been written yet, so the buffering of standard output may
    // still be chosen; if it cannot be, the default serves as well. The
    // stream is flushed when the process ends.
    std::setvbuf(stdout, nullptr, _IOFBF, kOutputBlockSize);
    StartTrace();
    PlanetariumChoice choice;
    if (!ReadPlanetariumEnvironment(choice, false, false, "ZenoltDump")) return 3;
    return DumpPlanetarium(choice);
}
