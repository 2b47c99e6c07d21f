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

// Where a program was told to look for the planetarium.
enum class ReachBy {
    Local,       // this computer's: the TCP server at the port the planetarium
                 // publishes, or, when it publishes none (or 0), DDE first
    DdeOnly,     // DDE only (--dde)
    ServerOnly,  // the TCP server at a given address only (--server, ZENOLT_SERVER)
};

// The longest wait for the planetarium: a day, a whole observing night.
constexpr unsigned long kLongestWaitSeconds = 86400;

struct PlanetariumChoice {
    ReachBy by = ReachBy::Local;
    ServerAddress server;            // for ServerOnly
    std::string serverFrom;          // what gave it: "--server" or "ZENOLT_SERVER"
    unsigned long waitSeconds = 0;   // how long to keep looking (--wait, ZENOLT_WAIT); 0, one look
};

// How a server's address is written, as an error about one says it.
extern const char kServerAddressForm[];

// Returns true with address set when text is HOST, HOST:PORT, [IPv6] or
// [IPv6]:PORT, PORT being 1 to 65535 in decimal digits; false otherwise
// (an empty host, a blank, an IPv6 literal without brackets, a bad port).
bool ParseServerAddress(const std::string& text, ServerAddress& address);

// Sets choice where the command line says to look: --server (server; text
// its value) or --dde (dde), or neither. Returns an empty text, or the
// error: both given, or a value that is no HOST[:PORT] or [IPv6][:PORT].
std::string ChooseWhereToLook(bool server, const std::string& text, bool dde,
                              PlanetariumChoice& choice);

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
