// The POSIX side of the TCP conversation (Linux, macOS).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "server_lines.h"
#include "socket_io_posix.h"
#include "tcp_conversation.h"
#include "tcp_platform.h"

namespace {

// Returns the reason for errno value error in a few lower-case words.
std::string ReasonOf(int error) {
    switch (error) {
        case ECONNREFUSED: return "connection refused";
        case ETIMEDOUT: return "connection timed out";
        case EHOSTUNREACH: return "host unreachable";
        case ENETUNREACH: return "network unreachable";
        case ECONNRESET: return "connection reset";
    }
    std::string reason = std::strerror(error);
    if (!reason.empty() && reason[0] >= 'A' && reason[0] <= 'Z') {
        reason[0] = static_cast<char>(reason[0] - 'A' + 'a');
    }
    return reason;
}

// Turns on TCP keep-alive for fd, with the project's timing where the
// system lets a program set it (its own defaults wait two hours). Returns
// nothing: a connection without it still works, only less watched.
void KeepAlive(int fd) {
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    [[maybe_unused]] const int idle = static_cast<int>(kKeepAliveIdleMs / 1000);
    [[maybe_unused]] const int interval = static_cast<int>(kKeepAliveIntervalMs / 1000);
    [[maybe_unused]] const int probes = kKeepAliveProbes;
#if defined(TCP_KEEPIDLE)
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
#elif defined(TCP_KEEPALIVE)
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPALIVE, &idle, sizeof idle);
#endif
#ifdef TCP_KEEPINTVL
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
#endif
#ifdef TCP_KEEPCNT
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
#endif
}

// Returns the connected socket, or -1 with error set; waits until deadline.
int ConnectOne(const addrinfo& address, unsigned long long deadline, int& error) {
    const int fd = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // A program this one starts does not keep the planetarium's connection.
    fcntl(fd, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0 && errno != EINPROGRESS) {
        error = errno;
        close(fd);
        return -1;
    }
    for (;;) {
        const unsigned long long now = TcpClockMs();
        if (now >= deadline) {
            error = ETIMEDOUT;
            close(fd);
            return -1;
        }
        pollfd one = {fd, POLLOUT, 0};
        const int ready = poll(&one, 1, static_cast<int>(deadline - now));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        int result = 0;
        socklen_t size = sizeof result;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size) != 0) result = errno;
        if (result != 0) {
            error = result;
            close(fd);
            return -1;
        }
        fcntl(fd, F_SETFL, flags);
        const int noDelay = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        KeepAlive(fd);
        return fd;
    }
}

}  // namespace

SocketHandle ConnectToServer(const std::string& host, unsigned port, unsigned long timeoutMs,
                             std::string& reason) {
    const unsigned long long deadline = TcpClockMs() + timeoutMs;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    // An address written out needs no name service, which is slow to start.
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (status == EAI_NONAME) {
        hints.ai_flags = AI_NUMERICSERV;
        status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    }
    if (status != 0) {
        if (status == EAI_NONAME) {
            reason = "no such host";
        } else if (status == EAI_SYSTEM) {
            reason = ReasonOf(errno);
        } else {
            reason = gai_strerror(status);
        }
        return kNoSocket;
    }
    int error = ECONNREFUSED;
    int fd = -1;
    for (const addrinfo* address = found; address != nullptr && fd < 0; address = address->ai_next) {
        fd = ConnectOne(*address, deadline, error);
    }
    freeaddrinfo(found);
    if (fd < 0) {
        reason = ReasonOf(error);
        return kNoSocket;
    }
    return fd;
}

bool SendToServer(SocketHandle socket, const char* bytes, std::size_t size) {
    return SendAllToSocket(static_cast<int>(socket), bytes, size);
}

long ReceiveFromServer(void* source, char* buffer, std::size_t size, unsigned long waitMs) {
    return ReceiveFromSocket(static_cast<int>(*static_cast<SocketHandle*>(source)), buffer, size,
                             waitMs);
}

void CloseServerSocket(SocketHandle socket) {
    if (socket != kNoSocket) close(static_cast<int>(socket));
}

std::string PublishedPortPlace() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') return "";
    std::string path = home;
    if (path.back() != '/') path += '/';
#ifdef __APPLE__
    return path + "Library/Application Support/skychart/tmp/tcpport";
#else
    return path + ".skychart/tmp/tcpport";
#endif
}

bool ReadPublishedPort(std::string& text) {
    const std::string path = PublishedPortPlace();
    if (path.empty()) return false;
    // Read with the system's calls: a C++ stream would first set up the
    // library's locales, which costs more than the whole conversation.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // A port is a few digits: more than that is not a port, and is not read.
    char bytes[16];
    const ssize_t got = read(fd, bytes, sizeof bytes);
    close(fd);
    text.assign(bytes, got > 0 ? static_cast<std::size_t>(got) : 0);
    return true;
}

std::string ToServerText(const std::string& text) { return text; }

std::string FromServerText(const std::string& text) { return text; }
