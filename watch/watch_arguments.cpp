#include "watch_arguments.h"

#include <cstring>

#include "../common/options.h"

WatchArguments ParseWatchArguments(int argc, const char* const* argv) {
    WatchArguments arguments;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        arguments.showUsage = true;
        return arguments;
    }
    const OptionSpec options[] = {
        {"--now", &arguments.now, nullptr, 0, 0},
        {"--json", &arguments.json, nullptr, 0, 0},
        {"--count", nullptr, &arguments.count, 1, kMostRecords},
        {"--timeout", nullptr, &arguments.timeoutMs, 1, kLongestWaitMs},
        {"--poll", nullptr, &arguments.pollMs, kShortestPollMs, kLongestWaitMs},
    };
    int next = 0;
    // Every argument is an option.
    if (!ReadOptions(argc, argv, options, sizeof options / sizeof options[0], next) ||
        next != argc) {
        arguments.badUsage = true;
    }
    return arguments;
}
