#include "watch_arguments.h"

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
    const ProgramOption options[] = {
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
    // The usage text or the version, when asked for, whatever else is there.
    const std::size_t count = sizeof options / sizeof options[0];
    const Asked asked = AskedForUsageOrVersion(argc, argv, options, count);
    arguments.showUsage = asked == Asked::Usage;
    arguments.showVersion = asked == Asked::Version;
    if (asked != Asked::Work) return arguments;
    int next = 0;
    std::string error;
    if (!ReadOptions(argc, argv, options, count, next, error)) {
        return Bad(arguments, error);
    }
    // Every argument is an option.
    if (next != argc) return Bad(arguments, std::string(argv[next]) + ": not an option");
    error = ChooseWhereToLook(server, address, dde, arguments.reach);
    if (!error.empty()) return Bad(arguments, error);
    arguments.placeGiven = server || dde;
    return arguments;
}
