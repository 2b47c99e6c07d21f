// A recording fake of the DDE management library for the host tests: every
// call is appended to fakeDde.calls as one readable line, and the fake
// answers as the platform would for the situation a test sets up.
#ifndef ZENOLT_TESTS_FAKE_DDE_H
#define ZENOLT_TESTS_FAKE_DDE_H

#include <string>
#include <vector>

#include "dde_platform.h"

struct FakeDde {
    // Set up by the test.
    bool initialisationFails = false;
    bool planetariumRunning = true;
    bool transactionGivesData = true;    // a request's answer, when connected
    std::vector<unsigned char> itemData;  // the data handle's contents
    // Recorded by the fake.
    std::vector<std::string> calls;
    std::vector<unsigned char> pokedBytes;
};

extern FakeDde fakeDde;

// Forgets every setting and recording.
void ResetFakeDde();

// The handles and instance the fake hands out, as they appear in fakeDde.calls.
constexpr DWORD kFakeInstance = 42;

#endif
