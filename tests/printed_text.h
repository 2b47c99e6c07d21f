// Reading back what code wrote to a stream, byte for byte.
#ifndef ZENOLT_TESTS_PRINTED_TEXT_H
#define ZENOLT_TESTS_PRINTED_TEXT_H

#include <cstdio>
#include <string>

// Returns everything in file from its start, and closes it.
inline std::string ReadAllAndClose(std::FILE* file) {
    std::string bytes;
    if (file == nullptr) return bytes;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes.append(chunk, got);
    }
    std::fclose(file);
    return bytes;
}

// Returns what print(file) wrote to a temporary binary file.
template <typename Print>
std::string PrintedText(Print print) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return "<no temporary file>";
    print(file);
    return ReadAllAndClose(file);
}

#endif
