// One value of the planetarium's data item as a record on a stream: a header
// line, the text exactly, and a line end; or the same as one line of JSON.
// ZenoltWatch writes one for each change, ZenoltBatch one for each reply.
#ifndef ZENOLT_COMMON_DATA_RECORD_H
#define ZENOLT_COMMON_DATA_RECORD_H

#include <cstddef>
#include <cstdio>
#include <string>

// A moment in local time, and how far local time is ahead of UTC.
struct RecordTime {
    int year, month, day, hour, minute, second, millisecond;
    int utcOffsetMinutes;  // negative west of Greenwich
};

// The ANSI code page the planetarium's text is in, as JSON output needs it.
struct AnsiCodePage {
    // Whether byte starts a character of two bytes.
    bool (*isLeadByte)(unsigned char byte);
    // Converts the count bytes of one character to UTF-16 in out (room for
    // capacity units); returns how many units it wrote, 0 when it cannot.
    int (*toUtf16)(const char* bytes, int count, char16_t* out, int capacity);
    // For text whose characters take more than two bytes (UTF-8): returns
    // how many of the count bytes (at least 1) make the character they
    // start with. Null: a lead byte and the byte after it, or one byte.
    std::size_t (*characterLength)(const unsigned char* bytes, std::size_t count);
};

// The text of the planetarium's TCP command server: UTF-8. A byte that
// starts no well-formed character is a character of its own that cannot be
// converted.
const AnsiCodePage& Utf8Text();

// Returns the time as ISO 8601 with milliseconds and the offset from UTC:
//   2026-12-07T21:14:03.120+01:00
std::string FormatRecordTime(const RecordTime& time);

// Returns how many of the count bytes received are text: those before the
// first NUL, or all of them.
std::size_t TextLength(const unsigned char* bytes, std::size_t count);

// Writes the record of a value to out (a stream in binary mode) and flushes
// it: the header line "<time> <n> bytes", CR LF, the n bytes of text (the
// bytes received up to the first NUL) unchanged, CR LF. Reads nothing at or
// past bytes + count; bytes may be null when count is 0.
void WriteTextRecord(std::FILE* out, const std::string& time, const unsigned char* bytes,
                     std::size_t count);

// Writes the count bytes as a JSON string, quotes included, in plain ASCII:
// the text is converted from codePage, printable ASCII stays, quote,
// backslash, backspace, form feed, line feed, CR and tab take their short
// escapes, and every other character is \u with four lower-case hex digits
// (UTF-16 units, so a character beyond them takes two). A byte that cannot
// be converted is written as \ufffd.
void WriteJsonString(std::FILE* out, const unsigned char* bytes, std::size_t count,
                     const AnsiCodePage& codePage);

// Writes the record of a value as one line of JSON and CR LF to out (binary
// mode) and flushes it:
//   {"time":"2026-12-07T21:14:03.120+01:00","bytes":84,"text":"..."}
// bytes counts the text's bytes as received (up to the first NUL).
void WriteJsonRecord(std::FILE* out, const std::string& time, const unsigned char* bytes,
                     std::size_t count, const AnsiCodePage& codePage);

// The platform's side of records (on Windows in data_record_windows.cpp; the
// host tests supply their own).
RecordTime CurrentRecordTime();
const AnsiCodePage& SystemAnsiCodePage();

#endif
