// Running the stand-in planetarium's TCP command server for a Linux test and
// reading what it logged (its options and log: tools/stand_in_tcp.cpp).
#ifndef ZENOLT_TESTS_LINUX_STAND_IN_H
#define ZENOLT_TESTS_LINUX_STAND_IN_H

#include <string>
#include <vector>

#include "stand_in_log_lines.h"

#include "process_runner.h"

struct StandIn {
    RunningProgram process;
    std::string directory;  // the stand-in's own, ending in '/'
    std::string logPath;
    std::string stopPath;  // the stand-in ends in good order once this exists
    int port = 0;          // the port it listens on, once it does
};

// Starts StandInPlanetarium --tcp (next to the test program) with a log and a
// stop file of its own, a lifetime of 300 s and then the given options, and
// waits until it listens. Returns false (with the reason in failure) if it
// does not come up; StopStandIn is to be called in either case.
bool StartStandIn(StandIn& standIn, const std::vector<std::string>& options,
                  std::string& failure);

// Ends the stand-in in good order (it tells its clients Bye!), killing it if
// it has not ended within 5 s, then removes its directory and log.
void StopStandIn(StandIn& standIn);

std::vector<std::string> StandInLog(const StandIn& standIn);

// Waits until the log holds the line, up to timeoutMs. Returns whether it does.
bool WaitForLogLine(const StandIn& standIn, const std::string& line, long timeoutMs);

std::vector<LoggedCommand> LoggedCommands(const StandIn& standIn);

// Where the planetarium publishes its port for a user whose HOME is home
// (ending in '/'): home/.skychart/tmp/tcpport. Makes the directories it lies
// in; give it to the stand-in as --port-file.
std::string PublishedPortFile(const std::string& home);

#endif
