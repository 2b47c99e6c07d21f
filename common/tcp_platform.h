// The platform's side of talking to the planetarium's TCP command server:
// sockets (Winsock on Windows, POSIX elsewhere), where the running
// planetarium publishes its port, and the text conversion between the
// program's own text and the server's UTF-8.
#ifndef ZENOLT_COMMON_TCP_PLATFORM_H
#define ZENOLT_COMMON_TCP_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>

// A connected socket, or kNoSocket.
typedef std::intptr_t SocketHandle;
constexpr SocketHandle kNoSocket = -1;

// How TCP keep-alive watches a connection that carries nothing: the first
// probe after this long without traffic, then one every kKeepAliveIntervalMs,
// and the connection fails when kKeepAliveProbes go unanswered (Windows sends
// ten, whatever is asked). A planetarium whose computer vanished without a
// reset is so noticed within about 30 s, even while a program only waits.
constexpr unsigned long kKeepAliveIdleMs = 10000;
constexpr unsigned long kKeepAliveIntervalMs = 2000;
constexpr int kKeepAliveProbes = 10;

// Connects to port of host (a name, an IPv4 or an IPv6 literal), trying each
// address the name stands for until one answers, within timeoutMs in all,
// with TCP keep-alive on (as the system lets a program set it). Returns the
// connected socket, or kNoSocket with reason set to why, in a few lower-case
// words ("connection refused", "connection timed out").
SocketHandle ConnectToServer(const std::string& host, unsigned port, unsigned long timeoutMs,
                             std::string& reason);

// Sends all size bytes. Returns false when the connection failed first.
bool SendToServer(SocketHandle socket, const char* bytes, std::size_t size);

// A ReceiveBytes (server_lines.h) for a connected socket; source points to
// its SocketHandle.
long ReceiveFromServer(void* source, char* buffer, std::size_t size, unsigned long waitMs);

// Closes the socket; kNoSocket is left alone.
void CloseServerSocket(SocketHandle socket);

// Reads what the running planetarium publishes as its port (Windows: the
// registry value TcpPort of HKEY_CURRENT_USER\Software\Astro_PC\Ciel\Status;
// Linux: $HOME/.skychart/tmp/tcpport; macOS: the same file under
// $HOME/Library/Application Support/skychart). Returns false when nothing
// is published there; otherwise true with text what was found.
bool ReadPublishedPort(std::string& text);

// Returns where ReadPublishedPort looks, as a user would name it: the file's
// path, or the registry value's (HKEY_CURRENT_USER\...\Status\TcpPort); empty
// when there is no such place (no HOME).
std::string PublishedPortPlace();

// Returns the program's own text (a command) as the server's UTF-8: from the
// ANSI code page on Windows, unchanged elsewhere.
std::string ToServerText(const std::string& text);

// Returns the server's UTF-8 text as the program's own plain text: in the
// ANSI code page on Windows ("?" for what it lacks), unchanged elsewhere.
std::string FromServerText(const std::string& text);

#endif
