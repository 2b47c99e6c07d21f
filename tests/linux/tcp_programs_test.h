// What the Linux end-to-end tests share: a fixture that runs the stand-in
// planetarium, publishing its port in a home of the test's own, and starts
// the programs with that home and with none of the ZENOLT_ variables of the
// test's own environment.
#ifndef ZENOLT_TESTS_LINUX_TCP_PROGRAMS_TEST_H
#define ZENOLT_TESTS_LINUX_TCP_PROGRAMS_TEST_H

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "process_runner.h"
#include "stand_in.h"

const char kConnectFailureLine[] = "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\n";

// Succeeds when the program ended by itself; otherwise says why not, with
// what it wrote to standard error.
inline ::testing::AssertionResult Finished(const ProgramRun& run) {
    if (run.finished) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the program did not finish: " << run.failure
                                         << "\nits standard error: " << run.err;
}

typedef std::vector<std::pair<std::string, std::optional<std::string>>> EnvironmentChanges;

class TcpProgramsEndToEnd : public ::testing::Test {
protected:
    void TearDown() override {
        StopStandIn(standIn);
        if (!home.empty()) {
            EXPECT_TRUE(RemoveScratchDirectory(home));
        }
    }

    // Starts the stand-in with options, publishing its port in home (made
    // first, unless there is one).
    void StartPlanetarium(std::vector<std::string> options = {}, StandIn* which = nullptr) {
        if (home.empty()) home = NewScratchDirectory();
        options.insert(options.begin(), {"--port-file", PublishedPortFile(home)});
        std::string failure;
        ASSERT_TRUE(StartStandIn(which != nullptr ? *which : standIn, options, failure)) << failure;
    }

    // The commands the stand-in logged, but the QUIT each conversation ends with.
    std::vector<std::string> Commands() {
        std::vector<std::string> bytes;
        for (const LoggedCommand& command : LoggedCommands(standIn)) {
            if (command.bytes != "QUIT") bytes.push_back(command.bytes);
        }
        return bytes;
    }

    // A program next to the test with arguments, HOME the user's home, no
    // ZENOLT_ variable but those of environment.
    ProgramLaunch Launch(const std::string& program, const std::vector<std::string>& arguments,
                         const EnvironmentChanges& environment = {}) {
        ProgramLaunch launch;
        launch.argv = {ProgramDirectory() + program};
        launch.argv.insert(launch.argv.end(), arguments.begin(), arguments.end());
        launch.environment = {{"HOME", home},
                              {"ZENOLT_SERVER", std::nullopt},
                              {"ZENOLT_WAIT", std::nullopt},
                              {"ZENOLT_TRACE", std::nullopt},
                              {"ZENOLT_SESSION", std::nullopt}};
        launch.environment.insert(launch.environment.end(), environment.begin(), environment.end());
        return launch;
    }

    // Runs a program as Launch makes it, input its standard input.
    ProgramRun Run(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& input = "", unsigned long limitMs = 20000,
                   const EnvironmentChanges& environment = {}) {
        ProgramLaunch launch = Launch(program, arguments, environment);
        launch.input = input;
        return RunProgram(launch, static_cast<long>(limitMs));
    }

    StandIn standIn;
    std::string home;
};

#endif
