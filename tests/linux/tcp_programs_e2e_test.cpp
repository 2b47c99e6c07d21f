// The Linux Zenolt and ZenoltBatch, started with exact argument vectors,
// against the stand-in planetarium's TCP command server, found as the real
// one is: through the port it publishes in the user's home.
#include <gtest/gtest.h>
#include <signal.h>

#include <regex>

#include <string>
#include <vector>

#include "tcp_programs_test.h"

namespace {

TEST_F(TcpProgramsEndToEnd, ZenoltWritesWhatThePlanetariumAnswered) {
    StartPlanetarium();
    const std::string longest(1022, 'x');
    const struct {
        std::vector<std::string> arguments;
        std::string out, err;
        int status;
        std::vector<std::string> sent;
    } cases[] = {
        {{"ZOM+"}, "", "", 0, {"ZOM+"}},
        {{"GETFOV"}, "+00d30m00s\n", "", 0, {"GETFOV"}},
        {{"WARP", "9"}, "", "Failed! Bad command name\n", 2, {"WARP 9"}},
        {{"SEARCH", "M31"}, "", "", 0, {"SEARCH M31"}},
        {{"GETRA"}, "00h44m14s\n", "", 0, {"GETRA"}},
        {{"OBSL", "LAT:+46d12m00s", "LON:-06d06m00s", "ALT:400m", "OBS:Z\xC3\xBCrich \t"},
         "", "", 0, {"OBSL LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Z\xC3\xBCrich"}},
        {{"GETOBS"}, "LAT:+46d12m00sLON:-06d06m00sALT:400mOBS:Z\xC3\xBCrich\n", "", 0, {"GETOBS"}},
        {{"?", "ZOM+"}, "ZOM+\n\nOK!\n", "", 0, {"? ZOM+"}},
        {{"ZOM+\nZOM-"}, "",
         "Zenolt: the command cannot be sent over TCP: it holds a line break\n", 2, {}},
        {{longest + "y"}, "", "Zenolt: the command cannot be sent over TCP: longer than 1022 bytes\n",
         2, {}},
        {{longest}, "", "Failed! Bad command name\n", 2, {longest}},
    };
    for (const auto& c : cases) {
        const std::size_t before = Commands().size();
        const ProgramRun run = Run("Zenolt", c.arguments);
        const std::string name = c.arguments[0].substr(0, 20);
        ASSERT_TRUE(Finished(run)) << name;
        EXPECT_EQ(run.exitCode, c.status) << name;
        EXPECT_EQ(run.out, c.out) << name;
        EXPECT_EQ(run.err, c.err) << name;
        const std::vector<std::string> after = Commands();
        EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<long>(before), after.end()),
                  c.sent)
            << name;
    }
}

TEST_F(TcpProgramsEndToEnd, ZenoltWhenThePlanetariumIsNotThere) {
    home = NewScratchDirectory();
    const std::string portFile = PublishedPortFile(home);
    const struct {
        const char* name;
        std::vector<std::string> options;  // of a stand-in; none: no stand-in
        std::string published;              // "": the stand-in's port
        std::string err;
    } cases[] = {
        {"published as not running", {}, "0",
         kConnectFailureLine + ("Zenolt: " + portFile +
                                " holds 0: Cartes du Ciel is not running, or its TCP/IP server is "
                                "turned off\n")},
        {"a port nobody listens on", {}, "1", kConnectFailureLine},
        {"a greeting that refuses", {"--greeting", "Failed! Cannot activate a chart."}, "",
         std::string(kConnectFailureLine) + "Failed! Cannot activate a chart.\n"},
        {"no greeting (every slot taken)", {"--max-clients", "0"}, "", kConnectFailureLine},
    };
    for (const auto& c : cases) {
        if (!c.options.empty()) {
            std::vector<std::string> options = {"--port-file", portFile};
            options.insert(options.end(), c.options.begin(), c.options.end());
            std::string failure;
            ASSERT_TRUE(StartStandIn(standIn, options, failure)) << failure;
        } else {
            WriteFileBytes(portFile, c.published);
        }
        const ProgramRun run = Run("Zenolt", {"ZOM+"});
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_EQ(run.out, "") << c.name;
        EXPECT_EQ(run.err, c.err) << c.name;
        if (!c.options.empty()) {
            EXPECT_EQ(Commands(), std::vector<std::string>{}) << c.name;
        }
        StopStandIn(standIn);
    }
}

