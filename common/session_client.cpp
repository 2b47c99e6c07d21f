#include "session_client.h"

#include <cstdlib>

#include "trace.h"

namespace {

// How long --stop waits for the session to end once it said it stops.
const unsigned long kStopWaitMs = 5000;

// Connects to the session name names and reads its greeting. Returns Whole
// with link.channel open once the greeting is this release's own; Bad for
// another's, Closed when nothing of ours answers (link left closed).
FrameEnd ConnectAndGreet(SessionLink& link, const std::string& name) {
    link = SessionLink();
    link.channel = ConnectToSession(name);
    if (link.channel == kNoSessionChannel) return FrameEnd::Closed;
    const FrameEnd end = ReadSessionGreeting(link.reader, ReceiveFromSessionPeer, &link.channel,
                                             kSessionGreetingTimeoutMs);
    if (end != FrameEnd::Whole) CloseSessionLink(link);
    return end;
}

// Sends a request and reads its answer of kind. Returns false when the
// session went, or answered what it should not (the link is then lost).
bool Ask(SessionLink& link, FrameKind request, const std::string& body, FrameKind answer,
         SessionFrame& frame) {
    const std::string bytes = EncodeFrame(request, body);
    if (link.lost || !SendToSessionPeer(link.channel, bytes.data(), bytes.size()) ||
        ReadFrame(link.reader, ReceiveFromSessionPeer, &link.channel, kLongestSessionAnswer,
                  frame) != FrameEnd::Whole ||
        frame.kind != answer) {
        link.lost = true;
        return false;
    }
    return true;
}

}  // namespace

bool OpenSessionLink(SessionLink& link, const std::string& place) {
    const char* name = std::getenv(kSessionVariable);
    if (name == nullptr || *name == '\0' || ConnectAndGreet(link, name) != FrameEnd::Whole) {
        return false;
    }
    SessionFrame frame;
    char reached = 'N';
    if (Ask(link, FrameKind::Open, place, FrameKind::Reached, frame) &&
        ParseReachedBody(frame.body, reached, link.conversation) && reached == 'Y') {
        TraceNote(std::string("through the session ") + name + ", in its conversation with " +
                  place);
        return true;
    }
    TraceNote(std::string("the session ") + name +
              (reached == 'E' ? " talks to another server" : " reaches no planetarium") +
              ": looking directly");
    CloseSessionLink(link);
    return false;
}

TcpAnswer SendThroughSession(SessionLink& link, const std::string& command, unsigned long timeoutMs,
                             std::string& reply) {
    reply.clear();
    TraceSent(command.data(), command.size());
    SessionFrame frame;
    TcpAnswer answer = TcpAnswer::Lost;
    if (!Ask(link, FrameKind::Command, CommandBody(link.conversation, timeoutMs, command),
             FrameKind::Answer, frame) ||
        !ParseAnswerBody(frame.body, answer, reply)) {
        link.lost = true;
        reply.clear();
        return TcpAnswer::Lost;
    }
    for (std::size_t at = 0; at < reply.size();) {
        std::size_t lf = reply.find('\n', at);
        lf = lf == std::string::npos ? reply.size() : lf + 1;
        const std::string line = reply.substr(at, lf - at);
        TraceReceived(line.data(), LengthWithoutLineEnd(line));
        at = lf;
    }
    if (answer == TcpAnswer::NoAnswer) TraceNote("no whole reply in time");
    if (answer == TcpAnswer::Lost) {
        TraceNote("the session's conversation was lost");
        link.lost = true;
    }
    return answer;
}

// The session sends nothing unasked: whatever ends the wait early is its end.
bool WaitThroughSession(SessionLink& link, unsigned long ms) {
    if (link.lost) return false;
    char byte = 0;
    if (ReceiveFromSessionPeer(&link.channel, &byte, 1, ms) == kReceiveTimeUp) return true;
    link.lost = true;
    return false;
}

void CloseSessionLink(SessionLink& link) {
    CloseSessionChannel(link.channel);
    link.channel = kNoSessionChannel;
}

SessionStop StopSession(const std::string& name) {
    SessionLink link;
    const FrameEnd greeted = ConnectAndGreet(link, name);
    if (greeted != FrameEnd::Whole) {
        return greeted == FrameEnd::Bad ? SessionStop::OtherRelease : SessionStop::NoneAlive;
    }
    SessionFrame frame;
    const bool said = Ask(link, FrameKind::Stop, "", FrameKind::Stopped, frame);
    // It has ended once it closes this link, which it holds to its end.
    char byte = 0;
    if (said) ReceiveFromSessionPeer(&link.channel, &byte, 1, kStopWaitMs);
    CloseSessionLink(link);
    return said ? SessionStop::Stopped : SessionStop::NoneAlive;
}
