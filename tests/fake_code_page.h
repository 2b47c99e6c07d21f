// A small double-byte ANSI code page for the tests of JSON output: 0x81
// leads a character of two bytes (0x81 b is U+3000 + b, also when b looks
// like ASCII), 0xF0 is a character beyond 16 bits (U+1F30C, two UTF-16
// units), 0xFF cannot be converted, and every other byte is the character
// of its own number.
#ifndef ZENOLT_TESTS_FAKE_CODE_PAGE_H
#define ZENOLT_TESTS_FAKE_CODE_PAGE_H

#include "data_record.h"

inline bool FakeIsLeadByte(unsigned char byte) { return byte == 0x81; }

inline int FakeToUtf16(const char* bytes, int count, char16_t* out, int capacity) {
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    if (capacity < 2 || first == 0xFF || (count == 2) != FakeIsLeadByte(first)) return 0;
    if (count == 2) {
        out[0] = static_cast<char16_t>(0x3000 + static_cast<unsigned char>(bytes[1]));
        return 1;
    }
    if (first == 0xF0) {
        out[0] = 0xD83C;
        out[1] = 0xDF0C;
        return 2;
    }
    out[0] = first;
    return 1;
}

inline const AnsiCodePage& FakeCodePage() {
    static const AnsiCodePage codePage = {FakeIsLeadByte, FakeToUtf16, nullptr};
    return codePage;
}

#endif
