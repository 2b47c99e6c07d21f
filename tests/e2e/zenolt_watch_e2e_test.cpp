// The real ZenoltWatch.exe against the stand-in planetarium.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "planetarium_test.h"

using namespace std::string_literals;

namespace {

std::string ZenoltWatch() { return QuotedProgram("ZenoltWatch.exe"); }

const char kAdviseStarted[] = "ADVSTART item=DdeData format=1";
const char kLost[] = "ZenoltWatch: the conversation with Cartes du Ciel was lost\r\n";
// The planetarium's reports of a command it ran and of one it does not know,
// their times hidden as TimesHidden hides them.
const char kRan[] = "<time> ACK\r\n\r\nOK!\r\n\r\n";
const char kUnknown[] = "<time> NAK\r\n\r\nFailed! Bad command name\r\n\r\n";

// The texts with the time of each change made "<time>": the planetarium
// writes it in the PC's short date and long time forms, which differ from
// one PC to the next (12/8/2026 1:41:15 PM, 08.12.2026 13:41:15,
// 2026/12/08 13:41:15).
std::vector<std::string> TimesHidden(const std::vector<std::string>& texts) {
    static const std::regex time(
        R"(\d{1,4}[./-]\d{1,2}[./-]\d{1,4}\.? \d{1,2}:\d\d:\d\d( [AP]M)?)");
    std::vector<std::string> hidden;
    for (const std::string& text : texts) hidden.push_back(std::regex_replace(text, time, "<time>"));
    return hidden;
}

// Waits until a line of the stand-in's log begins with start, up to timeoutMs.
bool WaitForLogLineStarting(const StandIn& standIn, const std::string& start, DWORD timeoutMs) {
    for (const DWORD begun = GetTickCount();; Sleep(20)) {
        for (const std::string& line : StandInLog(standIn)) {
            if (line.compare(0, start.size(), start) == 0) return true;
        }
        if (GetTickCount() - begun >= timeoutMs) return false;
    }
}

class ZenoltWatchEndToEnd : public PlanetariumTest {
protected:
    // Starts ZenoltWatch with the options and waits until the stand-in has
    // logged line (the watch is then listening).
    RunningProgram StartWatch(const std::string& options, const std::string& line) {
        RunningProgram watch = StartProgram(ZenoltWatch() + options);
        EXPECT_TRUE(WaitForLogLine(standIn, line, 10000)) << line;
        return watch;
    }

    void Poke(const std::string& command) {
        const ProgramRun run = RunProgram(QuotedProgram("Zenolt.exe") + " " + command);
        EXPECT_EQ(run.exitCode, 0u) << run.failure << run.err;
    }
};

TEST_F(ZenoltWatchEndToEnd, EchoedPokesArriveAsRecordsInOrder) {
    StartPlanetarium("--echo-pokes");
    RunningProgram watch = StartWatch(" --count 3", kAdviseStarted);
    // Run, not known, run: records out of order would show.
    for (const char* command : {"ZOM+", "WARP 9", "FIND CAT: M ID: 31"}) Poke(command);
    const ProgramRun run = FinishProgram(watch, 10000);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(TimesHidden(WatchRecords(run.out)),
              (std::vector<std::string>{kRan, kUnknown, kRan}));
    EXPECT_TRUE(WaitForLogLine(standIn, "ADVSTOP item=DdeData format=1", 5000));
}

TEST_F(ZenoltWatchEndToEnd, NowAsJson) {
    StartPlanetariumServing("He said \"hi\" \\ \t\xF8\r\n\0after"s);
    const ProgramRun run = RunProgram(ZenoltWatch() + " --json --now --count 1");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    const std::string start = "{\"time\":\"";
    ASSERT_EQ(run.out.compare(0, start.size(), start), 0) << run.out;
    EXPECT_TRUE(std::regex_match(run.out.substr(start.size(), 29), RecordTimePattern())) << run.out;
    EXPECT_EQ(run.out.substr(start.size() + 29),
              R"(","bytes":19,"text":"He said \"hi\" \\ \t\u00f8\r\n"})" "\r\n");
}

// Under code page 932 (the end_to_end_cp932 test) a lead byte takes the
// byte after it along, also a backslash or a double quote: each pair is one
// character in JSON (0x95 0x5C is U+8868; 0x83 before a double quote is no
// character of the code page, so it is the code page's default one), never
// a character and an escape.
TEST_F(ZenoltWatchEndToEnd, DoubleByteCharactersAsJson) {
    if (GetACP() != 932) GTEST_SKIP() << "the end_to_end_cp932 test runs this under code page 932";
    StartPlanetariumServing("\x95\\\x83\"x\0"s);
    const ProgramRun run = RunProgram(ZenoltWatch() + " --json --now --count 1");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    const std::size_t text = run.out.find(",\"bytes\":");
    ASSERT_NE(text, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(text), R"(,"bytes":5,"text":"\u8868\u30fbx"})" "\r\n");
}

TEST_F(ZenoltWatchEndToEnd, NowIsTheChartAsThePlanetariumLaysItOut) {
    StartPlanetarium();
    const ProgramRun run = RunProgram(ZenoltWatch() + " --now --count 1");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(TimesHidden(WatchRecords(run.out)),
              std::vector<std::string>{
                  "<time>\r\n"
                  "RA: 00h42m44.30s DEC:+41\xB0" "16'09.0\" FOV:+01\xB0" "00'00\"\r\n"
                  " 00h42m44.30s +41\xB0" "16'09.0\"   Gx M 31 m: 3.44 Andromeda Galaxy\r\n"
                  "2026-12-08T13:41:15\r\n"
                  "LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Switzerland/Test"});
}

