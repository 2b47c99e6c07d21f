#include "batch_arguments.h"

#include <cstring>

namespace {

// Returns true with value set when text is a decimal number (digits only)
// from lowest to kLongestWaitMs.
bool ParseWait(const char* text, unsigned long lowest, unsigned long& value) {
    if (*text == '\0') return false;
    unsigned long number = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        number = number * 10 + static_cast<unsigned long>(*c - '0');
        if (number > kLongestWaitMs) return false;
    }
    if (number < lowest) return false;
    value = number;
    return true;
}

}  // namespace

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
            good = ParseWait(value, 1, arguments.timeoutMs);
        } else if (std::strcmp(option, "--pause") == 0 && value != nullptr) {
            good = ParseWait(value, 0, arguments.pauseMs);
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
