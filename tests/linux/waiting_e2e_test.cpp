// The Linux programs as a night's scripts use them: started before the
// planetarium, told where it is by the environment, following it through a
// restart, and showing their conversation when asked.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "tcp_programs_test.h"

namespace {

void Pause(long ms) {
    timespec wait = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&wait, nullptr);
}

// text as a regular expression that matches it alone.
std::string Literal(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// Each program waits, by option or by variable, for a planetarium that is
// published as not running when it starts, and is served once it is up.
TEST_F(TcpProgramsEndToEnd, ProgramsStartedBeforeThePlanetariumWaitForIt) {
    home = NewScratchDirectory();
    WriteFileBytes(PublishedPortFile(home), "0");
    const struct {
        const char* program;
        std::vector<std::string> arguments;
        EnvironmentChanges environment;
        std::string sent;  // the command this one sends
    } cases[] = {
        {"Zenolt", {"SETFOV", "2"}, {{"ZENOLT_WAIT", "20"}}, "SETFOV 2"},
        {"ZenoltDump", {}, {{"ZENOLT_WAIT", "20"}}, "GETOBS"},
        {"ZenoltBatch", {"--wait", "20", "-"}, {{"ZENOLT_WAIT", "0"}}, "ZOM-"},
        {"ZenoltWatch", {"--now", "--count", "1"}, {{"ZENOLT_WAIT", "20"}}, "GETDATE"},
    };
    std::vector<RunningProgram> running;
    for (const auto& c : cases) {
        ProgramLaunch launch = Launch(c.program, c.arguments, c.environment);
        launch.input = "ZOM-\n";
        running.push_back(StartProgram(launch));
    }
    Pause(1000);
    StartPlanetarium();
    for (std::size_t i = 0; i < running.size(); ++i) {
        const ProgramRun run = FinishProgram(running[i], 20000);
        ASSERT_TRUE(Finished(run)) << cases[i].program;
        EXPECT_EQ(run.exitCode, 0) << cases[i].program << ": " << run.err;
        EXPECT_EQ(run.err, "") << cases[i].program;
        const std::vector<std::string> sent = Commands();
        EXPECT_NE(std::find(sent.begin(), sent.end(), cases[i].sent), sent.end()) << cases[i].program;
    }
}

// A planetarium busy with another client greets late: a program that waits
// for it keeps its connection until the greeting comes, for one that leaves
// ungreeted can end the planetarium's listening.
TEST_F(TcpProgramsEndToEnd, AWaitingProgramWaitsForALateGreeting) {
    StartPlanetarium({"--delay-of", "SEARCH", "7000"});
    RunningProgram busy = StartProgram(Launch("Zenolt", {"SEARCH", "M31"}));
    ASSERT_TRUE(WaitForLogLine(standIn, "CONNECT client=1", 5000));
    Pause(200);
    const ProgramRun run = Run("Zenolt", {"GETRA"}, "", 20000, {{"ZENOLT_WAIT", "10"}});
    FinishProgram(busy, 10000);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "00h44m14s\n");
    EXPECT_TRUE(WaitForLogLine(standIn, "COMMAND client=2 hex=4745545241 text=GETRA", 1000));
}

// A wait that runs out ends as no wait does; a bad variable ends at once,
// naming it, and nothing is tried; an option wins over its variable.
TEST_F(TcpProgramsEndToEnd, WhatTheEnvironmentSays) {
    StartPlanetarium();
    const std::string served = "127.0.0.1:" + std::to_string(standIn.port);
    const std::string portFile = PublishedPortFile(home);
    const struct {
        const char* name;
        const char* program;
        std::vector<std::string> arguments;
        EnvironmentChanges environment;
        int status;
        std::string err;
    } cases[] = {
        {"a wait that runs out", "Zenolt", {"GETRA"},
         {{"ZENOLT_SERVER", "127.0.0.1:1"}, {"ZENOLT_WAIT", "1"}}, 1,
         std::string(kConnectFailureLine) + "Zenolt: 127.0.0.1:1: connection refused\n"},
        {"a wait of letters", "ZenoltDump", {}, {{"ZENOLT_WAIT", "soon"}}, 3,
         "ZenoltDump: ZENOLT_WAIT must be a whole number of seconds from 0 to 86400, not \"soon\"\n"},
        {"a wait too long", "ZenoltWatch", {}, {{"ZENOLT_WAIT", "86401"}}, 3,
         "ZenoltWatch: ZENOLT_WAIT must be a whole number of seconds from 0 to 86400, not "
         "\"86401\"\n"},
        {"a server that is none", "Zenolt", {"GETRA"}, {{"ZENOLT_SERVER", "a b"}}, 3,
         "Zenolt: ZENOLT_SERVER must be HOST[:PORT] (a name, an IPv4 address or [IPv6], PORT 1 to "
         "65535), not \"a b\"\n"},
        {"the server by variable", "ZenoltDump", {}, {{"ZENOLT_SERVER", served}, {"HOME", "/nonexistent"}},
         0, ""},
        {"--server wins over the variable", "ZenoltBatch", {"--server", served, "-"},
         {{"ZENOLT_SERVER", "a b"}, {"ZENOLT_WAIT", "x"}, {"HOME", "/nonexistent"}}, 3,
         "ZenoltBatch: ZENOLT_WAIT must be a whole number of seconds from 0 to 86400, not \"x\"\n"},
        {"--wait wins over the variable", "ZenoltBatch", {"--wait", "0", "--server", served, "-"},
         {{"ZENOLT_SERVER", "a b"}, {"ZENOLT_WAIT", "x"}}, 0, ""},
    };
    for (const auto& c : cases) {
        const std::size_t before = LoggedCommands(standIn).size();
        const ProgramRun run = Run(c.program, c.arguments, "ZOM+\n", 20000, c.environment);
        ASSERT_TRUE(Finished(run)) << c.name;
        EXPECT_EQ(run.exitCode, c.status) << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
        EXPECT_EQ(LoggedCommands(standIn).size() > before, c.status == 0) << c.name;
        if (c.status == 1) {
            EXPECT_GE(run.elapsedMs, 900) << c.name;
        }
    }
}

