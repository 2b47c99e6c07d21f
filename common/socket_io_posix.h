// Sending and receiving on a connected POSIX socket: the planetarium's
// connection and a session's channel are read and written alike.
#ifndef ZENOLT_COMMON_SOCKET_IO_POSIX_H
#define ZENOLT_COMMON_SOCKET_IO_POSIX_H

#include <cstddef>

// Sends all size bytes to fd. Returns false when the connection failed
// first; a peer that has gone is an error, never a SIGPIPE.
bool SendAllToSocket(int fd, const char* bytes, std::size_t size);

// Receives up to size bytes from fd, waiting at most waitMs for the first.
// Returns what a ReceiveBytes (server_lines.h) returns: the count, 0 when the
// peer closed, kReceiveTimeUp or kReceiveFailed.
long ReceiveFromSocket(int fd, char* buffer, std::size_t size, unsigned long waitMs);

#endif
