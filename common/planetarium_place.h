// Where the planetarium's TCP command server is: the address a user gives,
// or the port the running planetarium publishes on this computer.
#ifndef ZENOLT_COMMON_PLANETARIUM_PLACE_H
#define ZENOLT_COMMON_PLANETARIUM_PLACE_H

#include <string>

// The port the planetarium listens on unless its user chose another.
constexpr unsigned kDefaultTcpPort = 3292;

struct ServerAddress {
    std::string host;  // a name, an IPv4 literal, or an IPv6 literal (no brackets)
    unsigned port = kDefaultTcpPort;
};

// Returns true with address set when text is HOST, HOST:PORT, [IPv6] or
// [IPv6]:PORT, PORT being 1 to 65535 in decimal digits; false otherwise
// (an empty host, a blank, an IPv6 literal without brackets, a bad port).
bool ParseServerAddress(const std::string& text, ServerAddress& address);

// Returns the address as a user would write it: host:port, [IPv6]:port.
std::string AddressText(const ServerAddress& address);

// Returns the port to try for what the planetarium published (found: whether
// anything was published at all, text: what): 0 when it published "0", that
// is, it is not running; the port when text is 1 to 65535 in decimal
// digits; kDefaultTcpPort when nothing, or anything else, was published.
unsigned PortFromPublishedText(bool found, const std::string& text);

// What the planetarium published on this computer, read afresh each time:
// a planetarium that starts, ends or restarts changes it.
struct PublishedPort {
    bool found = false;  // something is published at all
    std::string text;    // what, when found
    unsigned port = kDefaultTcpPort;  // PortFromPublishedText(found, text): 0, not running
    bool isPort = false;  // text is itself a port, 1 to 65535: the planetarium listens there
};

// Returns what the planetarium publishes on this computer now.
PublishedPort ReadLocalPort();

#endif
