#include "trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

bool tracing = false;
std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

// Writes the line in one piece, so that it is never split by another
// writer of standard error, and flushes it.
void TraceLine(char mark, const std::string& text) {
    if (!tracing) return;
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - started)
                             .count();
    const std::string line =
        std::string(1, mark) + " " + std::to_string(ms) + " ms: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void StartTrace() {
    const char* value = std::getenv("ZENOLT_TRACE");
    tracing = value != nullptr && *value != '\0' && std::string(value) != "0";
    started = std::chrono::steady_clock::now();
}

bool Tracing() { return tracing; }

std::string TraceShown(const char* bytes, std::size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        } else {
            shown += static_cast<char>(byte);
        }
    }
    return shown;
}

void TraceNote(const std::string& text) { TraceLine('*', text); }

void TraceSent(const char* bytes, std::size_t size) {
    if (tracing) TraceLine('>', TraceShown(bytes, size));
}

void TraceReceived(const char* bytes, std::size_t size) {
    if (tracing) TraceLine('<', TraceShown(bytes, size));
}
