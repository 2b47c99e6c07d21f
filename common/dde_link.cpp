#include "dde_link.h"

#include <cstdio>

namespace {

const char kServiceName[] = "ciel";
const char kTopicName[] = "DdeSkyChart";
const char kItemName[] = "DdeData";
const DWORD kPokeTimeoutMs = 1000;
const char kConnectFailureLine[] =
    "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\n";

}  // namespace

// Returns true when connected. Fills every field of link; on failure writes
// the one error line to standard error. A failed DdeInitializeA leaves the
// instance 0, so every later call fails and the connect failure reports it.
bool OpenConversation(DdeLink& link) {
    link.instance = 0;
    DdeInitializeA(&link.instance, nullptr, APPCLASS_MONITOR, 0);
    link.service = DdeCreateStringHandleA(link.instance, kServiceName, CP_WINANSI);
    link.topic = DdeCreateStringHandleA(link.instance, kTopicName, CP_WINANSI);
    link.item = DdeCreateStringHandleA(link.instance, kItemName, CP_WINANSI);
    link.conversation = DdeConnect(link.instance, link.service, link.topic, nullptr);
    if (link.conversation == nullptr) {
        std::fputs(kConnectFailureLine, stderr);
        std::fflush(stderr);
        return false;
    }
    return true;
}

// Returns nothing; releases everything OpenConversation created. Each call's
// failure is ignored: on the not-connected path the disconnect of a null
// conversation fails by design, and there is nothing left to do about the rest.
void CloseConversation(const DdeLink& link) {
    DdeDisconnect(link.conversation);
    DdeFreeStringHandle(link.instance, link.service);
    DdeFreeStringHandle(link.instance, link.topic);
    DdeFreeStringHandle(link.instance, link.item);
    DdeUninitialize(link.instance);
}

// Returns the transaction's result: non-null when the planetarium answered
// the poke in time. Stores the answer's flags in resultFlags unless that is
// null. The poke carries the text unchanged; DDE only reads the data it is
// given, so the text's bytes are passed as they stand.
HDDEDATA PokeText(const DdeLink& link, const std::string& text, DWORD timeoutMs,
                  LPDWORD resultFlags) {
    return DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(text.data())),
                                static_cast<DWORD>(text.size() + 1), link.conversation, link.item,
                                CF_TEXT, XTYP_POKE, timeoutMs, resultFlags);
}

// Returns whether a conversation was opened; changes nothing but the
// planetarium. The poke's own result is ignored: a slow command may still be
// carried out after the time-out, so that is not a known failure.
bool PokeCommandText(std::string commandText) {
    DdeLink link;
    const bool connected = OpenConversation(link);
    if (connected) PokeText(link, commandText, kPokeTimeoutMs, nullptr);
    CloseConversation(link);
    return connected;
}
