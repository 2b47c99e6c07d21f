// Which way a program reaches the planetarium: its DDE server (only
// planetariums from before 2006 have one) or its TCP command server.
#ifndef ZENOLT_COMMON_PLANETARIUM_REACH_H
#define ZENOLT_COMMON_PLANETARIUM_REACH_H

#include "dde_link.h"
#include "planetarium_place.h"
#include "tcp_conversation.h"

// Where a program was told to look for the planetarium.
enum class ReachBy {
    Local,       // DDE first; when no DDE conversation opens, the TCP server
                 // at the port the planetarium publishes on this computer
    DdeOnly,     // DDE only (--dde)
    ServerOnly,  // the TCP server at a given address only (--server)
};

struct PlanetariumChoice {
    ReachBy by = ReachBy::Local;
    ServerAddress server;  // for ServerOnly
};

// Opens the TCP conversation choice asks for (Local: this computer's
// planetarium; ServerOnly: the address given). Returns true once the server
// has greeted. Otherwise writes to standard error the connect-failure line
// and after it what more is known: the greeting the server refused with, or,
// for an address given, "<program>: <address>: <reason>"; returns false. The
// caller ends with CloseTcpConversation either way.
bool OpenTcpOrReport(TcpLink& link, const PlanetariumChoice& choice, const char* program);

// Which conversation OpenClientOrTcp opened.
enum class ReachedBy { Nothing, Dde, Tcp };

// Opens the conversation choice asks for, as a program of our own that
// stays in it: DDE as a documented client with callback first (unless a
// server is given), then, unless DDE alone is asked for, TCP. Returns which
// one is open (the caller ends it with CloseConversation or
// CloseTcpConversation), or Nothing, having written the connect-failure
// line and what more is known to standard error, with nothing left open.
ReachedBy OpenClientOrTcp(DdeLink& dde, PFNCALLBACK callback, TcpLink& tcp,
                          const PlanetariumChoice& choice, const char* program);

#endif
