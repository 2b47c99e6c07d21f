// What became of the commands of a batch: counting them, the report line of
// each command that was not acknowledged, the summary and the exit status.
#ifndef ZENOLT_BATCH_BATCH_REPORT_H
#define ZENOLT_BATCH_BATCH_REPORT_H

#include <cstddef>
#include <cstdio>
#include <string>

#include "../common/data_record.h"

// What became of one command line.
enum class CommandOutcome {
    Acknowledged,      // the planetarium took it
    Refused,           // the planetarium answered "not processed" (or busy)
    Unanswered,        // no answer within the time-out
    ConversationLost,  // the planetarium ended or dropped the conversation
    HoldsNul,          // a NUL byte in it: it cannot be sent as text
};

struct BatchCounts {
    bool reached = false;  // a conversation was opened
    bool lost = false;     // and was lost part way
    bool readFailed = false;
    int readError = 0;     // errno of the read error
    unsigned long sent = 0;  // acknowledged + refused + unanswered
    unsigned long acknowledged = 0;
    unsigned long refused = 0;
    unsigned long unanswered = 0;
    unsigned long notSent = 0;  // holding a NUL, or from the one that found the conversation lost on
};

// Counts the outcome of the command text on line lineNumber and, unless it
// was acknowledged, writes its report line to err and flushes it:
//   line 12: refused: GOXY X:1 Y:2
// A NUL byte in the text is written as \0.
void RecordOutcome(BatchCounts& counts, std::FILE* err, unsigned long lineNumber,
                   const std::string& text, CommandOutcome outcome);

// Writes to err, and flushes, how many command lines were not sent because
// the conversation was lost at line fromLine.
void ReportLostCommands(std::FILE* err, unsigned long count, unsigned long fromLine);

// Writes to err, and flushes, that the script called name cannot be read,
// with the system's reason for the errno value error:
//   ZenoltBatch: cannot read talk.txt: No such file or directory
void ReportUnreadableScript(std::FILE* err, const std::string& name, int error);

// Writes the summary line to out and flushes it:
//   sent 3, acknowledged 1, refused 1, unanswered 1, not sent 2
void PrintSummary(std::FILE* out, const BatchCounts& counts);

// What the planetarium's item held after an acknowledged command: the bytes
// received (none, count 0, when the request gave no data).
struct Reply {
    const unsigned char* bytes = nullptr;
    std::size_t count = 0;
};

// Writes what became of the command text on line lineNumber as one line of
// JSON and CR LF to out (binary mode), and flushes it:
//   {"line":4,"command":"FIND CAT: M ID: 31","outcome":"acknowledged"}
// The outcome is acknowledged, refused, unanswered, not-sent-nul or
// not-sent-lost. With a reply, "reply" follows with its text (up to the
// first NUL). Strings are plain ASCII, converted from codePage.
void WriteCommandObject(std::FILE* out, unsigned long lineNumber, const std::string& text,
                        CommandOutcome outcome, const Reply* reply, const AnsiCodePage& codePage);

// Writes the counts as one line of JSON and CR LF to out (binary mode), and
// flushes it:
//   {"sent":3,"acknowledged":1,"refused":1,"unanswered":1,"notSent":2}
void PrintJsonSummary(std::FILE* out, const BatchCounts& counts);

// Returns the exit status for a finished batch: 1 when the planetarium was not
// reached or the conversation was lost, 3 when the script could not be read to
// its end, 2 when some command was refused, unanswered or not sent, else 0.
int BatchExitStatus(const BatchCounts& counts);

#endif
