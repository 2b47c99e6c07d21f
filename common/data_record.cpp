#include "data_record.h"

#include <cstdlib>
#include <cstring>

namespace {

// Writes unit as \u and four lower-case hex digits.
void WriteUnitEscape(std::FILE* out, unsigned unit) {
    static const char digits[] = "0123456789abcdef";
    const char escape[] = {'\\', 'u', digits[(unit >> 12) & 0xF], digits[(unit >> 8) & 0xF],
                           digits[(unit >> 4) & 0xF], digits[unit & 0xF]};
    std::fwrite(escape, 1, sizeof escape, out);
}

// Writes one ASCII byte of a JSON string.
void WriteJsonAscii(std::FILE* out, unsigned char c) {
    switch (c) {
        case '"': std::fputs("\\\"", out); return;
        case '\\': std::fputs("\\\\", out); return;
        case '\b': std::fputs("\\b", out); return;
        case '\f': std::fputs("\\f", out); return;
        case '\n': std::fputs("\\n", out); return;
        case '\r': std::fputs("\\r", out); return;
        case '\t': std::fputs("\\t", out); return;
    }
    if (c >= 0x20 && c <= 0x7E) {
        std::fputc(c, out);
    } else {
        WriteUnitEscape(out, c);
    }
}

bool NeverLeadByte(unsigned char) { return false; }

// Returns the code point of the well-formed UTF-8 character of count bytes
// at bytes, or -1: overlong forms, surrogates and values past U+10FFFF are
// not characters.
long Utf8CodePoint(const unsigned char* bytes, std::size_t count) {
    const unsigned char first = bytes[0];
    std::size_t length = 0;
    long point = 0;
    if (first < 0x80) return first;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        point = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        point = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        point = first & 0x07;
    } else {
        return -1;
    }
    if (count != length) return -1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) return -1;
        point = point << 6 | (bytes[i] & 0x3F);
    }
    static const long lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < lowest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return -1;
    }
    return point;
}

std::size_t Utf8CharacterLength(const unsigned char* bytes, std::size_t count) {
    const unsigned char first = bytes[0];
    const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    if (length > count || Utf8CodePoint(bytes, length) < 0) return 1;
    return length;
}

int Utf8ToUtf16(const char* bytes, int count, char16_t* out, int capacity) {
    const long point = Utf8CodePoint(reinterpret_cast<const unsigned char*>(bytes),
                                     static_cast<std::size_t>(count));
    if (point < 0 || capacity < 2) return 0;
    if (point < 0x10000) {
        out[0] = static_cast<char16_t>(point);
        return 1;
    }
    out[0] = static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    return 2;
}

}  // namespace

const AnsiCodePage& Utf8Text() {
    static const AnsiCodePage utf8 = {NeverLeadByte, Utf8ToUtf16, Utf8CharacterLength};
    return utf8;
}

std::string FormatRecordTime(const RecordTime& t) {
    const int offset = std::abs(t.utcOffsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year,
                  t.month, t.day, t.hour, t.minute, t.second, t.millisecond,
                  t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

std::size_t TextLength(const unsigned char* bytes, std::size_t count) {
    if (count == 0) return 0;
    const void* nul = std::memchr(bytes, '\0', count);
    return nul == nullptr ? count : static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - bytes);
}

void WriteTextRecord(std::FILE* out, const std::string& time, const unsigned char* bytes,
                     std::size_t count) {
    const std::size_t length = TextLength(bytes, count);
    // A DDE length is 32 bits, so the count fits unsigned long.
    std::fprintf(out, "%s %lu bytes\r\n", time.c_str(), static_cast<unsigned long>(length));
    if (length > 0) std::fwrite(bytes, 1, length, out);
    std::fputs("\r\n", out);
    std::fflush(out);
}

// Walks the bytes a character at a time: a lead byte takes the byte after
// it along (also one that looks like ASCII), so no part of a double-byte
// character is ever written on its own.
void WriteJsonString(std::FILE* out, const unsigned char* bytes, std::size_t count,
                     const AnsiCodePage& codePage) {
    std::fputc('"', out);
    for (std::size_t i = 0; i < count;) {
        const unsigned char c = bytes[i];
        if (c < 0x80 && !codePage.isLeadByte(c)) {
            WriteJsonAscii(out, c);
            ++i;
            continue;
        }
        const std::size_t length =
            codePage.characterLength != nullptr ? codePage.characterLength(bytes + i, count - i)
            : codePage.isLeadByte(c) && i + 1 < count ? 2
                                                      : 1;
        char16_t units[4];
        const int converted =
            codePage.toUtf16(reinterpret_cast<const char*>(bytes + i), static_cast<int>(length), units, 4);
        if (converted <= 0) WriteUnitEscape(out, 0xFFFD);
        for (int u = 0; u < converted; ++u) WriteUnitEscape(out, units[u]);
        i += length;
    }
    std::fputc('"', out);
}

void WriteJsonRecord(std::FILE* out, const std::string& time, const unsigned char* bytes,
                     std::size_t count, const AnsiCodePage& codePage) {
    const std::size_t length = TextLength(bytes, count);
    std::fprintf(out, "{\"time\":\"%s\",\"bytes\":%lu,\"text\":", time.c_str(),
                 static_cast<unsigned long>(length));
    WriteJsonString(out, bytes, length, codePage);
    std::fputs("}\r\n", out);
    std::fflush(out);
}
