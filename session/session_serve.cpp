#include "session_serve.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "../common/process_platform.h"
#include "../common/session_protocol.h"
#include "../common/tcp_conversation.h"

namespace {

// How often the session looks, between requests, at what the planetarium
// sent (so that its events never pile up unread), at the time idle and at a
// request to end.
const std::chrono::milliseconds kWakeInterval(200);
// The most programs served at once; one more is closed at once, and talks
// directly.
const int kMostClients = 64;
// How long the session waits for the answer to a stop to be written.
const std::chrono::milliseconds kStoppedWriteWait(1000);

// One request of a program, from its serving thread to the session's.
struct SessionJob {
    SessionFrame request;
    SessionFrame answer;
    bool answered = false;  // answer set: the program's thread may write it
    bool written = false;   // the program's thread is done with answer
};

// What the session's threads share, under mutex; changed is notified at
// every change.
struct SessionState {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<SessionJob*> jobs;  // waiting, oldest first
    int clients = 0;
    bool ending = false;           // no request is taken any more
    bool commandEnded = false;
    int commandStatus = 0;
};

// The session's conversation with the planetarium. Each one opened gets a
// new number, which the programs' commands name: a command for one that
// was lost is not sent in the next.
struct PlanetariumConversation {
    TcpLink link;
    bool open = false;
    std::uint32_t number = 0;
    std::string place;  // the server's address, as AddressText writes it
};

// Returns true with address set to where the planetarium is now: the server
// given, or the port this computer publishes (read afresh, as the programs
// read it); false when it published that it is not running.
bool PlanetariumPlace(const SessionSettings& settings, ServerAddress& address) {
    address = settings.server;
    return settings.serverGiven || LocalServerAddress(address);
}

// Opens the conversation with the server at address. Returns nothing;
// conversation.open tells.
void OpenPlanetarium(PlanetariumConversation& conversation, const ServerAddress& address) {
    std::string why;
    if (OpenTcpConversation(conversation.link, address, why) == TcpOpenEnd::Greeted) {
        conversation.open = true;
        conversation.place = AddressText(address);
        ++conversation.number;
    } else {
        CloseTcpConversation(conversation.link);
    }
}

// Reads and drops what the planetarium sent meanwhile (events, late replies)
// without waiting; a conversation so found lost is closed.
void Drain(PlanetariumConversation& conversation) {
    if (conversation.open && !WaitInTcpConversation(conversation.link, 0)) {
        CloseTcpConversation(conversation.link);
        conversation.open = false;
    }
}

// Returns the answer to an Open: 'E' for a program that would talk to
// another server than the session's, 'N' when the planetarium published
// that it is not running; else whether the conversation is open, opened
// now if need be. One with a planetarium that has since moved to another
// port (a new one published while the old one still runs) is ended first.
SessionFrame AnswerOpen(const SessionFrame& request, PlanetariumConversation& conversation,
                        const SessionSettings& settings) {
    SessionFrame answer;
    answer.kind = FrameKind::Reached;
    ServerAddress address;
    if (!PlanetariumPlace(settings, address)) {
        answer.body = ReachedBody('N', 0);
        return answer;
    }
    if (request.body != AddressText(address)) {
        answer.body = ReachedBody('E', 0);
        return answer;
    }
    Drain(conversation);
    if (conversation.open && conversation.place != request.body) {
        CloseTcpConversation(conversation.link);
        conversation.open = false;
    }
    if (!conversation.open) OpenPlanetarium(conversation, address);
    answer.body = conversation.open ? ReachedBody('Y', conversation.number) : ReachedBody('N', 0);
    return answer;
}

// Returns the answer to a Command: sent in the conversation it names, if
// that one is still open; Lost otherwise, or when it is lost meanwhile.
SessionFrame AnswerCommand(const SessionFrame& request, PlanetariumConversation& conversation) {
    SessionFrame answer;
    answer.kind = FrameKind::Answer;
    std::uint32_t number = 0;
    unsigned long timeoutMs = 0;
    std::string command;
    Drain(conversation);
    if (!ParseCommandBody(request.body, number, timeoutMs, command) || !conversation.open ||
        number != conversation.number) {
        answer.body = AnswerBody(TcpAnswer::Lost, "");
        return answer;
    }
    std::string reply;
    const TcpAnswer sent = SendTcpCommand(conversation.link, command, timeoutMs, reply);
    if (sent == TcpAnswer::Lost) {
        CloseTcpConversation(conversation.link);
        conversation.open = false;
    }
    answer.body = AnswerBody(sent, reply);
    return answer;
}

// Returns the answer a request gets once the session ends: no planetarium
// for an Open (the program then talks directly), a lost conversation for a
// Command, and Stopped for a Stop.
SessionFrame EndingAnswer(const SessionFrame& request) {
    SessionFrame answer;
    if (request.kind == FrameKind::Open) {
        answer.kind = FrameKind::Reached;
        answer.body = ReachedBody('N', 0);
    } else if (request.kind == FrameKind::Command) {
        answer.kind = FrameKind::Answer;
        answer.body = AnswerBody(TcpAnswer::Lost, "");
    } else {
        answer.kind = FrameKind::Stopped;
    }
    return answer;
}

// Serves one program on channel: the greeting, then each request handed to
// the session's thread and its answer written back, until the program goes
// or sends what no program of ours sends. After a Stop it holds the channel
// (and its job, which the session's thread still reads) until the process
// ends, so that the program asking sees the session's end as the close.
void ServeClient(SessionState* state, SessionChannel channel) {
    const std::string greeting = SessionGreeting();
    FrameReader reader;
    SessionFrame request;
    bool serving = SendToSessionPeer(channel, greeting.data(), greeting.size());
    while (serving && ReadFrame(reader, ReceiveFromSessionPeer, &channel, kLongestSessionRequest,
                                request) == FrameEnd::Whole) {
        if (request.kind != FrameKind::Open && request.kind != FrameKind::Command &&
            request.kind != FrameKind::Stop) {
            break;
        }
        SessionJob job;
        job.request = request;
        std::unique_lock<std::mutex> lock(state->mutex);
        if (state->ending) break;
        state->jobs.push_back(&job);
        state->changed.notify_all();
        state->changed.wait(lock, [&] { return job.answered; });
        lock.unlock();
        const std::string bytes = EncodeFrame(job.answer.kind, job.answer.body);
        serving = SendToSessionPeer(channel, bytes.data(), bytes.size());
        lock.lock();
        job.written = true;
        state->changed.notify_all();
        if (request.kind == FrameKind::Stop) {
            state->changed.wait(lock, [] { return false; });
        }
    }
    CloseSessionChannel(channel);
    std::lock_guard<std::mutex> lock(state->mutex);
    --state->clients;
    state->changed.notify_all();
}

// Takes each program that connects (endpoint is this thread's copy) and
// starts a thread to serve it, while there is room.
void AcceptClients(SessionState* state, SessionEndpoint endpoint) {
    for (;;) {
        const SessionChannel channel = AcceptSessionClient(endpoint);
        if (channel == kNoSessionChannel) return;
        bool room = false;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            room = !state->ending && state->clients < kMostClients;
            if (room) ++state->clients;
        }
        if (room) {
            std::thread(ServeClient, state, channel).detach();
        } else {
            CloseSessionChannel(channel);
        }
    }
}

