// What ZenoltBatch's command line asks for.
#ifndef ZENOLT_BATCH_BATCH_ARGUMENTS_H
#define ZENOLT_BATCH_BATCH_ARGUMENTS_H

#include <string>

#include "../common/options.h"

struct BatchArguments {
    bool showUsage = false;  // no arguments, or --help: usage on standard output
    bool badUsage = false;   // a bad option or value: usage on standard error
    unsigned long timeoutMs = 1000;  // for each poke's acknowledgement
    unsigned long pauseMs = 0;       // between two commands
    bool replies = false;  // --replies: the item after each acknowledged command
    bool json = false;     // --json: one JSON object per command line on standard output
    std::string input;               // the script's path, or "-" for standard input
};

// Returns what the arguments after the program's path ask for:
//   ZenoltBatch [--timeout MS] [--pause MS] [--replies] [--json] FILE|-
// Options come before FILE, in any order; --timeout and --pause take a
// decimal value, --timeout from 1 and --pause from 0, both up to
// kLongestWaitMs. Exactly one FILE follows them.
BatchArguments ParseBatchArguments(int argc, const char* const* argv);

#endif
