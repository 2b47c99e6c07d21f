// Fuzzes reading what a server sends after a command: any bytes, arriving in
// pieces of any size, then a close or silence; sometimes the same bytes over
// and over past the longest line taken. The first input byte
// chooses the command (and so the shape of its reply), the second the piece
// size, the third how the input ends. Reading must never crash, read past
// what was received, or hold more than one line and one block, and a whole
// reply must be exactly lines that were sent.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tcp_conversation.h"

namespace {

// The server's bytes, served in pieces; after them either the close or
// silence, or the same bytes again until about two of the longest lines
// have gone.
struct PlayedBytes {
    const char* bytes;
    std::size_t size;
    std::size_t most;      // bytes per piece
    std::size_t served;    // of all pieces so far
    std::size_t limit;     // served in all before the end
    bool closes;
};

long ServePieces(void* source, char* buffer, std::size_t size, unsigned long) {
    PlayedBytes& played = *static_cast<PlayedBytes*>(source);
    if (played.size == 0 || played.served >= played.limit) {
        return played.closes ? 0 : kReceiveTimeUp;
    }
    const std::size_t at = played.served % played.size;
    const std::size_t count =
        std::min({size, played.most, played.size - at, played.limit - played.served});
    std::memcpy(buffer, played.bytes + at, count);
    played.served += count;
    return static_cast<long>(count);
}

unsigned long long FrozenClock() { return 0; }

const char* const kCommands[] = {"GETRA", "?", "GETMSGBOX", "GETOBJECTLIST", "ZOM+"};

// The longest line taken: short, so that an endless line passes it soon
// (each byte served costs time, and endless inputs were most of it).
const std::size_t kLongestLine = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::string command = kCommands[data[0] % 5];
    PlayedBytes played = {reinterpret_cast<const char*>(data + 3), size - 3,
                          static_cast<std::size_t>(data[1]) * 37 % 4099 + 1, 0, size - 3,
                          (data[2] & 1) != 0};
    // One input in eight is served again and again: an endless line, or
    // endless lines, from a faulty server.
    if ((data[2] & 0x0E) == 0x0E) played.limit = 3 * kLongestLine;
    // One socket pair for every input, its far end emptied of each command.
    static int ends[2] = {-1, -1};
    if (ends[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;
    TcpLink link;
    link.socket = ends[0];
    StartServerLines(link.lines, ServePieces, &played, FrozenClock);
    link.lines.longest = kLongestLine;
    std::string reply;
    const TcpAnswer answer = SendTcpCommand(link, command, 0, reply);
    if (link.lines.buffer.size() > kLongestLine + 1 + 2 * 16 * 1024) std::abort();
    if (answer == TcpAnswer::Success || answer == TcpAnswer::Refusal) {
        // The reply is lines the server sent, each ending in a line feed.
        if (reply.empty() || reply.back() != '\n') std::abort();
        const std::string first = reply.substr(0, reply.find('\n') + 1);
        const std::string_view sent(played.bytes, played.size);
        if (played.limit == played.size && sent.find(first) == std::string_view::npos) std::abort();
    } else if (!reply.empty()) {
        std::abort();
    }
    WaitInTcpConversation(link, 0);
    // One receive empties it (a command line is short); one that fills the
    // buffer may have left more.
    char sent[4096];
    while (recv(ends[1], sent, sizeof sent, MSG_DONTWAIT) == static_cast<long>(sizeof sent)) {
    }
    return 0;
}
