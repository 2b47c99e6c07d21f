// Runs a piece of code with standard output and standard error sent to
// temporary files, and returns what it wrote to each (host tests only).
#ifndef ZENOLT_TESTS_CAPTURED_OUTPUT_H
#define ZENOLT_TESTS_CAPTURED_OUTPUT_H

#include <unistd.h>

#include <cstdio>
#include <string>

struct CapturedOutput {
    std::string out;
    std::string err;
};

namespace captured_output_detail {

inline std::string ReadAll(std::FILE* file) {
    std::rewind(file);
    std::string bytes;
    for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
    std::fclose(file);
    return bytes;
}

}  // namespace captured_output_detail

template <typename Body>
CapturedOutput CaptureOutput(Body body) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int savedOut = dup(1);
    const int savedErr = dup(2);
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    body();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    return {captured_output_detail::ReadAll(out), captured_output_detail::ReadAll(err)};
}

#endif
