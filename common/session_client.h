// A program's side of a session (ZenoltSession): its commands go through the
// session's one conversation with the planetarium instead of one of its own.
#ifndef ZENOLT_COMMON_SESSION_CLIENT_H
#define ZENOLT_COMMON_SESSION_CLIENT_H

#include <cstdint>
#include <string>

#include "session_platform.h"
#include "session_protocol.h"
#include "tcp_conversation.h"

// A program's link to a session, bound to one conversation of the session
// with the planetarium: when that one is lost, so is the link, as a
// program's own conversation would be.
struct SessionLink {
    SessionChannel channel = kNoSessionChannel;
    FrameReader reader;
    std::uint32_t conversation = 0;  // the number the session gave it
    bool lost = false;
};

// Opens a link to the session ZENOLT_SESSION names for a program that would
// talk to the server at place (HOST:PORT, as AddressText writes it).
// Returns true once the session, of this release and this protocol, talks
// to that server too and holds a conversation with it;
// false, with nothing written and nothing left open, otherwise: the
// variable unset, naming nothing alive or not this user's, a session of
// another version, one that looks elsewhere or reaches no planetarium. The
// program then talks directly, as without a session.
bool OpenSessionLink(SessionLink& link, const std::string& place);

// Has the session send command (the server's text, which
// WhyNotSendableOverTcp accepts) in its conversation, waiting up to
// timeoutMs for the reply, as SendTcpCommand does in a program's own. Returns
// what became of it, with reply set as SendTcpCommand sets it. Lost when the
// session's conversation was lost (the planetarium closed it or went) or
// the session itself ended.
TcpAnswer SendThroughSession(SessionLink& link, const std::string& command, unsigned long timeoutMs,
                             std::string& reply);

// Waits ms. Returns false at once when the session ends meanwhile (or had
// ended); the planetarium's loss is found by the next command.
bool WaitThroughSession(SessionLink& link, unsigned long ms);

// Ends the link; the session's conversation goes on.
void CloseSessionLink(SessionLink& link);

// What asking a session to stop came to.
enum class SessionStop {
    Stopped,      // it said it stops, and has ended
    NoneAlive,    // the name names no live session of this user
    OtherRelease, // a session of another version, which this one cannot ask
};

// Asks the session name names to end, and waits until it has. Returns what
// came of it.
SessionStop StopSession(const std::string& name);

#endif
