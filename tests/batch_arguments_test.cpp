#include "batch_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

BatchArguments Parsed(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "ZenoltBatch");
    return ParseBatchArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(ParseBatchArguments, UsageWhenAskedFor) {
    for (const std::vector<const char*>& asked :
         {std::vector<const char*>{}, {"--help"}, {"-h"}, {"--json", "--help", "x"}, {"-h", "--bogus"}}) {
        EXPECT_TRUE(Parsed(asked).showUsage) << asked.size();
        EXPECT_FALSE(Parsed(asked).badUsage || Parsed(asked).showVersion) << asked.size();
    }
    EXPECT_TRUE(Parsed({"--version"}).showVersion);
    EXPECT_FALSE(Parsed({"--version"}).showUsage || Parsed({"--version"}).badUsage);
}

TEST(ParseBatchArguments, OptionsBeforeOneFile) {
    const struct {
        const char* name;
        std::vector<const char*> arguments;
        unsigned long timeoutMs, pauseMs;
        std::string input;
        bool replies = false, json = false;
    } cases[] = {
        {"a file, the defaults", {"talk.txt"}, 1000, 0, "talk.txt"},
        {"standard input", {"-"}, 1000, 0, "-"},
        {"a time-out", {"--timeout", "250", "talk.txt"}, 250, 0, "talk.txt"},
        {"both, either order", {"--pause", "40", "--timeout", "1", "-"}, 1, 40, "-"},
        {"the longest waits", {"--timeout", "3600000", "--pause", "3600000", "x"}, 3600000,
         3600000, "x"},
        {"no pause", {"--pause", "0", "x"}, 1000, 0, "x"},
        {"leading zeros", {"--timeout", "007", "x"}, 7, 0, "x"},
        {"replies and JSON", {"--json", "--pause", "5", "--replies", "-"}, 1000, 5, "-", true, true},
    };
    for (const auto& c : cases) {
        const BatchArguments parsed = Parsed(c.arguments);
        EXPECT_FALSE(parsed.showUsage || parsed.badUsage) << c.name;
        EXPECT_EQ(parsed.timeoutMs, c.timeoutMs) << c.name;
        EXPECT_EQ(parsed.pauseMs, c.pauseMs) << c.name;
        EXPECT_EQ(parsed.input, c.input) << c.name;
        EXPECT_EQ(parsed.replies, c.replies) << c.name;
        EXPECT_EQ(parsed.json, c.json) << c.name;
    }
}

// Each bad command line is told in one line that names what is wrong.
TEST(ParseBatchArguments, BadOptionsAndValues) {
    const struct {
        std::vector<const char*> arguments;
        const char* error;
    } cases[] = {
        {{"--timeout", "0", "x"}, "--timeout 0: not a whole number of milliseconds from 1 to 3600000"},
        {{"--timeout=3600001", "x"}, "--timeout 3600001: not a whole number of milliseconds from 1 to 3600000"},
        {{"--pause", "3600001", "x"}, "--pause 3600001: not a whole number of milliseconds from 0 to 3600000"},
        {{"--timeout", "99999999999999999999999", "x"},
         "--timeout 99999999999999999999999: not a whole number of milliseconds from 1 to 3600000"},
        {{"--timeout=", "x"}, "--timeout \"\": not a whole number of milliseconds from 1 to 3600000"},
        {{"--pause", "-5", "x"}, "--pause -5: not a whole number of milliseconds from 0 to 3600000"},
        {{"--wait", "86401", "x"}, "--wait 86401: not a whole number of seconds from 0 to 86400"},
        {{"--timeout"}, "--timeout: its value is missing"},
        {{"--timeout", "5"}, "no script: a file, or - for standard input"},
        {{"x", "y"}, "one script only, not x and y"},
        {{"x", "--pause", "5"}, "one script only, not x and --pause"},
        {{"--verbose", "x"}, "--verbose: no such option"},
        {{"--verbose=1", "x"}, "--verbose: no such option"},
        {{"-v"}, "-v: no such option"},
        {{""}, "the script's name is empty"},
        {{"--json=3", "x"}, "--json=3: --json takes no value"},
        {{"--server", "a:1", "--dde", "x"}, "--server and --dde: one or the other"},
        {{"--server", "::1", "x"},
         "--server ::1: not HOST[:PORT] (a name, an IPv4 address or [IPv6], PORT 1 to 65535)"},
        {{"--server=a:99999", "x"},
         "--server a:99999: not HOST[:PORT] (a name, an IPv4 address or [IPv6], PORT 1 to 65535)"},
    };
    for (const auto& c : cases) {
        const BatchArguments parsed = Parsed(c.arguments);
        EXPECT_TRUE(parsed.badUsage && !parsed.showUsage) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
}

TEST(ParseBatchArguments, WhereToLookAndHowLongToWait) {
    const BatchArguments local = Parsed({"x"});
    EXPECT_EQ(local.reach.by, ReachBy::Local);
    EXPECT_FALSE(local.timeoutGiven);
    const BatchArguments server = Parsed({"--server", "[::1]:4000", "--timeout", "5", "x"});
    EXPECT_EQ(server.reach.by, ReachBy::ServerOnly);
    EXPECT_EQ(AddressText(server.reach.server), "[::1]:4000");
    EXPECT_TRUE(server.timeoutGiven);
    EXPECT_EQ(Parsed({"--dde", "-"}).reach.by, ReachBy::DdeOnly);
    EXPECT_TRUE(Parsed({"--dde", "-"}).placeGiven);
    const BatchArguments waiting = Parsed({"--wait=86400", "--server=h", "--", "-x"});
    EXPECT_EQ(waiting.reach.waitSeconds, 86400u);
    EXPECT_TRUE(waiting.waitGiven && waiting.placeGiven);
    EXPECT_EQ(waiting.input, "-x");
}

}  // namespace
