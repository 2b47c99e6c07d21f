#include "session_protocol.h"

#include "options.h"
#include "program_version.h"

namespace {

// How much is asked of the connection at a time.
const std::size_t kReceiveBlock = 16 * 1024;

// The byte that stands for each TcpAnswer in an Answer's body.
const struct {
    TcpAnswer answer;
    char byte;
} kAnswerBytes[] = {
    {TcpAnswer::Success, 'S'},
    {TcpAnswer::Refusal, 'R'},
    {TcpAnswer::NoAnswer, 'N'},
    {TcpAnswer::Lost, 'L'},
};

std::uint32_t FourBytesAt(const std::string& text, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + 4; ++i) value = value << 8 | static_cast<unsigned char>(text[i]);
    return value;
}

// Receives more bytes into reader, waiting up to waitMs. Returns false when
// the connection ended, failed, or nothing came in time.
bool ReceiveMore(FrameReader& reader, ReceiveBytes receive, void* source, unsigned long waitMs) {
    char block[kReceiveBlock];
    const long got = receive(source, block, sizeof block, waitMs);
    if (got <= 0) return false;
    reader.pending.append(block, static_cast<std::size_t>(got));
    return true;
}

}  // namespace

std::string SessionGreeting() {
    return "ZenoltSession " + std::to_string(kSessionProtocolVersion) + " " + ReleaseVersion() +
           "\n";
}

std::string FourBytes(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 3; i >= 0; --i, value >>= 8) bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    return bytes;
}

std::string EncodeFrame(FrameKind kind, const std::string& body) {
    return std::string(1, static_cast<char>(kind)) +
           FourBytes(static_cast<std::uint32_t>(body.size())) + body;
}

FrameEnd TakeFrame(FrameReader& reader, std::size_t longest, SessionFrame& frame) {
    if (reader.pending.size() < 5) return FrameEnd::Partial;
    const std::uint32_t length = FourBytesAt(reader.pending, 1);
    if (length > longest) return FrameEnd::Bad;
    if (reader.pending.size() - 5 < length) return FrameEnd::Partial;
    frame.kind = static_cast<FrameKind>(reader.pending[0]);
    frame.body.assign(reader.pending, 5, length);
    reader.pending.erase(0, 5 + length);
    return FrameEnd::Whole;
}

// A receive that times up is taken as a wait that goes on: each wait is
// given the longest a ReceiveBytes takes, again and again.
FrameEnd ReadFrame(FrameReader& reader, ReceiveBytes receive, void* source, std::size_t longest,
                   SessionFrame& frame) {
    for (;;) {
        const FrameEnd end = TakeFrame(reader, longest, frame);
        if (end != FrameEnd::Partial) return end;
        char block[kReceiveBlock];
        const long got = receive(source, block, sizeof block, 0x7FFFFFFF);
        if (got == kReceiveTimeUp) continue;
        if (got <= 0) return FrameEnd::Closed;
        reader.pending.append(block, static_cast<std::size_t>(got));
    }
}

FrameEnd ReadSessionGreeting(FrameReader& reader, ReceiveBytes receive, void* source,
                             unsigned long waitMs) {
    std::size_t lf = reader.pending.find('\n');
    while (lf == std::string::npos) {
        if (reader.pending.size() > kLongestSessionGreeting) return FrameEnd::Bad;
        if (!ReceiveMore(reader, receive, source, waitMs)) return FrameEnd::Closed;
        lf = reader.pending.find('\n');
    }
    if (lf + 1 > kLongestSessionGreeting) return FrameEnd::Bad;
    const std::string greeting = reader.pending.substr(0, lf + 1);
    reader.pending.erase(0, lf + 1);
    return greeting == SessionGreeting() ? FrameEnd::Whole : FrameEnd::Bad;
}

std::string CommandBody(std::uint32_t conversation, unsigned long timeoutMs,
                        const std::string& command) {
    return FourBytes(conversation) + FourBytes(static_cast<std::uint32_t>(timeoutMs)) + command;
}

std::string AnswerBody(TcpAnswer answer, const std::string& reply) {
    char byte = 'L';
    for (const auto& known : kAnswerBytes) {
        if (known.answer == answer) byte = known.byte;
    }
    return std::string(1, byte) + reply;
}

std::string ReachedBody(char reached, std::uint32_t conversation) {
    return std::string(1, reached) + FourBytes(conversation);
}

bool ParseCommandBody(const std::string& body, std::uint32_t& conversation,
                      unsigned long& timeoutMs, std::string& command) {
    if (body.size() < 8) return false;
    const std::uint32_t timeout = FourBytesAt(body, 4);
    if (timeout < 1 || timeout > kLongestWaitMs) return false;
    std::string text = body.substr(8);
    if (WhyNotSendableOverTcp(text) != nullptr) return false;
    conversation = FourBytesAt(body, 0);
    timeoutMs = timeout;
    command = text;
    return true;
}

bool ParseAnswerBody(const std::string& body, TcpAnswer& answer, std::string& reply) {
    if (body.empty()) return false;
    for (const auto& known : kAnswerBytes) {
        if (known.byte != body[0]) continue;
        answer = known.answer;
        reply = body.substr(1);
        return true;
    }
    return false;
}

bool ParseReachedBody(const std::string& body, char& reached, std::uint32_t& conversation) {
    if (body.size() != 5 || (body[0] != 'Y' && body[0] != 'N' && body[0] != 'E')) return false;
    reached = body[0];
    conversation = FourBytesAt(body, 1);
    return true;
}