TEST_F(TcpProgramsEndToEnd, ZenoltWhenTheConnectionEndsBeforeTheReply) {
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{"--endless-reply-of", "GETRA"},
          std::vector<std::string>{"--delay-of", "GETRA", "10000"}}) {
        StartPlanetarium(options);
        RunningProgram running = StartProgram(Launch("Zenolt", {"GETRA"}));
        // A planetarium that crashes while it works on the command.
        if (options[0] == "--delay-of") {
            ASSERT_TRUE(WaitForLogLine(standIn, "COMMAND client=1 hex=4745545241 text=GETRA", 5000));
            kill(standIn.process.pid, SIGKILL);
        }
        const ProgramRun run = FinishProgram(running, 20000);
        EXPECT_EQ(run.exitCode, 1) << options[0];
        EXPECT_EQ(run.out, "") << options[0];
        EXPECT_EQ(run.err, "Zenolt: the planetarium closed the connection\n") << options[0];
        StopStandIn(standIn);
        RemoveScratchDirectory(home);
        home.clear();
    }
}

TEST_F(TcpProgramsEndToEnd, ZenoltBatchReportsEachCommandFromItsReply) {
    StartPlanetarium();
    const std::string longLine(2000, 'L');
    const std::string script = "SEARCH M31\nGETRA\n\nWARP 9\n" + longLine + "\nZOM+\n";
    const ProgramRun plain = Run("ZenoltBatch", {"-"}, script);
    EXPECT_EQ(plain.exitCode, 2);
    EXPECT_EQ(plain.err, "line 4: refused: WARP 9: Failed! Bad command name\n"
                         "line 5: not sent, longer than 1022 bytes: " + longLine + "\n");
    EXPECT_EQ(plain.out, "sent 4, acknowledged 3, refused 1, unanswered 0, not sent 1\n");
    EXPECT_EQ(Commands(), (std::vector<std::string>{"SEARCH M31", "GETRA", "WARP 9", "ZOM+"}));

    const ProgramRun json = Run("ZenoltBatch", {"--json", "--replies", "-"}, script);
    EXPECT_EQ(json.exitCode, 2);
    EXPECT_EQ(json.out,
              "{\"line\":1,\"command\":\"SEARCH M31\",\"outcome\":\"acknowledged\",\"reply\":\"OK!\\r\\n\"}\r\n"
              "{\"line\":2,\"command\":\"GETRA\",\"outcome\":\"acknowledged\",\"reply\":\"OK! 00h44m14s\\r\\n\"}\r\n"
              "{\"line\":4,\"command\":\"WARP 9\",\"outcome\":\"refused\",\"reply\":\"Failed! Bad command name\\r\\n\"}\r\n"
              "{\"line\":5,\"command\":\"" + longLine + "\",\"outcome\":\"not-sent-long\"}\r\n"
              "{\"line\":6,\"command\":\"ZOM+\",\"outcome\":\"acknowledged\",\"reply\":\"OK!\\r\\n\"}\r\n"
              "{\"sent\":4,\"acknowledged\":3,\"refused\":1,\"unanswered\":0,\"notSent\":1}\r\n");

    // Only through --server: the home published nothing.
    const std::string published = home;
    home = NewScratchDirectory();
    const ProgramRun given = Run(
        "ZenoltBatch", {"--replies", "--server", "127.0.0.1:" + std::to_string(standIn.port), "-"},
        "GETOBS\n");
    EXPECT_EQ(given.exitCode, 0);
    EXPECT_EQ(given.err, "");
    const std::string record = "OK! LAT:+46d12m00sLON:-06d06m00sALT:400mOBS:Switzerland/Test\r\n";
    EXPECT_NE(given.out.find(" " + std::to_string(record.size()) + " bytes\r\n" + record + "\r\n"),
              std::string::npos)
        << given.out;
    RemoveScratchDirectory(home);
    home = published;
}

