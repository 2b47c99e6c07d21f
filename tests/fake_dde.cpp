#include "fake_dde.h"

#include <cstdint>
#include <sstream>

#include "data_record.h"
#include "fake_code_page.h"

FakeDde fakeDde;

namespace {

HSZ const kHandles[] = {reinterpret_cast<HSZ>(0x1001), reinterpret_cast<HSZ>(0x1002),
                        reinterpret_cast<HSZ>(0x1003)};
HCONV const kConversation = reinterpret_cast<HCONV>(0x2001);
HDDEDATA const kData = reinterpret_cast<HDDEDATA>(0x3001);
HWND const kPartnerWindow = reinterpret_cast<HWND>(0x4001);
// The message that stands for an advise in the fake queue.
const UINT kAdviseMessage = 0xC001;
int handlesCreated = 0;
std::size_t pokesAnswered = 0;
std::size_t requestsAnswered = 0;
UINT lastError = 0;
bool connected = false;
PFNCALLBACK callback = nullptr;
// What the data handle holds now: the last request's answer or advise.
const unsigned char* dataBytes = nullptr;
DWORD dataSize = 0;
bool dataReachable = true;
std::size_t nextEvent = 0;
bool partnerGone = false;
bool quitPosted = false;
unsigned long looks = 0;

std::string NameOf(const void* handle) {
    if (handle == nullptr) return "null";
    if (handle == kConversation) return "conversation";
    if (handle == kData) return "data";
    for (int i = 0; i < 3; ++i) {
        if (handle == kHandles[i]) return "name" + std::to_string(i + 1);
    }
    return "unknown";
}

std::string Hex(unsigned value) {
    std::ostringstream out;
    out << "0x" << std::hex << std::uppercase << value;
    return out.str();
}

bool Live(DWORD instance) { return instance == kFakeInstance; }

}  // namespace

std::vector<std::string> ExpectedOpening() {
    return {
        "DdeInitializeA(instance=0, callback=null, command=0x1, reserved=0)",
        "DdeCreateStringHandleA(instance=42, name=ciel, codePage=1004)",
        "DdeCreateStringHandleA(instance=42, name=DdeSkyChart, codePage=1004)",
        "DdeCreateStringHandleA(instance=42, name=DdeData, codePage=1004)",
        "DdeConnect(instance=42, service=name1, topic=name2, context=null)",
    };
}

std::vector<std::string> ExpectedClientOpening() {
    std::vector<std::string> calls = ExpectedOpening();
    calls[0] = "DdeInitializeA(instance=0, callback=set, command=0x10, reserved=0)";
    return calls;
}

std::vector<std::string> CallsBut(std::initializer_list<std::string> kinds) {
    std::vector<std::string> kept;
    for (const std::string& call : fakeDde.calls) {
        bool left = false;
        for (const std::string& kind : kinds) left = left || call.rfind(kind, 0) == 0;
        if (!left) kept.push_back(call);
    }
    return kept;
}

std::vector<std::string> ExpectedTeardown(const std::string& conversation) {
    return {
        "DdeDisconnect(" + conversation + ")",
        "DdeFreeStringHandle(instance=42, name1)",
        "DdeFreeStringHandle(instance=42, name2)",
        "DdeFreeStringHandle(instance=42, name3)",
        "DdeUninitialize(instance=42)",
    };
}

std::vector<std::string> Joined(std::vector<std::string> first,
                                std::initializer_list<std::vector<std::string>> rest) {
    for (const std::vector<std::string>& lines : rest) {
        first.insert(first.end(), lines.begin(), lines.end());
    }
    return first;
}

void ResetFakeDde() {
    fakeDde = FakeDde();
    handlesCreated = 0;
    pokesAnswered = 0;
    requestsAnswered = 0;
    lastError = 0;
    connected = false;
    callback = nullptr;
    dataBytes = nullptr;
    dataSize = 0;
    dataReachable = true;
    nextEvent = 0;
    partnerGone = false;
    quitPosted = false;
    looks = 0;
}

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK function, DWORD command, DWORD reserved) {
    callback = function;
    fakeDde.calls.push_back("DdeInitializeA(instance=" + std::to_string(*instance) +
                            ", callback=" + (function ? "set" : "null") +
                            ", command=" + Hex(command) + ", reserved=" +
                            std::to_string(reserved) + ")");
    if (fakeDde.initialisationFails) return 0x4006;  // DMLERR_DLL_USAGE
    *instance = kFakeInstance;
    return 0;
}

