#include "tcp_conversation.h"

#include <chrono>

#include "trace.h"

namespace {

// Ends the oldest reply owed. Returns whether it was the newest, when
// untilNewest asks for that one.
bool EndOldestReply(TcpLink& link, bool untilNewest) {
    const bool ours = untilNewest && link.owed.size() == 1;
    link.owed.pop_front();
    link.owedLinesRead = 0;
    return ours;
}

// Reads lines until the deadline and takes each: event lines to the handler,
// keep-alives dropped, reply lines to the oldest reply owed. Returns Line as
// soon as the newest reply owed is whole, when untilNewest is set and the
// newest is the only one left, having appended its lines to reply;
// otherwise what ended the reading. A reply line when nothing is owed is
// dropped: it answers nothing this conversation asked. A "Bye!" that answers
// no QUIT ends the conversation. A Burst reply ends
// when no line has followed its last one for kReplyBurstMs.
LineEnd TakeLines(TcpLink& link, unsigned long long deadline, bool untilNewest,
                  std::string* reply) {
    std::string line;
    for (;;) {
        const bool inBurst = !link.owed.empty() && link.owed.front() == ReplyShape::Burst &&
                             link.owedLinesRead > 0;
        const unsigned long long burstEnd = link.owedLastLineMs + kReplyBurstMs;
        const LineEnd end =
            NextServerLine(link.lines, line, inBurst && burstEnd < deadline ? burstEnd : deadline);
        if (end == LineEnd::TimeUp) {
            // A wait may end a little before the time it was given.
            const unsigned long long now = link.lines.now();
            if (inBurst && now >= burstEnd) {
                if (EndOldestReply(link, untilNewest)) return LineEnd::Line;
                continue;
            }
            if (now < deadline) continue;
            return end;
        }
        if (end != LineEnd::Line) {
            link.lost = true;
            return end;
        }
        const std::size_t length = LengthWithoutLineEnd(line);
        const ServerLineKind kind = KindOfServerLine(line.data(), length);
        if (kind == ServerLineKind::Event) {
            if (link.onEvent != nullptr) link.onEvent(link.eventContext, line);
            if (link.lost) return LineEnd::Closed;
            continue;
        }
        if (kind == ServerLineKind::Goodbye &&
            (link.owed.empty() || link.owed.front() != ReplyShape::Farewell)) {
            // Said unasked, it is no reply: the server is closing the
            // conversation (its client dropped, or the planetarium ending).
            link.lost = true;
            return LineEnd::Closed;
        }
        if (kind == ServerLineKind::KeepAlive || link.owed.empty()) continue;
        if (link.owedLinesRead == 0) link.owedRefused = IsRefusal(line.data(), length);
        ++link.owedLinesRead;
        link.owedLastLineMs = link.lines.now();
        if (untilNewest && link.owed.size() == 1) {
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
        if (EndOldestReply(link, untilNewest)) return LineEnd::Line;
    }
}

}  // namespace

unsigned long long TcpClockMs() {
    return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
}

bool ConnectTcpConversation(TcpLink& link, const ServerAddress& address, std::string& why) {
    const EventLineHandler onEvent = link.onEvent;
    void* const eventContext = link.eventContext;
    link = TcpLink();
    link.onEvent = onEvent;
    link.eventContext = eventContext;
    TraceNote("connecting to " + AddressText(address));
    link.socket = ConnectToServer(address.host, address.port, kTcpConnectTimeoutMs, why);
    if (link.socket == kNoSocket) {
        TraceNote("not connected: " + why);
        return false;
    }
    TraceNote("connected");
    StartServerLines(link.lines, ReceiveFromServer, &link.socket, TcpClockMs);
    return true;
}

TcpOpenEnd OpenTcpConversation(TcpLink& link, const ServerAddress& address, std::string& why) {
    if (!ConnectTcpConversation(link, address, why)) return TcpOpenEnd::NotReached;
    const TcpOpenEnd end = ReadGreeting(link, why);
    if (end == TcpOpenEnd::NotReached) TraceNote("not greeted: " + why);
    return end;
}

// An object identified while the planetarium was busy with another client
// may be told before the greeting: such lines go to the link's handler (a
// watch writes them), keep-alives are dropped, and neither is the greeting.
TcpOpenEnd ReadGreeting(TcpLink& link, std::string& why, unsigned long waitMs) {
    const unsigned long long deadline = link.lines.now() + waitMs;
    std::string greeting;
    for (;;) {
        const LineEnd end = NextServerLine(link.lines, greeting, deadline);
        if (end == LineEnd::TimeUp) {
            why = "no greeting within " + std::to_string(waitMs) + " ms";
            return TcpOpenEnd::NotReached;
        }
        if (end != LineEnd::Line) {
            link.lost = true;
            why = "the connection was closed before the greeting";
            return TcpOpenEnd::NotReached;
        }
        why = greeting.substr(0, LengthWithoutLineEnd(greeting));
        const ServerLineKind kind = KindOfServerLine(why.data(), why.size());
        if (kind == ServerLineKind::Reply) break;
        if (kind == ServerLineKind::Event && link.onEvent != nullptr) {
            link.onEvent(link.eventContext, greeting);
            if (link.lost) {
                why = "the events before the greeting were too many to keep";
                return TcpOpenEnd::NotReached;
            }
        }
    }
    if (why.compare(0, 3, "OK!") != 0) return TcpOpenEnd::GreetingRefused;
    why.clear();
    return TcpOpenEnd::Greeted;
}

TcpAnswer SendTcpCommand(TcpLink& link, const std::string& command, unsigned long timeoutMs,
                         std::string& reply) {
    reply.clear();
    if (link.lost) return TcpAnswer::Lost;
    const std::string line = command + "\r\n";
    TraceSent(command.data(), command.size());
    if (!SendToServer(link.socket, line.data(), line.size())) {
        link.lost = true;
        return TcpAnswer::Lost;
    }
    link.owed.push_back(ShapeOfReply(command));
    const LineEnd end = TakeLines(link, link.lines.now() + timeoutMs, true, &reply);
    if (end != LineEnd::Line) {
        // Part of a reply is no reply.
        reply.clear();
        return end == LineEnd::TimeUp ? TcpAnswer::NoAnswer : TcpAnswer::Lost;
    }
    const std::string first = FirstReplyLine(reply);
    return IsRefusal(first.data(), first.size()) ? TcpAnswer::Refusal : TcpAnswer::Success;
}

bool WaitInTcpConversation(TcpLink& link, unsigned long ms) {
    if (link.lost) return false;
    TakeLines(link, link.lines.now() + ms, false, nullptr);
    return !link.lost;
}

void CloseTcpConversation(TcpLink& link) {
    if (link.socket != kNoSocket && !link.lost) {
        static const char kQuit[] = "QUIT\r\n";
        TraceSent(kQuit, sizeof kQuit - 3);
        if (SendToServer(link.socket, kQuit, sizeof kQuit - 1)) {
            const unsigned long long deadline = link.lines.now() + kTcpGoodbyeTimeoutMs;
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
