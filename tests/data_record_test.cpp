#include "data_record.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_code_page.h"
#include "printed_text.h"
#include "stream_writes.h"

using namespace std::string_literals;

namespace {

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

TEST(FormatRecordTime, LocalTimeWithMillisecondsAndOffset) {
    const struct {
        RecordTime time;
        const char* text;
    } cases[] = {
        {{2026, 12, 7, 21, 14, 3, 120, 60}, "2026-12-07T21:14:03.120+01:00"},
        {{2027, 1, 1, 0, 0, 0, 0, 0}, "2027-01-01T00:00:00.000+00:00"},
        {{2026, 6, 30, 9, 5, 59, 7, -300}, "2026-06-30T09:05:59.007-05:00"},
        {{2026, 6, 30, 9, 5, 59, 999, 345}, "2026-06-30T09:05:59.999+05:45"},
        {{2026, 6, 30, 9, 5, 59, 999, -30}, "2026-06-30T09:05:59.999-00:30"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatRecordTime(c.time), c.text);
}

TEST(WriteTextRecord, HeaderTextUpToTheFirstNulAndCrLf) {
    const struct {
        std::string received;
        std::string record;
    } cases[] = {
        {"OK! ZOM+\r\nLAST ZOM+\r\n\0"s, "T 21 bytes\r\nOK! ZOM+\r\nLAST ZOM+\r\n\r\n"},
        {"no NUL", "T 6 bytes\r\nno NUL\r\n"},
        {"inner\0NUL\0"s, "T 5 bytes\r\ninner\r\n"},
        {"\0"s, "T 0 bytes\r\n\r\n"},
        {"", "T 0 bytes\r\n\r\n"},
        {"lone\nLF\xF8\x1A", "T 9 bytes\r\nlone\nLF\xF8\x1A\r\n"},
    };
    for (const auto& c : cases) {
        const std::string written = PrintedText([&](std::FILE* out) {
            WriteTextRecord(out, "T", Bytes(c.received), c.received.size());
        });
        EXPECT_EQ(written, c.record);
    }
    EXPECT_EQ(PrintedText([](std::FILE* out) { WriteTextRecord(out, "T", nullptr, 0); }),
              "T 0 bytes\r\n\r\n");
}

TEST(WriteJsonString, PlainAsciiWhateverTheText) {
    const struct {
        std::string bytes;
        const char* json;
    } cases[] = {
        {"GOXY X:1 Y:2", R"("GOXY X:1 Y:2")"},
        {"say \"hi\" \\ back/", R"("say \"hi\" \\ back/")"},
        {"\b\f\n\r\t", R"("\b\f\n\r\t")"},
        {"\x01\x1f\x7f ~", R"("\u0001\u001f\u007f ~")"},
        {"deg\xF8" "C\xE9", R"("deg\u00f8C\u00e9")"},
        {"\x81\\x", R"("\u305cx")"},                  // the trail byte is no backslash
        {"\x81\x81\x81", R"("\u3081\ufffd")"},        // a lead byte at the end stands alone
        {"\xF0!", R"("\ud83c\udf0c!")"},              // beyond 16 bits: two units
        {"\xFFok", R"("\ufffdok")"},                  // cannot be converted
        {"", R"("")"},
    };
    for (const auto& c : cases) {
        const std::string written = PrintedText([&](std::FILE* out) {
            WriteJsonString(out, Bytes(c.bytes), c.bytes.size(), FakeCodePage());
        });
        EXPECT_EQ(written, c.json) << c.bytes;
    }
}

#if ZENOLT_HAVE_STREAM_WRITES
// Also the JSON record, whole: bytes counts the text up to the NUL.
// The TCP server's text: a well-formed UTF-8 character is written as its
// UTF-16 units; every byte of anything else as \ufffd of its own.
TEST(WriteJsonString, Utf8ExactlyAndNothingThatIsNoCharacter) {
    const struct {
        std::string bytes, json;
    } cases[] = {
        {"+41\xC2\xB0 Z\xC3\xBC\xE2\x82\xAC", R"("+41\u00b0 Z\u00fc\u20ac")"},
        {"\xF0\x9F\x8C\x8C", R"("\ud83c\udf0c")"},
        {"\xC0\xAF", R"("\ufffd\ufffd")"},                      // overlong
        {"\xE0\x80\xAF", R"("\ufffd\ufffd\ufffd")"},              // overlong
        {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},              // a surrogate
        {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},      // past U+10FFFF
        {"\xE2\x82", R"("\ufffd\ufffd")"},                      // cut short
        {"\xC3", R"("\ufffd")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrintedText([&](std::FILE* out) {
                      WriteJsonString(out, Bytes(c.bytes), c.bytes.size(), Utf8Text());
                  }),
                  c.json);
    }
}

TEST(Records, EachIsFlushedWholeAtOnce) {
    const std::string item = "a\r\nb\0"s;
    const std::vector<std::string> pieces = DeviceWrites([&](std::FILE* out) {
        WriteTextRecord(out, "T", Bytes(item), item.size());
        WriteJsonRecord(out, "T", Bytes(item), item.size(), FakeCodePage());
    });
    EXPECT_EQ(pieces, (std::vector<std::string>{"T 4 bytes\r\na\r\nb\r\n",
                                                R"({"time":"T","bytes":4,"text":"a\r\nb"})" "\r\n"}));
}
#endif

}  // namespace
