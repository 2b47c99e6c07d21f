#include "batch_run.h"

#include <cstdio>

#include "../common/conversation_wait.h"
#include "../common/data_record.h"
#include "../common/tcp_platform.h"
#include "../common/tcp_route.h"

namespace {

// Returns nothing to every notification: the batch asks for no advise
// links, and a planetarium that ends is found by looking, not told.
HDDEDATA CALLBACK OnBatchEvent(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

// The conversation of a batch: over DDE or over TCP, whichever opened.
struct BatchLink {
    DdeLink dde = {};
    TcpRoute tcp;  // through a session, or a conversation of the batch's own
};

// Where the batch writes what became of each command.
struct BatchOutput {
    const BatchArguments& arguments;
    BatchProgress* progress;
    BatchCounts& counts;
};

// One way of talking to the planetarium, chosen once when the conversation
// opens; nothing after that asks which it is.
struct BatchWay {
    // Returns the outcome line will have if it is not sent: HoldsNul or
    // TooLong; Acknowledged when it can be sent.
    CommandOutcome (*check)(const CommandLine& line);
    // Sends line's command, then counts, reports and writes what became of it.
    CommandOutcome (*send)(BatchOutput& output, BatchLink& link, const CommandLine& line);
    // Waits ms in the conversation; returns false as soon as it is lost.
    bool (*wait)(BatchLink& link, DWORD ms);
    void (*close)(BatchLink& link);
};

// Counts and reports what became of the command on line, and writes its
// record or JSON object, with reply when there is one to write; the status
// line gives way first. answer, unless null, ends the report line.
void Tell(BatchOutput& output, const CommandLine& line, CommandOutcome outcome,
          const Reply* reply, const std::string* answer = nullptr) {
    if (output.progress != nullptr) ClearProgress(stderr, *output.progress);
    RecordOutcome(output.counts, stderr, line.number, line.text, outcome, answer);
    if (output.arguments.json) {
        WriteCommandObject(stdout, line.number, line.text, outcome, reply, SystemAnsiCodePage());
    } else if (reply != nullptr && output.arguments.replies &&
               outcome == CommandOutcome::Acknowledged) {
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

CommandOutcome CheckForDde(const CommandLine& line) {
    return line.holdsNul ? CommandOutcome::HoldsNul : CommandOutcome::Acknowledged;
}

CommandOutcome SendOverDde(BatchOutput& output, BatchLink& link, const CommandLine& line) {
    const CommandOutcome outcome = PokeCommand(link.dde, line.text, output.arguments.timeoutMs);
    if (outcome == CommandOutcome::Acknowledged && output.arguments.replies) {
        TellWithReply(output, link.dde, line);
    } else {
        Tell(output, line, outcome, nullptr);
    }
    return outcome;
}

bool WaitOverDde(BatchLink& link, DWORD ms) {
    return WaitInConversation(link.dde, ms) != WaitEnd::ConversationLost;
}

void CloseDde(BatchLink& link) { CloseConversation(link.dde); }

const BatchWay kDdeWay = {CheckForDde, SendOverDde, WaitOverDde, CloseDde};

CommandOutcome CheckForTcp(const CommandLine& line) {
    if (line.holdsNul) return CommandOutcome::HoldsNul;
    return WhyNotSendableOverTcp(ToServerText(line.text)) != nullptr ? CommandOutcome::TooLong
                                                                     : CommandOutcome::Acknowledged;
}

// The reply is told with a refusal always, and with a success when replies
// are asked for: as JSON exactly as received, as a record or in the report
// line as the program's own text.
CommandOutcome SendOverTcp(BatchOutput& output, BatchLink& link, const CommandLine& line) {
    const unsigned long timeoutMs =
        output.arguments.timeoutGiven ? output.arguments.timeoutMs : kTcpAnswerTimeoutMs;
    std::string received;
    const TcpAnswer answer = link.tcp.send(link.tcp, ToServerText(line.text), timeoutMs, received);
    const CommandOutcome outcome = TcpOutcome(answer);
    const bool withReply = outcome == CommandOutcome::Refused ||
                           (outcome == CommandOutcome::Acknowledged && output.arguments.replies);
    if (!withReply) {
        Tell(output, line, outcome, nullptr);
        return outcome;
    }
    const std::string text = output.arguments.json ? received : FromServerText(received);
    Reply reply;
    reply.bytes = reinterpret_cast<const unsigned char*>(text.data());
    reply.count = text.size();
    reply.utf8 = output.arguments.json;
    const std::string refusal = FromServerText(FirstReplyLine(received));
    Tell(output, line, outcome, &reply, outcome == CommandOutcome::Refused ? &refusal : nullptr);
    return outcome;
}

bool WaitOverTcp(BatchLink& link, DWORD ms) { return link.tcp.wait(link.tcp, ms); }

void CloseTcp(BatchLink& link) { link.tcp.close(link.tcp); }

const BatchWay kTcpWay = {CheckForTcp, SendOverTcp, WaitOverTcp, CloseTcp};

// Opens the conversation arguments ask for. Returns the way it goes, or null
// when the planetarium was not reached (reported on standard error).
const BatchWay* OpenBatchLink(BatchLink& link, const BatchArguments& arguments) {
    ClientDde client = {&link.dde, OnBatchEvent};
    const DdeAttempt dde = {OpenClientDde, &client};
    // Through a session when one serves: it holds a TCP planetarium's
    // conversation, so there is neither DDE nor a search to try.
    if (ChooseTcpRoute(link.tcp, arguments.reach)) return &kTcpWay;
    switch (FindPlanetarium(arguments.reach, dde, link.tcp.own, "ZenoltBatch")) {
        case ReachedBy::Dde: return &kDdeWay;
        case ReachedBy::Tcp: return &kTcpWay;
        case ReachedBy::Nothing:
        case ReachedBy::QuitAsked: break;
    }
    return nullptr;
}

void UpdateProgress(BatchOutput& output, const ScriptReader& reader) {
    if (output.progress == nullptr) return;
    ShowProgress(stderr, *output.progress, output.counts.sent, reader.bytesTaken, GetTickCount());
}

// Waits ms in the conversation, the status line kept up to date. Returns
// false as soon as the conversation is found lost.
bool Pause(BatchOutput& output, const BatchWay& way, BatchLink& link, const ScriptReader& reader,
           DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) return true;
        DWORD slice = ms - elapsed;
        if (output.progress != nullptr && slice > kProgressIntervalMs) slice = kProgressIntervalMs;
        if (!way.wait(link, slice)) return false;
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

CommandOutcome TcpOutcome(TcpAnswer answer) {
    switch (answer) {
        case TcpAnswer::Success: return CommandOutcome::Acknowledged;
        case TcpAnswer::Refusal: return CommandOutcome::Refused;
        case TcpAnswer::NoAnswer: return CommandOutcome::Unanswered;
        case TcpAnswer::Lost: return CommandOutcome::ConversationLost;
    }
    return CommandOutcome::ConversationLost;
}

BatchCounts RunBatch(ScriptReader& reader, const BatchArguments& arguments,
                     BatchProgress* progress) {
    BatchCounts counts;
    BatchOutput output = {arguments, progress, counts};
    if (progress != nullptr) progress->startMs = GetTickCount();
    BatchLink link;
    const BatchWay* way = OpenBatchLink(link, arguments);
    counts.reached = way != nullptr;
    CommandLine line;
    bool sent = false;
    while (counts.reached && ReadCommandLine(reader, line)) {
        const CommandOutcome unsendable = way->check(line);
        if (unsendable != CommandOutcome::Acknowledged) {
            Tell(output, line, unsendable, nullptr);
            continue;
        }
        if (sent && arguments.pauseMs > 0 && !Pause(output, *way, link, reader, arguments.pauseMs)) {
            Tell(output, line, CommandOutcome::ConversationLost, nullptr);
            break;
        }
        sent = true;
        if (way->send(output, link, line) == CommandOutcome::ConversationLost) break;
        UpdateProgress(output, reader);
    }
    if (way != nullptr) way->close(link);
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
