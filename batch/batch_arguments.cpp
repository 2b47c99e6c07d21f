#include "batch_arguments.h"

#include <cstring>

#include "../common/options.h"

BatchArguments ParseBatchArguments(int argc, const char* const* argv) {
    BatchArguments arguments;
    if (argc < 2 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
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
        {"--timeout", &arguments.timeoutGiven, &arguments.timeoutMs, 1, kLongestWaitMs, nullptr},
        {"--pause", nullptr, &arguments.pauseMs, 0, kLongestWaitMs, nullptr},
        {"--replies", &arguments.replies, nullptr, 0, 0, nullptr},
        {"--json", &arguments.json, nullptr, 0, 0, nullptr},
        {"--server", &server, nullptr, 0, 0, &address},
        {"--dde", &dde, nullptr, 0, 0, nullptr},
    };
    int i = 0;
    if (!ReadOptions(argc, argv, options, sizeof options / sizeof options[0], i) ||
        (server && dde) || (server && !ParseServerAddress(address, arguments.reach.server))) {
        arguments.badUsage = true;
        return arguments;
    }
    if (server) arguments.reach.by = ReachBy::ServerOnly;
    if (dde) arguments.reach.by = ReachBy::DdeOnly;
    // Exactly one FILE, and it is not some other option.
    if (i + 1 != argc || (argv[i][0] == '-' && argv[i][1] != '\0') || argv[i][0] == '\0') {
        arguments.badUsage = true;
        return arguments;
    }
    arguments.input = argv[i];
    return arguments;
}
