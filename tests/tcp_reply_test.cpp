#include "tcp_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "planetarium_place.h"
#include "tcp_platform.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Each case is the command sent and the server's lines after it (without
// their line ends), up to the line the reply must end with: every line
// before it must leave the reply unfinished, event lines and keep-alives
// must not count as replies, and the first reply line decides success. A
// message box's reply is never whole by its lines (a pause ends it).
TEST(TcpReply, WhichLinesAreRepliesAndWhereEachReplyEnds) {
    const struct {
        std::string command;
        std::vector<std::string> lines;
        bool refused;
        bool endsByLine = true;
    } cases[] = {
        {"GETRA", {"OK! 00h44m14s"}, false},
        {"ZOM+", {"OK!"}, false},
        {"getra", {">\tChart_1 :\t 00h44m14.08s\tM 31", ".", "OK! 00h44m14s"}, false},
        {"IsChart", {"True!"}, false},
        {"WARP 9", {"Failed! Bad command name"}, true},
        {"", {"Failed! Bad command name"}, true},
        {"SEARCH Vega", {"Not found!"}, true},
        {"SELECTCHART X", {"Bad chart name X"}, true},
        {"GETSELECTEDOBJECT", {"Failed!"}, true},
        {"?", {"ZOM+ zoom in", "ZOM- zoom out", "", "OK!"}, false},
        {"? zom+", {"ZOM+ zoom in", "", ".", "OK!"}, false},
        {"? NOPE", {"Not found!"}, true},
        {"GETMSGBOX", {"OK! first", "second", "third"}, false, false},
        {"getcoorbox", {"OK! ", ">\tChart_1 :\tx"}, false, false},
        {"GETCOORBOX", {"Failed! No chart"}, true},
        {"GETOBJECTLIST", {"M 31 galaxy", "OK!", "NGC 221 galaxy", ""}, false},
        {"GetObjectList", {""}, false},
        {"GETOBJECTLIST", {"Failed! No Chart!"}, true},
        {"GETMSGBOXES", {"OK! one line"}, false},
        {"quit", {"Bye!"}, false},
        {"EXIT", {"Bye!"}, false},
        {"ZOM+", {"Bye!"}, false, false},
    };
    for (const auto& c : cases) {
        const ReplyShape shape = ShapeOfReply(c.command);
        std::size_t count = 0;
        bool firstRefused = false;
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            const std::string& line = c.lines[i];
            const ServerLineKind kind = KindOfServerLine(line.data(), line.size());
            const bool expectReply = line.rfind(">\t", 0) != 0 && line != "." && line != "Bye!";
            EXPECT_EQ(kind == ServerLineKind::Reply, expectReply) << c.command << " line " << i;
            if (line == "Bye!") {
                EXPECT_EQ(kind, ServerLineKind::Goodbye);
                EXPECT_EQ(shape == ReplyShape::Farewell, c.command != "ZOM+") << c.command;
                ++count;
                continue;
            }
            if (!expectReply) continue;
            if (count == 0) firstRefused = IsRefusal(line.data(), line.size());
            ++count;
            const bool whole = ReplyIsWhole(shape, count, firstRefused, line.data(), line.size());
            EXPECT_EQ(whole, c.endsByLine && i + 1 == c.lines.size()) << c.command << " line " << i;
        }
        EXPECT_EQ(firstRefused, c.refused) << c.command;
    }
}

TEST(TcpReply, LinesThatCannotGoAsOneCommand) {
    const struct {
        std::string command;
        const char* why;
    } cases[] = {
        {std::string(1022, 'x'), nullptr},
        {std::string(1023, 'x'), "longer than 1022 bytes"},
        {"OBSL OBS:Z\xC3\xBCrich\r", nullptr},
        {std::string("ZOM+\0X", 6), "it holds a NUL byte"},
        {"ZOM+\r\nZOM-", "it holds a line break"},
        {"ZOM+\nZOM-", "it holds a line break"},
    };
    for (const auto& c : cases) {
        const char* why = WhyNotSendableOverTcp(c.command);
        EXPECT_STREQ(why, c.why) << c.command.size();
    }
}

TEST(PlanetariumPlace, AddressesAUserGives) {
    const struct {
        std::string text;
        bool good;
        std::string host;
        unsigned port;
        std::string written;  // as AddressText writes it back
    } cases[] = {
        {"192.168.1.20", true, "192.168.1.20", 3292, "192.168.1.20:3292"},
        {"sky.example:4000", true, "sky.example", 4000, "sky.example:4000"},
        {"[::1]:065535", true, "::1", 65535, "[::1]:65535"},
        {"[fe80::1]", true, "fe80::1", 3292, "[fe80::1]:3292"},
        {"host:0", false, "", 0, ""},
        {"host:65536", false, "", 0, ""},
        {"host:", false, "", 0, ""},
        {"host:+1", false, "", 0, ""},
        {":3292", false, "", 0, ""},
        {"::1", false, "", 0, ""},
        {"[::1", false, "", 0, ""},
        {"[::1]x", false, "", 0, ""},
        {"[]:1", false, "", 0, ""},
        {"a b:1", false, "", 0, ""},
    };
    for (const auto& c : cases) {
        ServerAddress address;
        EXPECT_EQ(ParseServerAddress(c.text, address), c.good) << c.text;
        if (!c.good) continue;
        EXPECT_EQ(address.host, c.host) << c.text;
        EXPECT_EQ(address.port, c.port) << c.text;
        EXPECT_EQ(AddressText(address), c.written) << c.text;
    }
}

TEST(PlanetariumPlace, PortThePlanetariumPublished) {
    const struct {
        bool found;
        std::string text;
        unsigned port;
    } cases[] = {
        {false, "", 3292},   {true, "4030", 4030}, {true, "0", 0},       {true, "00", 0},
        {true, "65535", 65535}, {true, "65536", 3292}, {true, "", 3292},  {true, "12a", 3292},
        {true, "4030\n", 3292}, {true, "-1", 3292},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortFromPublishedText(c.found, c.text), c.port) << c.text;
    }
}

// The server's UTF-8 and the program's own text: the ANSI code page on
// Windows (what it lacks, and bytes that are no UTF-8, become "?"), bytes
// unchanged elsewhere.
TEST(ServerText, ConvertedBetweenTheProgramsTextAndUtf8) {
    const struct {
        std::string server, own;
    } cases[] = {
        {"OBS:Z\xC3\xBCrich +41\xC2\xB0", "OBS:Z\xFCrich +41\xB0"},
        {"\xD0\x96 \xFF", "? ?"},
        {"", ""},
    };
#ifdef _WIN32
    if (GetACP() != 1252) GTEST_SKIP() << "the ANSI code page is not 1252";
#endif
    for (const auto& c : cases) {
#ifdef _WIN32
        EXPECT_EQ(FromServerText(c.server), c.own);
        if (c.own.find('?') == std::string::npos) {
            EXPECT_EQ(ToServerText(c.own), c.server);
        }
#else
        EXPECT_EQ(FromServerText(c.server), c.server);
        EXPECT_EQ(ToServerText(c.own), c.own);
#endif
    }
}

}  // namespace
