// The way a program's commands reach the planetarium's TCP command server,
// chosen once when its conversation opens: through the session that
// ZENOLT_SESSION names, or in a conversation of its own. Nothing after that
// choice asks which it is.
#ifndef ZENOLT_COMMON_TCP_ROUTE_H
#define ZENOLT_COMMON_TCP_ROUTE_H

#include <string>

#include "planetarium_reach.h"
#include "session_client.h"
#include "tcp_conversation.h"

struct TcpRoute {
    TcpLink own;
    SessionLink session;
    // As SendTcpCommand, WaitInTcpConversation and CloseTcpConversation.
    TcpAnswer (*send)(TcpRoute& route, const std::string& command, unsigned long timeoutMs,
                      std::string& reply) = nullptr;
    bool (*wait)(TcpRoute& route, unsigned long ms) = nullptr;
    void (*close)(TcpRoute& route) = nullptr;
};

// Opens the route choice asks for (not DdeOnly): through the session when
// ZENOLT_SESSION names a live one of this user and release that talks to
// the server choice would (the address given, or the port this computer
// publishes now) and holds a conversation with it; otherwise a
// conversation of the program's own, as OpenTcpOrReport opens it, writing
// what it writes when the planetarium is not reached. Returns whether a
// conversation is open. Either way the caller ends with route.close(route).
bool OpenTcpRoute(TcpRoute& route, const PlanetariumChoice& choice, const char* program);

// As route.send, for a caller that holds the route as a pointer of no type
// (AskStateWith).
TcpAnswer SendOverRoute(void* route, const std::string& command, unsigned long timeoutMs,
                        std::string& reply);

#endif
