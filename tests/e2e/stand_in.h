// Running the stand-in planetarium for a test and reading what it logged.
#ifndef ZENOLT_TESTS_E2E_STAND_IN_H
#define ZENOLT_TESTS_E2E_STAND_IN_H

#include <windows.h>

#include <string>
#include <vector>

#include "stand_in_log_lines.h"

struct StandIn {
    PROCESS_INFORMATION process = {};
    std::string directory;
    std::string logPath;
    int port = 0;  // the TCP stand-in's port, once it is listening
};

// One transaction as the stand-in logged it.
struct LoggedTransaction {
    std::string type;  // "POKE" or "REQUEST"
    std::string item;
    int format = -1;
    long size = -1;
    std::string bytes;  // what a poke carried
};

// Starts the stand-in with the given extra options and waits until it is
// ready for connections. Returns false (with the reason in failure) if it
// does not come up.
bool StartStandIn(StandIn& standIn, const std::string& options, std::string& failure);

// Starts the stand-in's TCP command server (StandInPlanetarium.exe --tcp)
// with the given extra options and waits until it listens, its port in
// standIn.port. Returns false (with the reason in failure) if it does not
// come up. StopStandIn ends it like the DDE one.
bool StartTcpStandIn(StandIn& standIn, const std::string& options, std::string& failure);

// Ends the stand-in and waits until it is gone, so that the service name is
// free again, then removes its folder and log.
void StopStandIn(StandIn& standIn);

std::vector<std::string> StandInLog(const StandIn& standIn);

// Waits until the log holds the line, up to timeoutMs. Returns whether it does.
bool WaitForLogLine(const StandIn& standIn, const std::string& line, DWORD timeoutMs);

std::vector<LoggedTransaction> LoggedTransactions(const StandIn& standIn);

std::vector<LoggedCommand> LoggedCommands(const StandIn& standIn);

#endif
