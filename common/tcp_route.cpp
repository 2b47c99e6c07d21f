#include "tcp_route.h"

namespace {

TcpAnswer SendOwn(TcpRoute& route, const std::string& command, unsigned long timeoutMs,
                  std::string& reply) {
    return SendTcpCommand(route.own, command, timeoutMs, reply);
}

bool WaitOwn(TcpRoute& route, unsigned long ms) { return WaitInTcpConversation(route.own, ms); }

void CloseOwn(TcpRoute& route) { CloseTcpConversation(route.own); }

TcpAnswer SendSession(TcpRoute& route, const std::string& command, unsigned long timeoutMs,
                      std::string& reply) {
    return SendThroughSession(route.session, command, timeoutMs, reply);
}

bool WaitSession(TcpRoute& route, unsigned long ms) { return WaitThroughSession(route.session, ms); }

void CloseSession(TcpRoute& route) { CloseSessionLink(route.session); }

}  // namespace

// A planetarium that published that it is not running is not asked of the
// session: the program's own attempt says so.
bool OpenTcpRoute(TcpRoute& route, const PlanetariumChoice& choice, const char* program) {
    ServerAddress address = choice.server;
    if ((choice.by == ReachBy::ServerOnly || LocalServerAddress(address)) &&
        OpenSessionLink(route.session, AddressText(address))) {
        route.send = SendSession;
        route.wait = WaitSession;
        route.close = CloseSession;
        return true;
    }
    route.send = SendOwn;
    route.wait = WaitOwn;
    route.close = CloseOwn;
    return OpenTcpOrReport(route.own, choice, program);
}

TcpAnswer SendOverRoute(void* route, const std::string& command, unsigned long timeoutMs,
                        std::string& reply) {
    TcpRoute& open = *static_cast<TcpRoute*>(route);
    return open.send(open, command, timeoutMs, reply);
}
