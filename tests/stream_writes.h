// Seeing where code flushes a stream: a stream whose every write to the
// device is recorded as one piece (glibc only; elsewhere the tests that use
// it are left out).
#ifndef ZENOLT_TESTS_STREAM_WRITES_H
#define ZENOLT_TESTS_STREAM_WRITES_H

#if defined(__GLIBC__)
#define ZENOLT_HAVE_STREAM_WRITES 1

#include <cstdio>
#include <string>
#include <vector>

// Returns the pieces print(stream) wrote to the device, in order, with the
// stream fully buffered in a buffer larger than anything printed, so that a
// piece ends only where the code flushed, or where the stream was closed.
template <typename Print>
std::vector<std::string> DeviceWrites(Print print) {
    std::vector<std::string> pieces;
    cookie_io_functions_t io = {};
    io.write = [](void* cookie, const char* data, std::size_t size) -> ssize_t {
        static_cast<std::vector<std::string>*>(cookie)->emplace_back(data, size);
        return static_cast<ssize_t>(size);
    };
    std::FILE* stream = fopencookie(&pieces, "w", io);
    if (stream == nullptr) return pieces;
    std::setvbuf(stream, nullptr, _IOFBF, 1 << 16);
    print(stream);
    std::fclose(stream);
    return pieces;
}

// Returns text cut after every line end: the pieces a printer that flushes at
// each line end, and nowhere else, writes to the device.
inline std::vector<std::string> PiecesEndingAtLineEnds(const std::string& text) {
    std::vector<std::string> pieces;
    for (std::string::size_type start = 0; start < text.size();) {
        const std::string::size_type end = text.find('\n', start);
        const std::string::size_type next = end == std::string::npos ? text.size() : end + 1;
        pieces.push_back(text.substr(start, next - start));
        start = next;
    }
    return pieces;
}

#endif
#endif
