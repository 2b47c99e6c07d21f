// A recording fake of the DDE management library for the host tests: every
// call is appended to fakeDde.calls as one readable line, and the fake
// answers as the platform would for the situation a test sets up.
#ifndef ZENOLT_TESTS_FAKE_DDE_H
#define ZENOLT_TESTS_FAKE_DDE_H

#include <string>
#include <vector>

#include "dde_platform.h"

// How the planetarium answers one poke, and what the conversation is then.
struct FakePokeAnswer {
    bool answered = true;     // the transaction returns non-null
    DWORD flags = DDE_FACK;   // stored in the result word, when answered
    UINT error = 0;           // DdeGetLastError's answer, when not answered
    bool connectedAfter = true;
};

// One answer to a request, for the requests in turn.
struct FakeRequestAnswer {
    bool givesData = true;
    std::string bytes;       // the item, when it gives data
    bool reachable = true;   // whether DdeAccessData can reach it
};

// Something that happens while a program waits in its conversation, at a
// time on the fake clock (GetTickCount).
struct FakeEvent {
    enum Kind {
        Advise,       // the planetarium advises a new value: bytes
        Quit,         // a WM_QUIT arrives, as a Ctrl+C would post it
        PartnerEnds,  // the planetarium's window is gone (no terminate, as under Wine)
    };
    DWORD atMs;
    Kind kind;
    std::string bytes;
};

// Where the fake clock starts: near the wrap of GetTickCount, so that code
// which compares ticks instead of their differences shows.
constexpr DWORD kFakeClockStart = 0xFFFFFF00;

struct FakeDde {
    // Set up by the test.
    bool initialisationFails = false;
    bool planetariumRunning = true;
    bool transactionGivesData = true;  // a request's answer, when connected
    bool dataReachable = true;         // whether DdeAccessData can reach the data
    // The data handle's contents, owned by the test.
    const unsigned char* itemBytes = nullptr;
    DWORD itemSize = 0;
    std::vector<FakePokeAnswer> pokeAnswers;  // for the pokes in turn; then acknowledged
    std::vector<FakeRequestAnswer> requestAnswers;  // for the requests in turn; then as above
    bool adviseAccepted = true;
    std::vector<FakeEvent> events;  // in time order, atMs counted from kFakeClockStart
    // The fake clock: moves only when the program waits.
    DWORD nowMs = kFakeClockStart;
    // Recorded by the fake.
    std::vector<std::string> calls;
    std::vector<unsigned char> pokedBytes;  // of the last poke
    std::vector<std::string> pokedTexts;    // of every poke, each with its NUL
};

extern FakeDde fakeDde;

// Forgets every setting and recording.
void ResetFakeDde();

// The instance the fake hands out.
constexpr DWORD kFakeInstance = 42;

// The calls a conversation opens with, as recorded, when the instance
// initialises: the three names are name1, name2 and name3. A client
// conversation initialises with its callback and APPCMD_CLIENTONLY.
std::vector<std::string> ExpectedOpening();
std::vector<std::string> ExpectedClientOpening();

// The recorded calls but those of kind (the start of their text), in order.
std::vector<std::string> CallsBut(std::initializer_list<std::string> kinds);

// How long the program has waited on the fake clock.
inline DWORD FakeMsWaited() { return fakeDde.nowMs - kFakeClockStart; }

// The calls a conversation closes with, as recorded: disconnecting
// "conversation" or "null", then freeing and uninitialising.
std::vector<std::string> ExpectedTeardown(const std::string& conversation);

// first followed by the lines of each of the rest.
std::vector<std::string> Joined(std::vector<std::string> first,
                                std::initializer_list<std::vector<std::string>> rest);

#endif
