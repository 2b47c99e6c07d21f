// The TCP conversation against a server played on the other end of a socket
// pair: what it sends, in what pieces, and when it closes.
#include "tcp_conversation.h"

#include "planetarium_state.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// A conversation whose server is played by the test: the link's end of a
// socket pair, already greeted.
class PlayedServer {
public:
    PlayedServer() {
        socketpair(AF_UNIX, SOCK_STREAM, 0, ends_);
        link.socket = ends_[0];
        StartServerLines(link.lines, ReceiveFromServer, &link.socket, TcpClockMs);
        link.onEvent = [](void* events, const std::string& line) {
            static_cast<std::vector<std::string>*>(events)->push_back(line);
        };
        link.eventContext = &events;
    }
    // The link's end goes first, so that a server still writing stops.
    ~PlayedServer() {
        if (link.socket != kNoSocket) close(ends_[0]);
        if (writer_.joinable()) writer_.join();
        close(ends_[1]);
    }
    // Sends bytes as the server, from a thread of its own so that more than
    // a socket buffer can go; closes the server's end after them when asked.
    void Send(const std::string& bytes, bool thenClose = false) {
        if (writer_.joinable()) writer_.join();
        writer_ = std::thread([this, bytes, thenClose] {
            for (std::size_t at = 0; at < bytes.size();) {
                const ssize_t sent =
                    send(ends_[1], bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
                if (sent <= 0) break;
                at += static_cast<std::size_t>(sent);
            }
            if (thenClose) {
                shutdown(ends_[1], SHUT_WR);
            }
        });
    }
    // What the client has sent so far.
    std::string Received() {
        std::string bytes(4096, '\0');
        const ssize_t got = recv(ends_[1], &bytes[0], bytes.size(), MSG_DONTWAIT);
        bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return bytes;
    }

    TcpLink link;
    std::vector<std::string> events;

private:
    int ends_[2] = {-1, -1};
    std::thread writer_;
};

TEST(TcpConversation, TheGreetingComesAfterAnyEvent) {
    const struct {
        std::string served;
        TcpOpenEnd end;
        std::string why;
    } cases[] = {
        {">\tChart_1 :\tM 31\r\n.\r\nOK! id=2 chart=Chart_1\r\n", TcpOpenEnd::Greeted, ""},
        {"Failed! Cannot activate a chart.\r\n", TcpOpenEnd::GreetingRefused,
         "Failed! Cannot activate a chart."},
        {">\tChart_1 :\tM 31\r\n", TcpOpenEnd::NotReached,
         "the connection was closed before the greeting"},
    };
    for (const auto& c : cases) {
        PlayedServer server;
        server.Send(c.served, true);
        std::string why;
        EXPECT_EQ(ReadGreeting(server.link, why), c.end) << c.served;
        EXPECT_EQ(why, c.why) << c.served;
    }
}

TEST(TcpConversation, EachCommandGetsItsWholeReply) {
    const std::string big(kLongestServerLine + 1, 'x');
    const struct {
        const char* name;
        std::string command;
        std::string served;
        bool closes;
        TcpAnswer answer;
        std::string reply;
        std::size_t events;
    } cases[] = {
        {"a value", "GETRA", "OK! 00h44m14s\r\n", false, TcpAnswer::Success, "OK! 00h44m14s\r\n", 0},
        {"events and keep-alives are set aside", "SEARCH M31",
         ">\tChart_1 :\tM 31\r\n.\r\n>\tChart_1 :\tM 32\r\nOK!\r\n", false, TcpAnswer::Success,
         "OK!\r\n", 2},
        {"a refusal", "WARP 9", "Failed! Bad command name\r\n", false, TcpAnswer::Refusal,
         "Failed! Bad command name\r\n", 0},
        {"a line end without CR", "ZOM+", "OK!\n", false, TcpAnswer::Success, "OK!\n", 0},
        {"several lines, whole", "?", "A a\r\nB b\r\n\r\n.\r\nOK!\r\nextra\r\n", false,
         TcpAnswer::Success, "A a\r\nB b\r\n\r\nOK!\r\n", 0},
        {"a box of two lines", "GETMSGBOX", "OK! one\r\ntwo\r\n", false, TcpAnswer::Success,
         "OK! one\r\ntwo\r\n", 0},
        {"a box of one line", "GETCOORBOX", "OK! \r\n", false, TcpAnswer::Success, "OK! \r\n", 0},
        {"a list, then silence", "GETOBJECTLIST", "M 31\r\n", false, TcpAnswer::NoAnswer, "", 0},
        {"closed before the reply", "ZOM+", ">\tChart_1 :\tM 31\r\nOK", true, TcpAnswer::Lost, "",
         1},
        {"a goodbye unasked", "ZOM+", ">\tChart_1 :\tM 31\r\nBye!\r\n", false, TcpAnswer::Lost, "",
         1},
        {"the goodbye QUIT asks for", "quit", "Bye!\r\n", true, TcpAnswer::Success, "Bye!\r\n", 0},
        {"a line too long", "GETRA", big + "\r\n", false, TcpAnswer::Lost, "", 0},
        {"endless bytes", "GETRA", big + big, false, TcpAnswer::Lost, "", 0},
    };
    for (const auto& c : cases) {
        PlayedServer server;
        server.Send(c.served, c.closes);
        std::string reply;
        EXPECT_EQ(SendTcpCommand(server.link, c.command, 300, reply), c.answer) << c.name;
        EXPECT_EQ(reply, c.reply) << c.name;
        EXPECT_EQ(server.events.size(), c.events) << c.name;
        EXPECT_EQ(server.Received(), c.command + "\r\n") << c.name;
        EXPECT_LE(server.link.lines.buffer.size(), kLongestServerLine + 128 * 1024) << c.name;
    }
}

TEST(TcpConversation, AReplyThatComesLateIsDroppedForTheNextCommandsOwn) {
    PlayedServer server;
    std::string reply;
    EXPECT_EQ(SendTcpCommand(server.link, "?", 50, reply), TcpAnswer::NoAnswer);
    EXPECT_EQ(SendTcpCommand(server.link, "SEARCH M31", 50, reply), TcpAnswer::NoAnswer);
    // The late replies come, a part at a time: that of "?" over several
    // lines, then a refusal for SEARCH, then the third command's own.
    server.Send("A a\r\n>\tChart_1 :\tM 31\r\n\r\nOK!\r\nNot found!\r\nOK! 00h44m14s\r\n");
    EXPECT_EQ(SendTcpCommand(server.link, "GETRA", 2000, reply), TcpAnswer::Success);
    EXPECT_EQ(reply, "OK! 00h44m14s\r\n");
    EXPECT_EQ(server.events.size(), 1u);
    EXPECT_TRUE(server.link.owed.empty());
}

TEST(TcpConversation, APauseTakesEventsAndLateRepliesAndSeesTheServerGo) {
    PlayedServer server;
    std::string reply;
    EXPECT_EQ(SendTcpCommand(server.link, "ZOM+", 50, reply), TcpAnswer::NoAnswer);
    server.Send("OK!\r\n>\tChart_1 :\tM 31\r\n");
    EXPECT_TRUE(WaitInTcpConversation(server.link, 200));
    EXPECT_TRUE(server.link.owed.empty());
    EXPECT_EQ(server.events.size(), 1u);
    server.Send("", true);
    EXPECT_FALSE(WaitInTcpConversation(server.link, 5000));
    EXPECT_EQ(SendTcpCommand(server.link, "ZOM+", 50, reply), TcpAnswer::Lost);
}

// Events that come while the getters wait for their replies are taken in
// order, not as replies; a refused getter leaves its field empty.
TEST(TcpConversation, TheStateAsTheItemWasWithEventsSetAside) {
    PlayedServer server;
    server.Send("OK! 00h44m14s\r\n>\tChart_1 :\tM 31\r\nOK! +41d25m18s\r\nOK! +01d00m00s\r\n"
                ">\tChart_1 :\tM 42\r\nFailed!\r\nOK! 2026-12-08T13:41:15\r\n"
                "OK! LAT:+46d12m00sLON:-06d06m00sALT:400mOBS:Z\xC3\xBCrich/ALT:1m\r\n");
    std::string state;
    ASSERT_TRUE(AskPlanetariumState(server.link, {2026, 12, 8, 9, 5, 7, 999, 60}, 2000, state));
    EXPECT_EQ(state, "2026-12-08 09:05:07\r\n"
                     "RA: 00h44m14s DEC:+41d25m18s FOV:+01d00m00s\r\n"
                     "\r\n"
                     "2026-12-08T13:41:15\r\n"
                     "LAT:+46d12m00s LON:-06d06m00s ALT:400m OBS:Z\xC3\xBCrich/ALT:1m\r\n");
    EXPECT_EQ(server.events, (std::vector<std::string>{">\tChart_1 :\tM 31\r\n",
                                                        ">\tChart_1 :\tM 42\r\n"}));
    EXPECT_EQ(LayOutState({2026, 1, 2, 3, 4, 5, 0, 0},
                          {"", "", "", "OK!  00h44m14.08s\tM 31\r\n", "Not found!", ""}),
              "2026-01-02 03:04:05\r\nRA:  DEC: FOV:\r\n 00h44m14.08s\tM 31\r\n\r\n\r\n");
}

// A planetarium whose computer vanished is noticed even while nothing is
// asked: every connection is watched by TCP keep-alive, sooner than the
// system's two hours.
TEST(TcpConversation, TheConnectionIsKeptAlive) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    std::string reason;
    const SocketHandle s = ConnectToServer("127.0.0.1", ntohs(address.sin_port), 2000, reason);
    ASSERT_NE(s, kNoSocket) << reason;
    int on = 0, idle = 0;
    socklen_t length = sizeof on;
    getsockopt(static_cast<int>(s), SOL_SOCKET, SO_KEEPALIVE, &on, &length);
    getsockopt(static_cast<int>(s), IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(idle, 10);
    CloseServerSocket(s);
    close(listener);
}

TEST(TcpConversation, EndsWithQuitAndWaitsForTheGoodbye) {
    PlayedServer server;
    server.Send("Bye!\r\n");
    CloseTcpConversation(server.link);
    EXPECT_EQ(server.link.socket, kNoSocket);
    EXPECT_EQ(server.Received(), "QUIT\r\n");
}

}  // namespace
