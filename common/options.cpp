#include "options.h"

#include <cstring>

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

bool ReadOptions(int argc, const char* const* argv, const OptionSpec* specs, std::size_t count,
                 int& next) {
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const OptionSpec* spec = specs;
        while (spec < specs + count && std::strcmp(argv[i], spec->name) != 0) ++spec;
        if (spec == specs + count) return false;
        if (spec->text != nullptr) {
            if (i + 1 >= argc) return false;
            *spec->text = argv[++i];
        } else if (spec->number != nullptr &&
                   (i + 1 >= argc ||
                    !ParseOptionNumber(argv[++i], spec->lowest, spec->highest, *spec->number))) {
            return false;
        }
        if (spec->flag != nullptr) *spec->flag = true;
    }
    next = i;
    return true;
}
