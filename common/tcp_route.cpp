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

// Where no port is published (a planetarium of before 2006, or none), or 0
// (not running), the session is not asked: the program's own search says
// what there is.
bool ChooseTcpRoute(TcpRoute& route, const PlanetariumChoice& choice) {
    ServerAddress address = choice.server;
    if (choice.by == ReachBy::Local) {
        const PublishedPort published = ReadLocalPort();
        address.host = "127.0.0.1";
        address.port = published.port;
        if (!published.isPort) address.port = 0;
    }
    if (choice.by != ReachBy::DdeOnly && address.port != 0 &&
        OpenSessionLink(route.session, AddressText(address))) {
        route.send = SendSession;
        route.wait = WaitSession;
        route.close = CloseSession;
        return true;
    }
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
