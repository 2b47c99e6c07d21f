// What ZenoltBatch's command line asks for.
#ifndef ZENOLT_BATCH_BATCH_ARGUMENTS_H
#define ZENOLT_BATCH_BATCH_ARGUMENTS_H

#include <string>

#include "../common/options.h"
#include "../common/planetarium_reach.h"

// How long a command may wait for its answer unless --timeout says: a DDE
// poke is acknowledged at once, while over TCP a MOVE redraws the chart and
// a SEARCH may look a name up on the internet for seconds.
constexpr unsigned long kDdeAnswerTimeoutMs = 1000;
constexpr unsigned long kTcpAnswerTimeoutMs = 30000;

struct BatchArguments {
    bool showUsage = false;  // no arguments, or --help (-h): usage on standard output
    bool badUsage = false;   // a bad option or value: error says what
    std::string error;       // one line naming the option and what is wrong with it
    bool showVersion = false;  // --version: the version on standard output
    unsigned long timeoutMs = kDdeAnswerTimeoutMs;  // for each command's answer
    bool timeoutGiven = false;  // --timeout was given; otherwise TCP waits kTcpAnswerTimeoutMs
    unsigned long pauseMs = 0;       // between two commands
    bool replies = false;  // --replies: the item after each acknowledged command
    bool json = false;     // --json: one JSON object per command line on standard output
    PlanetariumChoice reach;  // --server HOST[:PORT], --dde, or neither; --wait SECONDS
    bool placeGiven = false;  // --server or --dde: ZENOLT_SERVER does not count
    bool waitGiven = false;   // --wait: ZENOLT_WAIT does not count
    std::string input;               // the script's path, or "-" for standard input
};

// Returns what the arguments after the program's path ask for:
//   ZenoltBatch [--timeout MS] [--pause MS] [--wait SECONDS] [--replies] [--json]
//               [--server HOST[:PORT] | --dde] FILE|-
// --help (or -h) asks for the usage text and --version for the version,
// whatever else is there. Options come before FILE, in any order, as
// ReadOptions reads them; --timeout and --pause take milliseconds, --timeout
// from 1 and --pause from 0, both up to kLongestWaitMs; --wait seconds, 0 to
// kLongestWaitSeconds. --server and --dde together, or an address that is no
// HOST[:PORT] or [IPv6][:PORT], are bad usage. Exactly one FILE follows.
BatchArguments ParseBatchArguments(int argc, const char* const* argv);

#endif
