// ZenoltWatch: prints each new value of the running planetarium as it comes,
// one record per value, until it is stopped: the changes of its "DdeData"
// item over DDE, or, from a planetarium with no DDE server, each object it
// identifies, told by its TCP command server.
//
// With --help, its usage text; with --version, its version.
//
// Exit status: 0 ended by --count or by Ctrl+C, Ctrl+Break or closing the
// console (SIGINT or SIGTERM), also while it waits; 1 the planetarium could
// not be reached (within --wait), or the conversation was lost (and, with
// --follow, not found again within --wait); 2 --timeout ran out; 3 bad usage
// (a bad ZENOLT_SERVER or ZENOLT_WAIT too).
#include <cstddef>
#include <cstdio>

#include "../common/options.h"
#include "../common/process_platform.h"
#include "../common/program_version.h"
#include "../common/trace.h"
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
    StartTrace();
    WatchArguments arguments = ParseWatchArguments(argc, argv);
    if (arguments.showUsage) {
        PrintWatchUsage(stdout, SystemHasDde());
        return 0;
    }
    if (arguments.showVersion) {
        PrintProgramVersion(stdout, "ZenoltWatch");
        return 0;
    }
    if (!arguments.badUsage && arguments.reach.by == ReachBy::DdeOnly && !SystemHasDde()) {
        arguments.badUsage = true;
        arguments.error = "--dde: DDE exists only on Windows, for Cartes du Ciel before 2006";
    }
    if (arguments.badUsage) {
        ReportUsageError("ZenoltWatch", arguments.error);
        return 3;
    }
    if (!ReadPlanetariumEnvironment(arguments.reach, arguments.placeGiven, arguments.waitGiven,
                                    "ZenoltWatch")) {
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