TEST_F(ZenoltWatchEndToEnd, NoValueWithinTheTimeOut) {
    StartPlanetarium();
    const ProgramRun run = RunProgram(ZenoltWatch() + " --timeout 300");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "ZenoltWatch: no new value within 300 ms\r\n");
    EXPECT_TRUE(WaitForLogLine(standIn, "ADVSTOP item=DdeData format=1", 5000));
}

TEST_F(ZenoltWatchEndToEnd, APlanetariumThatEndsOrIsKilledEndsTheWatch) {
    for (const bool killed : {false, true}) {
        StartPlanetarium(killed ? "--echo-pokes" : "--echo-pokes --end-after-pokes 1");
        RunningProgram watch = StartWatch("", kAdviseStarted);
        Poke("ZOM+");
        if (killed) {
            // As a planetarium that crashes: no terminate reaches the watch.
            ASSERT_TRUE(WaitForLogLineStarting(standIn, "ADVISE size=", 10000));
            StopStandIn(standIn);
        } else {
            ASSERT_TRUE(WaitForLogLine(standIn, "END", 10000));
        }
        // Noticed within a second of the end; the margin is for a busy machine.
        const ProgramRun run = FinishProgram(watch, 3000);
        ASSERT_TRUE(Finished(run)) << "the watch did not notice the end; killed: " << killed;
        EXPECT_EQ(run.exitCode, 1u) << killed;
        EXPECT_EQ(run.err, kLost) << killed;
        EXPECT_EQ(TimesHidden(WatchRecords(run.out)), std::vector<std::string>{kRan}) << killed;
        StopStandIn(standIn);
    }
}

TEST_F(ZenoltWatchEndToEnd, ARefusedAdviseLinkFallsBackToPolling) {
    StartPlanetarium("--echo-pokes --refuse-advise");
    // Once the first request is logged, the watch has its first value.
    RunningProgram watch = StartProgram(ZenoltWatch() + " --count 1");
    EXPECT_TRUE(WaitForLogLineStarting(standIn, "REQUEST item=DdeData format=1 size=", 10000));
    Poke("ZOM-");
    const ProgramRun run = FinishProgram(watch, 10000);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err,
              "ZenoltWatch: Cartes du Ciel refused to tell of changes; asking every 1000 ms "
              "instead\r\n");
    EXPECT_EQ(TimesHidden(WatchRecords(run.out)), std::vector<std::string>{kRan});
}

TEST_F(ZenoltWatchEndToEnd, AQuitRequestEndsTheLinkAndTheWatch) {
    StartPlanetarium();
    RunningProgram watch = StartWatch("", kAdviseStarted);
    // What a Ctrl+C, Ctrl+Break or closing the console asks of the watch.
    ASSERT_TRUE(PostThreadMessageA(watch.process.dwThreadId, WM_QUIT, 0, 0));
    const ProgramRun run = FinishProgram(watch, 10000);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_TRUE(WaitForLogLine(standIn, "ADVSTOP item=DdeData format=1", 5000));
}

// A planetarium from before 2006 that is closed and started again: a watch
// that follows it writes the changes told by both, and says when it lost
// it and when it found it again.
TEST_F(ZenoltWatchEndToEnd, FollowsAPlanetariumThatIsStartedAgain) {
    StartPlanetarium("--echo-pokes");
    RunningProgram watch = StartWatch(" --follow --count 2", kAdviseStarted);
    Poke("ZOM+");
    ASSERT_TRUE(WaitForLogLineStarting(standIn, "ADVISE size=", 5000));
    StopStandIn(standIn);
    StartPlanetarium("--echo-pokes");
    ASSERT_TRUE(WaitForLogLine(standIn, kAdviseStarted, 10000));
    Poke("WARP 9");
    const ProgramRun run = FinishProgram(watch, 10000);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(TimesHidden(WatchRecords(run.out)), (std::vector<std::string>{kRan, kUnknown}));
    const std::regex told(
        "ZenoltWatch: the conversation with Cartes du Ciel was lost at \\S+; waiting for it to "
        "come back\r\nZenoltWatch: Cartes du Ciel is back at \\S+\r\n");
    EXPECT_TRUE(std::regex_match(run.err, told)) << run.err;
}

TEST_F(ZenoltWatchEndToEnd, UsageAndNoPlanetarium) {
    const ProgramRun absent = RunProgram(ZenoltWatch() + " --now");
    EXPECT_EQ(absent.exitCode, 1u);
    EXPECT_EQ(absent.out, "");
    EXPECT_EQ(absent.err, kConnectFailureLineAsWritten);
    StartPlanetarium();
    const ProgramRun asked = RunProgram(ZenoltWatch() + " --help");
    EXPECT_EQ(asked.exitCode, 0u);
    EXPECT_EQ(asked.out.rfind("ZenoltWatch v1.0", 0), 0u) << asked.out;
    EXPECT_EQ(asked.err, "");
    const struct {
        const char* tail;
        std::string error;
    } cases[] = {
        {" --count 0", "--count 0: not a whole number of records from 1 to 4294967295"},
        {" --poll=10", "--poll 10: not a whole number of milliseconds from 50 to 3600000"},
        {" --verbose", "--verbose: no such option"},
    };
    for (const auto& c : cases) {
        const ProgramRun bad = RunProgram(ZenoltWatch() + c.tail);
        EXPECT_EQ(bad.exitCode, 3u) << c.tail;
        EXPECT_EQ(bad.out, "") << c.tail;
        EXPECT_EQ(bad.err, "ZenoltWatch: " + c.error + "\r\nTry 'ZenoltWatch --help'.\r\n");
    }
    EXPECT_EQ(StandInLog(standIn), std::vector<std::string>{"READY"});
}

}  // namespace
