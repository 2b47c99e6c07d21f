// The Windows side of the TCP conversation: Winsock (delay-loaded, see
// cmake/tcp-delay.cmake), the registry value the planetarium publishes
// its port in, and the conversion between the ANSI code page and UTF-8.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>

#include <vector>

#include "server_lines.h"
#include "tcp_platform.h"

namespace {

const char kStatusKey[] = "Software\\Astro_PC\\Ciel\\Status";
const char kPortValue[] = "TcpPort";

// Returns the reason for Winsock error in a few lower-case words.
std::string ReasonOf(int error) {
    switch (error) {
        case WSAECONNREFUSED: return "connection refused";
        case WSAETIMEDOUT: return "connection timed out";
        case WSAEHOSTUNREACH: return "host unreachable";
        case WSAENETUNREACH: return "network unreachable";
        case WSAECONNRESET: return "connection reset";
        case WSAHOST_NOT_FOUND:
        case WSANO_DATA: return "no such host";
        case WSATRY_AGAIN: return "the name cannot be looked up now";
    }
    return "socket error " + std::to_string(error);
}

// Returns whether Winsock is ready; starts it on first use.
bool StartWinsock(std::string& reason) {
    static bool started = false;
    if (started) return true;
    WSADATA data;
    const int error = WSAStartup(MAKEWORD(2, 2), &data);
    if (error != 0) {
        reason = ReasonOf(error);
        return false;
    }
    started = true;
    return true;
}

// Returns the milliseconds left until deadline (GetTickCount's), 0 when past.
DWORD MsLeft(DWORD deadline) {
    const DWORD left = deadline - GetTickCount();
    return left > 0x7FFFFFFF ? 0 : left;
}

timeval TimeValOf(DWORD ms) {
    timeval time;
    time.tv_sec = static_cast<long>(ms / 1000);
    time.tv_usec = static_cast<long>(ms % 1000 * 1000);
    return time;
}

// Turns on TCP keep-alive for s with the project's idle time and interval
// (the system's own first probe waits two hours). Returns nothing: a
// connection without it still works, only less watched.
void KeepAlive(SOCKET s) {
    const BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&on), sizeof on);
    tcp_keepalive timing;
    timing.onoff = 1;
    timing.keepalivetime = kKeepAliveIdleMs;
    timing.keepaliveinterval = kKeepAliveIntervalMs;
    DWORD returned = 0;
    WSAIoctl(s, SIO_KEEPALIVE_VALS, &timing, sizeof timing, nullptr, 0, &returned, nullptr, nullptr);
}

// Returns the connected socket, or INVALID_SOCKET with error set; waits
// until deadline.
SOCKET ConnectOne(const addrinfo& address, DWORD deadline, int& error) {
    const SOCKET s = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return INVALID_SOCKET;
    }
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        error = WSAGetLastError();
        closesocket(s);
        return INVALID_SOCKET;
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait = TimeValOf(MsLeft(deadline));
    const int ready = select(0, nullptr, &writable, &failed, &wait);
    int result = 0;
    int size = sizeof result;
    if (ready <= 0) {
        result = WSAETIMEDOUT;
    } else if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &size) != 0) {
        result = WSAGetLastError();
    } else if (result == 0 && !FD_ISSET(s, &writable)) {
        result = WSAECONNREFUSED;
    }
    if (result != 0) {
        error = result;
        closesocket(s);
        return INVALID_SOCKET;
    }
    nonBlocking = 0;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    const BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    KeepAlive(s);
    return s;
}

// Returns text converted from code page from to code page to, through
// UTF-16; what to lacks becomes its default character ("?"), not a
// look-alike.
std::string Converted(const std::string& text, UINT from, UINT to) {
    const DWORD flags = to == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    if (text.empty()) return text;
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
    if (units <= 0) return text;
    std::vector<wchar_t> wide(static_cast<std::size_t>(units));
    MultiByteToWideChar(from, 0, text.data(), size, wide.data(), units);
    const int bytes = WideCharToMultiByte(to, flags, wide.data(), units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string converted(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(to, flags, wide.data(), units, &converted[0], bytes, nullptr, nullptr);
    return converted;
}

}  // namespace

SocketHandle ConnectToServer(const std::string& host, unsigned port, unsigned long timeoutMs,
                             std::string& reason) {
    const DWORD deadline = GetTickCount() + timeoutMs;
    if (!StartWinsock(reason)) return kNoSocket;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (status != 0) {
        reason = ReasonOf(status);
        return kNoSocket;
    }
    int error = WSAECONNREFUSED;
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* address = found; address != nullptr && s == INVALID_SOCKET;
         address = address->ai_next) {
        s = ConnectOne(*address, deadline, error);
    }
    freeaddrinfo(found);
    if (s == INVALID_SOCKET) {
        reason = ReasonOf(error);
        return kNoSocket;
    }
    return static_cast<SocketHandle>(s);
}

bool SendToServer(SocketHandle socket, const char* bytes, std::size_t size) {
    while (size > 0) {
        const int chunk = size > 0x10000 ? 0x10000 : static_cast<int>(size);
        const int sent = send(static_cast<SOCKET>(socket), bytes, chunk, 0);
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

long ReceiveFromServer(void* source, char* buffer, std::size_t size, unsigned long waitMs) {
    const SOCKET s = static_cast<SOCKET>(*static_cast<SocketHandle*>(source));
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait = TimeValOf(waitMs);
    const int ready = select(0, &readable, nullptr, nullptr, &wait);
    if (ready < 0) return kReceiveFailed;
    if (ready == 0) return kReceiveTimeUp;
    const int chunk = size > 0x10000 ? 0x10000 : static_cast<int>(size);
    const int got = recv(s, buffer, chunk, 0);
    return got < 0 ? kReceiveFailed : got;
}

void CloseServerSocket(SocketHandle socket) {
    if (socket != kNoSocket) closesocket(static_cast<SOCKET>(socket));
}

std::string PublishedPortPlace() {
    return std::string("HKEY_CURRENT_USER\\") + kStatusKey + "\\" + kPortValue;
}

bool ReadPublishedPort(std::string& text) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kStatusKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    // A port is a few digits: a longer value is no port, and is not read.
    char bytes[16] = {};
    DWORD size = sizeof bytes;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExA(key, kPortValue, nullptr, &type, reinterpret_cast<BYTE*>(bytes), &size);
    RegCloseKey(key);
    if (status == ERROR_FILE_NOT_FOUND) return false;
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        text = "?";
        return true;
    }
    text.assign(bytes, size < sizeof bytes ? size : sizeof bytes);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return true;
}

std::string ToServerText(const std::string& text) { return Converted(text, CP_ACP, CP_UTF8); }

std::string FromServerText(const std::string& text) { return Converted(text, CP_UTF8, CP_ACP); }
