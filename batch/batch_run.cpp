#include "batch_run.h"

#include <cstdio>

CommandOutcome PokeCommand(const DdeLink& link, const std::string& text, DWORD timeoutMs) {
    DWORD flags = 0;
    const HDDEDATA answer = PokeText(link, text, timeoutMs, &flags);
    if (answer != nullptr && (flags & DDE_FACK) != 0) return CommandOutcome::Acknowledged;
    const UINT error = answer == nullptr ? DdeGetLastError(link.instance) : DMLERR_NO_ERROR;
    // A planetarium that ends while a poke is on its way may answer it "not
    // processed", or the poke may fail in any other way: only the state of
    // the conversation tells that apart from a refusal or a slow command.
    CONVINFO info = {};
    info.cb = sizeof info;
    if (DdeQueryConvInfo(link.conversation, QID_SYNC, &info) == 0 ||
        (info.wStatus & ST_CONNECTED) == 0) {
        return CommandOutcome::ConversationLost;
    }
    // The planetarium answered without taking the command (Wine reports a
    // refusal this way; Windows as a failed transaction, below).
    if (answer != nullptr) return CommandOutcome::Refused;
    if (error == DMLERR_NOTPROCESSED || error == DMLERR_BUSY) return CommandOutcome::Refused;
    if (error == DMLERR_POKEACKTIMEOUT) return CommandOutcome::Unanswered;
    return CommandOutcome::ConversationLost;
}

BatchCounts RunBatch(ScriptReader& reader, DWORD timeoutMs, DWORD pauseMs) {
    BatchCounts counts;
    DdeLink link;
    counts.reached = OpenConversation(link);
    CommandLine line;
    bool poked = false;
    while (counts.reached && ReadCommandLine(reader, line)) {
        if (line.holdsNul) {
            RecordOutcome(counts, stderr, line.number, line.text, CommandOutcome::HoldsNul);
            continue;
        }
        // Sleep, not a message loop: without a callback the DDE library must
        // not be handed the conversation's messages between transactions.
        if (poked && pauseMs > 0) Sleep(pauseMs);
        poked = true;
        const CommandOutcome outcome = PokeCommand(link, line.text, timeoutMs);
        RecordOutcome(counts, stderr, line.number, line.text, outcome);
        if (outcome == CommandOutcome::ConversationLost) break;
    }
    CloseConversation(link);
    if (counts.lost) {
        const unsigned long lostAt = line.number;
        unsigned long left = 1;
        while (ReadCommandLine(reader, line)) ++left;
        counts.notSent += left - 1;
        ReportLostCommands(stderr, left, lostAt);
    }
    counts.readFailed = reader.failed;
    counts.readError = reader.error;
    return counts;
}
