// The way a program's commands reach the planetarium's TCP command server,
// chosen once, at the start: through the session that ZENOLT_SESSION names,
// or in a conversation of its own. Nothing after that choice asks which it
// is.
#ifndef ZENOLT_COMMON_TCP_ROUTE_H
#define ZENOLT_COMMON_TCP_ROUTE_H

#include <string>

#include "planetarium_reach.h"
#include "session_client.h"
#include "tcp_conversation.h"

struct TcpRoute {
    TcpLink own;  // opened by the program (FindPlanetarium) when no session serves
    SessionLink session;
    // As SendTcpCommand, WaitInTcpConversation and CloseTcpConversation.
    TcpAnswer (*send)(TcpRoute& route, const std::string& command, unsigned long timeoutMs,
                      std::string& reply) = nullptr;
    bool (*wait)(TcpRoute& route, unsigned long ms) = nullptr;
    void (*close)(TcpRoute& route) = nullptr;
};

// Chooses the route for choice, before the program tries anything else (DDE
// and the search included): through the session when ZENOLT_SESSION names a
// live one of this user and release that talks to the server choice would
// (the address given, or 127.0.0.1 at the port this computer publishes now)
// and holds a conversation with it, and then the route is open; otherwise
// (and always for DdeOnly, or a port published as 0) a conversation of the
// program's own, route.own, which the program opens as without a session.
// Returns whether the session took it; writes nothing. The caller ends with
// route.close(route) either way.
bool ChooseTcpRoute(TcpRoute& route, const PlanetariumChoice& choice);

// As route.send, for a caller that holds the route as a pointer of no type
// (AskStateWith).
TcpAnswer SendOverRoute(void* route, const std::string& command, unsigned long timeoutMs,
                        std::string& reply);

#endif
