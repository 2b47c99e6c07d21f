#include "options.h"

#include <cstring>

#include "text_lines.h"

// Stops as soon as the number passes highest, so no number of digits can
// overflow.
bool ParseOptionNumber(const char* text, unsigned long lowest, unsigned long highest,
                       unsigned long& value) {
    if (*text == '\0') return false;
    unsigned long number = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        const unsigned long digit = static_cast<unsigned long>(*c - '0');
        if (number > (highest - digit) / 10) return false;
        number = number * 10 + digit;
    }
    if (number < lowest) return false;
    value = number;
    return true;
}

namespace {

// Returns the option called name (the first size bytes of an argument), or null.
const ProgramOption* OptionNamed(const ProgramOption* options, std::size_t count, const char* name,
                            std::size_t size) {
    for (const ProgramOption* option = options; option < options + count; ++option) {
        if (std::strlen(option->name) == size && std::strncmp(option->name, name, size) == 0) {
            return option;
        }
    }
    return nullptr;
}

}  // namespace

bool ReadOptions(int argc, const char* const* argv, const ProgramOption* options,
                 std::size_t count, int& next, std::string& error) {
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0) {
            ++i;
            break;
        }
        const char* equals = std::strchr(argument, '=');
        const std::size_t nameSize = equals != nullptr ? static_cast<std::size_t>(equals - argument)
                                                       : std::strlen(argument);
        const std::string name(argument, nameSize);
        const ProgramOption* option = OptionNamed(options, count, argument, nameSize);
        if (option == nullptr) {
            error = name + ": no such option";
            return false;
        }
        const bool takesValue = option->text != nullptr || option->number != nullptr;
        if (!takesValue && equals != nullptr) {
            error = argument + std::string(": ") + name + " takes no value";
            return false;
        }
        const char* value = nullptr;
        if (equals != nullptr) {
            value = equals + 1;
        } else if (takesValue) {
            if (i + 1 >= argc) {
                error = name + ": its value is missing";
                return false;
            }
            value = argv[++i];
        }
        if (option->text != nullptr) {
            *option->text = value;
        } else if (option->number != nullptr &&
                   !ParseOptionNumber(value, option->lowest, option->highest, *option->number)) {
            const std::string shown = *value != '\0' ? value : "\"\"";
            error = name + " " + shown + ": not a whole number of " + option->unit + " from " +
                    std::to_string(option->lowest) + " to " + std::to_string(option->highest);
            return false;
        }
        if (option->flag != nullptr) *option->flag = true;
    }
    next = i;
    return true;
}

bool AsksForHelp(const char* argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

void ReportUsageError(const char* program, const std::string& error) {
    WriteLine(stderr, std::string(program) + ": " + error);
    WriteLine(stderr, std::string("Try '") + program + " --help'.");
}

Asked AskedForUsageOrVersion(int argc, const char* const* argv, const ProgramOption* options,
                             std::size_t count) {
    Asked asked = Asked::Work;
    for (int i = 1; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        if (AsksForHelp(argv[i])) return Asked::Usage;
        if (std::strcmp(argv[i], "--version") == 0) asked = Asked::Version;
        const ProgramOption* option = OptionNamed(options, count, argv[i], std::strlen(argv[i]));
        if (option != nullptr && (option->text != nullptr || option->number != nullptr)) ++i;
    }
    return asked;
}
