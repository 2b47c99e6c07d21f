// The floor for the DDE conversation itself: the same DDE calls as the
// programs under measurement make, in the same order, and nothing else (no
// argument splitting, no script reading, no output).
//   minimal_client poke TEXT   |   minimal_client request   |   minimal_client pokes N
//   minimal_client listen   |   minimal_client replies N
// "pokes N" pokes "GOXY X:<i> Y:<N-i>" for i from 0 to N-1 in one
// conversation, asking for each answer's flags, as a batch of N commands does.
// "listen" is the floor of a watch: a client with a callback that starts an
// advise link and writes each advised text and CR LF to standard output as
// it comes, until a WM_QUIT arrives. "replies N" makes the pokes of "pokes N"
// as a client with a callback and requests the item after each one, as a
// batch with --replies does.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HANDLE output = nullptr;

HDDEDATA CALLBACK OnAdvise(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
    if (type != XTYP_ADVDATA) return nullptr;
    DWORD size = 0;
    const BYTE* bytes = DdeAccessData(data, &size);
    if (bytes != nullptr) {
        DWORD length = 0, written = 0;
        while (length < size && bytes[length] != 0) ++length;
        WriteFile(output, bytes, length, &written, nullptr);
        WriteFile(output, "\r\n", 2, &written, nullptr);
        DdeUnaccessData(data);
    }
    return reinterpret_cast<HDDEDATA>(DDE_FACK);
}

HDDEDATA CALLBACK OnNothing(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

int Replies(int count) {
    DWORD instance = 0;
    DdeInitializeA(&instance, OnNothing, APPCMD_CLIENTONLY, 0);
    HSZ service = DdeCreateStringHandleA(instance, "ciel", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "DdeSkyChart", CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, "DdeData", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, nullptr);
    char text[64];
    for (int i = 0; conversation != nullptr && i < count; ++i) {
        const int length = std::snprintf(text, sizeof text, "GOXY X:%d Y:%d", i, count - i);
        DWORD flags = 0;
        DdeClientTransaction(reinterpret_cast<LPBYTE>(text), static_cast<DWORD>(length + 1),
                             conversation, item, CF_TEXT, XTYP_POKE, 1000, &flags);
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST,
                                             1000, nullptr);
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

int Listen() {
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD instance = 0;
    DdeInitializeA(&instance, OnAdvise, APPCMD_CLIENTONLY, 0);
    HSZ service = DdeCreateStringHandleA(instance, "ciel", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(instance, "DdeSkyChart", CP_WINANSI);
    HSZ item = DdeCreateStringHandleA(instance, "DdeData", CP_WINANSI);
    HCONV conversation = DdeConnect(instance, service, topic, nullptr);
    if (conversation != nullptr &&
        DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_ADVSTART, 5000, nullptr)) {
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
        DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_ADVSTOP, 1000, nullptr);
    }
    DdeDisconnect(conversation);
    DdeFreeStringHandle(instance, service);
    DdeFreeStringHandle(instance, topic);
    DdeFreeStringHandle(instance, item);
    DdeUninitialize(instance);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "listen") == 0) return Listen();
    if (argc == 3 && std::strcmp(argv[1], "replies") == 0) return Replies(std::atoi(argv[2]));
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
