// Reading the lines a server sends, whatever it sends: lines of any length
// up to a bound, arriving in pieces of any size, with memory that never
// grows past that bound.
#ifndef ZENOLT_COMMON_SERVER_LINES_H
#define ZENOLT_COMMON_SERVER_LINES_H

#include <cstddef>
#include <string>
#include <vector>

// The longest line a server may send: a longer one comes from a faulty
// server, and ends the conversation.
constexpr std::size_t kLongestServerLine = 1024 * 1024;

// Receives up to size bytes from source into buffer, waiting at most waitMs
// for the first of them. Returns how many it received, 0 when the server
// has closed the connection, kReceiveTimeUp when nothing came in time, or
// kReceiveFailed when the connection failed.
typedef long (*ReceiveBytes)(void* source, char* buffer, std::size_t size, unsigned long waitMs);
constexpr long kReceiveTimeUp = -2;
constexpr long kReceiveFailed = -1;

// Returns the milliseconds of a clock that only goes forward.
typedef unsigned long long (*ClockMs)();

// Where reading a server's lines has got to. Set up by StartServerLines.
struct ServerLines {
    ReceiveBytes receive = nullptr;
    void* source = nullptr;
    ClockMs now = nullptr;
    std::vector<char> buffer;  // received bytes; those from start to filled not yet taken
    std::size_t start = 0;
    std::size_t filled = 0;
    bool closed = false;       // the server closed the connection (or it failed)
    unsigned long long lastReceivedMs = 0;  // when bytes last came (or reading started)
    std::size_t longest = kLongestServerLine;  // the longest line taken
};

// Why NextServerLine returned.
enum class LineEnd {
    Line,     // a whole line is in line
    TimeUp,   // the deadline passed first; what arrived so far is kept
    Closed,   // the connection ended (or failed) before a whole line came
    TooLong,  // the server sent a line longer than lines.longest
};

// Starts reading what receive takes from source, with now as the clock and
// lines of up to kLongestServerLine bytes.
void StartServerLines(ServerLines& lines, ReceiveBytes receive, void* source, ClockMs now);

// Reads the next whole line into line, its line end included (LF, or CR LF,
// as it came), waiting until the clock reaches deadlineMs at most. Bytes
// received after the line stay for the next call. Returns what ended it.
LineEnd NextServerLine(ServerLines& lines, std::string& line, unsigned long long deadlineMs);

// Returns the length of line without its line end (a LF and a CR before it).
std::size_t LengthWithoutLineEnd(const std::string& line);

#endif
