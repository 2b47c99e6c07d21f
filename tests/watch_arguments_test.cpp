#include "watch_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

WatchArguments Parsed(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "ZenoltWatch");
    return ParseWatchArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(ParseWatchArguments, OptionsInAnyOrder) {
    const struct {
        std::vector<const char*> arguments;
        bool now, json;
        unsigned long count, timeoutMs, pollMs;
    } cases[] = {
        {{}, false, false, 0, 0, 0},
        {{"--now", "--json"}, true, true, 0, 0, 0},
        {{"--count", "1", "--timeout", "60000"}, false, false, 1, 60000, 0},
        {{"--poll", "50", "--now", "--count", "4294967295"}, true, false, 4294967295UL, 0, 50},
        {{"--timeout", "1", "--poll", "3600000", "--timeout", "3600000"}, false, false, 0, 3600000,
         3600000},
    };
    for (const auto& c : cases) {
        const WatchArguments parsed = Parsed(c.arguments);
        EXPECT_FALSE(parsed.showUsage || parsed.badUsage);
        EXPECT_EQ(parsed.now, c.now);
        EXPECT_EQ(parsed.json, c.json);
        EXPECT_EQ(parsed.count, c.count);
        EXPECT_EQ(parsed.timeoutMs, c.timeoutMs);
        EXPECT_EQ(parsed.pollMs, c.pollMs);
    }
    EXPECT_TRUE(Parsed({"--help"}).showUsage);
}

TEST(ParseWatchArguments, BadOptionsAndValues) {
    const std::vector<std::vector<const char*>> cases = {
        {"--count", "0"},          {"--count", "4294967296"}, {"--count", "4294967300"},
        {"--count"},
        {"--timeout", "0"},        {"--timeout", "3600001"},  {"--poll", "49"},
        {"--poll", "3600001"},     {"--poll", "1e3"},         {"--now", "--count", "-1"},
        {"--json", "--help"},      {"-n"},                    {"now"},
        {""},
    };
    for (const auto& arguments : cases) {
        std::string shown;
        for (const char* a : arguments) shown += std::string("[") + a + "]";
        EXPECT_TRUE(Parsed(arguments).badUsage) << shown;
        EXPECT_FALSE(Parsed(arguments).showUsage) << shown;
    }
}

}  // namespace
