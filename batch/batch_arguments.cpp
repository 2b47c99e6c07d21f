#include "batch_arguments.h"

#include <cstring>

#include "../common/option_number.h"

BatchArguments ParseBatchArguments(int argc, const char* const* argv) {
    BatchArguments arguments;
    if (argc < 2 || (argc == 2 && std::strcmp(argv[1], "--help") == 0)) {
        arguments.showUsage = true;
        return arguments;
    }
    int i = 1;
    // Each option takes one value.
    while (i < argc && std::strncmp(argv[i], "--", 2) == 0) {
        const char* option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool good = false;
        if (std::strcmp(option, "--timeout") == 0 && value != nullptr) {
            good = ParseOptionNumber(value, 1, kLongestWaitMs, arguments.timeoutMs);
        } else if (std::strcmp(option, "--pause") == 0 && value != nullptr) {
            good = ParseOptionNumber(value, 0, kLongestWaitMs, arguments.pauseMs);
        }
        if (!good) {
            arguments.badUsage = true;
            return arguments;
        }
        i += 2;
    }
    // Exactly one FILE, and it is not some other option.
    if (i + 1 != argc || (argv[i][0] == '-' && argv[i][1] != '\0') || argv[i][0] == '\0') {
        arguments.badUsage = true;
        return arguments;
    }
    arguments.input = argv[i];
    return arguments;
}
