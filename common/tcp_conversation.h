// One conversation with the planetarium's TCP command server: the greeting,
// one command at a time with its whole reply, and the goodbye. Lines that
// are no reply (the planetarium's event lines and keep-alives) are set
// aside wherever they come.
#ifndef ZENOLT_COMMON_TCP_CONVERSATION_H
#define ZENOLT_COMMON_TCP_CONVERSATION_H

#include <cstddef>
#include <deque>
#include <string>

#include "planetarium_place.h"
#include "server_lines.h"
#include "tcp_platform.h"
#include "tcp_reply.h"

// How long connecting may take, and then how long the greeting: a server
// that accepts but does not greet (the planetarium's eleventh client) is
// not reached.
constexpr unsigned long kTcpConnectTimeoutMs = 5000;
constexpr unsigned long kTcpGreetingTimeoutMs = 5000;
// How long the goodbye may take once QUIT is sent.
constexpr unsigned long kTcpGoodbyeTimeoutMs = 1000;
// The most bytes one reply of several lines may hold: more comes only from
// a faulty server, and ends the conversation.
constexpr std::size_t kLongestTcpReply = 16 * 1024 * 1024;

// Called with each event line (its line end included) as it is read. A
// handler that can take no more sets the link's lost (context may point to
// the link): the conversation then ends as lost.
typedef void (*EventLineHandler)(void* context, const std::string& line);

// One conversation, owned by the operation that opens it.
struct TcpLink {
    SocketHandle socket = kNoSocket;
    ServerLines lines;
    // The shapes of the replies still owed to commands given up as
    // unanswered, oldest first: the server answers in order, so each reply
    // that comes late is matched to its command and dropped.
    std::deque<ReplyShape> owed;
    std::size_t owedLinesRead = 0;  // of the oldest reply owed, read so far
    bool owedRefused = false;       // its first line was a refusal
    unsigned long long owedLastLineMs = 0;  // when its last line was read
    bool lost = false;              // the server closed, failed, or sent a line too long
    EventLineHandler onEvent = nullptr;  // null: event lines are dropped
    void* eventContext = nullptr;
};

// How opening a conversation ended.
enum class TcpOpenEnd {
    Greeted,          // connected, and the server said "OK! ..."
    NotReached,       // no connection, or no greeting in time; why says why
    GreetingRefused,  // the server greeted with something else; why holds that line
};

// Connects to address and reads the greeting, waiting up to
// kTcpGreetingTimeoutMs for it. Returns how it went, with why set unless
// Greeted. Whatever it returns, the caller ends with CloseTcpConversation.
TcpOpenEnd OpenTcpConversation(TcpLink& link, const ServerAddress& address, std::string& why);

// Connects to address (within kTcpConnectTimeoutMs) and starts reading the
// server's lines, the greeting still to come (ReadGreeting). Returns whether
// it connected, with why set when not. Whatever it returns, the caller ends
// with CloseTcpConversation. The link's event handler stays: an event may
// come before the greeting.
bool ConnectTcpConversation(TcpLink& link, const ServerAddress& address, std::string& why);

// Reads the greeting of the server whose lines link reads, skipping event
// lines and keep-alives before it, waiting up to waitMs. Returns how it
// went, as OpenTcpConversation (which calls it); NotReached with link.lost
// unset when the time ran out first, so that it may be called again to go
// on waiting (what came so far is kept). The planetarium greets a client
// only once its main thread is free, and a client that leaves before it is
// greeted can end the planetarium's listening: a program that waits for the
// planetarium goes on waiting for the greeting too.
TcpOpenEnd ReadGreeting(TcpLink& link, std::string& why,
                        unsigned long waitMs = kTcpGreetingTimeoutMs);

// What became of one command.
enum class TcpAnswer {
    Success,   // a reply that is not a refusal
    Refusal,   // "Failed! ...", "Not found!", "Bad chart name ..."
    NoAnswer,  // no whole reply within the time-out; it is dropped when it comes
    Lost,      // the conversation ended before the reply
};

// Sends command (the server's text: one line, without its CR LF, that
// WhyNotSendableOverTcp accepts) and reads its whole reply into reply (every
// line as received, line ends included), waiting up to timeoutMs for it.
// Replies still owed to earlier commands are read and dropped first.
TcpAnswer SendTcpCommand(TcpLink& link, const std::string& command, unsigned long timeoutMs,
                         std::string& reply);

// Reads what the server sends for ms milliseconds: event lines go to the
// link's handler, late replies are dropped. Returns false as soon as the
// conversation is found lost.
bool WaitInTcpConversation(TcpLink& link, unsigned long ms);

// Ends the conversation: QUIT, up to kTcpGoodbyeTimeoutMs for "Bye!" (when
// the server is still there), then the socket closed.
void CloseTcpConversation(TcpLink& link);

// Returns the first line of a reply without its line end.
std::string FirstReplyLine(const std::string& reply);

// Returns the milliseconds of the steady clock the conversation times by.
unsigned long long TcpClockMs();

#endif
