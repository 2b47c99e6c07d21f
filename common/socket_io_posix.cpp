#include "socket_io_posix.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "server_lines.h"
#include "tcp_conversation.h"

namespace {

#ifdef MSG_NOSIGNAL
const int kSendFlags = MSG_NOSIGNAL;  // a peer that went is an error, not a SIGPIPE
#else
const int kSendFlags = 0;
#endif

}  // namespace

bool SendAllToSocket(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = send(fd, bytes, size, kSendFlags);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// A signal that interrupts the wait does not end it: the caller's own
// slices are short enough to look for a requested end between them.
long ReceiveFromSocket(int fd, char* buffer, std::size_t size, unsigned long waitMs) {
    const unsigned long long deadline = TcpClockMs() + waitMs;
    for (;;) {
        const unsigned long long now = TcpClockMs();
        const int left = now >= deadline ? 0 : static_cast<int>(deadline - now);
        pollfd one = {fd, POLLIN, 0};
        const int ready = poll(&one, 1, left);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return kReceiveFailed;
        if (ready == 0) return kReceiveTimeUp;
        const ssize_t got = recv(fd, buffer, size, 0);
        if (got < 0 && errno == EINTR) continue;
        return got < 0 ? kReceiveFailed : static_cast<long>(got);
    }
}
