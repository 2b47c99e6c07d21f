#include "session_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "command_line_rest.h"
#include "session_arguments.h"
#include "shell_assignment.h"

namespace {

// A peer that sends bytes in pieces of at most piece bytes, then closes.
struct Peer {
    std::string bytes;
    std::size_t piece;
    std::size_t at = 0;
};

long Receive(void* source, char* buffer, std::size_t size, unsigned long) {
    Peer& peer = *static_cast<Peer*>(source);
    const std::size_t n = std::min({size, peer.piece, peer.bytes.size() - peer.at});
    peer.bytes.copy(buffer, n, peer.at);
    peer.at += n;
    return static_cast<long>(n);
}

// Whatever pieces they come in, the greeting and each frame are taken whole
// and in order; a greeting of another release or protocol, or a frame that
// declares a body longer than allowed, is Bad, and nothing of it is kept
// past that bound.
TEST(SessionProtocol, GreetingAndFramesInPiecesOfAnySize) {
    const std::string frames = SessionGreeting() + EncodeFrame(FrameKind::Open, "") +
                               EncodeFrame(FrameKind::Command, CommandBody(7, 30000, "GETRA")) +
                               EncodeFrame(FrameKind::Stop, "");
    for (std::size_t piece = 1; piece <= frames.size(); ++piece) {
        Peer peer = {frames, piece};
        FrameReader reader;
        ASSERT_EQ(ReadSessionGreeting(reader, Receive, &peer, 100), FrameEnd::Whole) << piece;
        std::vector<SessionFrame> read(3);
        for (SessionFrame& frame : read) {
            ASSERT_EQ(ReadFrame(reader, Receive, &peer, 64, frame), FrameEnd::Whole) << piece;
        }
        EXPECT_EQ(read[1].kind, FrameKind::Command);
        EXPECT_EQ(read[1].body, CommandBody(7, 30000, "GETRA"));
        EXPECT_EQ(read[2].kind, FrameKind::Stop);
        SessionFrame none;
        EXPECT_EQ(ReadFrame(reader, Receive, &peer, 64, none), FrameEnd::Closed);
    }
    const struct {
        std::string bytes;
        FrameEnd greeting;
    } greetings[] = {
        {"ZenoltSession 1 0.9.0\n", FrameEnd::Bad},
        {"ZenoltSession 2 " + SessionGreeting().substr(16), FrameEnd::Bad},
        {std::string(200, 'Z'), FrameEnd::Bad},
        {SessionGreeting().substr(0, 10), FrameEnd::Closed},
    };
    for (const auto& g : greetings) {
        Peer peer = {g.bytes, 7};
        FrameReader reader;
        EXPECT_EQ(ReadSessionGreeting(reader, Receive, &peer, 100), g.greeting) << g.bytes;
        EXPECT_LE(reader.pending.size(), kLongestSessionGreeting + 7);
    }
    Peer peer = {EncodeFrame(FrameKind::Answer, std::string(65, 'x')), 16 * 1024};
    FrameReader reader;
    SessionFrame frame;
    EXPECT_EQ(ReadFrame(reader, Receive, &peer, 64, frame), FrameEnd::Bad);
}

// Bodies read back as written; a body no peer of ours sends is refused.
TEST(SessionProtocol, BodiesAndWhatIsRefused) {
    std::uint32_t number = 0;
    unsigned long timeoutMs = 0;
    std::string command, reply;
    ASSERT_TRUE(ParseCommandBody(CommandBody(0xA1B2C3D4, 3600000, "? ZOM+"), number, timeoutMs, command));
    EXPECT_EQ(number, 0xA1B2C3D4u);
    EXPECT_EQ(timeoutMs, 3600000u);
    EXPECT_EQ(command, "? ZOM+");
    for (const std::string& bad : {CommandBody(1, 0, "GETRA"), CommandBody(1, 3600001, "GETRA"),
                                   CommandBody(1, 1000, "ZOM+\nZOM-"),
                                   CommandBody(1, 1000, std::string(1023, 'x')),
                                   std::string("\0\0\0\1\0\0", 6)}) {
        EXPECT_FALSE(ParseCommandBody(bad, number, timeoutMs, command)) << bad.size();
    }
    for (TcpAnswer answer : {TcpAnswer::Success, TcpAnswer::Refusal, TcpAnswer::NoAnswer, TcpAnswer::Lost}) {
        TcpAnswer read = TcpAnswer::Success;
        ASSERT_TRUE(ParseAnswerBody(AnswerBody(answer, "OK!\r\n\r\n"), read, reply));
        EXPECT_EQ(read, answer);
        EXPECT_EQ(reply, "OK!\r\n\r\n");
    }
    TcpAnswer read = TcpAnswer::Success;
    EXPECT_FALSE(ParseAnswerBody("", read, reply));
    EXPECT_FALSE(ParseAnswerBody("XOK!", read, reply));
    char reached = 0;
    EXPECT_TRUE(ParseReachedBody(ReachedBody('Y', 9), reached, number));
    EXPECT_EQ(number, 9u);
    EXPECT_FALSE(ParseReachedBody(ReachedBody('Q', 9), reached, number));
    EXPECT_FALSE(ParseReachedBody("Y", reached, number));
}

// What each way of starting takes; the rest is bad usage.
TEST(SessionProtocol, ZenoltSessionArguments) {
    const struct {
        std::vector<const char*> argv;
        bool bad;
        int command;
        bool start;
        unsigned long idle;
    } cases[] = {
        {{"s", "sh", "night.sh"}, false, 1, false, 600},
        {{"s", "--", "sh", "-c", "x", "--help"}, false, 2, false, 600},
        {{"s", "--server", "[::1]:4000", "cmd", "/c", "x.bat"}, false, 3, false, 600},
        {{"s", "--start", "--idle", "5", "--pwsh"}, false, 0, true, 5},
        {{"s", "--stop"}, false, 0, false, 600},
        {{"s", "--serve", "\\\\.\\pipe\\zenolt-session-1-2", "--idle", "9"}, false, 0, false, 9},
        {{"s", "--idle", "5", "sh"}, true, 0, false, 0},
        {{"s", "--start", "sh"}, true, 0, false, 0},
        {{"s", "--start", "--cmd", "--pwsh"}, true, 0, false, 0},
        {{"s", "--start", "--idle", "0"}, true, 0, false, 0},
        {{"s", "--stop", "--idle", "5"}, true, 0, false, 0},
        {{"s", "--server", "a b", "sh"}, true, 0, false, 0},
        {{"s", "--server", "h"}, true, 0, false, 0},
        {{"s", "--start", "--stop"}, true, 0, false, 0},
    };
    for (const auto& c : cases) {
        const SessionArguments a = ParseSessionArguments(static_cast<int>(c.argv.size()), c.argv.data());
        EXPECT_EQ(a.badUsage, c.bad) << c.argv[1];
        if (c.bad) continue;
        EXPECT_EQ(a.command, c.command) << c.argv[1];
        EXPECT_EQ(a.start, c.start) << c.argv[1];
        EXPECT_EQ(a.idleSeconds, c.idle) << c.argv[1];
    }
}

// The assignment a shell takes the name from exactly, and the command line
// cmd /c gets as typed.
TEST(SessionProtocol, ShellLinesAndTheCommandLineHandedOn) {
    EXPECT_EQ(ShellAssignment(SessionShell::Posix, "/tmp/it's/socket"),
              "ZENOLT_SESSION='/tmp/it'\\''s/socket'; export ZENOLT_SESSION");
    EXPECT_EQ(ShellAssignment(SessionShell::Cmd, "\\\\.\\pipe\\zenolt-session-1-2"),
              "set \"ZENOLT_SESSION=\\\\.\\pipe\\zenolt-session-1-2\"");
    EXPECT_EQ(ShellAssignment(SessionShell::PowerShell, "a'b"), "$env:ZENOLT_SESSION = 'a''b'");
    const struct {
        const char* line;
        int words;
        const char* rest;
    } lines[] = {
        {"ZenoltSession.exe cmd /c \"night.bat\" 1", 1, "cmd /c \"night.bat\" 1"},
        {"\"C:\\Zen olt\\ZenoltSession.exe\"  cmd /c x", 1, "cmd /c x"},
        {"z --server \"a b\\\" c\" \tcmd", 3, "cmd"},
        {"z --server \\\\\"x y\" cmd", 3, "cmd"},
        {"z --start", 2, ""},
    };
    for (const auto& l : lines) EXPECT_EQ(RestOfCommandLine(l.line, l.words), l.rest) << l.line;
}

}  // namespace
