// The floor for the DDE conversation itself: the same DDE calls as the
// programs under measurement make, in the same order, and nothing else (no
// argument splitting, no script reading, no output but a watch's).
//   minimal_client poke TEXT   |   minimal_client request   |   minimal_client pokes N
//   minimal_client replies N   |   minimal_client listen
// "pokes N" pokes "GOXY X:<i> Y:<N-i>" for i from 0 to N-1 in one
// conversation, asking for each answer's flags, as a batch of N commands does.
// "replies N" makes the same pokes as a client with a callback and requests
// the item after each one, as a batch with --replies does. "listen" is the
// floor of a watch: a client with a callback that starts an advise link and
// writes each advised text and CR LF to standard output as it comes, until a
// WM_QUIT arrives.
#include <windows.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Link {
    DWORD instance = 0;
    HSZ service = nullptr, topic = nullptr, item = nullptr;
    HCONV conversation = nullptr;
};

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

Link Open(PFNCALLBACK callback, DWORD command) {
    Link l;
    DdeInitializeA(&l.instance, callback, command, 0);
    l.service = DdeCreateStringHandleA(l.instance, "ciel", CP_WINANSI);
    l.topic = DdeCreateStringHandleA(l.instance, "DdeSkyChart", CP_WINANSI);
    l.item = DdeCreateStringHandleA(l.instance, "DdeData", CP_WINANSI);
    l.conversation = DdeConnect(l.instance, l.service, l.topic, nullptr);
    return l;
}

void Close(const Link& l) {
    DdeDisconnect(l.conversation);
    DdeFreeStringHandle(l.instance, l.service);
    DdeFreeStringHandle(l.instance, l.topic);
    DdeFreeStringHandle(l.instance, l.item);
    DdeUninitialize(l.instance);
}

HDDEDATA Poke(const Link& l, const char* text, LPDWORD flags) {
    return DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<char*>(text)),
                                static_cast<DWORD>(std::strlen(text) + 1), l.conversation, l.item,
                                CF_TEXT, XTYP_POKE, 1000, flags);
}

void Request(const Link& l, DWORD timeoutMs) {
    HDDEDATA data = DdeClientTransaction(nullptr, 0, l.conversation, l.item, CF_TEXT, XTYP_REQUEST,
                                         timeoutMs, nullptr);
    DWORD size = 0;
    if (data != nullptr && DdeAccessData(data, &size) != nullptr) DdeUnaccessData(data);
}

// The pokes of "pokes N", each followed by a request with replies.
void Pokes(const Link& l, int count, bool replies) {
    char text[64];
    for (int i = 0; l.conversation != nullptr && i < count; ++i) {
        std::snprintf(text, sizeof text, "GOXY X:%d Y:%d", i, count - i);
        DWORD flags = 0;
        Poke(l, text, &flags);
        if (replies) Request(l, 1000);
    }
}

void Listen(const Link& l) {
    output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (l.conversation == nullptr ||
        !DdeClientTransaction(nullptr, 0, l.conversation, l.item, CF_TEXT, XTYP_ADVSTART, 5000,
                              nullptr)) {
        return;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    DdeClientTransaction(nullptr, 0, l.conversation, l.item, CF_TEXT, XTYP_ADVSTOP, 1000, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const char* mode = argc > 1 ? argv[1] : "";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    const bool withCallback = std::strcmp(mode, "listen") == 0 || std::strcmp(mode, "replies") == 0;
    const Link l = withCallback ? Open(OnAdvise, APPCMD_CLIENTONLY) : Open(nullptr, APPCLASS_MONITOR);
    if (std::strcmp(mode, "listen") == 0) {
        Listen(l);
    } else if (std::strcmp(mode, "replies") == 0) {
        Pokes(l, count, true);
    } else if (std::strcmp(mode, "pokes") == 0) {
        Pokes(l, count, false);
    } else if (std::strcmp(mode, "poke") == 0 && argc > 2 && l.conversation != nullptr) {
        Poke(l, argv[2], nullptr);
    } else if (l.conversation != nullptr) {
        Request(l, 120000);
    }
    Close(l);
    return 0;
}
