#include "watch_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "../common/conversation_wait.h"
#include "../common/data_record.h"
#include "../common/dde_link.h"
#include "../common/planetarium_state.h"
#include "../common/process_platform.h"

namespace {

// When a requested value is written as a record.
enum class WhenToWrite {
    Always,     // --now: the value as it is
    IfChanged,  // a poll: only a value that differs from the last one seen
    Never,      // the first poll without --now: the last value seen, no more
};

// What the watch has done so far. One watch runs at a time, and the DDE
// library's callback can reach it only here.
struct WatchState {
    const WatchArguments* arguments = nullptr;
    unsigned long written = 0;      // records written
    DWORD lastRecordTicks = 0;      // when the last record was written (or the watch began)
    std::string lastValue;          // the text of the last value requested, for --poll
    bool haveValue = false;         // whether lastValue holds one
    bool outputFailed = false;      // standard output could not be written
    bool done = false;              // no more records: --count reached, or output failed
    // Over TCP, events told while the state is asked wait for its record,
    // which comes first; heldBytes counts what they take.
    bool holdingEvents = false;
    std::vector<std::string> heldEvents;
    std::size_t heldBytes = 0;
};

WatchState watch;

// Why watching one conversation ended.
enum class WatchEnd {
    Done,          // --count records written
    QuitAsked,     // Ctrl+C, Ctrl+Break, closing the console (SIGINT, SIGTERM)
    TimedOut,      // --timeout ran out
    OutputFailed,  // standard output could not be written (said already)
    Lost,          // the planetarium ended, dropped or stopped answering the conversation
};

// Returns whether --timeout has run out: no record for that long.
bool TimedOut(const WatchArguments& arguments) {
    return arguments.timeoutMs > 0 && GetTickCount() - watch.lastRecordTicks >= arguments.timeoutMs;
}

void ReportLine(const std::string& line) {
    std::fputs(line.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Returns the exit status of a watch that ended so, having said why on
// standard error where that is the watch's to say.
int ExitStatusOf(WatchEnd end, const WatchArguments& arguments) {
    switch (end) {
        case WatchEnd::Done:
        case WatchEnd::QuitAsked: return 0;
        case WatchEnd::TimedOut:
            ReportLine("ZenoltWatch: no new value within " + std::to_string(arguments.timeoutMs) +
                       " ms");
            return 2;
        case WatchEnd::OutputFailed: return 1;
        case WatchEnd::Lost: ReportLine("ZenoltWatch: the conversation with Cartes du Ciel was lost");
    }
    return 1;
}

// Writes the value received (count bytes, in codePage) as a record and
// counts it. Once --count is reached or standard output fails, takes no
// more and asks the loop to end.
void WriteValue(const unsigned char* bytes, std::size_t count,
                const AnsiCodePage& codePage = SystemAnsiCodePage()) {
    const std::string time = FormatRecordTime(CurrentRecordTime());
    if (watch.arguments->json) {
        WriteJsonRecord(stdout, time, bytes, count, codePage);
    } else {
        WriteTextRecord(stdout, time, bytes, count);
    }
    ++watch.written;
    watch.lastRecordTicks = GetTickCount();
    watch.outputFailed = std::ferror(stdout) != 0;
    if (watch.outputFailed ||
        (watch.arguments->count > 0 && watch.written >= watch.arguments->count)) {
        watch.done = true;
        PostQuitMessage(0);
    }
}

// Returns what the DDE library expects of an advise: DDE_FACK, the value
// taken. Writes each advised value as a record, read in place; data that
// cannot be reached is no value. Other notifications need nothing.
HDDEDATA CALLBACK OnWatchEvent(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA data, ULONG_PTR,
                               ULONG_PTR) {
    if (type != XTYP_ADVDATA) return nullptr;
    DWORD size = 0;
    const unsigned char* bytes = watch.done ? nullptr : DdeAccessData(data, &size);
    if (bytes != nullptr) {
        WriteValue(bytes, size);
        DdeUnaccessData(data);
    }
    return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

// Requests the item; when it gives data, writes it as a record as when says
// and keeps its text as the last value seen. A request that gives no data
// changes nothing: it is not a value.
void RequestValue(const DdeLink& link, WhenToWrite when) {
    if (watch.done) return;
    HDDEDATA data = RequestData(link, kWatchRequestTimeoutMs);
    DWORD size = 0;
    const unsigned char* bytes = data != nullptr ? DdeAccessData(data, &size) : nullptr;
    if (bytes == nullptr) return;
    const std::string text(reinterpret_cast<const char*>(bytes), TextLength(bytes, size));
    const bool changed = !watch.haveValue || text != watch.lastValue;
    if (when == WhenToWrite::Always || (when == WhenToWrite::IfChanged && changed)) {
        WriteValue(bytes, size);
    }
    DdeUnaccessData(data);
    watch.lastValue = text;
    watch.haveValue = true;
}

// Returns how long from now until ticks, 0 when it has passed.
DWORD MsUntil(DWORD ticks, DWORD now) {
    const DWORD left = ticks - now;
    return left > 0x7FFFFFFF ? 0 : left;
}

// Handles messages and polls until the watch ends; returns why.
WatchEnd WatchUntilEnd(const DdeLink& link, const WatchArguments& arguments, DWORD pollMs) {
    DWORD nextPoll = GetTickCount() + pollMs;
    for (;;) {
        DWORD now = GetTickCount();
        DWORD wait = pollMs > 0 ? MsUntil(nextPoll, now) : INFINITE;
        if (arguments.timeoutMs > 0) {
            const DWORD left = MsUntil(watch.lastRecordTicks + arguments.timeoutMs, now);
            if (left < wait) wait = left;
        }
        const WaitEnd end = WaitInConversation(link, wait);
        if (end == WaitEnd::QuitAsked) {
            if (!watch.outputFailed) return watch.done ? WatchEnd::Done : WatchEnd::QuitAsked;
            ReportLine("ZenoltWatch: cannot write standard output");
            return WatchEnd::OutputFailed;
        }
        if (end == WaitEnd::ConversationLost) return WatchEnd::Lost;
        now = GetTickCount();
        if (TimedOut(arguments)) return WatchEnd::TimedOut;
        if (pollMs > 0 && MsUntil(nextPoll, now) == 0) {
            RequestValue(link, WhenToWrite::IfChanged);
            // A request slower than the interval starts the next one afresh
            // rather than making up for the ones it missed.
            nextPoll += pollMs;
            if (MsUntil(nextPoll, GetTickCount()) == 0) nextPoll = GetTickCount() + pollMs;
        }
    }
}

// Watches over the open DDE conversation of link until the watch ends;
// returns why, the conversation torn down.
WatchEnd WatchOverDde(const DdeLink& link, const WatchArguments& arguments) {
    // The value as it is now comes before any change: asked before the
    // advise link starts, so no advised value can overtake it.
    if (arguments.now) RequestValue(link, WhenToWrite::Always);
    DWORD pollMs = arguments.pollMs;
    bool advising = false;
    if (pollMs == 0 && !watch.done) {
        advising = StartAdviseLink(link);
        if (!advising) {
            std::fprintf(stderr,
                         "ZenoltWatch: Cartes du Ciel refused to tell of changes; asking every "
                         "%lu ms instead\n",
                         kFallbackPollMs);
            std::fflush(stderr);
            pollMs = kFallbackPollMs;
        }
    }
    // Polling writes changes only: the first value is where they start from.
    if (pollMs > 0 && !watch.haveValue) RequestValue(link, WhenToWrite::Never);
    const WatchEnd end = WatchUntilEnd(link, arguments, pollMs);
    // A planetarium that is gone cannot answer the end of the link.
    if (advising && ConversationAlive(link)) StopAdviseLink(link);
    CloseConversation(link);
    return end;
}

// Writes a text of the server's (UTF-8) as a record: plain text in the
// program's own code page, JSON with every character exactly.
void WriteServerValue(const std::string& text) {
    if (watch.arguments->json) {
        WriteValue(reinterpret_cast<const unsigned char*>(text.data()), text.size(), Utf8Text());
        return;
    }
    const std::string own = FromServerText(text);
    WriteValue(reinterpret_cast<const unsigned char*>(own.data()), own.size());
}

// Writes each event line the server pushes as a record: the line as
// received, without its CR LF. Called whenever a line is read, also while
// the watch waits for a getter's reply, so events are written in the order
// they came; while the state is asked, they are kept for after its record.
// Only a faulty server tells more than a long reply's worth of events
// meanwhile: the conversation is then lost (context is the link).
void OnServerEvent(void* context, const std::string& line) {
    if (watch.done) return;
    const std::string text = line.substr(0, LengthWithoutLineEnd(line));
    if (!watch.holdingEvents) {
        WriteServerValue(text);
        return;
    }
    watch.heldBytes += text.size() + sizeof text;
    if (watch.heldBytes > kLongestTcpReply) {
        static_cast<TcpLink*>(context)->lost = true;
        return;
    }
    watch.heldEvents.push_back(text);
}

// Writes the events kept while the state was asked, in the order they
// came, as far as --count lets; keeps none.
void WriteHeldEvents() {
    for (const std::string& text : watch.heldEvents) {
        if (watch.done) break;
        WriteServerValue(text);
    }
    watch.heldEvents = std::vector<std::string>();
    watch.heldBytes = 0;
}

// Asks the planetarium's state and writes it as when says, then the events
// told meanwhile; keeps it (but for its first line, the time of the
// question, which always differs) as the last value seen. Returns false when
// the conversation was lost, or a getter was not answered in time.
bool AskState(TcpLink& link, WhenToWrite when) {
    if (watch.done) return true;
    std::string state;
    watch.holdingEvents = true;
    const bool answered = AskPlanetariumState(link, CurrentRecordTime(), kTcpWatchAnswerMs, state);
    watch.holdingEvents = false;
    if (!answered || !link.owed.empty()) {
        WriteHeldEvents();
        return false;
    }
    const std::string value = state.substr(state.find('\n') + 1);
    const bool changed = !watch.haveValue || value != watch.lastValue;
    if (when == WhenToWrite::Always || (when == WhenToWrite::IfChanged && changed)) {
        WriteServerValue(state);
    }
    watch.lastValue = value;
    watch.haveValue = true;
    WriteHeldEvents();
    return true;
}

// Asks the planetarium a question whose reply is no record, when nothing has
// come from it for kTcpSilenceProbeMs and no such question waits; returns
// false when the conversation is lost: gone, or the question unanswered for
// kTcpWatchAnswerMs. The reply is read, and dropped, as the watch waits.
bool PlanetariumAnswers(TcpLink& link, unsigned long long& probeSentMs) {
    const unsigned long long now = link.lines.now();
    if (!link.owed.empty()) return now - probeSentMs < kTcpWatchAnswerMs;
    if (now - link.lines.lastReceivedMs < kTcpSilenceProbeMs) return true;
    probeSentMs = now;
    std::string reply;
    return SendTcpCommand(link, "GETDATE", 0, reply) != TcpAnswer::Lost;
}

// How often a watch over TCP looks whether it was asked to end.
const DWORD kQuitCheckMs = 100;

// Watches over the open TCP conversation of link until the watch ends;
// returns why, the conversation ended with QUIT (or closed, when lost).
WatchEnd WatchOverTcp(TcpLink& link, const WatchArguments& arguments) {
    unsigned long long probeSentMs = 0;
    bool lost = (arguments.now && !AskState(link, WhenToWrite::Always)) ||
                (arguments.pollMs > 0 && !watch.haveValue && !AskState(link, WhenToWrite::Never));
    DWORD nextPoll = GetTickCount() + arguments.pollMs;
    WatchEnd end = WatchEnd::Lost;
    bool ended = false;
    while (!lost && !ended) {
        const DWORD now = GetTickCount();
        DWORD wait = kQuitCheckMs;
        if (arguments.pollMs > 0 && MsUntil(nextPoll, now) < wait) wait = MsUntil(nextPoll, now);
        if (arguments.timeoutMs > 0) {
            const DWORD left = MsUntil(watch.lastRecordTicks + arguments.timeoutMs, now);
            if (left < wait) wait = left;
        }
        lost = !watch.done && (!WaitInTcpConversation(link, wait) ||
                               !PlanetariumAnswers(link, probeSentMs));
        if (watch.done) {
            end = watch.outputFailed ? WatchEnd::OutputFailed : WatchEnd::Done;
            ended = true;
        } else if (!lost && QuitRequested()) {
            end = WatchEnd::QuitAsked;
            ended = true;
        } else if (!lost && TimedOut(arguments)) {
            end = WatchEnd::TimedOut;
            ended = true;
        } else if (!lost && arguments.pollMs > 0 && MsUntil(nextPoll, GetTickCount()) == 0) {
            lost = !AskState(link, WhenToWrite::IfChanged);
            nextPoll += arguments.pollMs;
            if (MsUntil(nextPoll, GetTickCount()) == 0) nextPoll = GetTickCount() + arguments.pollMs;
        }
    }
    if (watch.outputFailed) ReportLine("ZenoltWatch: cannot write standard output");
    CloseTcpConversation(link);
    return lost ? WatchEnd::Lost : end;
}

// Follows the planetarium through the loss of its conversation: says so,
// with the time, and waits for it as --wait does (as long as it takes, or
// --wait seconds when that option is given, never past --timeout), looking
// afresh each time (after a restart it usually publishes another port).
// Returns how the search ended, tcp open when Tcp; says when it is back, or,
// when the wait runs out before --timeout does, what the last look saw.
ReachedBy Rejoin(const WatchArguments& arguments, const DdeAttempt& attempt, TcpLink& tcp) {
    ReportLine("ZenoltWatch: the conversation with Cartes du Ciel was lost at " +
               FormatRecordTime(CurrentRecordTime()) + "; waiting for it to come back");
    unsigned long waitMs =
        arguments.waitGiven ? arguments.reach.waitSeconds * 1000 : kWaitForever;
    if (arguments.timeoutMs > 0) {
        const DWORD left = MsUntil(watch.lastRecordTicks + arguments.timeoutMs, GetTickCount());
        if (left < waitMs) waitMs = left;
    }
    // With --now the state is again the first record.
    watch.holdingEvents = arguments.now;
    SearchMiss miss;
    const ReachedBy reached = SearchPlanetarium(arguments.reach, attempt, waitMs, tcp, miss);
    if (reached == ReachedBy::Dde || reached == ReachedBy::Tcp) {
        ReportLine("ZenoltWatch: Cartes du Ciel is back at " + FormatRecordTime(CurrentRecordTime()));
    } else if (reached == ReachedBy::Nothing && !TimedOut(arguments)) {
        ReportSearchMiss(miss, "ZenoltWatch");
    }
    return reached;
}

}  // namespace

int RunWatch(const WatchArguments& arguments) {
    watch = WatchState();
    watch.arguments = &arguments;
    DdeLink dde = {};
    TcpLink tcp;
    // Events told before the greeting are written too; with --now they wait
    // for the state, the first record.
    if (arguments.pollMs == 0) {
        tcp.onEvent = OnServerEvent;
        tcp.eventContext = &tcp;
    }
    watch.holdingEvents = arguments.now;
    ClientDde client = {&dde, OnWatchEvent};
    const DdeAttempt attempt = {OpenClientDde, &client};
    ReachedBy reached = FindPlanetarium(arguments.reach, attempt, tcp, "ZenoltWatch");
    watch.lastRecordTicks = GetTickCount();
    for (;;) {
        WatchEnd end = WatchEnd::Lost;
        switch (reached) {
            case ReachedBy::Dde: end = WatchOverDde(dde, arguments); break;
            case ReachedBy::Tcp: end = WatchOverTcp(tcp, arguments); break;
            case ReachedBy::QuitAsked: return 0;
            case ReachedBy::Nothing: return 1;
        }
        if (end != WatchEnd::Lost || !arguments.follow) return ExitStatusOf(end, arguments);
        reached = Rejoin(arguments, attempt, tcp);
        if (reached == ReachedBy::Nothing && TimedOut(arguments)) {
            return ExitStatusOf(WatchEnd::TimedOut, arguments);
        }
    }
}
