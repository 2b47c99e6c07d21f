#include "planetarium_place.h"

#include "tcp_platform.h"

namespace {

// Returns true with value set when text is decimal digits only, and at most
// highest; leading zeros are allowed.
bool ParseDecimal(const std::string& text, unsigned highest, unsigned& value) {
    if (text.empty()) return false;
    unsigned number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<unsigned>(c - '0');
        if (number > highest) return false;
    }
    value = number;
    return true;
}

bool ParsePort(const std::string& text, unsigned& port) {
    unsigned value = 0;
    if (!ParseDecimal(text, 65535, value) || value == 0) return false;
    port = value;
    return true;
}

}  // namespace

const char kServerAddressForm[] =
    "HOST[:PORT] (a name, an IPv4 address or [IPv6], PORT 1 to 65535)";

std::string ChooseWhereToLook(bool server, const std::string& text, bool dde,
                              PlanetariumChoice& choice) {
    if (server && dde) return "--server and --dde: one or the other";
    if (server && !ParseServerAddress(text, choice.server)) {
        return "--server " + text + ": not " + kServerAddressForm;
    }
    if (server) {
        choice.by = ReachBy::ServerOnly;
        choice.serverFrom = "--server";
    }
    if (dde) choice.by = ReachBy::DdeOnly;
    return "";
}

bool ParseServerAddress(const std::string& text, ServerAddress& address) {
    std::string host;
    std::string rest;
    if (!text.empty() && text[0] == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos) return false;
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (host.find(':') == std::string::npos) return false;
    } else {
        const std::size_t colon = text.find(':');
        host = text.substr(0, colon);
        if (colon != std::string::npos) {
            rest = text.substr(colon);
            // More than one colon is an IPv6 literal without its brackets.
            if (rest.find(':', 1) != std::string::npos) return false;
        }
    }
    if (host.empty() || host.find_first_of(" \t[]") != std::string::npos) return false;
    unsigned port = kDefaultTcpPort;
    if (!rest.empty() && (rest[0] != ':' || !ParsePort(rest.substr(1), port))) return false;
    address.host = host;
    address.port = port;
    return true;
}

std::string AddressText(const ServerAddress& address) {
    const bool v6 = address.host.find(':') != std::string::npos;
    return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

unsigned PortFromPublishedText(bool found, const std::string& text) {
    unsigned value = 0;
    if (!found || !ParseDecimal(text, 65535, value)) return kDefaultTcpPort;
    return value;
}

PublishedPort ReadLocalPort() {
    PublishedPort published;
    published.found = ReadPublishedPort(published.text);
    published.port = PortFromPublishedText(published.found, published.text);
    unsigned port = 0;
    published.isPort = published.found && ParsePort(published.text, port);
    return published;
}
