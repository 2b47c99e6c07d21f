// ZenoltDump: prints the byte count and text of the running planetarium's
// "DdeData" item, or, from a planetarium with no DDE server, of its state
// asked of its TCP command server and laid out as that item was; with any
// argument at all, prints its usage text instead.
//
// Exit status: 0, or 1 when no conversation with the planetarium could be
// opened (or the TCP one was lost). A request that gives no data, or data
// that cannot be read, prints "0" and is not an error.
#include <cstddef>
#include <cstdio>

#include "../common/process_platform.h"
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
    // Through a session, when one serves; otherwise DDE first, as always.
    TcpRoute route;
    if (!ChooseTcpRoute(route, PlanetariumChoice()) && RequestDataItem(Unreached::Quiet)) return 0;
    return DumpStateOverTcp(route);
}
