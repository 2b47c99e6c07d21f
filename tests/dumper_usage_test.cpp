#include "dumper_usage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_usage.h"
#include "printed_text.h"
#include "stream_writes.h"

namespace {

TEST(DumperUsage, IsTheExpectedTextByteForByte) {
    EXPECT_EQ(PrintedText(PrintDumperUsage), ExpectedDumperUsage());
}

#ifdef ZENOLT_HAVE_STREAM_WRITES
TEST(DumperUsage, FlushesEachLineEndButLeavesTheCreditToTheEnd) {
    EXPECT_EQ(DeviceWrites(PrintDumperUsage), PiecesEndingAtLineEnds(ExpectedDumperUsage()));
}
#endif

}  // namespace
