#include "dumper_usage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "printed_text.h"
#include "stream_writes.h"

namespace {

TEST(DumperUsage, ThreeLinesAndAnEmptyOneThenTheCreditWithoutALineEnd) {
    const std::string usage = PrintedText(PrintDumperUsage);
    EXPECT_EQ(usage,
              "Usage: Zenolt\n"
              "This will output all DDE-Data from CDC\n"
              "\n"
              "Telmar (https://telmar.example/) 2004");
}

#ifdef ZENOLT_HAVE_STREAM_WRITES
TEST(DumperUsage, FlushesEachLineEndButLeavesTheCreditToTheEnd) {
    EXPECT_EQ(DeviceWrites(PrintDumperUsage),
              (std::vector<std::string>{"Usage: Zenolt\n", "This will output all DDE-Data from CDC\n",
                                        "\n", "Telmar (https://telmar.example/) 2004"}));
}
#endif

}  // namespace
