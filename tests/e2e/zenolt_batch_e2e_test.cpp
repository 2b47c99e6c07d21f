// The real ZenoltBatch.exe against the stand-in planetarium.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "planetarium_test.h"

using namespace std::string_literals;

namespace {

std::string ZenoltBatch() { return QuotedProgram("ZenoltBatch.exe"); }

// The planetarium's reports of a command it ran and of one it does not know,
// the first also as a JSON string's escapes, their times hidden as
// TimeHidden hides them.
const char kRan[] = "<time> ACK\r\n\r\nOK!\r\n\r\n";
const char kUnknown[] = "<time> NAK\r\n\r\nFailed! Bad command name\r\n\r\n";
const char kRanInJson[] = R"(<time> ACK\r\n\r\nOK!\r\n\r\n)";
const char kUnknownInJson[] = R"(<time> NAK\r\n\r\nFailed! Bad command name\r\n\r\n)";

// text with the time of each change made "<time>": the planetarium writes
// it in the PC's short date and long time forms, which differ from one PC
// to the next (12/8/2026 1:41:15 PM, 08.12.2026 13:41:15, 2026/12/08 13:41:15).
std::string TimeHidden(const std::string& text) {
    static const std::regex time(
        R"(\d{1,4}[./-]\d{1,2}[./-]\d{1,4}\.? \d{1,2}:\d\d:\d\d( [AP]M)?)");
    return std::regex_replace(text, time, "<time>");
}

class ZenoltBatchEndToEnd : public PlanetariumTest {
protected:
    // Writes script to a file and runs ZenoltBatch with the options on it
    // (or on standard input, fed from the file, when fromStandardInput).
    ProgramRun RunScript(const std::string& options, const std::string& script,
                         bool fromStandardInput = false) {
        const std::string path = NewTestDirectory() + "script.txt";
        WriteFileBytes(path, script);
        if (fromStandardInput) return RunProgram(ZenoltBatch() + options + " -", 60000, path);
        return RunProgram(ZenoltBatch() + options + " \"" + path + "\"", 60000);
    }

    // The texts poked into the stand-in so far, in order, each with its NUL.
    std::vector<std::string> Pokes() {
        std::vector<std::string> texts;
        for (const LoggedTransaction& t : LoggedTransactions(standIn)) {
            EXPECT_EQ(t.type, "POKE");
            EXPECT_EQ(t.item, "DdeData");
            EXPECT_EQ(t.format, 1);
            texts.push_back(t.bytes);
        }
        return texts;
    }
};

const std::string kScript =
    "\xEF\xBB\xBF# Andromeda, for the talk\r\n"
    "  ZOM+ \t\r\n"
    "\r\n"
    "GOXY X:100 Y:200\r\n"
    "\t# comment after a tab\n"
    "FIND CAT: M ID: 31\n"
    "MOVE RA: 00h42m44.33s DEC:+41\xF8" "16'07.5\" FOV:+01\xF8" "00'00\"\n"
    "SAVE \"C:\\charts\\m 31\"\n"
    "LOAD m31\x1A" "2\n"
    "ZOM-";
const std::vector<std::string> kScriptPokes = {
    "ZOM+\0"s,
    "GOXY X:100 Y:200\0"s,
    "FIND CAT: M ID: 31\0"s,
    "MOVE RA: 00h42m44.33s DEC:+41\xF8" "16'07.5\" FOV:+01\xF8" "00'00\"\0"s,
    "SAVE \"C:\\charts\\m 31\"\0"s,
    "LOAD m31\x1A" "2\0"s,
    "ZOM-\0"s,
};

TEST_F(ZenoltBatchEndToEnd, EveryCommandOfAFileInOrderInOneConversation) {
    StartPlanetarium();
    const ProgramRun run = RunScript("", kScript);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, "sent 7, acknowledged 7, refused 0, unanswered 0, not sent 0\r\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Pokes(), kScriptPokes);
    ASSERT_TRUE(WaitForLogLine(standIn, "DISCONNECT", 5000));
    const std::vector<std::string> log = StandInLog(standIn);
    EXPECT_EQ(log[1], "CONNECT topic=DdeSkyChart");
    EXPECT_EQ(log.back(), "DISCONNECT");
    EXPECT_EQ(log.size(), 3 + kScriptPokes.size());
}

TEST_F(ZenoltBatchEndToEnd, StandardInput) {
    StartPlanetarium();
    const ProgramRun run = RunScript(" --pause 20", kScript, true);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Pokes(), kScriptPokes);
}

