#include "data_dump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printed_text.h"
#include "stream_writes.h"

namespace {

// Dumps exactly the given bytes from a buffer of their own size, so that
// AddressSanitizer catches any read past what was received.
std::string Dumped(const std::string& received) {
    const std::vector<unsigned char> buffer(received.begin(), received.end());
    return PrintedText([&](std::FILE* out) { WriteDataDump(out, buffer.data(), buffer.size()); });
}

TEST(WriteDataDump, CountThenTextUpToTheFirstNulOrTheEnd) {
    const struct {
        const char* name;
        std::string received;
        std::string expected;
    } cases[] = {
        {"nothing received", "", "0"},
        {"six characters and their NUL", std::string("ZOM+ok\0", 7), "7ZOM+ok"},
        {"only a NUL", std::string("\0", 1), "1"},
        {"no NUL: stops at the end", "abc", "3abc"},
        {"NUL inside: stops there", std::string("ab\0cd\0", 6), "6ab"},
        {"line ends pass unchanged", std::string("a\r\nb\nc\0", 7), "7a\r\nb\nc"},
        {"high bytes pass unchanged", std::string("\xF8\xE9\xFF\0", 4), "4\xF8\xE9\xFF"},
        {"text ending in a line end keeps it", std::string("RA 1\n\0", 6), "6RA 1\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(Dumped(c.received), c.expected) << c.name;
}

TEST(WriteDataDump, LongDataIsPrintedWhole) {
    for (std::size_t size : {499u, 500u, 501u, 4096u, 60000u, 1u << 20}) {
        std::string text(size - 1, 'x');
        text[size / 2] = '\n';
        EXPECT_EQ(Dumped(text + '\0'), std::to_string(size) + text) << size;
        EXPECT_EQ(Dumped(text), std::to_string(size - 1) + text) << size;
    }
}

#ifdef ZENOLT_HAVE_STREAM_WRITES
TEST(WriteDataDump, DoesNotFlush) {
    const std::string item("GOXY 1\n\0", 8);
    const std::vector<unsigned char> buffer(item.begin(), item.end());
    EXPECT_EQ(DeviceWrites([&](std::FILE* out) { WriteDataDump(out, buffer.data(), buffer.size()); }),
              std::vector<std::string>{"8GOXY 1\n"});
}
#endif

}  // namespace
