#include "data_request.h"

#include <cstdio>

#include "../common/dde_link.h"
#include "../common/planetarium_reach.h"
#include "../common/planetarium_state.h"
#include "../common/process_platform.h"
#include "../common/tcp_route.h"
#include "../common/text_lines.h"
#include "data_dump.h"

namespace {

const DWORD kRequestTimeoutMs = 120000;

// A DDE attempt that requests and prints the item in a conversation of its
// own, as ZenoltDump always has.
bool RequestAttempt(void*) { return RequestDataItem(Unreached::Quiet); }

}  // namespace

// Returns whether a conversation was opened; writes the dump to standard
// output. The item is printed straight from the data the DDE library holds:
// nothing is copied or allocated, so no length of data can fail the run or be
// cut short. Data that cannot be reached prints as a request that gave none.
// The data handle is not freed here: uninitialising the instance releases it.
bool RequestDataItem(Unreached unreached) {
    DdeLink link;
    const bool connected = OpenConversation(link, unreached);
    if (connected) {
        HDDEDATA data = RequestData(link, kRequestTimeoutMs);
        DWORD size = 0;
        const unsigned char* bytes = data != nullptr ? DdeAccessData(data, &size) : nullptr;
        // The size is only meaningful when the data could be reached.
        WriteDataDump(stdout, bytes, bytes != nullptr ? size : 0);
        if (bytes != nullptr) DdeUnaccessData(data);
    }
    CloseConversation(link);
    return connected;
}

// Over TCP the state is written as plain text (in the ANSI code page on Windows) to
// a binary stream: its count describes the bytes that follow, so its CR LF
// line ends go out as they are, not turned into CR CR LF.
int DumpPlanetarium(const PlanetariumChoice& choice) {
    const DdeAttempt dde = {RequestAttempt, nullptr};
    // Through a session when one serves: it holds a TCP planetarium's
    // conversation, so there is neither DDE nor a search to try.
    TcpRoute route;
    if (!ChooseTcpRoute(route, choice)) {
        switch (FindPlanetarium(choice, dde, route.own, "ZenoltDump")) {
            case ReachedBy::Dde: return 0;
            case ReachedBy::Tcp: break;
            case ReachedBy::Nothing:
            case ReachedBy::QuitAsked: return 1;
        }
    }
    std::string state;
    const bool answered =
        AskStateWith(SendOverRoute, &route, CurrentRecordTime(), kStateAnswerTimeoutMs, state);
    route.close(route);
    if (!answered) {
        WriteLine(stderr, "ZenoltDump: the planetarium closed the connection");
        return 1;
    }
    const std::string text = FromServerText(state);
    SetBinaryStream(stdout);
    WriteDataDump(stdout, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return 0;
}
