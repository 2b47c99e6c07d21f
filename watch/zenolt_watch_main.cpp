// ZenoltWatch: prints each new value of the running planetarium as it comes,
// one record per value, until it is stopped: the changes of its "DdeData"
// item over DDE, or, from a planetarium with no DDE server, each object it
// identifies, told by its TCP command server.
//
// With --help, its usage text; with --version, its version.
//
// Exit status: 0 ended by --count or by Ctrl+C, Ctrl+Break or closing the
// console (SIGINT or SIGTERM); 1 the planetarium could not be reached, or the
// conversation was lost; 2 --timeout ran out; 3 bad usage.
#include <cstddef>
#include <cstdio>

#include "../common/process_platform.h"
#include "../common/program_version.h"
#include "watch_arguments.h"
#include "watch_run.h"
#include "watch_usage.h"

namespace {

// Standard output is written in blocks this large, one record a block: an
// item can be long, and every write to the device is a call into the system.
const std::size_t kOutputBlockSize = 64 * 1024;

}  // namespace

int main(int argc, char** argv) {
    PrepareUnattendedRun();
    const WatchArguments arguments = ParseWatchArguments(argc, argv);
    if (arguments.showUsage) {
        PrintWatchUsage(stdout);
        return 0;
    }
    if (arguments.showVersion) {
        PrintProgramVersion(stdout, "ZenoltWatch");
        return 0;
    }
    if (arguments.badUsage) {
        PrintWatchUsage(stderr);
        return 3;
    }
    // Records carry the item's bytes unchanged: a CR LF inside stays CR LF.
    SetBinaryStream(stdout);
    std::setvbuf(stdout, nullptr, _IOFBF, kOutputBlockSize);
    StartQuitHandling();
    const int status = RunWatch(arguments);
    FinishQuitHandling();
    return status;
}