// Waits for the command to end and tells the session.
void AwaitCommand(SessionState* state, SessionCommand command) {
    const int status = WaitForSessionCommand(command);
    std::lock_guard<std::mutex> lock(state->mutex);
    state->commandEnded = true;
    state->commandStatus = status;
    state->changed.notify_all();
}

}  // namespace

// The state is never freed: the programs' threads may still hold it, blocked
// on their channels, when this returns and the process ends.
int ServeSession(SessionEndpoint& endpoint, const SessionSettings& settings,
                 SessionCommand* command) {
    SessionState* state = new SessionState();
    std::thread(AcceptClients, state, endpoint).detach();
    if (command != nullptr) std::thread(AwaitCommand, state, *command).detach();
    PlanetariumConversation conversation;
    ServerAddress address;
    if (PlanetariumPlace(settings, address)) OpenPlanetarium(conversation, address);
    unsigned long long lastCommandMs = TcpClockMs();
    SessionJob* stop = nullptr;
    for (;;) {
        SessionJob* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->changed.wait_for(lock, kWakeInterval,
                                    [&] { return !state->jobs.empty() || state->commandEnded; });
            if (state->commandEnded) break;
            if (!state->jobs.empty()) {
                job = state->jobs.front();
                state->jobs.pop_front();
            }
        }
        if (job == nullptr) {
            if (QuitRequested()) break;
            Drain(conversation);
            if (settings.idleMs > 0 && TcpClockMs() - lastCommandMs >= settings.idleMs) break;
            continue;
        }
        if (job->request.kind == FrameKind::Stop) {
            stop = job;
            break;
        }
        lastCommandMs = TcpClockMs();
        job->answer = job->request.kind == FrameKind::Open
                          ? AnswerOpen(job->request, conversation, settings)
                          : AnswerCommand(job->request, conversation);
        std::lock_guard<std::mutex> lock(state->mutex);
        job->answered = true;
        state->changed.notify_all();
    }
    // Requests still waiting are answered as the session ends; none is taken
    // after them. The stop is answered last, once all is gone.
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->ending = true;
        for (SessionJob* waiting : state->jobs) {
            waiting->answer = EndingAnswer(waiting->request);
            waiting->answered = true;
        }
        state->jobs.clear();
        state->changed.notify_all();
    }
    if (conversation.open) CloseTcpConversation(conversation.link);
    RemoveSessionEndpoint(endpoint);
    std::unique_lock<std::mutex> lock(state->mutex);
    if (stop != nullptr) {
        stop->answer = EndingAnswer(stop->request);
        stop->answered = true;
        state->changed.notify_all();
        state->changed.wait_for(lock, kStoppedWriteWait, [&] { return stop->written; });
    }
    if (command == nullptr) return 0;
    state->changed.wait(lock, [&] { return state->commandEnded; });
    return state->commandStatus;
}
