#include "session_serve.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
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

// The session's conversation with the planetarium. Each one opened gets a
// new number, which the programs' commands name: a command for one that
// was lost is not sent in the next.
struct PlanetariumConversation {
    TcpLink link;
    bool open = false;
    std::uint32_t number = 0;
    std::string place;  // the server's address, as AddressText writes it
};

// What the session's threads share, under mutex; changed is notified at
// every change. The conversation is used by one thread at a time, the one
// whose turn it is: turns are taken in the order the requests arrive.
struct SessionState {
    std::mutex mutex;
    std::condition_variable changed;
    unsigned long long nextTurn = 0;  // the turn the next request gets
    unsigned long long turn = 0;      // the turn now
    PlanetariumConversation conversation;
    SessionSettings settings;
    unsigned long long lastUseMs = 0;  // the last command, or the last program gone
    int clients = 0;
    bool stopAsked = false;       // a program asked the session to stop
    bool ending = false;          // requests are answered as the session ends
    bool ended = false;           // the conversation and the endpoint are gone
    bool stoppedWritten = false;  // the program that asked has been told
    bool commandEnded = false;
    int commandStatus = 0;
};

// Waits, holding lock, until it is the caller's turn.
void AwaitTurn(SessionState& state, std::unique_lock<std::mutex>& lock) {
    const unsigned long long mine = state.nextTurn++;
    state.changed.wait(lock, [&] { return state.turn == mine; });
}

// Ends the caller's turn; the caller holds the lock.
void PassTurn(SessionState& state) {
    ++state.turn;
    state.changed.notify_all();
}

// Returns true with address set to where the planetarium is now: the server
// given, or 127.0.0.1 at the port this computer publishes (read afresh, as
// the programs read it); false when no port is published, or 0 (it is not
// running).
bool PlanetariumPlace(const SessionSettings& settings, ServerAddress& address) {
    address = settings.server;
    if (settings.serverGiven) return true;
    const PublishedPort published = ReadLocalPort();
    address.host = "127.0.0.1";
    address.port = published.port;
    return published.isPort;
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

// Returns the answer to a request, sent in the planetarium's conversation
// in the caller's turn (which it holds, without the lock).
SessionFrame Answer(SessionState& state, const SessionFrame& request) {
    return request.kind == FrameKind::Open
               ? AnswerOpen(request, state.conversation, state.settings)
               : AnswerCommand(request, state.conversation);
}

// Serves one program on channel, once the greeting is sent: each request
// answered in its turn, until the program goes or sends what no program of
// ours sends. After a Stop it holds the channel until the process ends, so
// that the program asking sees the session's end as the close.
void ServeClient(SessionState* state, SessionChannel channel) {
    FrameReader reader;
    SessionFrame request;
    bool serving = true;
    while (serving && ReadFrame(reader, ReceiveFromSessionPeer, &channel, kLongestSessionRequest,
                                request) == FrameEnd::Whole) {
        if (request.kind != FrameKind::Open && request.kind != FrameKind::Command &&
            request.kind != FrameKind::Stop) {
            break;
        }
        std::unique_lock<std::mutex> lock(state->mutex);
        AwaitTurn(*state, lock);
        const bool stop = request.kind == FrameKind::Stop && !state->ending;
        SessionFrame answer = EndingAnswer(request);
        if (stop) {
            state->stopAsked = true;
        } else if (!state->ending) {
            lock.unlock();
            answer = Answer(*state, request);
            lock.lock();
            state->lastUseMs = TcpClockMs();
        }
        PassTurn(*state);
        if (stop) state->changed.wait(lock, [&] { return state->ended; });
        lock.unlock();
        const std::string bytes = EncodeFrame(answer.kind, answer.body);
        serving = SendToSessionPeer(channel, bytes.data(), bytes.size());
        if (stop) {
            lock.lock();
            state->stoppedWritten = true;
            state->changed.notify_all();
            state->changed.wait(lock, [] { return false; });
        }
    }
    CloseSessionChannel(channel);
    std::lock_guard<std::mutex> lock(state->mutex);
    --state->clients;
    state->lastUseMs = TcpClockMs();
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
        // The greeting goes at once, while the program's thread starts.
        const std::string greeting = SessionGreeting();
        if (room && SendToSessionPeer(channel, greeting.data(), greeting.size())) {
            std::thread(ServeClient, state, channel).detach();
        } else {
            CloseSessionChannel(channel);
            if (room) {
                std::lock_guard<std::mutex> lock(state->mutex);
                --state->clients;
            }
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
    state->settings = settings;
    ServerAddress address;
    if (PlanetariumPlace(settings, address)) OpenPlanetarium(state->conversation, address);
    state->lastUseMs = TcpClockMs();
    std::thread(AcceptClients, state, endpoint).detach();
    if (command != nullptr) std::thread(AwaitCommand, state, *command).detach();
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        if (state->changed.wait_for(lock, kWakeInterval,
                                    [&] { return state->stopAsked || state->commandEnded; })) {
            break;
        }
        if (QuitRequested()) break;
        // A turn of its own, between the programs' requests. A program
        // connected (a batch reading its script slowly) keeps the session.
        AwaitTurn(*state, lock);
        const bool idle = settings.idleMs > 0 && state->clients == 0 &&
                          TcpClockMs() - state->lastUseMs >= settings.idleMs;
        lock.unlock();
        Drain(state->conversation);
        lock.lock();
        PassTurn(*state);
        if (idle) break;
    }
    // Its last turn: the request in hand, if any, is answered first; those
    // after it are answered as the session ends.
    AwaitTurn(*state, lock);
    state->ending = true;
    lock.unlock();
    if (state->conversation.open) CloseTcpConversation(state->conversation.link);
    RemoveSessionEndpoint(endpoint);
    lock.lock();
    state->ended = true;
    PassTurn(*state);
    if (state->stopAsked) {
        state->changed.wait_for(lock, kStoppedWriteWait, [&] { return state->stoppedWritten; });
    }
    if (command == nullptr) return 0;
    state->changed.wait(lock, [&] { return state->commandEnded; });
    return state->commandStatus;
}
