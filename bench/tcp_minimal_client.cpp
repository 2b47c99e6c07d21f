// The floor for a conversation with the planetarium's TCP command server: the
// same exchange as the programs under measurement make, and nothing else (no
// looking for the published port, no script reading, no output).
//
//   tcp_minimal_client PORT [-n N] COMMAND...
//
// Connects to 127.0.0.1:PORT, reads the greeting, sends the commands one at a
// time, each ended by CR LF, and waits for each one's reply: the first line
// that is neither an event (">" TAB ...) nor a lone "." keep-alive. With -n N
// it sends N commands in all, going round the given ones (-n 1000 ZOM+ ZOM-
// sends ZOM+, ZOM-, ZOM+ ... 1000 times). Then QUIT, waits for Bye!, closes.
// Exit status: 0 when the greeting began "OK!", every reply was read and Bye!
// came; 1 otherwise (so that a benchmark never times a conversation that did
// not happen).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int server = -1;
char buffer[4096];
std::size_t held = 0;  // bytes received and not yet taken as lines

// Reads the next line, without its CR LF, into line; false when the
// connection ends first.
bool ReadLine(std::string& line) {
    for (;;) {
        for (std::size_t i = 1; i < held; ++i) {
            if (buffer[i - 1] == '\r' && buffer[i] == '\n') {
                line.assign(buffer, i - 1);
                std::memmove(buffer, buffer + i + 1, held - i - 1);
                held -= i + 1;
                return true;
            }
        }
        if (held == sizeof buffer) held = 0;  // a line this long is of no interest here
        const ssize_t got = recv(server, buffer + held, sizeof buffer - held, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        held += static_cast<std::size_t>(got);
    }
}

// Reads lines until the reply of the command just sent.
bool ReadReply(std::string& line) {
    do {
        if (!ReadLine(line)) return false;
    } while ((line.size() >= 2 && line[0] == '>' && line[1] == '\t') || line == ".");
    return true;
}

bool Send(const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t put = send(server, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        sent += static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: tcp_minimal_client PORT [-n N] COMMAND...\n", stderr);
        return 2;
    }
    const int port = std::atoi(argv[1]);
    int first = 2;
    long count = -1;
    if (std::strcmp(argv[2], "-n") == 0 && argc >= 5) {
        count = std::atol(argv[3]);
        first = 4;
    }
    const int given = argc - first;
    if (count < 0) count = given;

    server = socket(AF_INET, SOCK_STREAM, 0);
    // A server that stops answering ends the run rather than hanging the benchmark.
    const timeval patience = {30, 0};
    setsockopt(server, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        return 1;
    }
    std::string line;
    if (!ReadLine(line) || line.compare(0, 3, "OK!") != 0) {
        std::fputs("no greeting\n", stderr);
        return 1;
    }
    std::string command;
    for (long i = 0; i < count; ++i) {
        command.assign(argv[first + i % given]);
        command += "\r\n";
        if (!Send(command) || !ReadReply(line)) {
            std::fprintf(stderr, "no reply to command %ld\n", i + 1);
            return 1;
        }
    }
    if (!Send("QUIT\r\n") || !ReadReply(line) || line != "Bye!") {
        std::fputs("no Bye!\n", stderr);
        return 1;
    }
    close(server);
    return 0;
}
