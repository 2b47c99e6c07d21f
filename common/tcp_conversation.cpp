#include "tcp_conversation.h"

#include <chrono>

namespace {

// Reads lines until the deadline and takes each: event lines to the handler,
// keep-alives dropped, reply lines to the oldest reply owed. Returns Line as
// soon as the newest reply owed is whole, when untilNewest is set and the
// newest is the only one left, having appended its lines to reply;
// otherwise what ended the reading. A reply line when nothing is owed is
// dropped: it answers nothing this conversation asked.
LineEnd TakeLines(TcpLink& link, unsigned long long deadline, bool untilNewest,
                  std::string* reply) {
    std::string line;
    for (;;) {
        const LineEnd end = NextServerLine(link.lines, line, deadline);
        if (end != LineEnd::Line) {
            if (end != LineEnd::TimeUp) link.lost = true;
            return end;
        }
        const std::size_t length = LengthWithoutLineEnd(line);
        const ServerLineKind kind = KindOfServerLine(line.data(), length);
        if (kind == ServerLineKind::Event) {
            if (link.onEvent != nullptr) link.onEvent(link.eventContext, line);
            continue;
        }
        if (kind == ServerLineKind::KeepAlive || link.owed.empty()) continue;
        if (link.owedLinesRead == 0) link.owedRefused = IsRefusal(line.data(), length);
        ++link.owedLinesRead;
        const bool ours = untilNewest && link.owed.size() == 1;
        if (ours) {
            if (reply->size() + line.size() > kLongestTcpReply) {
                link.lost = true;
                return LineEnd::TooLong;
            }
            reply->append(line);
        }
        if (!ReplyIsWhole(link.owed.front(), link.owedLinesRead, link.owedRefused, line.data(),
                          length)) {
            continue;
        }
        link.owed.pop_front();
        link.owedLinesRead = 0;
        if (ours) return LineEnd::Line;
    }
}

}  // namespace

unsigned long long TcpClockMs() {
    return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
}

TcpOpenEnd OpenTcpConversation(TcpLink& link, const ServerAddress& address, std::string& why) {
    link = TcpLink();
    link.socket = ConnectToServer(address.host, address.port, kTcpConnectTimeoutMs, why);
    if (link.socket == kNoSocket) return TcpOpenEnd::NotReached;
    StartServerLines(link.lines, ReceiveFromServer, &link.socket, TcpClockMs);
    std::string greeting;
    const LineEnd end =
        NextServerLine(link.lines, greeting, TcpClockMs() + kTcpGreetingTimeoutMs);
    if (end == LineEnd::TimeUp) {
        why = "no greeting within " + std::to_string(kTcpGreetingTimeoutMs) + " ms";
        return TcpOpenEnd::NotReached;
    }
    if (end != LineEnd::Line) {
        link.lost = true;
        why = "the connection was closed before the greeting";
        return TcpOpenEnd::NotReached;
    }
    why = greeting.substr(0, LengthWithoutLineEnd(greeting));
    if (why.compare(0, 3, "OK!") != 0) return TcpOpenEnd::GreetingRefused;
    why.clear();
    return TcpOpenEnd::Greeted;
}

TcpAnswer SendTcpCommand(TcpLink& link, const std::string& command, unsigned long timeoutMs,
                         std::string& reply) {
    reply.clear();
    if (link.lost) return TcpAnswer::Lost;
    const std::string line = command + "\r\n";
    if (!SendToServer(link.socket, line.data(), line.size())) {
        link.lost = true;
        return TcpAnswer::Lost;
    }
    link.owed.push_back(ShapeOfReply(command));
    const LineEnd end = TakeLines(link, TcpClockMs() + timeoutMs, true, &reply);
    if (end == LineEnd::TimeUp) {
        reply.clear();
        return TcpAnswer::NoAnswer;
    }
    if (end != LineEnd::Line) return TcpAnswer::Lost;
    const std::string first = FirstReplyLine(reply);
    return IsRefusal(first.data(), first.size()) ? TcpAnswer::Refusal : TcpAnswer::Success;
}

bool WaitInTcpConversation(TcpLink& link, unsigned long ms) {
    if (link.lost) return false;
    TakeLines(link, TcpClockMs() + ms, false, nullptr);
    return !link.lost;
}

void CloseTcpConversation(TcpLink& link) {
    if (link.socket != kNoSocket && !link.lost) {
        static const char kQuit[] = "QUIT\r\n";
        if (SendToServer(link.socket, kQuit, sizeof kQuit - 1)) {
            const unsigned long long deadline = TcpClockMs() + kTcpGoodbyeTimeoutMs;
            std::string line;
            while (NextServerLine(link.lines, line, deadline) == LineEnd::Line &&
                   line.compare(0, LengthWithoutLineEnd(line), "Bye!") != 0) {
            }
        }
    }
    CloseServerSocket(link.socket);
    link.socket = kNoSocket;
}

std::string FirstReplyLine(const std::string& reply) {
    const std::size_t lf = reply.find('\n');
    const std::string first = reply.substr(0, lf == std::string::npos ? reply.size() : lf + 1);
    return first.substr(0, LengthWithoutLineEnd(first));
}
