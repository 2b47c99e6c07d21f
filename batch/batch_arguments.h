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
    bool showUsage = false;  // no arguments, or --help: usage on standard output
    bool badUsage = false;   // a bad option or value: usage on standard error
    bool showVersion = false;  // --version alone: the version on standard output
    unsigned long timeoutMs = kDdeAnswerTimeoutMs;  // for each command's answer
    bool timeoutGiven = false;  // --timeout was given; otherwise TCP waits kTcpAnswerTimeoutMs
    unsigned long pauseMs = 0;       // between two commands
    bool replies = false;  // --replies: the item after each acknowledged command
    bool json = false;     // --json: one JSON object per command line on standard output
    PlanetariumChoice reach;  // --server HOST[:PORT], --dde, or neither
    std::string input;               // the script's path, or "-" for standard input
};

// Returns what the arguments after the program's path ask for:
//   ZenoltBatch [--timeout MS] [--pause MS] [--replies] [--json]
//               [--server HOST[:PORT] | --dde] FILE|-
// --version alone asks for the version. Options come before FILE, in any
// order; --timeout and --pause take a decimal value, --timeout from 1 and
// --pause from 0, both up to kLongestWaitMs. --server and --dde together, or
// an address that is no HOST[:PORT] or [IPv6][:PORT], are bad usage.
// Exactly one FILE follows.
BatchArguments ParseBatchArguments(int argc, const char* const* argv);

#endif
