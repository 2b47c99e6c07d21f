// Fuzzes reading a batch script: any bytes, read in chunks and pieces of any
// size. The first input byte chooses the chunk size and how many bytes each
// read hands out; the rest is the script. The command lines read must be
// those of the whole script split at once, however the bytes arrived.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "script_reader.h"

namespace {

struct Pieces {
    const char* bytes;
    std::size_t size;
    std::size_t most;
    std::size_t served;
};

long ReadPieces(void* source, char* buffer, std::size_t size) {
    Pieces& pieces = *static_cast<Pieces*>(source);
    const std::size_t count = std::min({size, pieces.most, pieces.size - pieces.served});
    std::memcpy(buffer, pieces.bytes + pieces.served, count);
    pieces.served += count;
    return static_cast<long>(count);
}

struct Line {
    unsigned long number;
    std::string text;
    bool holdsNul;
    bool operator==(const Line& o) const {
        return number == o.number && text == o.text && holdsNul == o.holdsNul;
    }
};

// The command lines of the whole script, split in one go.
std::vector<Line> SplitWhole(std::string script) {
    if (script.compare(0, 3, "\xEF\xBB\xBF") == 0) script.erase(0, 3);
    std::vector<Line> lines;
    unsigned long number = 0;
    for (std::size_t start = 0; start < script.size();) {
        std::size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        std::string text = script.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const std::size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
        if (text[0] == '#') continue;
        lines.push_back({number, text, text.find('\0') != std::string::npos});
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunkSize = 1 + (data[0] & 0x0F);
    const std::size_t most = 1 + (data[0] >> 4);
    Pieces pieces{reinterpret_cast<const char*>(data + 1), size - 1, most, 0};
    ScriptReader reader;
    StartScript(reader, ReadPieces, &pieces, chunkSize);
    std::vector<Line> read;
    CommandLine line;
    while (ReadCommandLine(reader, line)) read.push_back({line.number, line.text, line.holdsNul});
    if (reader.failed || pieces.served != pieces.size) std::abort();
    if (read != SplitWhole(std::string(pieces.bytes, pieces.size))) std::abort();
    return 0;
}
