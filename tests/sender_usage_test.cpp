#include "sender_usage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_usage.h"
#include "printed_text.h"
#include "stream_writes.h"

namespace {

TEST(SenderUsage, IsTheExpectedTextByteForByte) {
    EXPECT_EQ(PrintedText(PrintSenderUsage), ExpectedSenderUsage());
}

#ifdef ZENOLT_HAVE_STREAM_WRITES
TEST(SenderUsage, FlushesAfterEveryLineEnd) {
    EXPECT_EQ(DeviceWrites(PrintSenderUsage), PiecesEndingAtLineEnds(ExpectedSenderUsage()));
}
#endif

}  // namespace
