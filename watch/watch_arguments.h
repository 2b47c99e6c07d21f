// What ZenoltWatch's command line asks for.
#ifndef ZENOLT_WATCH_WATCH_ARGUMENTS_H
#define ZENOLT_WATCH_WATCH_ARGUMENTS_H

#include <string>

#include "../common/planetarium_reach.h"

// The most records --count accepts (what a 32-bit count holds).
constexpr unsigned long kMostRecords = 4294967295UL;
// The shortest --poll interval: asking more often only loads the planetarium.
constexpr unsigned long kShortestPollMs = 50;

struct WatchArguments {
    bool showUsage = false;       // --help (-h): usage on standard output
    bool badUsage = false;        // anything else not understood: error says what
    std::string error;            // one line naming the option and what is wrong with it
    bool showVersion = false;     // --version: the version on standard output
    bool now = false;             // --now: the value as it is now first
    unsigned long count = 0;      // --count N: end after N records; 0, no end
    unsigned long timeoutMs = 0;  // --timeout MS: end when no record came for MS; 0, never
    unsigned long pollMs = 0;     // --poll MS: ask every MS instead of an advise link; 0, advise
    bool json = false;            // --json: records as lines of JSON
    bool follow = false;          // --follow: a lost conversation is waited for and opened again
    PlanetariumChoice reach;      // --server HOST[:PORT], --dde, or neither; --wait SECONDS
    bool placeGiven = false;      // --server or --dde: ZENOLT_SERVER does not count
    bool waitGiven = false;       // --wait: ZENOLT_WAIT does not count
};

// Returns what the arguments after the program's path ask for:
//   ZenoltWatch [--now] [--count N] [--timeout MS] [--poll MS] [--json]
//               [--wait SECONDS] [--follow] [--server HOST[:PORT] | --dde]
// in any order, as ReadOptions reads them; --help (or -h) asks for the usage
// text and --version for the version, whatever else is there. N is 1 to
// kMostRecords, --timeout 1 to kLongestWaitMs, --poll kShortestPollMs to
// kLongestWaitMs, --wait 0 to kLongestWaitSeconds, all decimal. --server and
// --dde together, or an address that is no HOST[:PORT] or [IPv6][:PORT],
// are bad usage.
WatchArguments ParseWatchArguments(int argc, const char* const* argv);

#endif
