#include "batch_run.h"

#include <cstdio>

#include "../common/conversation_wait.h"
#include "../common/data_record.h"

namespace {

// Returns nothing to every notification: the batch asks for no advise
// links, and a planetarium that ends is found by looking, not told.
HDDEDATA CALLBACK OnBatchEvent(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

// Where the batch writes what became of each command.
struct BatchOutput {
    const BatchArguments& arguments;
    BatchProgress* progress;
    BatchCounts& counts;
};

// Counts and reports what became of the command on line, and writes its
// record or JSON object, with reply when one was requested; the status line
// gives way first.
void Tell(BatchOutput& output, const CommandLine& line, CommandOutcome outcome,
          const Reply* reply) {
    if (output.progress != nullptr) ClearProgress(stderr, *output.progress);
    RecordOutcome(output.counts, stderr, line.number, line.text, outcome);
    if (output.arguments.json) {
        WriteCommandObject(stdout, line.number, line.text, outcome, reply, SystemAnsiCodePage());
    } else if (reply != nullptr) {
        WriteTextRecord(stdout, FormatRecordTime(CurrentRecordTime()), reply->bytes, reply->count);
    }
}

// Requests the item after the acknowledged command on line and tells it with
// what the item holds: a request that gives no data, or data that cannot be
// reached, is a reply of no bytes.
void TellWithReply(BatchOutput& output, const DdeLink& link, const CommandLine& line) {
    HDDEDATA data = RequestData(link, output.arguments.timeoutMs);
    DWORD size = 0;
    Reply reply;
    reply.bytes = data != nullptr ? DdeAccessData(data, &size) : nullptr;
    if (reply.bytes != nullptr) reply.count = size;
    Tell(output, line, CommandOutcome::Acknowledged, &reply);
    if (reply.bytes != nullptr) DdeUnaccessData(data);
}

void UpdateProgress(BatchOutput& output, const ScriptReader& reader) {
    if (output.progress == nullptr) return;
    ShowProgress(stderr, *output.progress, output.counts.sent, reader.bytesTaken, GetTickCount());
}

// Waits ms in the conversation, the status line kept up to date. Returns
// false as soon as the conversation is found lost.
bool Pause(BatchOutput& output, const DdeLink& link, const ScriptReader& reader, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return true;
        DWORD slice = ms - elapsed;
        if (output.progress != nullptr && slice > kProgressIntervalMs) slice = kProgressIntervalMs;
        if (WaitInConversation(link, slice) == WaitEnd::ConversationLost) return false;
        UpdateProgress(output, reader);
    }
}

}  // namespace

CommandOutcome PokeCommand(const DdeLink& link, const std::string& text, DWORD timeoutMs) {
    DWORD flags = 0;
    const HDDEDATA answer = PokeText(link, text, timeoutMs, &flags);
    if (answer != nullptr && (flags & DDE_FACK) != 0) return CommandOutcome::Acknowledged;
    const UINT error = answer == nullptr ? DdeGetLastError(link.instance) : DMLERR_NO_ERROR;
    // A planetarium that ends while a poke is on its way may answer it "not
    // processed", or the poke may fail in any other way: only the state of
    // the conversation tells that apart from a refusal or a slow command.
    if (!ConversationAlive(link)) return CommandOutcome::ConversationLost;
    // The planetarium answered without taking the command (Wine reports a
    // refusal this way; Windows as a failed transaction, below).
    if (answer != nullptr) return CommandOutcome::Refused;
    if (error == DMLERR_NOTPROCESSED || error == DMLERR_BUSY) return CommandOutcome::Refused;
    if (error == DMLERR_POKEACKTIMEOUT) return CommandOutcome::Unanswered;
    return CommandOutcome::ConversationLost;
}

BatchCounts RunBatch(ScriptReader& reader, const BatchArguments& arguments,
                     BatchProgress* progress) {
    BatchCounts counts;
    BatchOutput output = {arguments, progress, counts};
    if (progress != nullptr) progress->startMs = GetTickCount();
    DdeLink link;
    counts.reached = OpenClientConversation(link, OnBatchEvent);
    CommandLine line;
    bool poked = false;
    while (counts.reached && ReadCommandLine(reader, line)) {
        if (line.holdsNul) {
            Tell(output, line, CommandOutcome::HoldsNul, nullptr);
            continue;
        }
        if (poked && arguments.pauseMs > 0 && !Pause(output, link, reader, arguments.pauseMs)) {
            Tell(output, line, CommandOutcome::ConversationLost, nullptr);
            break;
        }
        poked = true;
        const CommandOutcome outcome = PokeCommand(link, line.text, arguments.timeoutMs);
        if (outcome == CommandOutcome::Acknowledged && arguments.replies) {
            TellWithReply(output, link, line);
        } else {
            Tell(output, line, outcome, nullptr);
        }
        if (outcome == CommandOutcome::ConversationLost) break;
        UpdateProgress(output, reader);
    }
    CloseConversation(link);
    if (counts.lost) {
        const unsigned long lostAt = line.number;
        unsigned long left = 1;
        while (ReadCommandLine(reader, line)) {
            ++left;
            if (arguments.json) {
                WriteCommandObject(stdout, line.number, line.text, CommandOutcome::ConversationLost,
                                   nullptr, SystemAnsiCodePage());
            }
        }
        counts.notSent += left - 1;
        ReportLostCommands(stderr, left, lostAt);
    }
    if (progress != nullptr) ClearProgress(stderr, *progress);
    counts.readFailed = reader.failed;
    counts.readError = reader.error;
    return counts;
}
