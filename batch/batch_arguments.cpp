#include "batch_arguments.h"

#include <cstring>

#include "../common/options.h"

BatchArguments ParseBatchArguments(int argc, const char* const* argv) {
    BatchArguments arguments;
    if (argc < 2 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
        arguments.showUsage = true;
        return arguments;
    }
    const OptionSpec options[] = {
        {"--timeout", nullptr, &arguments.timeoutMs, 1, kLongestWaitMs},
        {"--pause", nullptr, &arguments.pauseMs, 0, kLongestWaitMs},
        {"--replies", &arguments.replies, nullptr, 0, 0},
        {"--json", &arguments.json, nullptr, 0, 0},
    };
    int i = 0;
    if (!ReadOptions(argc, argv, options, sizeof options / sizeof options[0], i)) {
        arguments.badUsage = true;
        return arguments;
    }
    // Exactly one FILE, and it is not some other option.
    if (i + 1 != argc || (argv[i][0] == '-' && argv[i][1] != '\0') || argv[i][0] == '\0') {
        arguments.badUsage = true;
        return arguments;
    }
    arguments.input = argv[i];
    return arguments;
}
