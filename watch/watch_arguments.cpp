#include "watch_arguments.h"

#include <cstring>

#include "../common/options.h"

WatchArguments ParseWatchArguments(int argc, const char* const* argv) {
    WatchArguments arguments;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        arguments.showUsage = true;
        return arguments;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        arguments.showVersion = true;
        return arguments;
    }
    bool server = false;
    bool dde = false;
    std::string address;
    const OptionSpec options[] = {
        {"--now", &arguments.now, nullptr, 0, 0, nullptr},
        {"--json", &arguments.json, nullptr, 0, 0, nullptr},
        {"--count", nullptr, &arguments.count, 1, kMostRecords, nullptr},
        {"--timeout", nullptr, &arguments.timeoutMs, 1, kLongestWaitMs, nullptr},
        {"--poll", nullptr, &arguments.pollMs, kShortestPollMs, kLongestWaitMs, nullptr},
        {"--server", &server, nullptr, 0, 0, &address},
        {"--dde", &dde, nullptr, 0, 0, nullptr},
    };
    int next = 0;
    // Every argument is an option.
    if (!ReadOptions(argc, argv, options, sizeof options / sizeof options[0], next) ||
        next != argc || (server && dde) ||
        (server && !ParseServerAddress(address, arguments.reach.server))) {
        arguments.badUsage = true;
        return arguments;
    }
    if (server) arguments.reach.by = ReachBy::ServerOnly;
    if (dde) arguments.reach.by = ReachBy::DdeOnly;
    return arguments;
}
