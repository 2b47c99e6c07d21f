// Many runs of the real programs against one stand-in planetarium: nothing
// is lost, duplicated, reordered or cut short.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "planetarium_test.h"

// After windows.h, which planetarium_test.h brings in.
#include <psapi.h>

namespace {

// A distinct command text for run number i.
std::string CommandText(const char* kind, int i) {
    return "GOXY X:" + std::to_string(i) + " Y:" + std::to_string(1000 - i) + " " + kind;
}

std::vector<std::string> PokedTexts(const StandIn& standIn) {
    std::vector<std::string> texts;
    for (const LoggedTransaction& t : LoggedTransactions(standIn)) {
        EXPECT_EQ(t.type, "POKE");
        texts.push_back(t.bytes);
    }
    return texts;
}

// How long a batch of the load test may take: on a busy machine a line
// under Wine has taken up to 1.5 ms.
const DWORD kBatchLimitMs = 300000;

class Load : public PlanetariumTest {
protected:
    // Runs a batch of a script of the given number of lines against a new
    // stand-in, stopped again at the end; every command must arrive whole and
    // in order, and the batch write its summary and nothing else. Returns the
    // largest private memory the batch was seen to commit while it ran (0
    // where it could not be read), sampled every 10 ms, since a process that
    // has ended can no longer be asked.
    SIZE_T BatchPeakMemory(int lines) {
        std::string script;
        std::vector<std::string> expected;
        for (int i = 0; i < lines; ++i) {
            const std::string text = CommandText("batch", i);
            script += text + (i % 2 ? "\r\n" : "\n");
            expected.push_back(text + '\0');
        }
        const std::string path = NewTestDirectory() + "script.txt";
        WriteFileBytes(path, script);
        std::string failure;
        if (!StartStandIn(standIn, "", failure)) {
            ADD_FAILURE() << failure;
            return 0;
        }
        RunningProgram batch = StartProgram(QuotedProgram("ZenoltBatch.exe") + " \"" + path + "\"");
        SIZE_T peak = 0;
        const DWORD begun = GetTickCount();
        while (batch.failure.empty() && GetTickCount() - begun < kBatchLimitMs) {
            PROCESS_MEMORY_COUNTERS counters = {};
            if (GetProcessMemoryInfo(batch.process.hProcess, &counters, sizeof counters)) {
                peak = std::max(peak, counters.PeakPagefileUsage);
            }
            if (WaitForSingleObject(batch.process.hProcess, 10) == WAIT_OBJECT_0) break;
        }
        // Ended by now, or killed: the limit is spent.
        const ProgramRun run = FinishProgram(batch, 0);
        EXPECT_TRUE(Finished(run)) << lines << " lines, within " << kBatchLimitMs << " ms";
        EXPECT_EQ(run.exitCode, 0u) << lines;
        EXPECT_EQ(run.err, "") << lines;
        const std::string count = std::to_string(lines);
        EXPECT_EQ(run.out, "sent " + count + ", acknowledged " + count +
                               ", refused 0, unanswered 0, not sent 0\r\n");
        const std::vector<std::string> poked = PokedTexts(standIn);
        EXPECT_EQ(poked.size(), expected.size());
        EXPECT_TRUE(poked == expected) << "the pokes differ from the script's " << lines << " lines";
        StopStandIn(standIn);
        return peak;
    }
};

TEST_F(Load, HundredRunsInARowArriveOnceEachInOrder) {
    StartPlanetarium();
    std::vector<std::string> expected;
    for (int i = 0; i < 100; ++i) {
        const std::string text = CommandText("in-a-row", i);
        const ProgramRun run = RunProgram(QuotedProgram("Zenolt.exe") + " " + text);
        ASSERT_TRUE(Finished(run)) << i;
        EXPECT_EQ(run.exitCode, 0u) << i;
        EXPECT_EQ(run.out + run.err, "") << i;
        expected.push_back(text + '\0');
    }
    EXPECT_EQ(PokedTexts(standIn), expected);
}

TEST_F(Load, ThirtyRunsAtOnceArriveOnceEach) {
    StartPlanetarium();
    std::vector<std::string> expected;
    std::vector<RunningProgram> running;
    for (int i = 0; i < 30; ++i) {
        const std::string text = CommandText("at-once", i);
        running.push_back(StartProgram(QuotedProgram("Zenolt.exe") + " " + text));
        expected.push_back(text + '\0');
    }
    // Every run is finished, also after one has failed, so that none is
    // left behind to disturb the next test.
    for (std::size_t i = 0; i < running.size(); ++i) {
        const ProgramRun run = FinishProgram(running[i], 60000);
        EXPECT_TRUE(Finished(run)) << i;
        EXPECT_EQ(run.exitCode, 0u) << i;
        EXPECT_EQ(run.out + run.err, "") << i;
    }
    std::vector<std::string> poked = PokedTexts(standIn);
    std::sort(poked.begin(), poked.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(poked, expected);
}

TEST_F(Load, TwentyDumpsAtOnceOfALargeItemAreCompleteAndIdentical) {
    std::string text(59999, ' ');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = (i % 80 == 79) ? '\n' : static_cast<char>('0' + i % 43);
    }
    StartPlanetariumServing(text + '\0');
    const std::string expected = "60000" + WithCrLf(text);
    std::vector<RunningProgram> running;
    for (int i = 0; i < 20; ++i) running.push_back(StartProgram(QuotedProgram("ZenoltDump.exe")));
    for (std::size_t i = 0; i < running.size(); ++i) {
        const ProgramRun run = FinishProgram(running[i], 60000);
        EXPECT_TRUE(Finished(run)) << i;
        EXPECT_EQ(run.exitCode, 0u) << i;
        EXPECT_EQ(run.err, "") << i;
        EXPECT_TRUE(run.out == expected) << "run " << i << " printed " << run.out.size()
                                         << " bytes, not the " << expected.size() << " expected";
    }
    EXPECT_EQ(LoggedTransactions(standIn).size(), 20u);
}

// A script of 10,000 lines arrives whole and in order, in no more memory
// than one of 1,000 lines: the two peaks within 64 KB, where they were seen
// a few KB apart. A batch that kept as little as 8 bytes of each line (a
// line, a data handle, a reply) would grow by 72 KB between the two, and one
// that keeps nothing from one line to the next runs the same for any length,
// as no longer script could show more than these two do.
TEST_F(Load, ABatchArrivesWholeAndInOrderInMemoryThatDoesNotGrowWithItsLength) {
    const SIZE_T shortPeak = BatchPeakMemory(1000);
    const SIZE_T longPeak = BatchPeakMemory(10000);
    ASSERT_GT(shortPeak, 0u) << "the batch's memory could not be read";
    EXPECT_LT(longPeak, shortPeak + 64 * 1024)
        << "1,000 lines: " << shortPeak / 1024 << " KiB, 10,000 lines: " << longPeak / 1024 << " KiB";
}

TEST_F(Load, AWatchTakesTwoHundredValuesASecondInOrder) {
    StartPlanetarium("--tick 5");
    const ProgramRun run = RunProgram(QuotedProgram("ZenoltWatch.exe") + " --count 1000", 60000);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> texts = WatchRecords(run.out);
    ASSERT_EQ(texts.size(), 1000u);
    // The watch joins at whatever tick the planetarium is at; from there on,
    // every one.
    const unsigned long first = std::stoul(texts[0].substr(5));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(texts[i], "TICK " + std::to_string(first + i)) << "record " << i;
    }
}

}  // namespace
