#include "batch_arguments.h"

#include "../common/options.h"

namespace {

BatchArguments Bad(BatchArguments arguments, const std::string& error) {
    arguments.badUsage = true;
    arguments.error = error;
    return arguments;
}

}  // namespace

BatchArguments ParseBatchArguments(int argc, const char* const* argv) {
    BatchArguments arguments;
    if (argc < 2) {
        arguments.showUsage = true;
        return arguments;
    }
    bool server = false;
    bool dde = false;
    std::string address;
    const ProgramOption options[] = {
        {"--timeout", &arguments.timeoutGiven, &arguments.timeoutMs, 1, kLongestWaitMs, nullptr,
         "milliseconds"},
        {"--pause", nullptr, &arguments.pauseMs, 0, kLongestWaitMs, nullptr, "milliseconds"},
        {"--wait", &arguments.waitGiven, &arguments.reach.waitSeconds, 0, kLongestWaitSeconds,
         nullptr, "seconds"},
        {"--replies", &arguments.replies, nullptr, 0, 0, nullptr, nullptr},
        {"--json", &arguments.json, nullptr, 0, 0, nullptr, nullptr},
        {"--server", &server, nullptr, 0, 0, &address, nullptr},
        {"--dde", &dde, nullptr, 0, 0, nullptr, nullptr},
    };
    // The usage text or the version, when asked for, whatever else is there.
    const std::size_t count = sizeof options / sizeof options[0];
    const Asked asked = AskedForUsageOrVersion(argc, argv, options, count);
    arguments.showUsage = asked == Asked::Usage;
    arguments.showVersion = asked == Asked::Version;
    if (asked != Asked::Work) return arguments;
    int i = 0;
    std::string error;
    if (!ReadOptions(argc, argv, options, count, i, error)) {
        return Bad(arguments, error);
    }
    error = ChooseWhereToLook(server, address, dde, arguments.reach);
    if (!error.empty()) return Bad(arguments, error);
    arguments.placeGiven = server || dde;
    if (i == argc) return Bad(arguments, "no script: a file, or - for standard input");
    if (i + 1 != argc) {
        return Bad(arguments, std::string("one script only, not ") + argv[i] + " and " + argv[i + 1]);
    }
    if (argv[i][0] == '\0') return Bad(arguments, "the script's name is empty");
    arguments.input = argv[i];
    return arguments;
}
