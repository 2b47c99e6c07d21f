// What the planetarium's TCP command server says, line by line: which lines
// are replies, how many lines a reply has, and whether it took the command.
#ifndef ZENOLT_COMMON_TCP_REPLY_H
#define ZENOLT_COMMON_TCP_REPLY_H

#include <cstddef>
#include <string>

// How long after a line of a Burst reply its next line may still come: the
// server sends a reply in one piece, so lines that come later are not part
// of it.
constexpr unsigned long kReplyBurstMs = 200;

// The longest command the server takes: with its CR LF it must stay within
// the 1024 bytes the server holds unread, or the server drops the client.
constexpr std::size_t kLongestTcpCommand = 1022;

// How a reply ends.
enum class ReplyShape {
    OneLine,       // nearly every command
    UpToOk,        // "?": its lines, an empty line, then "OK!" (or "Not found!" alone)
    Burst,         // GETMSGBOX, GETCOORBOX: "OK! " and a box's text, which may
                   // hold line breaks or not, sent at once: the first line and
                   // the lines that follow it within kReplyBurstMs
    UpToEmpty,     // GETOBJECTLIST: its lines, then an empty line
    Farewell,      // QUIT, EXIT (the whole command): "Bye!", then the server closes
};

// What one line from the server is.
enum class ServerLineKind {
    Event,      // ">" TAB ...: an object was identified; sent to every client
    KeepAlive,  // a lone ".": the server is still there
    Goodbye,    // "Bye!": the server is ending the conversation (the answer
                // to QUIT, or said on its own as it drops the client or ends)
    Reply,      // anything else: part of the reply to the command in hand
};

// Returns the shape of the reply to command, from its first word (the text
// up to the first blank; for QUIT and EXIT the whole command), compared
// without regard to case.
ReplyShape ShapeOfReply(const std::string& command);

// Returns what the line (without its line end) is.
ServerLineKind KindOfServerLine(const char* line, std::size_t length);

// Returns whether a reply whose first line (without its line end) is line
// is the planetarium's refusal: it begins with "Failed!", "Not found!" or
// "Bad chart name". Any other reply is a success.
bool IsRefusal(const char* line, std::size_t length);

// Returns whether a reply of shape is whole once it holds lineCount lines,
// the last of which (without its line end) is line; firstRefused tells
// whether its first line was a refusal, which is always a reply of one line.
// A Burst reply that is no refusal is never whole by its lines: only the
// pause after them ends it.
bool ReplyIsWhole(ReplyShape shape, std::size_t lineCount, bool firstRefused, const char* line,
                  std::size_t length);

// Returns why command cannot go to the server as one command line, or null
// when it can: longer than kLongestTcpCommand bytes, or holding a NUL byte
// or a line feed (which would end the line early and send the rest as a
// second command).
const char* WhyNotSendableOverTcp(const std::string& command);

#endif
