// The floor for watching the planetarium's events over TCP: a connection that
// passes on each event line as it arrives and does nothing else (no looking
// for the published port, no clock, no formatting), so that what a watcher
// adds to an event's way from the planetarium to a reader shows against it.
//
//   tcp_minimal_listener PORT
//
// Connects to 127.0.0.1:PORT, reads the greeting, then writes each event line
// (">" TAB ...) with its CR LF to standard output in one write as soon as it
// is read; other lines (keep-alives) are skipped. SIGINT or SIGTERM ends it
// politely: QUIT, Bye!, close (a dropped connection is a fault the real
// planetarium is known to trip on). Exit status: 0 when it ended that way, 1
// when the greeting, the connection or the output failed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

volatile std::sig_atomic_t stopAsked = 0;

void OnStop(int) { stopAsked = 1; }

int server = -1;
sigset_t waitMask;  // the signals let through only while waiting for bytes
char buffer[65536];
std::size_t held = 0;  // bytes received and not yet taken as lines

// Takes the next whole line (with its CR LF) out of the buffer into line.
bool TakeLine(std::string& line) {
    for (std::size_t i = 1; i < held; ++i) {
        if (buffer[i - 1] == '\r' && buffer[i] == '\n') {
            line.assign(buffer, i + 1);
            std::memmove(buffer, buffer + i + 1, held - i - 1);
            held -= i + 1;
            return true;
        }
    }
    if (held == sizeof buffer) held = 0;  // a line this long is of no interest here
    return false;
}

// Receives more bytes; 1 when some came, 0 when the connection ended or
// failed, -1 when a signal asked to stop.
int Receive() {
    for (;;) {
        // The stop signals are held back except inside ppoll, so one that comes
        // while a line is being passed on is not lost before the next wait.
        if (stopAsked) return -1;
        pollfd wait = {server, POLLIN, 0};
        if (ppoll(&wait, 1, nullptr, &waitMask) < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        const ssize_t got = recv(server, buffer + held, sizeof buffer - held, 0);
        if (got > 0) {
            held += static_cast<std::size_t>(got);
            return 1;
        }
        if (got < 0 && errno == EINTR) {
            if (stopAsked) return -1;
            continue;
        }
        return 0;
    }
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: tcp_minimal_listener PORT\n", stderr);
        return 2;
    }
    // Without SA_RESTART, so that a signal interrupts the wait for the next line.
    struct sigaction stop = {};
    stop.sa_handler = OnStop;
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);

    server = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        return 1;
    }
    std::string line;
    // The real planetarium may send an event before the greeting (to a client
    // that connected while a command ran); it is not this floor's to time.
    do {
        while (!TakeLine(line)) {
            if (Receive() != 1) {
                std::fputs("no greeting\n", stderr);
                return 1;
            }
        }
    } while (line.size() >= 2 && line[0] == '>' && line[1] == '\t');
    if (line.compare(0, 3, "OK!") != 0) {
        std::fputs("no greeting\n", stderr);
        return 1;
    }
    for (;;) {
        while (TakeLine(line)) {
            if (line.size() >= 2 && line[0] == '>' && line[1] == '\t' &&
                !WriteAll(1, line.data(), line.size())) {
                return 1;
            }
        }
        const int got = Receive();
        if (got == 0) return 1;
        if (got < 0) break;
    }
    // Events may still come before Bye!; they are not passed on any more.
    if (send(server, "QUIT\r\n", 6, MSG_NOSIGNAL) != 6) return 1;
    const timeval patience = {10, 0};
    setsockopt(server, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    for (;;) {
        while (TakeLine(line)) {
            if (line == "Bye!\r\n") {
                close(server);
                return 0;
            }
        }
        if (held == sizeof buffer) held = 0;
        const ssize_t got = recv(server, buffer + held, sizeof buffer - held, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 1;
        held += static_cast<std::size_t>(got);
    }
}
