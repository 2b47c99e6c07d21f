// What the programs and a session (ZenoltSession) say to each other over the
// session's private endpoint. The session greets each program with a line
// naming this protocol's version and the release; then each request of the
// program and the session's answer to it is a frame: one byte telling its
// kind, four bytes of length (the most significant first), and that many
// bytes of body.
//
//   Open     the server the program would talk to, HOST:PORT
//   Reached  'Y' and the number of the session's conversation with the
//            planetarium (four bytes), 'N' when it reaches none, 'E' when the
//            session looks elsewhere
//   Command  the conversation's number, the time-out in milliseconds (four
//            bytes each), then the command in the server's text
//   Answer   what became of it (a TcpAnswer, one byte), then the reply as
//            received, line ends included
//   Stop     nothing; answered by Stopped, nothing, before the session ends
#ifndef ZENOLT_COMMON_SESSION_PROTOCOL_H
#define ZENOLT_COMMON_SESSION_PROTOCOL_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "server_lines.h"
#include "tcp_conversation.h"

// The version of what this file describes. A program talks only to a session
// whose greeting is exactly its own: the same version and the same release.
constexpr unsigned kSessionProtocolVersion = 1;

// The environment variable that names the session a program talks through.
constexpr char kSessionVariable[] = "ZENOLT_SESSION";

// The longest greeting line a program reads: a longer one is no session's.
constexpr std::size_t kLongestSessionGreeting = 64;

// How long a program waits for a session's greeting before it talks
// directly instead.
constexpr unsigned long kSessionGreetingTimeoutMs = 5000;

// The longest body of a request (a command of kLongestTcpCommand bytes and
// its numbers fit well) and of an answer (a reply of kLongestTcpReply bytes
// and its byte).
constexpr std::size_t kLongestSessionRequest = 4096;
constexpr std::size_t kLongestSessionAnswer = kLongestTcpReply + 16;

enum class FrameKind : char {
    Open = 'O',
    Reached = 'R',
    Command = 'C',
    Answer = 'A',
    Stop = 'S',
    Stopped = 'B',
};

struct SessionFrame {
    FrameKind kind = FrameKind::Stop;
    std::string body;
};

// The bytes received from a peer and not yet taken as a frame.
struct FrameReader {
    std::string pending;
};

// What reading a greeting or a frame came to.
enum class FrameEnd {
    Whole,    // a whole frame (or the greeting) was taken
    Partial,  // more bytes are needed
    Bad,      // the peer sent what no peer of ours sends: a frame longer than
              // allowed, or a greeting that is not the expected one
    Closed,   // the connection ended (or failed, or the wait ran out) first
};

// Returns the greeting line of a session of this release, its LF included:
// "ZenoltSession <protocol version> <release>\n".
std::string SessionGreeting();

// Returns the bytes of a frame of kind with body.
std::string EncodeFrame(FrameKind kind, const std::string& body);

// Takes the next whole frame out of reader into frame. Returns Whole, or
// Partial when its bytes have not all come yet, or Bad when it declares a
// body longer than longest (nothing is taken then; the caller stops reading
// that peer, so memory never holds more than longest and a few bytes).
FrameEnd TakeFrame(FrameReader& reader, std::size_t longest, SessionFrame& frame);

// Reads what receive takes from source into reader until a whole frame of at
// most longest body bytes is there, and takes it into frame. Waits without
// end: the other side answers each request within its own waits, and a side
// that ends closes the connection. Returns Whole, Bad or Closed.
FrameEnd ReadFrame(FrameReader& reader, ReceiveBytes receive, void* source, std::size_t longest,
                   SessionFrame& frame);

// Reads the session's greeting line from source, waiting up to waitMs.
// Returns Whole when it is SessionGreeting(), Bad when it is another line (a
// session of another version or release) or too long, Closed otherwise.
FrameEnd ReadSessionGreeting(FrameReader& reader, ReceiveBytes receive, void* source,
                             unsigned long waitMs);

// Returns the four bytes of value, the most significant first.
std::string FourBytes(std::uint32_t value);

// Returns the bodies of a Command, an Answer and a Reached frame.
std::string CommandBody(std::uint32_t conversation, unsigned long timeoutMs,
                        const std::string& command);
std::string AnswerBody(TcpAnswer answer, const std::string& reply);
std::string ReachedBody(char reached, std::uint32_t conversation);

// Each returns true with the fields of a well-formed body set; false for a
// body no peer of ours sends (too short; an answer or reach unknown; a
// time-out out of 1 to kLongestWaitMs; a command WhyNotSendableOverTcp
// refuses).
bool ParseCommandBody(const std::string& body, std::uint32_t& conversation,
                      unsigned long& timeoutMs, std::string& command);
bool ParseAnswerBody(const std::string& body, TcpAnswer& answer, std::string& reply);
bool ParseReachedBody(const std::string& body, char& reached, std::uint32_t& conversation);

#endif
