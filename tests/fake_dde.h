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
// initialises: the three names are name1, name2 and name3.
std::vector<std::string> ExpectedOpening();

// The calls a conversation closes with, as recorded: disconnecting
// "conversation" or "null", then freeing and uninitialising.
std::vector<std::string> ExpectedTeardown(const std::string& conversation);

// first followed by the lines of each of the rest.
std::vector<std::string> Joined(std::vector<std::string> first,
                                std::initializer_list<std::vector<std::string>> rest);

#endif
