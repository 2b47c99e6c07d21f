#include "watch_arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The options ZenoltWatch takes and their bounds; how options are read is
// the batch's too, and tested with its arguments.
TEST(ParseWatchArguments, OptionsAndTheirBounds) {
    const struct {
        std::vector<const char*> arguments;
        bool good;
        unsigned long count = 0, timeoutMs = 0, pollMs = 0;
    } cases[] = {
        {{}, true, 0, 0, 0},
        {{"--now", "--json", "--count", "1", "--timeout", "1", "--poll", "50"}, true, 1, 1, 50},
        {{"--count", "4294967295", "--timeout", "3600000", "--poll", "3600000"}, true,
         4294967295UL, 3600000, 3600000},
        {{"--count", "0"}, false},       {{"--count", "4294967296"}, false},
        {{"--count", "4294967300"}, false},  // past 32 bits: must not wrap to 4
        {{"--timeout", "0"}, false},     {{"--timeout", "3600001"}, false},
        {{"--poll", "49"}, false},       {{"--poll", "3600001"}, false},
        {{"now"}, false},  // every argument is an option
        {{"--wait", "86401"}, false},    {{"--follow=1"}, false},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"ZenoltWatch"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const WatchArguments parsed = ParseWatchArguments(static_cast<int>(argv.size()), argv.data());
        std::string shown;
        for (const char* a : c.arguments) shown += std::string("[") + a + "]";
        EXPECT_EQ(parsed.badUsage, !c.good) << shown;
        EXPECT_EQ(parsed.error.empty(), c.good) << shown;
        EXPECT_FALSE(parsed.showUsage) << shown;
        if (!c.good) continue;
        EXPECT_EQ(parsed.now && parsed.json, c.arguments.size() == 8) << shown;
        EXPECT_EQ(parsed.count, c.count) << shown;
        EXPECT_EQ(parsed.timeoutMs, c.timeoutMs) << shown;
        EXPECT_EQ(parsed.pollMs, c.pollMs) << shown;
    }
    const char* const help[] = {"ZenoltWatch", "--follow", "-h"};
    EXPECT_TRUE(ParseWatchArguments(3, help).showUsage);
    const char* const follow[] = {"ZenoltWatch", "--follow", "--wait", "0"};
    const WatchArguments following = ParseWatchArguments(4, follow);
    EXPECT_TRUE(following.follow && following.waitGiven && following.reach.waitSeconds == 0);
    const char* const version[] = {"ZenoltWatch", "--version"};
    EXPECT_TRUE(ParseWatchArguments(2, version).showVersion);
}

}  // namespace
