// Watching the planetarium's data item: one record on standard output for
// each new value, in one DDE conversation.
#ifndef ZENOLT_WATCH_WATCH_RUN_H
#define ZENOLT_WATCH_WATCH_RUN_H

#include "watch_arguments.h"

// How often the watch asks for the item when the planetarium refuses to
// tell it of changes.
constexpr unsigned long kFallbackPollMs = 1000;
// How long the watch waits for the answer to one request of the item.
constexpr unsigned long kWatchRequestTimeoutMs = 5000;
// Over TCP, after this long with nothing from the planetarium, the watch
// asks it GETDATE (its reply is no record), to learn whether it still
// answers: a connection can stay open to a planetarium that hangs, or to a
// computer that slept.
constexpr unsigned long kTcpSilenceProbeMs = 10000;
// Over TCP, how long any question of the watch's may wait for its whole
// reply before the conversation counts as lost. Longer than a SEARCH of
// another client's, during which the planetarium answers nobody.
constexpr unsigned long kTcpWatchAnswerMs = 20000;

// Opens a conversation with the planetarium as a client with a callback
// (writing the connect-failure line to standard error when it cannot),
// writes the records that arguments ask for to standard output, each flushed
// at once, and tears the conversation down. Handles the calling thread's
// messages meanwhile: a WM_QUIT posted to the thread ends the watch cleanly.
// Returns the exit status: 0 when --count records were written or a quit was
// asked; 1 when the planetarium was not reached, the conversation was lost
// or standard output could no longer be written (one line on standard error
// says which); 2 when --timeout ran out (one line on standard error).
int RunWatch(const WatchArguments& arguments);

#endif
