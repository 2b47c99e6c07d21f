#include "dumper_usage.h"

#include <gtest/gtest.h>

#include "printed_text.h"

namespace {

TEST(DumperUsage, ThreeLinesAndAnEmptyOneThenTheCreditWithoutALineEnd) {
    const std::string usage = PrintedText(PrintDumperUsage);
    EXPECT_EQ(usage,
              "Usage: Zenolt\n"
              "This will output all DDE-Data from CDC\n"
              "\n"
              "Telmar (https://telmar.example/) 2004");
}

}  // namespace
