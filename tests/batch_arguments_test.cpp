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
    EXPECT_TRUE(Parsed({}).showUsage);
    EXPECT_TRUE(Parsed({"--help"}).showUsage);
    EXPECT_FALSE(Parsed({"--help"}).badUsage);
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

TEST(ParseBatchArguments, BadOptionsAndValues) {
    const std::vector<std::vector<const char*>> cases = {
        {"--timeout", "0", "x"},           // 0 would not wait at all
        {"--timeout", "3600001", "x"},
        {"--pause", "3600001", "x"},
        {"--timeout", "99999999999999999999999", "x"},
        {"--timeout", "", "x"},
        {"--timeout", "+5", "x"},
        {"--pause", "-5", "x"},
        {"--timeout", "1x", "x"},
        {"--timeout", "x"},                // value missing: "x" is taken as it
        {"--timeout"},
        {"--timeout", "5"},                // no FILE
        {"x", "y"},
        {"x", "--pause", "5"},             // options after FILE
        {"--verbose", "x"},
        {"-v"},
        {""},
        {"--help", "x"},
        {"--version", "x"},                // alone only
        {"--replies"},                     // no FILE
        {"--json", "3", "x"},              // takes no value: "3" is the FILE
        {"--server", "a:1", "--dde", "x"},  // one way or the other
        {"--server", "::1", "x"},           // IPv6 wants brackets
        {"--server", "x"},                 // value missing
    };
    for (const auto& arguments : cases) {
        std::string shown;
        for (const char* a : arguments) shown += std::string("[") + a + "]";
        EXPECT_TRUE(Parsed(arguments).badUsage) << shown;
        EXPECT_FALSE(Parsed(arguments).showUsage) << shown;
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
}

}  // namespace
