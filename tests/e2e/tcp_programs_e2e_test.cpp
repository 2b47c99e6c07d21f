// The real Zenolt.exe and ZenoltBatch.exe against the stand-in planetarium's
// TCP command server, found as the real one is: through the port it
// publishes in the registry, once no DDE conversation opens; and through a
// session of ZenoltSession.exe.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "planetarium_test.h"

namespace {

const char kStatusKey[] = "Software\\Astro_PC\\Ciel\\Status";

// Publishes port as the planetarium does (the value TcpPort, a string).
void PublishPort(const std::string& port) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kStatusKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "TcpPort", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                   static_cast<DWORD>(port.size() + 1));
    RegCloseKey(key);
}

class TcpProgramsEndToEnd : public PlanetariumTest {
protected:
    // No planetarium is published once the test is over: the tests that
    // expect none must find none.
    void TearDown() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Astro_PC");
        StopStandIn(tcpStandIn);
        PlanetariumTest::TearDown();
    }

    void StartTcpPlanetarium(const std::string& options = "") {
        std::string failure;
        ASSERT_TRUE(StartTcpStandIn(tcpStandIn, options, failure)) << failure;
        PublishPort(std::to_string(tcpStandIn.port));
    }

    // The commands the stand-in logged, but the QUIT each conversation ends with.
    std::vector<std::string> Commands() {
        std::vector<std::string> bytes;
        for (const LoggedCommand& command : LoggedCommands(tcpStandIn)) {
            if (command.bytes != "QUIT") bytes.push_back(command.bytes);
        }
        return bytes;
    }

    StandIn tcpStandIn;
};

const char kObservatory[] = "OBSL LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Z\xFCrich";

// The command text goes in UTF-8, and the reply comes back in the ANSI code
// page (1252 here), with the line ends of a text stream.
TEST_F(TcpProgramsEndToEnd, ZenoltThroughThePublishedPort) {
    StartTcpPlanetarium();
    const struct {
        std::string tail;
        std::string out, err;
        DWORD status;
        std::string sent;
    } cases[] = {
        {" GETRA", "00h44m14s\r\n", "", 0, "GETRA"},
        {" WARP 9", "", "Failed! Bad command name\r\n", 2, "WARP 9"},
        {std::string(" ") + kObservatory, "", "", 0,
         "OBSL LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Z\xC3\xBCrich"},
        {" GETOBS", "LAT:+46d12m00sLON:-06d06m00sALT:400mOBS:Z\xFCrich\r\n", "", 0, "GETOBS"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunProgram(QuotedProgram("Zenolt.exe") + c.tail);
        ASSERT_TRUE(Finished(run)) << c.tail;
        EXPECT_EQ(run.exitCode, c.status) << c.tail;
        EXPECT_EQ(run.out, c.out) << c.tail;
        EXPECT_EQ(run.err, c.err) << c.tail;
        ASSERT_FALSE(Commands().empty());
        EXPECT_EQ(Commands().back(), c.sent) << c.tail;
    }
}

TEST_F(TcpProgramsEndToEnd, DdeFirstAndNothingWherePortZeroIsPublished) {
    StartTcpPlanetarium();
    StartPlanetarium();
    PublishPort("0");
    ProgramRun run = RunProgram(QuotedProgram("Zenolt.exe") + " ZOM+");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(LoggedTransactions(standIn).size(), 1u);
    StopStandIn(standIn);
    run = RunProgram(QuotedProgram("Zenolt.exe") + " ZOM+");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err, std::string(kConnectFailureLineAsWritten) +
                           "Zenolt: HKEY_CURRENT_USER\\Software\\Astro_PC\\Ciel\\Status\\TcpPort "
                           "holds 0: Cartes du Ciel is not running, or its TCP/IP server is turned "
                           "off\r\n");
    EXPECT_EQ(Commands(), std::vector<std::string>{});
}

// A planetarium that publishes its port has no DDE server: none is asked
// for, so no window of the desktop can hold a program up.
TEST_F(TcpProgramsEndToEnd, APublishedPortGoesStraightToTcp) {
    StartPlanetarium();
    StartTcpPlanetarium();
    RunningProgram watch = StartProgram(QuotedProgram("ZenoltWatch.exe") + " --count 1");
    ASSERT_TRUE(WaitForLogLine(tcpStandIn, "CONNECT client=1", 10000));
    const std::string script = NewTestDirectory() + "script.txt";
    WriteFileBytes(script, "ZOM+\r\n");
    for (const std::string& line :
         {QuotedProgram("Zenolt.exe") + " SEARCH M31", QuotedProgram("ZenoltDump.exe"),
          QuotedProgram("ZenoltBatch.exe") + " \"" + script + "\""}) {
        const ProgramRun run = RunProgram(line);
        EXPECT_EQ(run.exitCode, 0u) << line << ": " << run.err;
    }
    const ProgramRun watched = FinishProgram(watch, 10000);
    EXPECT_EQ(watched.exitCode, 0u) << watched.err;
    EXPECT_EQ(StandInLog(standIn), std::vector<std::string>{"READY"});
}

