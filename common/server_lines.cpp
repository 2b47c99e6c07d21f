#include "server_lines.h"

#include <cstring>

#include "trace.h"

namespace {

// How much is asked of the connection at a time.
const std::size_t kReceiveBlock = 16 * 1024;

// Moves the bytes not yet taken to the front of the buffer, so that the
// buffer never holds more than one line and one block.
void Compact(ServerLines& lines) {
    if (lines.start == 0) return;
    std::memmove(lines.buffer.data(), lines.buffer.data() + lines.start, lines.filled - lines.start);
    lines.filled -= lines.start;
    lines.start = 0;
}

}  // namespace

void StartServerLines(ServerLines& lines, ReceiveBytes receive, void* source, ClockMs now) {
    lines = ServerLines();
    lines.receive = receive;
    lines.source = source;
    lines.now = now;
    lines.lastReceivedMs = now();
}

// Returns Line with line filled as soon as a line end is among the bytes
// not yet taken; otherwise receives more until the deadline. A line is cut
// off as too long once more than lines.longest bytes came without a
// line end, so the buffer holds at most that and one block.
LineEnd NextServerLine(ServerLines& lines, std::string& line, unsigned long long deadlineMs) {
    std::size_t searched = lines.start;
    for (;;) {
        const char* from = lines.buffer.data() + searched;
        const void* lf = lines.filled > searched ? std::memchr(from, '\n', lines.filled - searched)
                                                 : nullptr;
        if (lf != nullptr) {
            const std::size_t end =
                static_cast<std::size_t>(static_cast<const char*>(lf) - lines.buffer.data()) + 1;
            line.assign(lines.buffer.data() + lines.start, end - lines.start);
            lines.start = end;
            TraceReceived(line.data(), LengthWithoutLineEnd(line));
            return LengthWithoutLineEnd(line) > lines.longest ? LineEnd::TooLong
                                                                   : LineEnd::Line;
        }
        // Without a line end yet, all but a last CR is the line itself.
        if (lines.filled - lines.start > lines.longest + 1) return LineEnd::TooLong;
        if (lines.closed) return LineEnd::Closed;
        Compact(lines);
        searched = lines.filled;
        if (lines.buffer.size() < lines.filled + kReceiveBlock) {
            lines.buffer.resize(lines.filled + kReceiveBlock);
        }
        const unsigned long long now = lines.now();
        const unsigned long waitMs =
            now >= deadlineMs ? 0
                              : static_cast<unsigned long>(
                                    deadlineMs - now > 0x7FFFFFFF ? 0x7FFFFFFF : deadlineMs - now);
        const long got = lines.receive(lines.source, lines.buffer.data() + lines.filled,
                                       kReceiveBlock, waitMs);
        if (got > 0) {
            lines.filled += static_cast<std::size_t>(got);
            lines.lastReceivedMs = lines.now();
        } else if (got == kReceiveTimeUp) {
            return LineEnd::TimeUp;
        } else {
            lines.closed = true;
            TraceNote(got == 0 ? "the server closed the connection" : "the connection failed");
        }
    }
}

std::size_t LengthWithoutLineEnd(const std::string& line) {
    std::size_t length = line.size();
    if (length > 0 && line[length - 1] == '\n') --length;
    if (length > 0 && line[length - 1] == '\r') --length;
    return length;
}
