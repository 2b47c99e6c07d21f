#include "planetarium_reach.h"

#include <cstdlib>

#include "options.h"
#include "process_platform.h"
#include "text_lines.h"
#include "trace.h"

namespace {

// Returns the value of variable, or null when it is unset or empty.
const char* SetVariable(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

// Returns Tcp once the server at address greets; QuitAsked when an end is
// requested while it waits for the greeting; otherwise Nothing, with the
// conversation closed and miss set. The greeting is waited for
// kTcpGreetingTimeoutMs, or on to the search's deadline when that is later:
// the planetarium greets only once its main thread is free (a restarted one
// may take seconds), and a client that leaves before it is greeted can end
// its listening, which would leave a waiting program nothing to find.
ReachedBy TryServer(const ServerAddress& address, bool given, unsigned long long deadline,
                    TcpLink& tcp, SearchMiss& miss) {
    std::string why;
    TcpOpenEnd end = TcpOpenEnd::NotReached;
    if (ConnectTcpConversation(tcp, address, why)) {
        const unsigned long long connected = TcpClockMs();
        const unsigned long long least = connected + kTcpGreetingTimeoutMs;
        const unsigned long long greetBy = deadline > least ? deadline : least;
        bool said = false;
        for (;;) {
            const unsigned long long now = TcpClockMs();
            const unsigned long long left = greetBy > now ? greetBy - now : 0;
            const unsigned long slice =
                static_cast<unsigned long>(left < kSearchRoundMs ? left : kSearchRoundMs);
            end = ReadGreeting(tcp, why, slice);
            if (end != TcpOpenEnd::NotReached || tcp.lost || TcpClockMs() >= greetBy) break;
            if (QuitRequested()) {
                CloseTcpConversation(tcp);
                return ReachedBy::QuitAsked;
            }
            if (!said && TcpClockMs() - connected >= kTcpGreetingTimeoutMs) {
                TraceNote("no greeting yet: waiting on for it");
                said = true;
            }
        }
        // (A wait without end never gets here without the greeting.)
        if (end == TcpOpenEnd::NotReached && !tcp.lost) {
            why = "no greeting within " + std::to_string(greetBy - connected) + " ms";
        }
        if (end == TcpOpenEnd::NotReached) TraceNote("not greeted: " + why);
    }
    if (end == TcpOpenEnd::Greeted) return ReachedBy::Tcp;
    CloseTcpConversation(tcp);
    miss.kind = end == TcpOpenEnd::GreetingRefused ? SearchMiss::Kind::GreetingRefused
                                                   : SearchMiss::Kind::NotReached;
    miss.serverGiven = given;
    miss.address = address;
    miss.why = why;
    return ReachedBy::Nothing;
}

// Says in the trace what this computer's planetarium published.
void TracePublished(const PublishedPort& published, const std::string& place) {
    if (!Tracing()) return;
    if (published.isPort) {
        TraceNote("port " + published.text + " from " + place);
    } else if (published.found && published.port == 0) {
        TraceNote(place + " holds 0: Cartes du Ciel is not running");
    } else if (published.found) {
        TraceNote(place + " holds \"" + TraceShown(published.text.data(), published.text.size()) +
                  "\", no port: DDE, then the default port " + std::to_string(kDefaultTcpPort));
    } else {
        TraceNote("nothing at " + (place.empty() ? std::string("$HOME") : place) +
                  ": DDE, then the default port " + std::to_string(kDefaultTcpPort));
    }
}

// One look, as SearchPlanetarium describes it; the DDE attempt only when
// withDde.
ReachedBy LookOnce(const PlanetariumChoice& choice, const DdeAttempt& dde, bool withDde,
                   unsigned long long deadline, TcpLink& tcp, SearchMiss& miss) {
    if (choice.by == ReachBy::ServerOnly) {
        TraceNote("the server " + AddressText(choice.server) + " from " + choice.serverFrom);
        return TryServer(choice.server, true, deadline, tcp, miss);
    }
    const PublishedPort published = ReadLocalPort();
    const std::string place = PublishedPortPlace();
    if (choice.by == ReachBy::Local) TracePublished(published, place);
    // A planetarium that publishes its port has no DDE server: asking for
    // one would wait on every window of the desktop, some of which may hang.
    if (choice.by == ReachBy::DdeOnly || !published.isPort) {
        if (withDde && dde.open != nullptr && dde.open(dde.context)) return ReachedBy::Dde;
        if (choice.by == ReachBy::DdeOnly) {
            miss.kind = SearchMiss::Kind::NoDde;
            return ReachedBy::Nothing;
        }
    }
    if (published.port == 0) {
        miss.kind = SearchMiss::Kind::NotRunning;
        miss.place = place;
        return ReachedBy::Nothing;
    }
    ServerAddress address;
    address.host = "127.0.0.1";
    address.port = published.port;
    return TryServer(address, false, deadline, tcp, miss);
}

}  // namespace

bool ReadPlanetariumEnvironment(PlanetariumChoice& choice, bool placeGiven, bool waitGiven,
                                const char* program) {
    const char* server = placeGiven ? nullptr : SetVariable("ZENOLT_SERVER");
    if (server != nullptr) {
        if (!ParseServerAddress(server, choice.server)) {
            WriteLine(stderr, std::string(program) + ": ZENOLT_SERVER must be " +
                                  kServerAddressForm + ", not \"" + server + "\"");
            return false;
        }
        choice.by = ReachBy::ServerOnly;
        choice.serverFrom = "ZENOLT_SERVER";
    }
    const char* wait = waitGiven ? nullptr : SetVariable("ZENOLT_WAIT");
    if (wait != nullptr &&
        !ParseOptionNumber(wait, 0, kLongestWaitSeconds, choice.waitSeconds)) {
        WriteLine(stderr, std::string(program) +
                              ": ZENOLT_WAIT must be a whole number of seconds from 0 to " +
                              std::to_string(kLongestWaitSeconds) + ", not \"" + wait + "\"");
        return false;
    }
    return true;
}

// Returns how the search ended; sleeps between looks, each look starting
// kSearchRoundMs after the one before began (at once after a slow one). A
// DDE attempt sets up and tears down a whole DDE instance and asks every
// window of the desktop: made at every look it cost about 1% of a core
// under Wine, so it is made at every kDdeEveryLooks-th look only.
ReachedBy SearchPlanetarium(const PlanetariumChoice& choice, const DdeAttempt& dde,
                            unsigned long waitMs, TcpLink& tcp, SearchMiss& miss) {
    const unsigned long long deadline =
        waitMs == kWaitForever ? ~0ULL : TcpClockMs() + waitMs;
    bool said = false;
    for (unsigned long look = 0;; ++look) {
        const unsigned long long began = TcpClockMs();
        const ReachedBy reached =
            LookOnce(choice, dde, look % kDdeEveryLooks == 0, deadline, tcp, miss);
        if (reached != ReachedBy::Nothing) return reached;
        const unsigned long long now = TcpClockMs();
        if (now >= deadline) return ReachedBy::Nothing;
        if (!said) {
            TraceNote("looking again every " + std::to_string(kSearchRoundMs) + " ms" +
                      (waitMs == kWaitForever
                           ? std::string(", for as long as it takes")
                           : ", for " + std::to_string((deadline - now + 999) / 1000) +
                                 " s at most"));
            said = true;
        }
        unsigned long long pause = began + kSearchRoundMs > now ? began + kSearchRoundMs - now : 0;
        if (pause > deadline - now) pause = deadline - now;
        if (!PauseUnlessQuit(static_cast<unsigned long>(pause))) return ReachedBy::QuitAsked;
    }
}

void ReportSearchMiss(const SearchMiss& miss, const char* program) {
    WriteConnectFailureLine();
    switch (miss.kind) {
        case SearchMiss::Kind::NoDde: break;
        case SearchMiss::Kind::NotRunning:
            WriteLine(stderr, std::string(program) + ": " + miss.place +
                                  " holds 0: Cartes du Ciel is not running, or its TCP/IP "
                                  "server is turned off");
            break;
        case SearchMiss::Kind::NotReached:
            if (miss.serverGiven) {
                const std::string address = AddressText(miss.address);
                WriteLine(stderr, std::string(program) + ": " + address + ": " + miss.why);
            }
            break;
        case SearchMiss::Kind::GreetingRefused: WriteLine(stderr, FromServerText(miss.why)); break;
    }
}

ReachedBy FindPlanetarium(const PlanetariumChoice& choice, const DdeAttempt& dde, TcpLink& tcp,
                          const char* program) {
    SearchMiss miss;
    const ReachedBy reached = SearchPlanetarium(choice, dde, choice.waitSeconds * 1000, tcp, miss);
    if (reached == ReachedBy::Nothing) ReportSearchMiss(miss, program);
    return reached;
}

bool DdeComesFirst(const PlanetariumChoice& choice) {
    if (choice.by == ReachBy::DdeOnly) return true;
    return choice.by == ReachBy::Local && !ReadLocalPort().isPort;
}

bool OpenClientDde(void* clientDde) {
    const ClientDde& client = *static_cast<const ClientDde*>(clientDde);
    if (OpenClientConversation(*client.link, client.callback, Unreached::Quiet)) return true;
    CloseConversation(*client.link);
    return false;
}