HSZ DdeCreateStringHandleA(DWORD instance, LPCSTR name, int codePage) {
    fakeDde.calls.push_back("DdeCreateStringHandleA(instance=" + std::to_string(instance) +
                            ", name=" + name + ", codePage=" + std::to_string(codePage) + ")");
    if (!Live(instance) || handlesCreated >= 3) return nullptr;
    return kHandles[handlesCreated++];
}

HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, PCONVCONTEXT context) {
    fakeDde.calls.push_back("DdeConnect(instance=" + std::to_string(instance) +
                            ", service=" + NameOf(service) + ", topic=" + NameOf(topic) +
                            ", context=" + NameOf(context) + ")");
    if (!Live(instance) || !fakeDde.planetariumRunning) return nullptr;
    connected = true;
    return kConversation;
}

HDDEDATA DdeClientTransaction(LPBYTE data, DWORD length, HCONV conversation, HSZ item,
                              UINT format, UINT type, DWORD timeout, LPDWORD result) {
    fakeDde.calls.push_back("DdeClientTransaction(data=" + std::string(data ? "set" : "null") +
                            ", length=" + std::to_string(length) +
                            ", conversation=" + NameOf(conversation) +
                            ", item=" + NameOf(item) + ", format=" + std::to_string(format) +
                            ", type=" + Hex(type) + ", timeout=" + std::to_string(timeout) +
                            ", result=" + (result ? "set" : "null") + ")");
    if (type == XTYP_ADVSTART) return fakeDde.adviseAccepted ? reinterpret_cast<HDDEDATA>(1) : nullptr;
    if (type == XTYP_ADVSTOP) return reinterpret_cast<HDDEDATA>(1);
    if (type == XTYP_REQUEST) {
        bool givesData = fakeDde.transactionGivesData;
        dataBytes = fakeDde.itemBytes;
        dataSize = fakeDde.itemSize;
        dataReachable = true;
        if (requestsAnswered < fakeDde.requestAnswers.size()) {
            const FakeRequestAnswer& answer = fakeDde.requestAnswers[requestsAnswered];
            givesData = answer.givesData;
            dataReachable = answer.reachable;
            dataBytes = reinterpret_cast<const unsigned char*>(answer.bytes.data());
            dataSize = static_cast<DWORD>(answer.bytes.size());
        }
        ++requestsAnswered;
        return givesData ? kData : nullptr;
    }
    fakeDde.pokedBytes.assign(data, data + length);
    fakeDde.pokedTexts.emplace_back(reinterpret_cast<const char*>(data), length);
    FakePokeAnswer answer;
    if (pokesAnswered < fakeDde.pokeAnswers.size()) answer = fakeDde.pokeAnswers[pokesAnswered];
    ++pokesAnswered;
    connected = answer.connectedAfter;
    if (!answer.answered) {
        lastError = answer.error;
        return nullptr;
    }
    if (result != nullptr) *result = answer.flags;
    return reinterpret_cast<HDDEDATA>(1);
}

// Unreachable data leaves the size as the platform leaves it, unspecified:
// the fake writes the item's size there all the same, so that code which
// trusts the size without the pointer shows.
LPBYTE DdeAccessData(HDDEDATA data, LPDWORD size) {
    fakeDde.calls.push_back("DdeAccessData(data=" + NameOf(data) +
                            ", size=" + (size ? "set" : "null") + ")");
    if (size != nullptr) *size = dataSize;
    if (data != kData || !fakeDde.dataReachable || !dataReachable) return nullptr;
    // An empty item still has a place in memory.
    static unsigned char empty = 0;
    return const_cast<LPBYTE>(dataBytes != nullptr ? dataBytes : &empty);
}

BOOL DdeUnaccessData(HDDEDATA data) {
    fakeDde.calls.push_back("DdeUnaccessData(" + NameOf(data) + ")");
    return data == kData;
}

BOOL DdeDisconnect(HCONV conversation) {
    fakeDde.calls.push_back("DdeDisconnect(" + NameOf(conversation) + ")");
    return conversation == kConversation;
}

BOOL DdeFreeStringHandle(DWORD instance, HSZ name) {
    fakeDde.calls.push_back("DdeFreeStringHandle(instance=" + std::to_string(instance) + ", " +
                            NameOf(name) + ")");
    return Live(instance) && name != nullptr;
}

