#include "batch_arguments.h"

#include <cstring>

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
    // The usage text or the version, when asked for, whatever else is there.
    for (int k = 1; k < argc && std::strcmp(argv[k], "--") != 0; ++k) {
        if (AsksForHelp(argv[k])) arguments.showUsage = true;
        if (std::strcmp(argv[k], "--version") == 0) arguments.showVersion = true;
    }
    if (arguments.showUsage) arguments.showVersion = false;
    if (arguments.showUsage || arguments.showVersion) return arguments;
    const OptionSpec options[] = {
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
    int i = 0;
    std::string error;
    if (!ReadOptions(argc, argv, options, sizeof options / sizeof options[0], i, error)) {
        return Bad(arguments, error);
    }
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
    if (i == argc) return Bad(arguments, "no script: a file, or - for standard input");
    if (i + 1 != argc) {
        return Bad(arguments, std::string("one script only, not ") + argv[i] + " and " + argv[i + 1]);
    }
    if (argv[i][0] == '\0') return Bad(arguments, "the script's name is empty");
    arguments.input = argv[i];
    return arguments;
}
