// What ZenoltWatch's command line asks for.
#ifndef ZENOLT_WATCH_WATCH_ARGUMENTS_H
#define ZENOLT_WATCH_WATCH_ARGUMENTS_H

#include "../common/planetarium_reach.h"

// The most records --count accepts (what a 32-bit count holds).
constexpr unsigned long kMostRecords = 4294967295UL;
// The shortest --poll interval: asking more often only loads the planetarium.
constexpr unsigned long kShortestPollMs = 50;

struct WatchArguments {
    bool showUsage = false;       // --help alone: usage on standard output
    bool badUsage = false;        // anything else not understood: usage on standard error
    bool showVersion = false;     // --version alone: the version on standard output
    bool now = false;             // --now: the value as it is now first
    unsigned long count = 0;      // --count N: end after N records; 0, no end
    unsigned long timeoutMs = 0;  // --timeout MS: end when no record came for MS; 0, never
    unsigned long pollMs = 0;     // --poll MS: ask every MS instead of an advise link; 0, advise
    bool json = false;            // --json: records as lines of JSON
    PlanetariumChoice reach;      // --server HOST[:PORT], --dde, or neither
};

// Returns what the arguments after the program's path ask for:
//   ZenoltWatch [--now] [--count N] [--timeout MS] [--poll MS] [--json]
//               [--server HOST[:PORT] | --dde]
// in any order (--help or --version only alone); a later one of the same option wins. N is 1 to kMostRecords,
// --timeout 1 to kLongestWaitMs, --poll kShortestPollMs to kLongestWaitMs,
// all decimal. --server and --dde together, or an address that is no
// HOST[:PORT] or [IPv6][:PORT], are bad usage.
WatchArguments ParseWatchArguments(int argc, const char* const* argv);

#endif
