#include "dde_link.h"

#include <cstdio>

#include "trace.h"

namespace {

const char kServiceName[] = "ciel";
const char kTopicName[] = "DdeSkyChart";
const char kItemName[] = "DdeData";
const DWORD kPokeTimeoutMs = 1000;
// How long the planetarium may take to accept or end an advise link. Ending
// one is part of shutting down, so a planetarium that does not answer holds
// the end up only briefly.
const DWORD kAdviseStartTimeoutMs = 5000;
const DWORD kAdviseStopTimeoutMs = 1000;
const char kConnectFailureLine[] =
    "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\n";

// Returns ", error 0x4009" and the like, the last DDE error of instance.
std::string ErrorText(DWORD instance) {
    char text[32];
    std::snprintf(text, sizeof text, ", error 0x%04X", DdeGetLastError(instance));
    return text;
}

// Says in the trace how a transaction of link ended: with a result, or
// without one (the last error then says why).
void TraceTransaction(const DdeLink& link, const std::string& what, bool answered,
                      const std::string& result) {
    if (!Tracing()) return;
    TraceNote("DDE: " + what + ": " + (answered ? result : "no answer" + ErrorText(link.instance)));
}

// Returns true when connected. Fills every field of link, the instance
// initialised with callback and command; on failure writes the one error
// line to standard error unless unreached is Quiet. A failed DdeInitializeA
// leaves the instance 0, so every later call fails and the connect failure
// reports it.
bool OpenConversationAs(DdeLink& link, PFNCALLBACK callback, DWORD command, Unreached unreached) {
    link.instance = 0;
    DdeInitializeA(&link.instance, callback, command, 0);
    link.service = DdeCreateStringHandleA(link.instance, kServiceName, CP_WINANSI);
    link.topic = DdeCreateStringHandleA(link.instance, kTopicName, CP_WINANSI);
    link.item = DdeCreateStringHandleA(link.instance, kItemName, CP_WINANSI);
    link.conversation = DdeConnect(link.instance, link.service, link.topic, nullptr);
    if (Tracing()) {
        TraceNote(link.conversation != nullptr
                      ? "DDE: connected to ciel, DdeSkyChart"
                      : "DDE: no conversation with ciel, DdeSkyChart" + ErrorText(link.instance));
    }
    if (link.conversation == nullptr) {
        if (unreached == Unreached::Report) WriteConnectFailureLine();
        return false;
    }
    return true;
}

}  // namespace

void WriteConnectFailureLine() {
    std::fputs(kConnectFailureLine, stderr);
    std::fflush(stderr);
}

bool OpenConversation(DdeLink& link, Unreached unreached) {
    return OpenConversationAs(link, nullptr, APPCLASS_MONITOR, unreached);
}

bool OpenClientConversation(DdeLink& link, PFNCALLBACK callback, Unreached unreached) {
    return OpenConversationAs(link, callback, APPCMD_CLIENTONLY, unreached);
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
    const HDDEDATA answer =
        DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(text.data())),
                             static_cast<DWORD>(text.size() + 1), link.conversation, link.item,
                             CF_TEXT, XTYP_POKE, timeoutMs, resultFlags);
    // Only a caller that asks for the answer's flags learns whether the
    // command was taken; the trace does not change the transaction to learn it.
    if (Tracing()) {
        const char* result = resultFlags == nullptr          ? "answered"
                             : (*resultFlags & DDE_FACK) != 0 ? "acknowledged"
                                                              : "answered, not taken";
        TraceTransaction(link, "poke of \"" + TraceShown(text.data(), text.size()) + "\"",
                         answer != nullptr, result);
    }
    return answer;
}

// Returns whether a conversation was opened; changes nothing but the
// planetarium. The poke's own result is ignored: a slow command may still be
// carried out after the time-out, so that is not a known failure.
bool PokeCommandText(std::string commandText, Unreached unreached) {
    DdeLink link;
    const bool connected = OpenConversation(link, unreached);
    if (connected) PokeText(link, commandText, kPokeTimeoutMs, nullptr);
    CloseConversation(link);
    return connected;
}

HDDEDATA RequestData(const DdeLink& link, DWORD timeoutMs) {
    const HDDEDATA data = DdeClientTransaction(nullptr, 0, link.conversation, link.item, CF_TEXT,
                                               XTYP_REQUEST, timeoutMs, nullptr);
    TraceTransaction(link, "request of DdeData", data != nullptr, "data");
    return data;
}

// Returns whether the planetarium answered the advise start with yes; a hot
// link (no XTYPF_NODATA), and no XTYPF_ACKREQ, so that the planetarium sends
// every value as it comes rather than the latest once the previous is taken.
bool StartAdviseLink(const DdeLink& link) {
    const bool started = DdeClientTransaction(nullptr, 0, link.conversation, link.item, CF_TEXT,
                                              XTYP_ADVSTART, kAdviseStartTimeoutMs,
                                              nullptr) != nullptr;
    TraceTransaction(link, "advise link on DdeData", started, "started");
    return started;
}

// Returns nothing; the link is over for this side whatever the answer.
void StopAdviseLink(const DdeLink& link) {
    DdeClientTransaction(nullptr, 0, link.conversation, link.item, CF_TEXT, XTYP_ADVSTOP,
                         kAdviseStopTimeoutMs, nullptr);
}