TEST_F(TcpProgramsEndToEnd, ZenoltBatchGoesOnAfterAnUnansweredCommandAndStopsWhenLost) {
    StartPlanetarium({"--delay-of", "GETRA", "600", "--close-after", "4", "--events-every", "20"});
    const ProgramRun run = Run("ZenoltBatch", {"--timeout", "300", "--pause", "100", "-"},
                               "GETRA\nZOM+\nZOM-\nGETFOV\nZOM+\nZOM-\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "line 1: unanswered: GETRA\n"
                       "line 5: not sent, the conversation was lost: ZOM+\n"
                       "not sent: 2 command lines, from line 5 on\n");
    EXPECT_EQ(run.out, "sent 4, acknowledged 3, refused 0, unanswered 1, not sent 2\n");
}

TEST_F(TcpProgramsEndToEnd, ZenoltBatchWhereToLook) {
    home = NewScratchDirectory();
    const std::string tryHelp = "Try 'ZenoltBatch --help'.\n";
    const struct {
        std::vector<std::string> arguments;
        std::string err;
        int status;
    } cases[] = {
        {{"--server", "127.0.0.1:1", "-"},
         std::string(kConnectFailureLine) + "ZenoltBatch: 127.0.0.1:1: connection refused\n", 1},
        {{"--dde", "-"},
         "ZenoltBatch: --dde: DDE exists only on Windows, for Cartes du Ciel before 2006\n" + tryHelp,
         3},
        {{"--server=::1", "-"},
         "ZenoltBatch: --server ::1: not HOST[:PORT] (a name, an IPv4 address or [IPv6], PORT 1 to "
         "65535)\n" + tryHelp,
         3},
        {{"--timeout=0", "-"},
         "ZenoltBatch: --timeout 0: not a whole number of milliseconds from 1 to 3600000\n" + tryHelp,
         3},
        {{"a.txt", "b.txt"}, "ZenoltBatch: one script only, not a.txt and b.txt\n" + tryHelp, 3},
    };
    for (const auto& c : cases) {
        const ProgramRun run = Run("ZenoltBatch", c.arguments, "ZOM+\n");
        EXPECT_EQ(run.exitCode, c.status) << c.arguments[0];
        EXPECT_EQ(run.out, "") << c.arguments[0];
        EXPECT_EQ(run.err, c.err) << c.arguments[0];
    }
}

// The five lines of the state, as the DDE item laid them out.
TEST_F(TcpProgramsEndToEnd, ZenoltDumpPrintsTheStateAsTheItemWas) {
    StartPlanetarium();
    const std::regex dump(
        "(\\d+)(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n"
        "RA: 00h44m14s DEC:\\+41d25m18s FOV:\\+01d00m00s\r\n"
        "(.*)\r\n"
        "2026-12-08T13:41:15\r\n"
        "LAT:\\+46d12m00s LON:-06d06m00s ALT:400m OBS:Switzerland/Test\r\n)");
    for (const char* selected : {"", "SEARCH M31"}) {
        if (*selected != '\0') Run("Zenolt", {"SEARCH", "M31"});
        const ProgramRun run = Run("ZenoltDump", {});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.err, "");
        std::smatch match;
        ASSERT_TRUE(std::regex_match(run.out, match, dump)) << run.out;
        EXPECT_EQ(std::stoul(match.str(1)), match.str(2).size());
        EXPECT_EQ(match.str(3), *selected == '\0' ? "" : " 00h44m14.08s\t+41\xC2\xB0" "25'17.6\"\t Gx\tM 31\tm: 4.29\tdim:199.5'x70.8'\tpa:35\tconst:And\tdesc:Andromeda galaxy");
    }
}

