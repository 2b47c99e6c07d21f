#include "script_reader.h"

#include <cerrno>
#include <climits>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Returns false at the end of the input or on a read error; otherwise makes
// chunk hold at least one byte not yet taken.
bool FillChunk(ScriptReader& reader) {
    if (reader.taken < reader.filled) return true;
    if (reader.atEnd) return false;
    reader.taken = 0;
    reader.filled = 0;
    errno = 0;
    const long got = reader.read(reader.source, reader.chunk.data(), reader.chunk.size());
    if (got > 0) {
        reader.filled = static_cast<std::size_t>(got);
        return true;
    }
    reader.atEnd = true;
    if (got < 0) {
        reader.failed = true;
        reader.error = errno;
    }
    return false;
}

// Reads one raw line, without its LF, into raw. Returns false when the input
// had nothing left (or could not be read).
bool ReadRawLine(ScriptReader& reader, std::string& raw) {
    raw.clear();
    bool any = false;
    while (FillChunk(reader)) {
        any = true;
        const char* start = reader.chunk.data() + reader.taken;
        const std::size_t available = reader.filled - reader.taken;
        const void* lf = std::memchr(start, '\n', available);
        const std::size_t length =
            lf == nullptr ? available : static_cast<std::size_t>(static_cast<const char*>(lf) - start);
        raw.append(start, length);
        reader.taken += length;
        reader.bytesTaken += length;
        if (lf != nullptr) {
            ++reader.taken;
            ++reader.bytesTaken;
            break;
        }
    }
    // A read error part way through a line leaves the line unfinished: it is
    // not a command.
    return any && !reader.failed;
}

// Cuts the CR of a CR LF line end, then blanks and tabs from both ends.
void TrimLine(std::string& raw) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    std::size_t end = raw.size();
    while (end > 0 && IsBlank(raw[end - 1])) --end;
    std::size_t start = 0;
    while (start < end && IsBlank(raw[start])) ++start;
    raw.erase(end);
    raw.erase(0, start);
}

}  // namespace

long ReadFromDescriptor(void* source, char* buffer, std::size_t size) {
    const int descriptor = *static_cast<int*>(source);
    const unsigned int count = size > INT_MAX ? INT_MAX : static_cast<unsigned int>(size);
#ifdef _WIN32
    return _read(descriptor, buffer, count);
#else
    return static_cast<long>(read(descriptor, buffer, count));
#endif
}

void StartScript(ScriptReader& reader, ReadBytes read, void* source, std::size_t chunkSize) {
    reader = ScriptReader();
    reader.read = read;
    reader.source = source;
    reader.chunk.resize(chunkSize);
}

bool ReadCommandLine(ScriptReader& reader, CommandLine& line) {
    while (ReadRawLine(reader, line.text)) {
        ++reader.lineNumber;
        if (reader.lineNumber == 1 && line.text.compare(0, 3, kByteOrderMark) == 0) {
            line.text.erase(0, 3);
        }
        TrimLine(line.text);
        if (line.text.empty() || line.text[0] == '#') continue;
        line.number = reader.lineNumber;
        line.holdsNul = line.text.find('\0') != std::string::npos;
        return true;
    }
    return false;
}
