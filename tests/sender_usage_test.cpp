#include "sender_usage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "printed_text.h"
#include "stream_writes.h"

namespace {

std::string PrintedUsage() { return PrintedText(PrintSenderUsage); }
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

TEST(SenderUsage, Has33LinesEachEndedByALineEnd) {
    const std::string usage = PrintedUsage();
    ASSERT_FALSE(usage.empty());
    EXPECT_EQ(usage.back(), '\n');
    EXPECT_EQ(LinesOf(usage).size(), 33u);
    EXPECT_EQ(usage.find('\r'), std::string::npos);
}

TEST(SenderUsage, LinesThatAreEasyToGetWrong) {
    const std::vector<std::string> lines = LinesOf(PrintedUsage());
    ASSERT_EQ(lines.size(), 33u);
    const struct {
        int number;
        std::string text;
    } expected[] = {
        {1, "Zenolt v1.0 - Orvane - 2003"},
        {2, ""},
        {3, "USAGE: Zenolt command"},
        {4, ""},
        {5, "The following is a complete list of all CDC DDE commands."},
        {6, ""},
        {7, "Zenolt"},
        {8, std::string("Zenolt MOVE RA: 00h00m00.00s DEC:-00") + '\xF8' + "00'00.0\" FOV:+00" +
                '\xF8' + "00'00\""},
        {11, "Zenolt OBSL LAT:+00d00m00.0s LON:+00d00m00.0s ALT:000mOBS: <obs name>"},
        {15, "Zenolt SJPG <imagename.jpg> <quality 1=lowest 100=highest>"},
        {16, "Zenolt IDXY X:<pixelx> Y:200<pixely>"},
        {17, "Zenolt GOXY X:<pixelx> Y:<pixely>"},
        {31, "Zenolt SAVE <chartname>"},
        {32, ""},
        {33, "For more information on each command refer to the CDC manual pages."},
    };
    for (const auto& e : expected) EXPECT_EQ(lines[e.number - 1], e.text) << "line " << e.number;
}

TEST(SenderUsage, CommandLinesInOrder) {
    const std::vector<std::string> lines = LinesOf(PrintedUsage());
    ASSERT_EQ(lines.size(), 33u);
    const std::vector<std::string> words = {
        "MOVE", "FIND", "DATE", "OBSL", "PDSS", "SBMP", "SGIF", "SJPG", "IDXY", "GOXY", "ZOM+",
        "ZOM-", "STA+", "STA-", "NEB+", "NEB-", "GREQ", "GRAZ", "GRNM", "CONL", "CONB", "EQAZ",
        "LOAD", "SAVE"};
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(lines[7 + i].rfind("Zenolt " + words[i], 0), 0u) << lines[7 + i];
    }
}

TEST(SenderUsage, DegreeSignsAreTheOnlyHighBytes) {
    const std::string usage = PrintedUsage();
    int high = 0;
    for (char c : usage) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ++high;
            EXPECT_EQ(static_cast<unsigned char>(c), 0xF8);
        }
    }
    EXPECT_EQ(high, 2);
}

#ifdef ZENOLT_HAVE_STREAM_WRITES
TEST(SenderUsage, FlushesAfterEveryLineEnd) {
    const std::vector<std::string> writes = DeviceWrites(PrintSenderUsage);
    const std::vector<std::string> lines = LinesOf(PrintedUsage());
    ASSERT_EQ(writes.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(writes[i], lines[i] + "\n");
}
#endif

}  // namespace