TEST_F(TcpProgramsEndToEnd, ZenoltBatchJsonCarriesEveryCharacter) {
    StartTcpPlanetarium();
    const std::string path = NewTestDirectory() + "script.txt";
    WriteFileBytes(path, std::string("SEARCH M31\r\nGETSELECTEDOBJECT\r\n") + kObservatory + "\r\n");
    const ProgramRun run =
        RunProgram(QuotedProgram("ZenoltBatch.exe") + " --json --replies \"" + path + "\"");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_NE(run.out.find("\"reply\":\"OK!  00h44m14.08s\\t+41\\u00b025'"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("OBS:Z\\u00fcrich\",\"outcome\":\"acknowledged\""), std::string::npos)
        << run.out;
    EXPECT_EQ(Commands().back(), "OBSL LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Z\xC3\xBCrich");
}

// The state as the item was, in the ANSI code page; each event a record,
// in the ANSI code page too; a quit request, as Ctrl+C posts it, ends the
// watch with QUIT.
TEST_F(TcpProgramsEndToEnd, ZenoltDumpAndZenoltWatchThroughThePublishedPort) {
    StartTcpPlanetarium();
    RunProgram(QuotedProgram("Zenolt.exe") + " SEARCH M31");
    const ProgramRun dump = RunProgram(QuotedProgram("ZenoltDump.exe"));
    EXPECT_EQ(dump.exitCode, 0u);
    const std::string selected = "\r\n 00h44m14.08s\t+41\xB0" "25'17.6\"\t Gx\tM 31\t";
    // The count, then exactly that many bytes, which begin with the date of
    // the question: unlike an item, the state does not go through a text
    // stream, so its CR LF stay as they are.
    std::smatch count;
    ASSERT_TRUE(std::regex_search(dump.out, count, std::regex(R"(^(\d+?)\d{4}-\d\d-\d\d )")));
    const std::string text = dump.out.substr(count.length(1));
    EXPECT_EQ(text.size(), std::stoul(count.str(1)));
    EXPECT_NE(text.find("\r\nRA: 00h44m14s DEC:+41d25m18s FOV:+01d00m00s" + selected),
              std::string::npos)
        << dump.out;

    RunningProgram watch = StartProgram(QuotedProgram("ZenoltWatch.exe") + " --count 2");
    RunningProgram quitting = StartProgram(QuotedProgram("ZenoltWatch.exe"));
    ASSERT_TRUE(WaitForLogLine(tcpStandIn, "CONNECT client=4", 10000));
    RunProgram(QuotedProgram("Zenolt.exe") + " SEARCH M42");
    RunProgram(QuotedProgram("Zenolt.exe") + " SEARCH M31");
    const ProgramRun run = FinishProgram(watch, 10000);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::vector<std::string> records = WatchRecords(run.out);
    ASSERT_EQ(records.size(), 2u) << run.out;
    EXPECT_EQ(records[1].rfind(">\tChart_1 :\t 00h44m14.08s\t+41\xB0" "25'", 0), 0u) << records[1];
    ASSERT_TRUE(PostThreadMessageA(quitting.process.dwThreadId, WM_QUIT, 0, 0));
    const ProgramRun quit = FinishProgram(quitting, 10000);
    EXPECT_EQ(quit.exitCode, 0u);
    EXPECT_EQ(quit.out.size() > 0 && quit.err.empty(), true) << quit.err;
}

// ZenoltSession.exe runs cmd /c with ZENOLT_SESSION set: its two Zenolt.exe
// in one conversation, writing what they write directly, cmd's status
// passed on. A batch file starts a session of its own with for /f and
// --cmd, and stops it: a stale variable after that is no error.
TEST_F(TcpProgramsEndToEnd, ZenoltSessionHoldsOneConversationForCmd) {
    StartTcpPlanetarium();
    const auto connections = [&] {
        int count = 0;
        for (const std::string& line : StandInLog(tcpStandIn)) count += line.rfind("CONNECT ", 0) == 0;
        return count;
    };
    const std::string zenolt = QuotedProgram("Zenolt.exe");
    const std::string commands = "\"" + zenolt + " GETRA & " + zenolt + " WARP 9 & exit /b 7\"";
    const ProgramRun direct = RunProgram("cmd /c " + commands);
    ASSERT_EQ(connections(), 2);
    const ProgramRun session = RunProgram(QuotedProgram("ZenoltSession.exe") + " cmd /c " + commands);
    EXPECT_EQ(direct.exitCode, 7u);
    EXPECT_EQ(session.exitCode, 7u);
    EXPECT_EQ(direct.out, "00h44m14s\r\n");
    EXPECT_EQ(session.out, direct.out);
    EXPECT_EQ(session.err, direct.err);
    EXPECT_EQ(connections(), 3);

    const std::string night = NewTestDirectory() + "night.bat";
    WriteFileBytes(night, "@echo off\r\ncd /d \"" + ProgramDirectory() +
                              "\"\r\nfor /f \"delims=\" %%i in ('ZenoltSession.exe --start --cmd') "
                              "do call %%i\r\nZenolt.exe GETDEC\r\nZenolt.exe GETDEC\r\n"
                              "ZenoltSession.exe --stop\r\necho %ERRORLEVEL%\r\nZenolt.exe GETFOV\r\n");
    const ProgramRun run = RunProgram("cmd /c \"" + night + "\"");
    EXPECT_EQ(run.out, "+41d25m18s\r\n+41d25m18s\r\n0\r\n+01d00m00s\r\n") << run.err;
    EXPECT_EQ(connections(), 5);
}

}  // namespace