TEST_F(TcpProgramsEndToEnd, ZenoltWatchWritesEachEventAndEndsAsAsked) {
    StartPlanetarium();
    const auto startWatch = [&](std::vector<std::string> arguments) {
        return StartProgram(Launch("ZenoltWatch", arguments));
    };
    const auto greeted = [&](unsigned long count) {
        std::string line = "CONNECT client=" + std::to_string(count);
        return WaitForLogLine(standIn, line, 5000);
    };
    // Two watches at once see the same events, in order; a third is ended by
    // SIGINT and says goodbye.
    RunningProgram first = startWatch({"--count", "2"});
    RunningProgram second = startWatch({"--json", "--count", "2", "--timeout", "15000"});
    RunningProgram third = startWatch({});
    ASSERT_TRUE(greeted(3));
    Run("Zenolt", {"SEARCH", "M42"});
    Run("Zenolt", {"SEARCH", "M31"});
    kill(third.pid, SIGINT);
    const ProgramRun one = FinishProgram(first, 10000), two = FinishProgram(second, 10000),
                     three = FinishProgram(third, 10000);
    EXPECT_EQ(one.exitCode, 0);
    const std::regex records("\\S+ 100 bytes\r\n>\tChart_1 :\t 05h36m19.62s[^\r\n]*Orion nebula\r\n"
                             "\\S+ 111 bytes\r\n>\tChart_1 :\t 00h44m14.08s[^\r\n]*Andromeda galaxy\r\n");
    EXPECT_TRUE(std::regex_match(one.out, records)) << one.out;
    EXPECT_EQ(two.exitCode, 0);
    EXPECT_NE(two.out.find("\"bytes\":111,\"text\":\">\\tChart_1 :\\t 00h44m14.08s\\t+41\\u00b025'"),
              std::string::npos)
        << two.out;
    EXPECT_EQ(three.exitCode, 0);
    EXPECT_EQ(three.err, "");
    EXPECT_EQ(Commands(), (std::vector<std::string>{"SEARCH M42", "SEARCH M31"}));

    // Polling writes the state when it changed; a planetarium that crashes
    // ends the watch at once.
    RunningProgram polling = startWatch({"--poll", "100", "--count", "1"});
    RunningProgram waiting = startWatch({"--now"});
    ASSERT_TRUE(greeted(7));
    Run("Zenolt", {"ZOM+"});
    const ProgramRun polled = FinishProgram(polling, 10000);
    EXPECT_EQ(polled.exitCode, 0);
    EXPECT_NE(polled.out.find("FOV:+00d30m00s\r\n"), std::string::npos) << polled.out;
    kill(standIn.process.pid, SIGKILL);
    const ProgramRun lost = FinishProgram(waiting, 10000);
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_EQ(lost.err, "ZenoltWatch: the conversation with Cartes du Ciel was lost\n");
    EXPECT_NE(lost.out.find("RA: 00h44m14s DEC:+41d25m18s FOV:+01d00m00s\r\n"), std::string::npos);
}

// With --now the state is the first record, whatever events come while it
// is asked: each of them follows it, whole and in order.
TEST_F(TcpProgramsEndToEnd, ZenoltWatchNowWritesTheStateBeforeTheEventsToldMeanwhile) {
    StartPlanetarium({"--events-every", "2", "--delay", "20"});
    const ProgramRun run = Run("ZenoltWatch", {"--now", "--count", "4"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::regex records(
        "\\S+ \\d+ bytes\r\n\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\nRA: (?:[^\r\n]*\r\n){4}\r\n"
        "(?:\\S+ 111 bytes\r\n>\tChart_1 :\t 00h44m14.08s[^\r\n]*\r\n){3}");
    EXPECT_TRUE(std::regex_match(run.out, records)) << run.out;
}

// A planetarium that stays connected but answers nothing: asked GETDATE
// after 10 s of silence, and unanswered 20 s later, the watch is lost.
TEST_F(TcpProgramsEndToEnd, ZenoltWatchEndsWhenThePlanetariumStopsAnswering) {
    StartPlanetarium({"--delay-of", "GETDATE", "60000"});
    const ProgramRun run = Run("ZenoltWatch", {}, "", 45000);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "ZenoltWatch: the conversation with Cartes du Ciel was lost\n");
    EXPECT_EQ(Commands(), std::vector<std::string>{"GETDATE"});
}

}  // namespace
