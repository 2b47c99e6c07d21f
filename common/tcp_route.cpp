#include "tcp_route.h"

namespace {

bool OpenOwn(TcpRoute& route, const PlanetariumChoice& choice, const char* program) {
    return OpenTcpOrReport(route.own, choice, program);
}

TcpAnswer SendOwn(TcpRoute& route, const std::string& command, unsigned long timeoutMs,
                  std::string& reply) {
    return SendTcpCommand(route.own, command, timeoutMs, reply);
}

bool WaitOwn(TcpRoute& route, unsigned long ms) { return WaitInTcpConversation(route.own, ms); }

void CloseOwn(TcpRoute& route) { CloseTcpConversation(route.own); }

bool OpenSession(TcpRoute&, const PlanetariumChoice&, const char*) { return true; }

TcpAnswer SendSession(TcpRoute& route, const std::string& command, unsigned long timeoutMs,
                      std::string& reply) {
    return SendThroughSession(route.session, command, timeoutMs, reply);
}

bool WaitSession(TcpRoute& route, unsigned long ms) { return WaitThroughSession(route.session, ms); }

void CloseSession(TcpRoute& route) { CloseSessionLink(route.session); }

}  // namespace

// A planetarium that published that it is not running is not asked of the
// session: the program's own attempt says so.
bool ChooseTcpRoute(TcpRoute& route, const PlanetariumChoice& choice) {
    ServerAddress address = choice.server;
    if (choice.by != ReachBy::DdeOnly &&
        (choice.by == ReachBy::ServerOnly || LocalServerAddress(address)) &&
        OpenSessionLink(route.session, AddressText(address))) {
        route.open = OpenSession;
        route.send = SendSession;
        route.wait = WaitSession;
        route.close = CloseSession;
        return true;
    }
    route.open = OpenOwn;
    route.send = SendOwn;
    route.wait = WaitOwn;
    route.close = CloseOwn;
    return false;
}

TcpAnswer SendOverRoute(void* route, const std::string& command, unsigned long timeoutMs,
                        std::string& reply) {
    TcpRoute& open = *static_cast<TcpRoute*>(route);
    return open.send(open, command, timeoutMs, reply);
}
