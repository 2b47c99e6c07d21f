// The floor for the DDE conversation itself: the same DDE calls as the
// programs under measurement make, in the same order, and nothing else (no
// argument splitting, no output).
//   minimal_client poke TEXT   |   minimal_client request
#include <windows.h>
#include <ddeml.h>

#include <cstring>

int main(int argc, char** argv) {
    const bool poke = argc > 2 && std::strcmp(argv[1], "poke") == 0;
    DWORD instance = 0;
    DdeInitializeA(&instance, nullptr, APPCLASS_MONITOR, 0);
    HSZ service = DdeCreateStringHandleA(instance, "ciel", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "DdeSkyChart", CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, "DdeData", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, nullptr);
    if (conversation != nullptr && poke) {
        DdeClientTransaction(reinterpret_cast<LPBYTE>(argv[2]),
                             static_cast<DWORD>(std::strlen(argv[2]) + 1), conversation, item,
                             CF_TEXT, XTYP_POKE, 1000, nullptr);
    } else if (conversation != nullptr) {
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT,
                                             XTYP_REQUEST, 120000, nullptr);
        DWORD size = 0;
        if (data != nullptr && DdeAccessData(data, &size) != nullptr) DdeUnaccessData(data);
    }
    DdeDisconnect(conversation);
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    DdeFreeStringHandle(instance, item);
    DdeUninitialize(instance);
    return 0;
}
