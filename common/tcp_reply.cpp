#include "tcp_reply.h"

#include <cstring>

namespace {

// Whether the length bytes at text are word, without regard to ASCII case.
bool SameWord(const char* text, std::size_t length, const char* word) {
    if (std::strlen(word) != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i]) return false;
    }
    return true;
}

bool StartsWith(const char* line, std::size_t length, const char* prefix) {
    const std::size_t size = std::strlen(prefix);
    return length >= size && std::memcmp(line, prefix, size) == 0;
}

}  // namespace

ReplyShape ShapeOfReply(const std::string& command) {
    const std::size_t blank = command.find(' ');
    const std::size_t length = blank == std::string::npos ? command.size() : blank;
    const char* word = command.data();
    if (SameWord(word, command.size(), "QUIT") || SameWord(word, command.size(), "EXIT")) {
        return ReplyShape::Farewell;
    }
    if (SameWord(word, length, "?")) return ReplyShape::UpToOk;
    if (SameWord(word, length, "GETMSGBOX") || SameWord(word, length, "GETCOORBOX")) {
        return ReplyShape::Burst;
    }
    if (SameWord(word, length, "GETOBJECTLIST")) return ReplyShape::UpToEmpty;
    return ReplyShape::OneLine;
}

ServerLineKind KindOfServerLine(const char* line, std::size_t length) {
    if (StartsWith(line, length, ">\t")) return ServerLineKind::Event;
    if (length == 1 && line[0] == '.') return ServerLineKind::KeepAlive;
    if (length == 4 && std::memcmp(line, "Bye!", 4) == 0) return ServerLineKind::Goodbye;
    return ServerLineKind::Reply;
}

bool IsRefusal(const char* line, std::size_t length) {
    return StartsWith(line, length, "Failed!") || StartsWith(line, length, "Not found!") ||
           StartsWith(line, length, "Bad chart name");
}

bool ReplyIsWhole(ReplyShape shape, std::size_t lineCount, bool firstRefused, const char* line,
                  std::size_t length) {
    if (lineCount == 0) return false;
    switch (shape) {
        case ReplyShape::OneLine:
        case ReplyShape::Farewell: return true;
        case ReplyShape::UpToOk:
            return (lineCount == 1 && firstRefused) || (length == 3 && std::memcmp(line, "OK!", 3) == 0);
        case ReplyShape::Burst: return lineCount == 1 && firstRefused;
        // An empty list is the empty line alone.
        case ReplyShape::UpToEmpty: return length == 0 || (lineCount == 1 && firstRefused);
    }
    return true;
}

const char* WhyNotSendableOverTcp(const std::string& command) {
    if (command.size() > kLongestTcpCommand) return "longer than 1022 bytes";
    if (command.find('\0') != std::string::npos) return "it holds a NUL byte";
    if (command.find('\n') != std::string::npos) return "it holds a line break";
    return nullptr;
}
