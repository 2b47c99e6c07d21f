#include "script_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Serves bytes from memory, at most `most` bytes per read as a pipe may, and
// fails with EIO once `failAt` bytes have been served.
struct MemorySource {
    std::string bytes;
    std::size_t most;
    std::size_t failAt = std::string::npos;
    std::size_t served = 0;
};

long ReadMemory(void* source, char* buffer, std::size_t size) {
    MemorySource& memory = *static_cast<MemorySource*>(source);
    if (memory.served >= memory.failAt) {
        errno = EIO;
        return -1;
    }
    std::size_t count = std::min({size, memory.most, memory.bytes.size() - memory.served,
                                  memory.failAt - memory.served});
    std::memcpy(buffer, memory.bytes.data() + memory.served, count);
    memory.served += count;
    return static_cast<long>(count);
}

struct Line {
    unsigned long number;
    std::string text;
    bool holdsNul;
    bool operator==(const Line& other) const {
        return number == other.number && text == other.text && holdsNul == other.holdsNul;
    }
};

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << line.number << ":[" << line.text << "]" << (line.holdsNul ? " NUL" : "");
}

// Every command line of input, read chunkSize bytes at a time from a source
// that hands out at most `most` bytes per read.
std::vector<Line> CommandLines(const std::string& input, std::size_t chunkSize, std::size_t most) {
    MemorySource source{input, most};
    ScriptReader reader;
    StartScript(reader, ReadMemory, &source, chunkSize);
    std::vector<Line> lines;
    CommandLine line;
    while (ReadCommandLine(reader, line)) lines.push_back({line.number, line.text, line.holdsNul});
    EXPECT_FALSE(reader.failed);
    return lines;
}

TEST(ReadCommandLine, LinesCommentsBlanksAndLineEnds) {
    const struct {
        const char* name;
        std::string input;
        std::vector<Line> expected;
    } cases[] = {
        {"LF", "ZOM+\nGOXY X:1 Y:2\n", {{1, "ZOM+", false}, {2, "GOXY X:1 Y:2", false}}},
        {"CR LF", "ZOM+\r\nZOM-\r\n", {{1, "ZOM+", false}, {2, "ZOM-", false}}},
        {"last line without a line end", "ZOM+\nZOM-", {{1, "ZOM+", false}, {2, "ZOM-", false}}},
        {"blanks and tabs cut at both ends only", " \tGOXY  X:1\t \r\n", {{1, "GOXY  X:1", false}}},
        {"empty and blank lines skipped but counted", "\n \t\n\r\nZOM+", {{4, "ZOM+", false}}},
        {"comments, also indented", "# a\n  # b\n\t#c\nZOM+ # not a comment\n",
         {{4, "ZOM+ # not a comment", false}}},
        {"byte-order mark at the start dropped", "\xEF\xBB\xBFZOM+\n", {{1, "ZOM+", false}}},
        {"byte-order mark before a comment", "\xEF\xBB\xBF# talk\nZOM+", {{2, "ZOM+", false}}},
        {"byte-order mark before blanks", "\xEF\xBB\xBF  ZOM+", {{1, "ZOM+", false}}},
        {"byte-order mark elsewhere kept", "ZOM+\n\xEF\xBB\xBFZOM-",
         {{1, "ZOM+", false}, {2, "\xEF\xBB\xBFZOM-", false}}},
        {"part of a byte-order mark kept", "\xEF\xBBZOM+", {{1, "\xEF\xBBZOM+", false}}},
        {"a NUL byte", std::string("ZOM+\0X\nZOM-", 11),
         {{1, std::string("ZOM+\0X", 6), true}, {2, "ZOM-", false}}},
        {"a CR not before LF stays", "A\rB\nC\r\r\n", {{1, "A\rB", false}, {2, "C\r", false}}},
        {"other bytes as they are", "\x81\\\"\xF8\x1A\n", {{1, "\x81\\\"\xF8\x1A", false}}},
        {"nothing", "", {}},
        {"only line ends", "\n\r\n", {}},
    };
    const std::size_t shapes[][2] = {{64 * 1024, 64 * 1024}, {1, 1}, {3, 2}, {2, 5}, {4, 3}};
    for (const auto& c : cases) {
        for (const auto& shape : shapes) {
            EXPECT_EQ(CommandLines(c.input, shape[0], shape[1]), c.expected)
                << c.name << ", chunks of " << shape[0] << ", reads of " << shape[1];
        }
    }
}

TEST(ReadCommandLine, LinesLongerThanAChunkArriveWhole) {
    std::string longLine(200000, 'x');
    longLine[1000] = ' ';
    EXPECT_EQ(CommandLines("ZOM+\r\n" + longLine + "\r\nZOM-", 4096, 1000),
              (std::vector<Line>{{1, "ZOM+", false}, {2, longLine, false}, {3, "ZOM-", false}}));
}

TEST(ReadCommandLine, AReadErrorEndsTheScriptAndDropsTheUnfinishedLine) {
    MemorySource source{"ZOM+\nZOM-\nGOXY", 64, 12};
    ScriptReader reader;
    StartScript(reader, ReadMemory, &source, 4);
    CommandLine line;
    ASSERT_TRUE(ReadCommandLine(reader, line));
    EXPECT_EQ(line.text, "ZOM+");
    ASSERT_TRUE(ReadCommandLine(reader, line));
    EXPECT_EQ(line.text, "ZOM-");
    EXPECT_FALSE(ReadCommandLine(reader, line));
    EXPECT_TRUE(reader.failed);
    EXPECT_EQ(reader.error, EIO);
    EXPECT_FALSE(ReadCommandLine(reader, line));
}

TEST(ReadFromDescriptor, ReadsAnOpenFile) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs("ZOM+\r\n# c\nZOM-", file);
    std::fflush(file);
    std::rewind(file);
    int descriptor = fileno(file);
    ScriptReader reader;
    StartScript(reader, ReadFromDescriptor, &descriptor, 5);
    CommandLine line;
    std::vector<std::string> texts;
    while (ReadCommandLine(reader, line)) texts.push_back(line.text);
    EXPECT_FALSE(reader.failed);
    EXPECT_EQ(texts, (std::vector<std::string>{"ZOM+", "ZOM-"}));
    std::fclose(file);
}

}  // namespace
