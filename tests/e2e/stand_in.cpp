#include "stand_in.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "process_runner.h"

namespace {

// Starts StandInPlanetarium.exe with a new folder for its log, the given
// options first, then the log and lifetime options, then the test's options.
// The lifetime only ends a stand-in a test program left behind: it is longer
// than the longest wait of any test (a 100,000-line batch may take its full
// 600 s on a busy machine), so that no stand-in ends under a running test.
bool LaunchStandIn(StandIn& standIn, const std::string& modeOptions, const std::string& options,
                   std::string& failure) {
    standIn.directory = NewScratchDirectory();
    standIn.logPath = standIn.directory + "stand-in.log";
    standIn.port = 0;
    std::string commandLine = "\"" + ProgramDirectory() + "StandInPlanetarium.exe\" " +
                              modeOptions + "--log \"" + standIn.logPath + "\" --lifetime 900 " +
                              options;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &standIn.process)) {
        failure = "cannot start the stand-in: error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

}  // namespace

bool StartStandIn(StandIn& standIn, const std::string& options, std::string& failure) {
    if (!LaunchStandIn(standIn, "", options, failure)) return false;
    for (int waited = 0; waited < 20000; waited += 20) {
        if (WaitForLogLine(standIn, "READY", 0)) return true;
        if (WaitForSingleObject(standIn.process.hProcess, 20) == WAIT_OBJECT_0) {
            failure = "the stand-in ended before it was ready";
            return false;
        }
    }
    failure = "the stand-in was not ready within 20 s";
    return false;
}

bool StartTcpStandIn(StandIn& standIn, const std::string& options, std::string& failure) {
    if (!LaunchStandIn(standIn, "--tcp ", options, failure)) return false;
    const std::string ready = "READY port=";
    for (int waited = 0; waited < 20000; waited += 20) {
        for (const std::string& line : StandInLog(standIn)) {
            if (line.compare(0, ready.size(), ready) != 0) continue;
            standIn.port = std::atoi(line.c_str() + ready.size());
            if (standIn.port > 0) return true;
        }
        if (WaitForSingleObject(standIn.process.hProcess, 20) == WAIT_OBJECT_0) {
            failure = "the TCP stand-in ended before it was listening";
            return false;
        }
    }
    failure = "the TCP stand-in was not listening within 20 s";
    return false;
}

void StopStandIn(StandIn& standIn) {
    if (standIn.process.hProcess != nullptr) {
        TerminateProcess(standIn.process.hProcess, 0);
        WaitForSingleObject(standIn.process.hProcess, INFINITE);
        CloseHandle(standIn.process.hThread);
        CloseHandle(standIn.process.hProcess);
        standIn.process = PROCESS_INFORMATION{};
    }
    if (!standIn.directory.empty()) RemoveScratchDirectory(standIn.directory);
    standIn.directory.clear();
}

std::vector<std::string> StandInLog(const StandIn& standIn) {
    std::vector<std::string> lines;
    std::istringstream log(ReadFileBytes(standIn.logPath));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}

bool WaitForLogLine(const StandIn& standIn, const std::string& line, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const std::vector<std::string> lines = StandInLog(standIn);
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(20);
    }
}

std::vector<LoggedTransaction> LoggedTransactions(const StandIn& standIn) {
    std::vector<LoggedTransaction> transactions;
    for (const std::string& line : StandInLog(standIn)) {
        std::istringstream fields(line);
        LoggedTransaction t;
        fields >> t.type;
        if (t.type != "POKE" && t.type != "REQUEST") continue;
        for (std::string field; fields >> field && field.rfind("text=", 0) != 0;) {
            const std::string::size_type equals = field.find('=');
            const std::string name = field.substr(0, equals), value = field.substr(equals + 1);
            if (name == "item") t.item = value;
            if (name == "format") t.format = std::stoi(value);
            if (name == "size") t.size = std::stol(value);
            if (name == "hex") t.bytes = FromHex(value);
        }
        transactions.push_back(t);
    }
    return transactions;
}

std::vector<LoggedCommand> LoggedCommands(const StandIn& standIn) {
    return CommandsInLog(StandInLog(standIn));
}
