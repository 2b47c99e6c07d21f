#include "watch_arguments.h"

#include <cstring>

#include "../common/option_number.h"

WatchArguments ParseWatchArguments(int argc, const char* const* argv) {
    WatchArguments arguments;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        arguments.showUsage = true;
        return arguments;
    }
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool good = true;
        if (std::strcmp(option, "--now") == 0) {
            arguments.now = true;
        } else if (std::strcmp(option, "--json") == 0) {
            arguments.json = true;
        } else if (std::strcmp(option, "--count") == 0 && value != nullptr) {
            good = ParseOptionNumber(value, 1, kMostRecords, arguments.count);
            ++i;
        } else if (std::strcmp(option, "--timeout") == 0 && value != nullptr) {
            good = ParseOptionNumber(value, 1, kLongestWaitMs, arguments.timeoutMs);
            ++i;
        } else if (std::strcmp(option, "--poll") == 0 && value != nullptr) {
            good = ParseOptionNumber(value, kShortestPollMs, kLongestWaitMs, arguments.pollMs);
            ++i;
        } else {
            good = false;
        }
        if (!good) {
            arguments.badUsage = true;
            return arguments;
        }
    }
    return arguments;
}