BOOL DdeUninitialize(DWORD instance) {
    fakeDde.calls.push_back("DdeUninitialize(instance=" + std::to_string(instance) + ")");
    return Live(instance);
}

UINT DdeGetLastError(DWORD instance) {
    fakeDde.calls.push_back("DdeGetLastError(instance=" + std::to_string(instance) + ")");
    const UINT error = lastError;
    lastError = 0;
    return error;
}

UINT DdeQueryConvInfo(HCONV conversation, DWORD transaction, PCONVINFO info) {
    fakeDde.calls.push_back("DdeQueryConvInfo(" + NameOf(conversation) + ", transaction=" +
                            Hex(transaction) + ")");
    if (conversation != kConversation || info == nullptr) return 0;
    info->wStatus = connected ? ST_CONNECTED : 0;
    info->hwndPartner = kPartnerWindow;
    return sizeof *info;
}

BOOL IsWindow(HWND window) { return window == kPartnerWindow && !partnerGone; }

// Returns the next event that is due on the fake clock as a message (an end
// of the partner is taken at once and gives none), then a quit that
// PostQuitMessage asked for, which comes after every other message. A
// program that would wait for ever, or spin without the clock moving, would
// hang the test: after an hour on the fake clock or a million looks at the
// queue, that is recorded, so the test fails, and ended with a quit.
BOOL PeekMessageA(LPMSG message, HWND, UINT, UINT, UINT) {
    if (++looks == 1000000 || (FakeMsWaited() > 3600000 && !quitPosted)) {
        fakeDde.calls.push_back("PeekMessageA: the program never stops waiting");
        quitPosted = true;
    }
    // One that spins on regardless gets its time moved on, so it ends.
    if (looks > 1000000) fakeDde.nowMs += 3600001;
    while (nextEvent < fakeDde.events.size() && fakeDde.events[nextEvent].atMs <= FakeMsWaited()) {
        const FakeEvent& event = fakeDde.events[nextEvent++];
        if (event.kind == FakeEvent::PartnerEnds) {
            partnerGone = true;
            continue;
        }
        *message = MSG{nullptr, event.kind == FakeEvent::Quit ? WM_QUIT : kAdviseMessage,
                       nextEvent - 1, 0};
        return TRUE;
    }
    if (!quitPosted) return FALSE;
    quitPosted = false;
    *message = MSG{nullptr, WM_QUIT, 0, 0};
    return TRUE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

// Hands an advise to the instance's callback, as the DDE library's window
// would, and records what the callback answered.
LRESULT DispatchMessageA(const MSG* message) {
    if (message->message != kAdviseMessage || callback == nullptr) return 0;
    const FakeEvent& event = fakeDde.events[message->wParam];
    dataBytes = reinterpret_cast<const unsigned char*>(event.bytes.data());
    dataSize = static_cast<DWORD>(event.bytes.size());
    dataReachable = true;
    const HDDEDATA answer =
        callback(XTYP_ADVDATA, CF_TEXT, kConversation, kHandles[1], kHandles[2], kData, 0, 0);
    fakeDde.calls.push_back("callback(XTYP_ADVDATA) answered " +
                            Hex(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(answer))));
    return 0;
}

void PostQuitMessage(int) { quitPosted = true; }

// Moves the fake clock on by ms, or up to the next event that brings a
// message if that comes sooner (a partner that ends brings none).
DWORD MsgWaitForMultipleObjects(DWORD, const HANDLE*, BOOL, DWORD ms, DWORD) {
    fakeDde.calls.push_back("MsgWaitForMultipleObjects(ms=" + std::to_string(ms) + ")");
    if (quitPosted) return 0;
    std::size_t next = nextEvent;
    while (next < fakeDde.events.size() && fakeDde.events[next].kind == FakeEvent::PartnerEnds) {
        ++next;
    }
    if (next < fakeDde.events.size()) {
        const DWORD until = fakeDde.events[next].atMs - FakeMsWaited();
        if (until <= ms) {
            fakeDde.nowMs += until;
            return 0;
        }
    } else if (ms == INFINITE) {
        fakeDde.nowMs += 3600001;
        return WAIT_TIMEOUT;
    }
    fakeDde.nowMs += ms;
    return WAIT_TIMEOUT;
}

DWORD GetTickCount() { return fakeDde.nowMs; }

RecordTime CurrentRecordTime() { return {2026, 12, 7, 21, 14, 3, 120, 60}; }

const AnsiCodePage& SystemAnsiCodePage() { return FakeCodePage(); }