// The trace shows where the port came from, the connect, the greeting and
// each line; standard output stays as it is.
TEST_F(TcpProgramsEndToEnd, TheTraceShowsTheConversation) {
    StartPlanetarium();
    const ProgramRun run = Run("Zenolt", {"GETRA"}, "", 20000, {{"ZENOLT_TRACE", "1"}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "00h44m14s\n");
    const std::string port = std::to_string(standIn.port);
    const std::regex trace(
        "\\* \\d+ ms: port " + port + " from " + Literal(PublishedPortFile(home)) + "\n"
        "\\* \\d+ ms: connecting to 127\\.0\\.0\\.1:" + port + "\n"
        "\\* \\d+ ms: connected\n"
        "< \\d+ ms: OK! id=1 chart=Chart_1\n"
        "> \\d+ ms: GETRA\n"
        "< \\d+ ms: OK! 00h44m14s\n"
        "> \\d+ ms: QUIT\n"
        "< \\d+ ms: Bye!\n"
        "(\\* \\d+ ms: the server closed the connection\n)?");
    EXPECT_TRUE(std::regex_match(run.err, trace)) << run.err;
}

// The planetarium ends (SHUTDOWN) and a new one starts on another port:
// watches that follow it write each event told while they were connected,
// the state again first with --now, and count across the gap; one whose
// --wait runs out ends as lost, and Ctrl+C ends one during the gap.
TEST_F(TcpProgramsEndToEnd, ZenoltWatchFollowsThePlanetariumThroughARestart) {
    StartPlanetarium();
    const auto watch = [&](const std::vector<std::string>& arguments) {
        return StartProgram(Launch("ZenoltWatch", arguments));
    };
    RunningProgram now = watch({"--follow", "--now"});
    RunningProgram counted = watch({"--follow", "--count", "2"});
    RunningProgram waiting = watch({"--follow", "--wait", "1"});
    RunningProgram stopped = watch({"--follow"});
    ASSERT_TRUE(WaitForLogLine(standIn, "CONNECT client=4", 5000));
    Run("Zenolt", {"SEARCH", "M42"});
    Run("Zenolt", {"SHUTDOWN"});
    Pause(2000);
    kill(stopped.pid, SIGINT);
    StandIn second;
    StartPlanetarium({}, &second);
    ASSERT_TRUE(WaitForLogLine(second, "CONNECT client=2", 5000));
    ProgramRun search = RunProgram(Launch("Zenolt", {"SEARCH", "M31"}));
    EXPECT_EQ(search.exitCode, 0) << search.err;
    const ProgramRun counting = FinishProgram(counted, 10000);
    kill(now.pid, SIGINT);
    const ProgramRun following = FinishProgram(now, 10000);
    const ProgramRun outWaited = FinishProgram(waiting, 10000);
    const ProgramRun interrupted = FinishProgram(stopped, 10000);
    StopStandIn(second);

    const std::string state = "\\S+ \\d+ bytes\r\n\\d{4}-[^\r\n]*\r\nRA: (?:[^\r\n]*\r\n){4}\r\n";
    const std::string m42 = "\\S+ 100 bytes\r\n>\tChart_1 :\t 05h36m19[^\r\n]*\r\n";
    const std::string m31 = "\\S+ 111 bytes\r\n>\tChart_1 :\t 00h44m14[^\r\n]*\r\n";
    const std::string time = "\\d{4}-\\d\\d-\\d\\dT[0-9:.]+[+-]\\d\\d:\\d\\d";
    const std::string lost = "ZenoltWatch: the conversation with Cartes du Ciel was lost at " + time +
                             "; waiting for it to come back\n";
    const std::string back = "ZenoltWatch: Cartes du Ciel is back at " + time + "\n";
    const struct {
        const char* name;
        const ProgramRun& run;
        int status;
        std::string out, err;
    } cases[] = {
        {"--now", following, 0, state + m42 + state + m31, lost + back},
        {"--count 2", counting, 0, m42 + m31, lost + back},
        {"--wait 1", outWaited, 1, m42,
         lost + Literal(kConnectFailureLine + ("ZenoltWatch: " + PublishedPortFile(home) +
                                               " holds 0: Cartes du Ciel is not running, or its "
                                               "TCP/IP server is turned off\n"))},
        {"Ctrl+C while it waits", interrupted, 0, m42, lost},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Finished(c.run)) << c.name;
        EXPECT_EQ(c.run.exitCode, c.status) << c.name;
        EXPECT_TRUE(std::regex_match(c.run.out, std::regex(c.out))) << c.name << ":\n" << c.run.out;
        EXPECT_TRUE(std::regex_match(c.run.err, std::regex(c.err))) << c.name << ":\n" << c.run.err;
    }
}

}  // namespace
