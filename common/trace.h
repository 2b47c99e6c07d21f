// The trace of a conversation with the planetarium, asked for with
// ZENOLT_TRACE=1: how the planetarium was found, each connect, the greeting,
// every line sent and received, and over DDE each transaction's result, on
// standard error. Each line begins with a mark, so that none is mistaken for
// a program's own message:
//   * 0 ms: port 40123 from /home/ann/.skychart/tmp/tcpport
//   > 101 ms: GETRA
//   < 102 ms: OK! 00h44m14s
// ("*" a note, ">" a line sent, "<" a line received; the time is counted from
// the program's start). Standard output and the exit status are exactly as
// without it.
#ifndef ZENOLT_COMMON_TRACE_H
#define ZENOLT_COMMON_TRACE_H

#include <cstddef>
#include <string>

// Reads ZENOLT_TRACE (on when set to anything but nothing or "0") and starts
// the trace's clock. Called once, first thing in a program.
void StartTrace();

// Returns whether the trace is on.
bool Tracing();

// Write one line of the trace when it is on: a note, a line sent, a line
// received (its bytes, without its line end; control characters are shown
// as \t or \xHH, so that one line of the trace is one line).
void TraceNote(const std::string& text);
void TraceSent(const char* bytes, std::size_t size);
void TraceReceived(const char* bytes, std::size_t size);

// Returns text as a trace line shows it: control characters as \t or \xHH.
std::string TraceShown(const char* bytes, std::size_t size);

#endif