TEST_F(ZenoltBatchEndToEnd, RefusedAndUnansweredCommandsAreReportedAndTheRestStillGo) {
    StartPlanetarium("--refuse-poke-of \"GOXY X:1 Y:2\" --hold-poke-of \"LOAD big\" 5000");
    const ProgramRun run =
        RunScript(" --timeout 300", "ZOM+\nGOXY X:1 Y:2\n\nLOAD big\nZOM-\n");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.err, "line 2: refused: GOXY X:1 Y:2\r\nline 4: unanswered: LOAD big\r\n");
    EXPECT_EQ(run.out, "sent 4, acknowledged 2, refused 1, unanswered 1, not sent 0\r\n");
    EXPECT_EQ(Pokes(), (std::vector<std::string>{"ZOM+\0"s, "GOXY X:1 Y:2\0"s, "LOAD big\0"s,
                                                 "ZOM-\0"s}));
}

TEST_F(ZenoltBatchEndToEnd, APlanetariumThatEndsPartWayStopsTheBatch) {
    StartPlanetarium("--end-after-pokes 2");
    const ProgramRun run = RunScript("", "A\nB\nC\n# comment\nD\nE\n");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err,
              "line 3: not sent, the conversation was lost: C\r\n"
              "not sent: 3 command lines, from line 3 on\r\n");
    EXPECT_EQ(run.out, "sent 2, acknowledged 2, refused 0, unanswered 0, not sent 3\r\n");
    EXPECT_EQ(Pokes(), (std::vector<std::string>{"A\0"s, "B\0"s}));
}

TEST_F(ZenoltBatchEndToEnd, ALineHoldingANulIsReportedAndNotSent) {
    StartPlanetarium();
    const ProgramRun run = RunScript("", "ZOM+\nGOXY\0X\nZOM-\n"s);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.err, "line 2: not sent, it holds a NUL byte: GOXY\\0X\r\n");
    EXPECT_EQ(run.out, "sent 2, acknowledged 2, refused 0, unanswered 0, not sent 1\r\n");
    EXPECT_EQ(Pokes(), (std::vector<std::string>{"ZOM+\0"s, "ZOM-\0"s}));
}

TEST_F(ZenoltBatchEndToEnd, NoPlanetariumIsReportedWithStatus1) {
    const ProgramRun run = RunScript("", "ZOM+\n");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, kConnectFailureLineAsWritten);
}

TEST_F(ZenoltBatchEndToEnd, AMissingFileIsReportedWithStatus3AndNeverConnects) {
    StartPlanetarium();
    const std::string path = NewTestDirectory() + "no such script.txt";
    const ProgramRun run = RunProgram(ZenoltBatch() + " \"" + path + "\"");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "ZenoltBatch: cannot read " + path + ": No such file or directory\r\n");
    EXPECT_EQ(StandInLog(standIn), std::vector<std::string>{"READY"});
}

TEST_F(ZenoltBatchEndToEnd, UsageOnRequestAndOnBadUsage) {
    StartPlanetarium();
    const ProgramRun asked = RunProgram(ZenoltBatch());
    ASSERT_TRUE(Finished(asked));
    EXPECT_EQ(asked.exitCode, 0u);
    EXPECT_EQ(asked.out.rfind("ZenoltBatch v1.0", 0), 0u) << asked.out;
    EXPECT_EQ(asked.err, "");
    const struct {
        const char* tail;
        std::string error;
    } cases[] = {
        {" --pause", "--pause: its value is missing"},
        {" --timeout=0 x.txt", "--timeout 0: not a whole number of milliseconds from 1 to 3600000"},
        {" --verbose x.txt", "--verbose: no such option"},
        {" a b", "one script only, not a and b"},
    };
    for (const auto& c : cases) {
        const ProgramRun bad = RunProgram(ZenoltBatch() + c.tail);
        ASSERT_TRUE(Finished(bad));
        EXPECT_EQ(bad.exitCode, 3u) << c.tail;
        EXPECT_EQ(bad.out, "") << c.tail;
        EXPECT_EQ(bad.err, "ZenoltBatch: " + c.error + "\r\nTry 'ZenoltBatch --help'.\r\n");
    }
    EXPECT_EQ(StandInLog(standIn), std::vector<std::string>{"READY"});
}

TEST_F(ZenoltBatchEndToEnd, RepliesFollowEachAcknowledgedCommand) {
    StartPlanetarium("--echo-pokes --refuse-poke-of \"WARP 9\"");
    const ProgramRun run = RunScript(" --replies", "ZOM+\r\nWARP 9\nPING X:1 Y:2\n");
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.err, "line 2: refused: WARP 9\r\n");
    const std::string summary = "sent 3, acknowledged 2, refused 1, unanswered 0, not sent 0\r\n";
    ASSERT_GE(run.out.size(), summary.size());
    EXPECT_EQ(run.out.substr(run.out.size() - summary.size()), summary);
    std::vector<std::string> replies;
    for (const std::string& reply :
         WatchRecords(run.out.substr(0, run.out.size() - summary.size()))) {
        replies.push_back(TimeHidden(reply));
    }
    EXPECT_EQ(replies, (std::vector<std::string>{kRan, kUnknown}));
}

