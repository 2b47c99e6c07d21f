// What the end-to-end tests of both programs share: a test fixture that runs
// the stand-in planetarium and ends it after each test, and small helpers.
#ifndef ZENOLT_TESTS_E2E_PLANETARIUM_TEST_H
#define ZENOLT_TESTS_E2E_PLANETARIUM_TEST_H

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "process_runner.h"
#include "stand_in.h"

const char kConnectFailureLineAsWritten[] =
    "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\r\n";

// The quoted path of one of the programs under test, as a command line's
// first token.
inline std::string QuotedProgram(const std::string& name) {
    return "\"" + ProgramDirectory() + name + "\"";
}

// text as a text-mode stream writes it to a file: every line feed becomes
// CR LF, also one that already follows a CR.
inline std::string WithCrLf(const std::string& text) {
    std::string written;
    for (char c : text) {
        if (c == '\n') written += '\r';
        written += c;
    }
    return written;
}

// A record's time: ISO 8601 local time with milliseconds and UTC offset.
inline const std::regex& RecordTimePattern() {
    static const std::regex time(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
    return time;
}

// The texts of the records a watch wrote, in order; a record that is not a
// header line, exactly that many bytes and CR LF fails the test.
inline std::vector<std::string> WatchRecords(const std::string& out) {
    static const std::regex header(R"((\S+) (\d+) bytes\r\n)");
    std::vector<std::string> texts;
    for (std::size_t at = 0; at < out.size();) {
        std::smatch match;
        const std::string rest = out.substr(at, 64);
        if (!std::regex_search(rest, match, header, std::regex_constants::match_continuous) ||
            !std::regex_match(match.str(1), RecordTimePattern())) {
            ADD_FAILURE() << "no record header at byte " << at;
            break;
        }
        const std::size_t length = std::stoul(match.str(2));
        const std::size_t text = at + match.length(0);
        if (out.compare(text + length, 2, "\r\n") != 0) {
            ADD_FAILURE() << "the record at byte " << at << " does not end after its " << length
                          << " bytes";
            break;
        }
        texts.push_back(out.substr(text, length));
        at = text + length + 2;
    }
    return texts;
}

// Succeeds when the program ended by itself; otherwise says why not, with
// what it wrote to standard error.
inline ::testing::AssertionResult Finished(const ProgramRun& run) {
    if (run.finished) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the program did not finish: " << run.failure
                                         << "\nits standard error: " << run.err;
}

class PlanetariumTest : public ::testing::Test {
protected:
    // Ends the stand-in and removes what the test made under the temporary
    // folder. A scratch folder left behind fails the test, and is then
    // removed so that it does not fail the next one too.
    void TearDown() override {
        StopStandIn(standIn);
        for (const std::string& directory : scratch) RemoveScratchDirectory(directory);
        const std::vector<std::string> left = ScratchDirectoriesLeft();
        EXPECT_EQ(left, std::vector<std::string>{}) << "scratch folders left behind";
        for (const std::string& directory : left) RemoveScratchDirectory(directory);
    }

    // A new empty folder, removed when the test ends.
    std::string NewTestDirectory() {
        scratch.push_back(NewScratchDirectory());
        return scratch.back();
    }

    // Starts the stand-in planetarium with the given options.
    void StartPlanetarium(const std::string& options = "") {
        std::string failure;
        ASSERT_TRUE(StartStandIn(standIn, options, failure)) << failure;
    }

    // Starts the stand-in planetarium serving item as its data item.
    void StartPlanetariumServing(const std::string& item) {
        const std::string path = NewTestDirectory() + "item";
        WriteFileBytes(path, item);
        StartPlanetarium("--serve \"" + path + "\"");
    }

    StandIn standIn;
    std::vector<std::string> scratch;
};

#endif
