#include "planetarium_reach.h"

#include <cstdio>

#include "dde_link.h"

namespace {

void WriteErrorLine(const std::string& text) {
    const std::string line = text + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

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
        WriteErrorLine(FromServerText(why));
    } else if (choice.by == ReachBy::ServerOnly) {
        WriteErrorLine(std::string(program) + ": " + AddressText(address) + ": " + why);
    }
    return false;
}
