// A session at work: one conversation with the planetarium, held for the
// programs that connect to its endpoint, their commands sent one at a time
// in the order they arrive.
#ifndef ZENOLT_SESSION_SESSION_SERVE_H
#define ZENOLT_SESSION_SESSION_SERVE_H

#include "../common/planetarium_place.h"
#include "../common/session_platform.h"

struct SessionSettings {
    bool serverGiven = false;  // the planetarium at server only; else the
    ServerAddress server;      // one whose port this computer publishes
    unsigned long idleMs = 0;  // end after this long unused; 0, never
};

// Serves the programs that connect to endpoint: one thread waits for them,
// one more serves each, sending its program's requests in the one
// conversation with the planetarium, turn by turn in the order they arrive.
// The conversation is opened at once, and again after a loss whenever a
// program asks (the planetarium found afresh, as the programs find it, so
// one restarted on another port is found). Between requests this thread
// reads what the planetarium sent unasked. Ends when a program asks it to
// stop, after settings.idleMs without a command and without a program
// connected, on a request to end
// (Ctrl+C, SIGINT, SIGTERM), or when command (unless null) has ended; then
// it says goodbye to the planetarium and removes endpoint. With command,
// waits for it to end in any case and returns its exit status; otherwise
// returns 0.
int ServeSession(SessionEndpoint& endpoint, const SessionSettings& settings,
                 SessionCommand* command);

#endif
