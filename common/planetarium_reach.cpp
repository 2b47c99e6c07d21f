#include "planetarium_reach.h"

#include <cstdio>

#include "dde_link.h"
#include "text_lines.h"

bool OpenTcpOrReport(TcpLink& link, const PlanetariumChoice& choice, const char* program) {
    link = TcpLink();
    ServerAddress address = choice.server;
    // A planetarium that published port 0 has said it is not running.
    if (choice.by != ReachBy::ServerOnly && !LocalServerAddress(address)) {
        WriteConnectFailureLine();
        return false;
    }
    std::string why;
    const TcpOpenEnd end = OpenTcpConversation(link, address, why);
    if (end == TcpOpenEnd::Greeted) return true;
    WriteConnectFailureLine();
    if (end == TcpOpenEnd::GreetingRefused) {
        WriteLine(stderr, FromServerText(why));
    } else if (choice.by == ReachBy::ServerOnly) {
        WriteLine(stderr, std::string(program) + ": " + AddressText(address) + ": " + why);
    }
    return false;
}

ReachedBy OpenClientOrTcp(DdeLink& dde, PFNCALLBACK callback, TcpLink& tcp,
                          const PlanetariumChoice& choice, const char* program) {
    if (choice.by != ReachBy::ServerOnly) {
        const Unreached unreached =
            choice.by == ReachBy::DdeOnly ? Unreached::Report : Unreached::Quiet;
        if (OpenClientConversation(dde, callback, unreached)) return ReachedBy::Dde;
        CloseConversation(dde);
        if (choice.by == ReachBy::DdeOnly) return ReachedBy::Nothing;
    }
    if (OpenTcpOrReport(tcp, choice, program)) return ReachedBy::Tcp;
    CloseTcpConversation(tcp);
    return ReachedBy::Nothing;
}
