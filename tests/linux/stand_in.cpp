#include "stand_in.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace {

void SleepMs(long ms) {
    timespec wait = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

long long NowMs() {
    timespec now = {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

bool StartStandIn(StandIn& standIn, const std::vector<std::string>& options,
                  std::string& failure) {
    standIn = StandIn{};
    standIn.directory = NewScratchDirectory();
    if (standIn.directory.empty()) {
        failure = "cannot make a directory for the stand-in";
        return false;
    }
    standIn.logPath = standIn.directory + "stand-in.log";
    standIn.stopPath = standIn.directory + "stop";
    ProgramLaunch launch;
    launch.argv = {ProgramDirectory() + "StandInPlanetarium", "--tcp", "--log", standIn.logPath,
                   "--stop-file", standIn.stopPath, "--lifetime", "300"};
    launch.argv.insert(launch.argv.end(), options.begin(), options.end());
    standIn.process = StartProgram(launch);
    if (!standIn.process.failure.empty()) {
        failure = standIn.process.failure;
        return false;
    }
    const std::string ready = "READY port=";
    const long long start = NowMs();
    while (NowMs() - start < 20000) {
        for (const std::string& line : StandInLog(standIn)) {
            if (line.compare(0, ready.size(), ready) != 0) continue;
            standIn.port = std::atoi(line.c_str() + ready.size());
            if (standIn.port > 0) return true;
        }
        // Still running: a wait of no time does not kill it.
        if (waitpid(standIn.process.pid, nullptr, WNOHANG) == standIn.process.pid) {
            standIn.process.pid = -1;
            failure = "the stand-in ended before it was listening: " +
                      ReadFileBytes(standIn.process.scratch + "stderr");
            return false;
        }
        SleepMs(10);
    }
    failure = "the stand-in was not listening within 20 s";
    return false;
}

void StopStandIn(StandIn& standIn) {
    if (standIn.process.pid > 0) {
        WriteFileBytes(standIn.stopPath, "");
        FinishProgram(standIn.process, 5000);
    } else if (!standIn.process.scratch.empty()) {
        RemoveScratchDirectory(standIn.process.scratch);
    }
    standIn.process = RunningProgram{};
    if (!standIn.directory.empty()) RemoveScratchDirectory(standIn.directory);
    standIn.directory.clear();
    standIn.port = 0;
}

std::vector<std::string> StandInLog(const StandIn& standIn) {
    std::vector<std::string> lines;
    std::istringstream log(ReadFileBytes(standIn.logPath));
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
}

bool WaitForLogLine(const StandIn& standIn, const std::string& line, long timeoutMs) {
    const long long start = NowMs();
    for (;;) {
        const std::vector<std::string> lines = StandInLog(standIn);
        if (std::find(lines.begin(), lines.end(), line) != lines.end()) return true;
        if (NowMs() - start >= timeoutMs) return false;
        SleepMs(10);
    }
}

std::vector<LoggedCommand> LoggedCommands(const StandIn& standIn) {
    return CommandsInLog(StandInLog(standIn));
}

std::string PublishedPortFile(const std::string& home) {
    mkdir((home + ".skychart").c_str(), 0755);
    mkdir((home + ".skychart/tmp").c_str(), 0755);
    return home + ".skychart/tmp/tcpport";
}
