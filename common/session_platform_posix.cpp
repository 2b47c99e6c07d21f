// The POSIX side of a session (Linux, macOS): a Unix-domain socket in a
// directory of its own that only its user can enter.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "server_lines.h"
#include "session_platform.h"
#include "session_protocol.h"
#include "socket_io_posix.h"

extern char** environ;

namespace {

// The socket's name in the session's directory.
const char kSocketName[] = "/socket";
// How many programs may wait to be accepted at once.
const int kBacklog = 64;

// Returns whether path fits a Unix-domain socket's address.
bool FitsSocketAddress(const std::string& path) {
    return path.size() < sizeof(static_cast<sockaddr_un*>(nullptr)->sun_path);
}

sockaddr_un SocketAddress(const std::string& path) {
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

// Returns the folder new session directories are made in: $TMPDIR when it
// is an absolute path short enough for the socket's address, else /tmp.
std::string TemporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string base = tmpdir != nullptr && tmpdir[0] == '/' ? tmpdir : "/tmp";
    if (FitsSocketAddress(base + "/zenolt-session.XXXXXX" + kSocketName)) return base;
    return "/tmp";
}

// Returns the user ID of the process at the other end of the connected
// socket fd, or -1 when the system does not tell.
long PeerUser(int fd) {
#ifdef SO_PEERCRED
    ucred credentials = {};
    socklen_t size = sizeof credentials;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return -1;
    return static_cast<long>(credentials.uid);
#else
    uid_t user = 0;
    gid_t group = 0;
    if (getpeereid(fd, &user, &group) != 0) return -1;
    return static_cast<long>(user);
#endif
}

// Returns whether path is what lstat finds of kind (S_IFDIR, S_IFSOCK),
// owned by this user, and (for a directory) closed to everyone else.
bool OwnPrivate(const std::string& path, mode_t kind) {
    struct stat status = {};
    if (lstat(path.c_str(), &status) != 0) return false;
    if ((status.st_mode & S_IFMT) != kind || status.st_uid != geteuid()) return false;
    return kind != S_IFDIR || (status.st_mode & 077) == 0;
}

}  // namespace

// The directory is new (mkdtemp makes it mode 0700, or fails), so no one
// else can have put anything in it or can reach the socket inside.
bool CreateSessionEndpoint(SessionEndpoint& endpoint, std::string& why) {
    if (!endpoint.name.empty()) {
        why = "a session here names its own socket";
        return false;
    }
    std::string pattern = TemporaryFolder() + "/zenolt-session.XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        why = std::string("cannot make a directory in ") + TemporaryFolder() + ": " +
              std::strerror(errno);
        return false;
    }
    const std::string path = pattern + kSocketName;
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = SocketAddress(path);
    if (fd < 0 || fcntl(fd, F_SETFD, FD_CLOEXEC) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(fd, kBacklog) != 0) {
        why = std::string("cannot listen at ") + path + ": " + std::strerror(errno);
        if (fd >= 0) close(fd);
        unlink(path.c_str());
        rmdir(pattern.c_str());
        return false;
    }
    endpoint.name = path;
    endpoint.directory = pattern;
    endpoint.listener = fd;
    return true;
}

// A failed accept (the process out of descriptors, say) is waited past
// briefly, so that it is tried again without spinning.
SessionChannel AcceptSessionClient(SessionEndpoint& endpoint) {
    for (;;) {
        if (endpoint.listener == kNoSessionChannel) return kNoSessionChannel;
        const int fd = accept(static_cast<int>(endpoint.listener), nullptr, nullptr);
        if (fd < 0) {
            if (errno == EBADF || errno == EINVAL) return kNoSessionChannel;
            if (errno != EINTR) poll(nullptr, 0, 10);
            continue;
        }
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        if (PeerUser(fd) == static_cast<long>(geteuid())) return fd;
        close(fd);
    }
}

// A thread waiting in accept on the listener is woken (shutdown) and finds
// it closed.
void RemoveSessionEndpoint(SessionEndpoint& endpoint) {
    if (endpoint.listener != kNoSessionChannel) {
        shutdown(static_cast<int>(endpoint.listener), SHUT_RDWR);
        close(static_cast<int>(endpoint.listener));
    }
    endpoint.listener = kNoSessionChannel;
    if (!endpoint.directory.empty()) {
        unlink(endpoint.name.c_str());
        rmdir(endpoint.directory.c_str());
    }
}

SessionChannel ConnectToSession(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (name.empty() || name[0] != '/' || slash == 0 || !FitsSocketAddress(name)) {
        return kNoSessionChannel;
    }
    if (!OwnPrivate(name.substr(0, slash), S_IFDIR) || !OwnPrivate(name, S_IFSOCK)) {
        return kNoSessionChannel;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return kNoSessionChannel;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    const sockaddr_un address = SocketAddress(name);
    int status = 0;
    do {
        status = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (status != 0 && errno == EINTR);
    if (status != 0 || PeerUser(fd) != static_cast<long>(geteuid())) {
        close(fd);
        return kNoSessionChannel;
    }
    return fd;
}

bool SendToSessionPeer(SessionChannel channel, const char* bytes, std::size_t size) {
    return SendAllToSocket(static_cast<int>(channel), bytes, size);
}

long ReceiveFromSessionPeer(void* source, char* buffer, std::size_t size, unsigned long waitMs) {
    return ReceiveFromSocket(static_cast<int>(*static_cast<SessionChannel*>(source)), buffer, size,
                             waitMs);
}

void CloseSessionChannel(SessionChannel channel) {
    if (channel != kNoSessionChannel) close(static_cast<int>(channel));
}

bool SetSessionVariable(const std::string& name) {
    return setenv(kSessionVariable, name.c_str(), 1) == 0;
}

// The command gets the signals' default actions back: this program ignores
// SIGPIPE, which a command would otherwise inherit.
bool StartSessionCommand(int argc, const char* const* argv, int first, SessionCommand& command,
                         int& status, std::string& why) {
    if (first >= argc) {
        why = "no command";
        status = 127;
        return false;
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[first], nullptr, &attributes,
                                   const_cast<char* const*>(argv + first), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        why = std::strerror(error);
        status = error == ENOENT ? 127 : 126;
        return false;
    }
    command.process = pid;
    return true;
}

int WaitForSessionCommand(SessionCommand& command) {
    int status = 0;
    while (waitpid(static_cast<pid_t>(command.process), &status, 0) < 0) {
        if (errno != EINTR) return 127;
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// The child leaves the caller's session and terminal (setsid), and its
// working directory, so that it holds nothing of the caller's; its standard
// streams go to /dev/null, so that a shell reading the caller's output (eval
// "$(ZenoltSession --start)") sees it end.
bool StartBackgroundSession(const std::vector<std::string>&,
                            int (*serve)(SessionEndpoint& endpoint, void* context), void* context,
                            std::string& name, std::string& why) {
    SessionEndpoint endpoint;
    if (!CreateSessionEndpoint(endpoint, why)) return false;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        why = std::string("cannot start it: ") + std::strerror(errno);
        RemoveSessionEndpoint(endpoint);
        return false;
    }
    if (pid == 0) {
        setsid();
        if (chdir("/") != 0) {
            // It stays where it was: nothing it does depends on the folder.
        }
        const int null = open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3 && null >= 0; ++fd) dup2(null, fd);
        if (null > 2) close(null);
        _exit(serve(endpoint, context));
    }
    close(static_cast<int>(endpoint.listener));
    name = endpoint.name;
    return true;
}
