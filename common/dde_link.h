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

// Pokes the command text, its terminating NUL included, into "DdeData".
// Returns true when a conversation was opened (whatever the planetarium then
// made of the poke: a refused or unanswered poke is not reported), false when
// none could be, after writing the connect-failure line to standard error.
bool PokeCommandText(std::string commandText);

// Starts a conversation: initialises a DDE instance, creates the three name
// handles and connects. Returns true when connected; otherwise writes the
// connect-failure line to standard error and leaves link.conversation null.
// Either way the caller must end with CloseConversation.
bool OpenConversation(DdeLink& link);

// Pokes text, its terminating NUL included, into "DdeData" of the open
// conversation of link as CF_TEXT, waiting up to timeoutMs for the
// planetarium's acknowledgement. Returns null when the poke failed or was not
// answered in time (DdeGetLastError tells which); otherwise the planetarium
// answered, and resultFlags, unless null, receives the answer's flags
// (DDE_FACK when it took the command).
HDDEDATA PokeText(const DdeLink& link, const std::string& text, DWORD timeoutMs,
                  LPDWORD resultFlags);

// Ends what OpenConversation started: disconnects (also when never
// connected), frees the service, topic and item handles in that order and
// uninitialises the instance, which releases any data handle it received.
void CloseConversation(const DdeLink& link);

#endif
