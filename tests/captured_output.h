// Runs a piece of code with standard output and standard error sent to
// temporary files, and returns what it wrote to each (host tests only).
#ifndef ZENOLT_TESTS_CAPTURED_OUTPUT_H
#define ZENOLT_TESTS_CAPTURED_OUTPUT_H

#include <unistd.h>

#include <cstdio>
#include <string>

#include "printed_text.h"

struct CapturedOutput {
    std::string out;
    std::string err;
};

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
    return {ReadAllAndClose(out), ReadAllAndClose(err)};
}

#endif
