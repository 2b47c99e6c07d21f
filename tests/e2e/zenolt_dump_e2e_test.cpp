// The real ZenoltDump.exe against the stand-in planetarium.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_usage.h"
#include "planetarium_test.h"

namespace {

std::string ZenoltDump() { return QuotedProgram("ZenoltDump.exe"); }

class ZenoltDumpEndToEnd : public PlanetariumTest {
protected:
    // Runs ZenoltDump without arguments and expects status 0, nothing on
    // standard error and one request logged.
    std::string Dump() {
        const ProgramRun run = RunProgram(ZenoltDump());
        EXPECT_TRUE(Finished(run));
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.err, "");
        const std::vector<LoggedTransaction> logged = LoggedTransactions(standIn);
        EXPECT_EQ(logged.size(), 1u);
        if (!logged.empty()) {
            EXPECT_EQ(logged[0].type, "REQUEST");
            EXPECT_EQ(logged[0].item, "DdeData");
            EXPECT_EQ(logged[0].format, 1);
        }
        return run.out;
    }
};

TEST_F(ZenoltDumpEndToEnd, AnyArgumentPrintsTheUsageTextAndNeverConnects) {
    StartPlanetarium();
    const std::string usage = WithCrLf(ExpectedDumperUsage());
    for (const std::string& tail : {std::string(" x"), std::string(" \"\""),
                                    std::string(" -h --help")}) {
        const ProgramRun run = RunProgram(ZenoltDump() + tail);
        ASSERT_TRUE(Finished(run));
        EXPECT_EQ(run.exitCode, 0u) << tail;
        EXPECT_EQ(run.out, usage) << tail;
        EXPECT_EQ(run.err, "") << tail;
    }
    EXPECT_NE(usage.back(), '\n');
    EXPECT_EQ(StandInLog(standIn), std::vector<std::string>{"READY"});
}

TEST_F(ZenoltDumpEndToEnd, NoPlanetariumIsReportedWithStatus1) {
    const ProgramRun run = RunProgram(ZenoltDump());
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, kConnectFailureLineAsWritten);
}

TEST_F(ZenoltDumpEndToEnd, SixCharactersAndTheirNul) {
    StartPlanetariumServing(std::string("ZOM+ok\0", 7));
    EXPECT_EQ(Dump(), "7ZOM+ok");
    EXPECT_TRUE(WaitForLogLine(standIn, "DISCONNECT", 5000));
}

TEST_F(ZenoltDumpEndToEnd, LineEndsGoThroughTheTextModeStream) {
    StartPlanetariumServing(std::string("RA\r\nDEC\nend\0", 12));
    EXPECT_EQ(Dump(), "12RA\r\r\nDEC\r\nend");
}

TEST_F(ZenoltDumpEndToEnd, LongItemsArePrintedWhole) {
    for (std::size_t size : {500u, 501u, 60000u}) {
        std::string text(size - 1, ' ');
        for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('!' + i % 90);
        StartPlanetariumServing(text + '\0');
        EXPECT_EQ(Dump(), std::to_string(size) + text) << size;
        StopStandIn(standIn);
    }
}

TEST_F(ZenoltDumpEndToEnd, ItemWithoutANulStopsAtItsEnd) {
    StartPlanetariumServing("no terminator");
    EXPECT_EQ(Dump(), "13no terminator");
}

TEST_F(ZenoltDumpEndToEnd, ItemWithANulInsideStopsThere) {
    StartPlanetariumServing(std::string("first\0second\0", 13));
    EXPECT_EQ(Dump(), "13first");
}

TEST_F(ZenoltDumpEndToEnd, RefusedRequestPrintsOnlyZero) {
    StartPlanetarium("--refuse-request");
    EXPECT_EQ(Dump(), "0");
}

}  // namespace
