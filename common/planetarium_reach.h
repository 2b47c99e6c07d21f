// Which way a program reaches the planetarium: its DDE server (only
// planetariums from before 2006 have one) or its TCP command server; where
// it looks, and how long it keeps looking.
#ifndef ZENOLT_COMMON_PLANETARIUM_REACH_H
#define ZENOLT_COMMON_PLANETARIUM_REACH_H

#include <string>

#include "dde_link.h"
#include "planetarium_place.h"
#include "tcp_conversation.h"

// A wait with no end (of SearchPlanetarium).
constexpr unsigned long kWaitForever = ~0UL;
// How often a wait repeats the whole search; a DDE server is asked for at
// every kDdeEveryLooks-th look (once a second), the first included.
constexpr unsigned long kSearchRoundMs = 250;
constexpr unsigned long kDdeEveryLooks = 4;

// Reads the environment's say in choice: ZENOLT_SERVER (HOST[:PORT], as
// --server takes it) unless placeGiven (an option said where to look), and
// ZENOLT_WAIT (whole seconds, 0 to kLongestWaitSeconds) unless waitGiven. A
// variable that is not set, or set to nothing, says nothing. Returns false
// when one it reads holds anything else, having written one line naming it
// to standard error ("<program>: ZENOLT_WAIT ..."): nothing is to be tried.
bool ReadPlanetariumEnvironment(PlanetariumChoice& choice, bool placeGiven, bool waitGiven,
                                const char* program);

// One try at the planetarium's DDE server, as a program opens it: returns
// whether a conversation opened (Zenolt and ZenoltDump have then also had
// their one transaction); one that did not open is torn down already.
struct DdeAttempt {
    bool (*open)(void* context);
    void* context;
};

// How a search ended.
enum class ReachedBy {
    Nothing,    // not found within the wait; SearchMiss says what the last look saw
    Dde,        // the DDE attempt opened its conversation
    Tcp,        // the TCP conversation is open and greeted
    QuitAsked,  // an end was requested during the wait (taken)
};

// What the last look of a search saw, for the report when it found nothing.
struct SearchMiss {
    enum class Kind {
        NoDde,            // DDE only, and no DDE server answered
        NotRunning,       // the published port is 0
        NotReached,       // the TCP server did not answer or greet; why says why
        GreetingRefused,  // it greeted with something else; why holds that line
    };
    Kind kind = Kind::NoDde;
    bool serverGiven = false;  // the address was given (--server, ZENOLT_SERVER)
    ServerAddress address;     // the TCP server tried
    std::string why;
    std::string place;         // where the port was published (for NotRunning)
};

// Looks for the planetarium where choice says, again every kSearchRoundMs
// until it greets or waitMs have passed (0: one look; kWaitForever: no end):
// each look reads the
// published port afresh (or takes the given server), tries the DDE
// attempt unless a port is published or a server given (over DDE only, the
// attempt alone; once a second, see kDdeEveryLooks), then connects and
// reads the greeting. Returns how it
// ended; with Tcp, tcp holds the greeted conversation (its event handler is
// kept from before, so that events told before the greeting reach it);
// otherwise nothing is left open and miss says what the last look saw. A
// wait costs no processor time: it sleeps between looks, and an end
// requested meanwhile (after StartQuitHandling) ends it at once.
ReachedBy SearchPlanetarium(const PlanetariumChoice& choice, const DdeAttempt& dde,
                            unsigned long waitMs, TcpLink& tcp, SearchMiss& miss);

// Writes to standard error what a search that found nothing says: the
// connect-failure line, and after it what more is known: the greeting that
// refused, "<program>: <address>: <reason>" for a server given, or where
// the published 0 was read and what it means.
void ReportSearchMiss(const SearchMiss& miss, const char* program);

// Searches for choice.waitSeconds, as SearchPlanetarium, and reports a miss.
ReachedBy FindPlanetarium(const PlanetariumChoice& choice, const DdeAttempt& dde, TcpLink& tcp,
                          const char* program);

// Returns whether the planetarium is to be tried over DDE first where
// choice says: not at a given server, nor where this computer's
// planetarium publishes a port (it then has no DDE server).
bool DdeComesFirst(const PlanetariumChoice& choice);

// A DDE attempt that opens a client conversation with a callback, as our
// own programs keep it (see OpenClientConversation).
struct ClientDde {
    DdeLink* link;
    PFNCALLBACK callback;
};
bool OpenClientDde(void* clientDde);

#endif
