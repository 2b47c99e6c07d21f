#include "fake_dde.h"

#include <cstdint>
#include <sstream>

FakeDde fakeDde;

namespace {

HSZ const kHandles[] = {reinterpret_cast<HSZ>(0x1001), reinterpret_cast<HSZ>(0x1002),
                        reinterpret_cast<HSZ>(0x1003)};
HCONV const kConversation = reinterpret_cast<HCONV>(0x2001);
HDDEDATA const kData = reinterpret_cast<HDDEDATA>(0x3001);
int handlesCreated = 0;
std::size_t pokesAnswered = 0;
UINT lastError = 0;
bool connected = false;

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
    lastError = 0;
    connected = false;
}

UINT DdeInitializeA(LPDWORD instance, PFNCALLBACK callback, DWORD command, DWORD reserved) {
    fakeDde.calls.push_back("DdeInitializeA(instance=" + std::to_string(*instance) +
                            ", callback=" + (callback ? "set" : "null") +
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
    if (type == XTYP_REQUEST) return fakeDde.transactionGivesData ? kData : nullptr;
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
    if (size != nullptr) *size = fakeDde.itemSize;
    if (data != kData || !fakeDde.dataReachable) return nullptr;
    // An empty item still has a place in memory.
    static unsigned char empty = 0;
    return const_cast<LPBYTE>(fakeDde.itemBytes != nullptr ? fakeDde.itemBytes : &empty);
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
    return sizeof *info;
}

void Sleep(DWORD ms) { fakeDde.calls.push_back("Sleep(" + std::to_string(ms) + ")"); }
