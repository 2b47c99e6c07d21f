// The one DDE conversation with the planetarium (Cartes du Ciel): service
// "ciel", topic "DdeSkyChart", item "DdeData", CF_TEXT throughout.
#ifndef ZENOLT_COMMON_DDE_LINK_H
#define ZENOLT_COMMON_DDE_LINK_H

#include <string>

#include "dde_platform.h"

// The handles of one conversation, owned by the operation that opens it.
struct DdeLink {
    DWORD instance;
    HSZ service;
    HSZ topic;
    HSZ item;
    HCONV conversation;
};

// What opening a conversation does when no planetarium answers: write the
// connect-failure line to standard error, or leave that to the caller (who
// tries the planetarium's TCP command server next).
enum class Unreached { Report, Quiet };

// Writes the connect-failure line to standard error and flushes it:
//   ERROR: Unable to connect to Cartes du Ciel!  Is it running?
void WriteConnectFailureLine();

// Pokes the command text, its terminating NUL included, into "DdeData".
// Returns true when a conversation was opened (whatever the planetarium then
// made of the poke: a refused or unanswered poke is not reported), false when
// none could be, after writing the connect-failure line to standard error
// unless unreached is Quiet.
bool PokeCommandText(std::string commandText, Unreached unreached = Unreached::Report);

// Starts a conversation: initialises a DDE instance, creates the three name
// handles and connects. Returns true when connected; otherwise writes the
// connect-failure line to standard error (unless unreached is Quiet) and
// leaves link.conversation null.
// Either way the caller must end with CloseConversation.
//
// The instance is of the monitor class, with no callback: the one
// transaction of Zenolt and ZenoltDump needs nothing more, and that is how
// they have always talked to the planetarium.
bool OpenConversation(DdeLink& link, Unreached unreached = Unreached::Report);

// Starts a conversation as a documented DDE client: the same as
// OpenConversation (names, connect-failure line, and CloseConversation to
// end it), but the instance is initialised with APPCMD_CLIENTONLY and
// callback, which the DDE library calls with the conversation's
// notifications (advise data, the planetarium's disconnect) while the
// calling thread handles its messages (see WaitInConversation).
bool OpenClientConversation(DdeLink& link, PFNCALLBACK callback,
                            Unreached unreached = Unreached::Report);

// Pokes text, its terminating NUL included, into "DdeData" of the open
// conversation of link as CF_TEXT, waiting up to timeoutMs for the
// planetarium's acknowledgement. Returns null when the poke failed or was not
// answered in time (DdeGetLastError tells which); otherwise the planetarium
// answered, and resultFlags, unless null, receives the answer's flags
// (DDE_FACK when it took the command).
HDDEDATA PokeText(const DdeLink& link, const std::string& text, DWORD timeoutMs,
                  LPDWORD resultFlags);

// Requests "DdeData" as CF_TEXT in the open conversation of link, waiting up
// to timeoutMs. Returns the data handle, or null when the planetarium gave no
// data (refused, or no answer in time). The handle is released with the
// instance.
HDDEDATA RequestData(const DdeLink& link, DWORD timeoutMs);

// Asks the planetarium for a hot advise link on "DdeData" in CF_TEXT: each
// new value then arrives at the instance's callback as XTYP_ADVDATA.
// Returns whether the planetarium accepted it.
bool StartAdviseLink(const DdeLink& link);

// Ends the advise link StartAdviseLink started; the planetarium's answer,
// or its absence, changes nothing.
void StopAdviseLink(const DdeLink& link);

// Ends what OpenConversation or OpenClientConversation started: disconnects (also when never
// connected), frees the service, topic and item handles in that order and
// uninitialises the instance, which releases any data handle it received.
void CloseConversation(const DdeLink& link);

#endif
