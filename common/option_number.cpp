#include "option_number.h"

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