TEST_F(ZenoltBatchEndToEnd, JsonObjectsOfEveryCommandLineAndTheSummary) {
    StartPlanetarium("--echo-pokes --refuse-poke-of \"WARP 9\"");
    const ProgramRun run =
        RunScript(" --json --replies", "ZOM+\nWARP 9\n# skipped\nGO\0X\nsay \"\xF8\"\n"s);
    ASSERT_TRUE(Finished(run));
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(TimeHidden(run.out),
              R"({"line":1,"command":"ZOM+","outcome":"acknowledged","reply":")" +
                  std::string(kRanInJson) + R"("})" "\r\n"
              R"({"line":2,"command":"WARP 9","outcome":"refused"})" "\r\n"
              R"({"line":4,"command":"GO\u0000X","outcome":"not-sent-nul"})" "\r\n"
              R"({"line":5,"command":"say \"\u00f8\"","outcome":"acknowledged",)"
              R"("reply":")" + kUnknownInJson + R"("})" "\r\n"
              R"({"sent":3,"acknowledged":2,"refused":1,"unanswered":0,"notSent":1})" "\r\n");
    EXPECT_EQ(run.err, "line 2: refused: WARP 9\r\nline 4: not sent, it holds a NUL byte: GO\\0X\r\n");
}

TEST_F(ZenoltBatchEndToEnd, APlanetariumThatEndsDuringAPauseIsReportedAtOnce) {
    StartPlanetarium("--end-after-pokes 1");
    const ProgramRun run = RunScript(" --pause 10000", "A\nB\nC\n");
    ASSERT_TRUE(Finished(run));
    // Without looking during the pause, the batch would find out only when
    // it pokes B, ten seconds on.
    EXPECT_LT(run.elapsedMs, 5000u);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err,
              "line 2: not sent, the conversation was lost: B\r\n"
              "not sent: 2 command lines, from line 2 on\r\n");
    EXPECT_EQ(run.out, "sent 1, acknowledged 1, refused 0, unanswered 0, not sent 2\r\n");
}

// ZenoltBatch started with pipes for standard input and output, as a program
// in another language starts it to drive the planetarium.
struct CoProcess {
    PROCESS_INFORMATION process = {};
    HANDLE toBatch = nullptr, fromBatch = nullptr;

    bool Start(const std::string& commandLine) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE in = nullptr, out = nullptr;
        if (!CreatePipe(&in, &toBatch, &inherit, 0) || !CreatePipe(&fromBatch, &out, &inherit, 0)) {
            return false;
        }
        SetHandleInformation(toBatch, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(fromBatch, HANDLE_FLAG_INHERIT, 0);
        const bool started = StartWithHandles(commandLine, in, out, out, 0, process);
        CloseHandle(in);
        CloseHandle(out);
        return started;
    }

    void Write(const std::string& bytes) {
        DWORD written = 0;
        WriteFile(toBatch, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }

    // Returns the next line written, CR LF included, or what came of it
    // within 10 s.
    std::string ReadLine() {
        std::string line;
        const DWORD start = GetTickCount();
        while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
            DWORD available = 0, got = 0;
            char c = 0;
            if (!PeekNamedPipe(fromBatch, nullptr, 0, nullptr, &available, nullptr)) break;
            if (available > 0 && ReadFile(fromBatch, &c, 1, &got, nullptr) && got == 1) {
                line += c;
            } else if (GetTickCount() - start > 10000) {
                break;
            } else {
                Sleep(5);
            }
        }
        return line;
    }

    // Ends the script: standard input reaches its end.
    void CloseInput() { CloseHandle(toBatch); }

    DWORD Finish() {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 255);
        }
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        CloseHandle(fromBatch);
        return code;
    }
};

TEST_F(ZenoltBatchEndToEnd, ACoProcessReadsEachAnswerBeforeItWritesTheNextCommand) {
    StartPlanetarium("--echo-pokes");
    CoProcess batch;
    ASSERT_TRUE(batch.Start(ZenoltBatch() + " --json --replies -"));
    int line = 0;
    const struct {
        std::string command;
        const char* reply;
    } exchanges[] = {{"ZOM+", kRanInJson}, {"PING X:1 Y:2", kUnknownInJson}, {"ZOM-", kRanInJson}};
    for (const auto& exchange : exchanges) {
        batch.Write(exchange.command + "\n");
        EXPECT_EQ(TimeHidden(batch.ReadLine()),
                  R"({"line":)" + std::to_string(++line) + R"(,"command":")" + exchange.command +
                      R"(","outcome":"acknowledged","reply":")" + exchange.reply + R"("})" "\r\n");
    }
    batch.CloseInput();
    EXPECT_EQ(batch.ReadLine(),
              R"({"sent":3,"acknowledged":3,"refused":0,"unanswered":0,"notSent":0})" "\r\n");
    EXPECT_EQ(batch.Finish(), 0u);
}

}  // namespace
