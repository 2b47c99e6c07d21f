// What ZenoltSession's command line asks for.
#ifndef ZENOLT_SESSION_SESSION_ARGUMENTS_H
#define ZENOLT_SESSION_SESSION_ARGUMENTS_H

#include <string>

#include "../common/planetarium_place.h"

// How long a session started with --start waits for a command unless --idle
// says, and the longest it may be told to wait.
constexpr unsigned long kDefaultIdleSeconds = 600;
constexpr unsigned long kLongestIdleSeconds = 86400;

// The shell whose assignment of ZENOLT_SESSION --start prints.
enum class SessionShell { Posix, Cmd, PowerShell };

struct SessionArguments {
    bool showUsage = false;    // no arguments, or --help (-h) among the options
    bool badUsage = false;     // anything else not understood: error says what
    std::string error;         // one line naming the option and what is wrong with it
    bool showVersion = false;  // --version among the options
    bool start = false;        // --start: a session in the background
    bool stop = false;         // --stop: end the session ZENOLT_SESSION names
    std::string serve;         // --serve NAME: be the background session at NAME
                               // (Windows: how --start starts it)
    unsigned long idleSeconds = kDefaultIdleSeconds;  // --idle SECONDS
    SessionShell shell = SessionShell::Posix;  // --cmd, --pwsh
    bool serverGiven = false;  // --server HOST[:PORT]
    ServerAddress server;
    int command = 0;           // argv's index of COMMAND; 0 with --start,
                               // --stop or --serve
};

// Returns what the arguments after the program's path ask for:
//   ZenoltSession [--server HOST[:PORT]] COMMAND [ARG...]
//   ZenoltSession --start [--idle SECONDS] [--cmd | --pwsh] [--server HOST[:PORT]]
//   ZenoltSession --stop
//   ZenoltSession --serve NAME [--idle SECONDS] [--server HOST[:PORT]]
// --help (-h) or --version among the options asks for the usage text or the
// version, whatever else is there. Options come before COMMAND (or "--",
// which ends them), in any order, as ReadOptions reads them; a later one of
// the same option wins. SECONDS is 1 to kLongestIdleSeconds in decimal; an
// address that is no HOST[:PORT] or [IPv6][:PORT] is bad usage.
SessionArguments ParseSessionArguments(int argc, const char* const* argv);

#endif
