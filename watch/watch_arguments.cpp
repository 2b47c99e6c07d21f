#include "watch_arguments.h"

#include <cstring>

#include "../common/options.h"

namespace {

WatchArguments Bad(WatchArguments arguments, const std::string& error) {
    arguments.badUsage = true;
    arguments.error = error;
    return arguments;
}

}  // namespace

WatchArguments ParseWatchArguments(int argc, const char* const* argv) {
    WatchArguments arguments;
    bool server = false;
    bool dde = false;
    std::string address;
    // The usage text or the version, when asked for, whatever else is there.
    for (int k = 1; k < argc && std::strcmp(argv[k], "--") != 0; ++k) {
        if (AsksForHelp(argv[k])) arguments.showUsage = true;
        if (std::strcmp(argv[k], "--version") == 0) arguments.showVersion = true;
    }
    if (arguments.showUsage) arguments.showVersion = false;
    if (arguments.showUsage || arguments.showVersion) return arguments;
    const OptionSpec options[] = {
        {"--now", &arguments.now, nullptr, 0, 0, nullptr, nullptr},
        {"--json", &arguments.json, nullptr, 0, 0, nullptr, nullptr},
        {"--count", nullptr, &arguments.count, 1, kMostRecords, nullptr, "records"},
        {"--timeout", nullptr, &arguments.timeoutMs, 1, kLongestWaitMs, nullptr, "milliseconds"},
        {"--poll", nullptr, &arguments.pollMs, kShortestPollMs, kLongestWaitMs, nullptr,
         "milliseconds"},
        {"--wait", &arguments.waitGiven, &arguments.reach.waitSeconds, 0, kLongestWaitSeconds,
         nullptr, "seconds"},
        {"--follow", &arguments.follow, nullptr, 0, 0, nullptr, nullptr},
        {"--server", &server, nullptr, 0, 0, &address, nullptr},
        {"--dde", &dde, nullptr, 0, 0, nullptr, nullptr},
    };
    int next = 0;
    std::string error;
    if (!ReadOptions(argc, argv, options, sizeof options / sizeof options[0], next, error)) {
        return Bad(arguments, error);
    }
    // Every argument is an option.
    if (next != argc) return Bad(arguments, std::string(argv[next]) + ": not an option");
    if (server && dde) return Bad(arguments, "--server and --dde: one or the other");
    if (server && !ParseServerAddress(address, arguments.reach.server)) {
        return Bad(arguments, "--server " + address +
                                  ": not HOST[:PORT] (a name, an IPv4 address or [IPv6], PORT 1 "
                                  "to 65535)");
    }
    if (server) {
        arguments.reach.by = ReachBy::ServerOnly;
        arguments.reach.serverFrom = "--server";
    }
    if (dde) arguments.reach.by = ReachBy::DdeOnly;
    arguments.placeGiven = server || dde;
    return arguments;
}
