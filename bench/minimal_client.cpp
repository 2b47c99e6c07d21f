// The floor for the DDE conversation itself: the same DDE calls as the
// programs under measurement make, in the same order, and nothing else (no
// argument splitting, no script reading, no output).
//   minimal_client poke TEXT   |   minimal_client request   |   minimal_client pokes N
// "pokes N" pokes "GOXY X:<i> Y:<N-i>" for i from 0 to N-1 in one
// conversation, asking for each answer's flags, as a batch of N commands does.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const bool poke = argc > 2 && std::strcmp(argv[1], "poke") == 0;
    const bool pokes = argc > 2 && std::strcmp(argv[1], "pokes") == 0;
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
    } else if (conversation != nullptr && pokes) {
        const int count = std::atoi(argv[2]);
        char text[64];
        for (int i = 0; i < count; ++i) {
            const int length = std::snprintf(text, sizeof text, "GOXY X:%d Y:%d", i, count - i);
            DWORD flags = 0;
            DdeClientTransaction(reinterpret_cast<LPBYTE>(text), static_cast<DWORD>(length + 1),
                                 conversation, item, CF_TEXT, XTYP_POKE, 1000, &flags);
        }
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
