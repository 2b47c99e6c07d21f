// ZenoltSession on Linux against the stand-in planetarium: the programs of a
// script in one conversation, byte for byte what direct runs write; a client
// killed part way, a planetarium lost with a command in flight and found
// again on another port; --start, --stop and the stale variable after it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tcp_programs_test.h"

namespace {

class SessionEndToEnd : public TcpProgramsEndToEnd {
protected:
    // argv (its first word a program next to the test, or a path), with
    // ZENOLT_SESSION set to session.
    ProgramLaunch Launch(const std::vector<std::string>& argv, const std::string& session) {
        ProgramLaunch launch = TcpProgramsEndToEnd::Launch(
            argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()),
            {{"ZENOLT_SESSION", session}});
        if (argv[0][0] == '/') launch.argv[0] = argv[0];
        return launch;
    }

    ProgramRun Run(const std::vector<std::string>& argv, const std::string& session = "") {
        return RunProgram(Launch(argv, session), 20000);
    }

    // Waits up to 5 s until the stand-in has logged count commands.
    bool WaitForCommands(std::size_t count) {
        for (int i = 0; i < 500 && LoggedCommands(standIn).size() < count; ++i) {
            usleep(10000);
        }
        return LoggedCommands(standIn).size() >= count;
    }

    // The number of conversations the stand-in has had.
    int Connections() {
        int count = 0;
        for (const std::string& line : StandInLog(standIn)) count += line.rfind("CONNECT ", 0) == 0;
        return count;
    }
};

// The same script, run by sh directly and in a session: the same bytes and
// status; the session's programs in one conversation, but for the one given
// another server (the same planetarium, named otherwise), which talks
// directly.
TEST_F(SessionEndToEnd, AScriptsProgramsInOneConversationWriteWhatDirectRunsWrite) {
    StartPlanetarium();
    const std::string dir = ProgramDirectory();
    const std::string script =
        dir + "Zenolt GETRA; " + dir + "Zenolt WARP 9; " + dir + "Zenolt '?' ZOM+; printf " +
        "'GETFOV\\nWARP 9\\n' | " + dir + "ZenoltBatch --json --replies -; echo $?; " + dir +
        "ZenoltBatch --server localhost:" + std::to_string(standIn.port) + " - </dev/null; exit 7";
    const ProgramRun alone = Run({"/bin/sh", "-c", script});
    const int directConnections = Connections();
    const ProgramRun session = Run({"ZenoltSession", "/bin/sh", "-c", script});
    EXPECT_EQ(alone.exitCode, 7);
    EXPECT_EQ(session.exitCode, 7);
    EXPECT_EQ(session.out, alone.out);
    EXPECT_EQ(session.err, alone.err);
    EXPECT_NE(alone.out.find("00h44m14s\nZOM+\n\nOK!\n{\"line\":1,\"command\":\"GETFOV\""),
              std::string::npos)
        << alone.out;
    EXPECT_EQ(directConnections, 5);
    EXPECT_EQ(Connections() - directConnections, 2);
}

// A client killed while its command is in flight disturbs nobody; a command
// in flight when the planetarium crashes ends as a direct run's; the next
// finds the planetarium afresh, on its new port. After --stop the variable
// names nothing, and the programs talk directly.
TEST_F(SessionEndToEnd, KilledClientsLostPlanetariumsAndTheEnd) {
    StartPlanetarium({"--delay-of", "GETRA", "1500"});
    const ProgramRun started = Run({"ZenoltSession", "--start", "--idle", "60"});
    ASSERT_EQ(started.exitCode, 0) << started.err;
    const std::string::size_type open = started.out.find('\''), close = started.out.rfind('\'');
    ASSERT_EQ(started.out.substr(close), "'; export ZENOLT_SESSION\n");
    const std::string name = started.out.substr(open + 1, close - open - 1);
    struct stat status = {};
    ASSERT_EQ(stat(name.substr(0, name.rfind('/')).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);

    RunningProgram killed = StartProgram(Launch({"Zenolt", "GETRA"}, name));
    ASSERT_TRUE(WaitForCommands(1));
    kill(killed.pid, SIGKILL);
    FinishProgram(killed, 5000);
    ProgramRun run = Run({"Zenolt", "GETDEC"}, name);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "+41d25m18s\n");
    EXPECT_EQ(Connections(), 1);

    RunningProgram inFlight = StartProgram(Launch({"Zenolt", "GETRA"}, name));
    ASSERT_TRUE(WaitForCommands(3));
    kill(standIn.process.pid, SIGKILL);
    run = FinishProgram(inFlight, 10000);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Zenolt: the planetarium closed the connection\n");
    StopStandIn(standIn);

    StartPlanetarium();
    for (int i = 0; i < 2; ++i) {
        run = Run({"Zenolt", "GETFOV"}, name);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, "+01d00m00s\n");
    }
    EXPECT_EQ(Connections(), 1);
    run = Run({"ZenoltSession", "--stop"}, name);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_NE(stat(name.substr(0, name.rfind('/')).c_str(), &status), 0);
    run = Run({"Zenolt", "GETFOV"}, name);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "+01d00m00s\n");
    EXPECT_EQ(Connections(), 2);
    EXPECT_EQ(Run({"ZenoltSession", "--stop"}, name).exitCode, 0);
}

}  // namespace
