// How the stand-in planetarium shows bytes in its log, the same in both of its
// interfaces, so that a test decodes a DDE poke and a TCP command alike: the
// exact bytes as upper-case hex, and a readable form of them.
#ifndef ZENOLT_TOOLS_STAND_IN_LOG_H
#define ZENOLT_TOOLS_STAND_IN_LOG_H

#include <cstddef>
#include <string>

inline void AppendHexByte(std::string& out, unsigned char b) {
    static const char digits[] = "0123456789ABCDEF";
    out += digits[b >> 4];
    out += digits[b & 0x0F];
}

inline std::string HexOfBytes(const unsigned char* bytes, std::size_t size) {
    std::string hex;
    hex.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) AppendHexByte(hex, bytes[i]);
    return hex;
}

// The bytes as a reader would like to see them: printable ASCII as it is,
// anything else as \xHH.
inline std::string ReadableOfBytes(const unsigned char* bytes, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char b = bytes[i];
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            text += static_cast<char>(b);
        } else {
            text += "\\x";
            AppendHexByte(text, b);
        }
    }
    return text;
}

#endif
