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
    Refused,           // the planetarium answered "not processed" (or busy), or over
                       // TCP with a refusal ("Failed! ...")
    Unanswered,        // no answer within the time-out
    ConversationLost,  // the planetarium ended or dropped the conversation
    HoldsNul,          // a NUL byte in it: it cannot be sent as text
    TooLong,           // over TCP, longer than the server takes in one line
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
    unsigned long notSent = 0;  // holding a NUL, too long, or from the one that found the conversation lost on
};

// Counts the outcome of the command text on line lineNumber and, unless it
// was acknowledged, writes its report line to err and flushes it, with
// ": " and the planetarium's answer after it when answer is not null:
//   line 12: refused: GOXY X:1 Y:2
//   line 5: refused: WARP 9: Failed! Bad command name
// A NUL byte in the text is written as \0.
void RecordOutcome(BatchCounts& counts, std::FILE* err, unsigned long lineNumber,
                   const std::string& text, CommandOutcome outcome,
                   const std::string* answer = nullptr);

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

// What the planetarium answered: over DDE what its item held after an
// acknowledged command (none, count 0, when the request gave no data), in
// the ANSI code page; over TCP its reply as received, in UTF-8.
struct Reply {
    const unsigned char* bytes = nullptr;
    std::size_t count = 0;
    bool utf8 = false;  // the bytes are UTF-8, whatever the command's code page
};

// Writes what became of the command text on line lineNumber as one line of
// JSON and CR LF to out (binary mode), and flushes it:
//   {"line":4,"command":"FIND CAT: M ID: 31","outcome":"acknowledged"}
// The outcome is acknowledged, refused, unanswered, not-sent-nul,
// not-sent-long or not-sent-lost. With a reply, "reply" follows with its
// text (up to the first NUL). Strings are plain ASCII, converted from
// codePage (a reply marked utf8 from UTF-8).
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
