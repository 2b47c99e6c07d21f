#include "batch_report.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "printed_text.h"

namespace {

TEST(RecordOutcome, CountsEachOutcomeAndReportsAllButAcknowledged) {
    const struct {
        CommandOutcome outcome;
        std::string report;
        unsigned long sent, acknowledged, refused, unanswered, notSent;
        bool lost;
    } cases[] = {
        {CommandOutcome::Acknowledged, "", 1, 1, 0, 0, 0, false},
        {CommandOutcome::Refused, "line 12: refused: GOXY X:1 Y:2\n", 1, 0, 1, 0, 0, false},
        {CommandOutcome::Unanswered, "line 12: unanswered: GOXY X:1 Y:2\n", 1, 0, 0, 1, 0, false},
        {CommandOutcome::ConversationLost,
         "line 12: not sent, the conversation was lost: GOXY X:1 Y:2\n", 0, 0, 0, 0, 1, true},
        {CommandOutcome::HoldsNul, "line 12: not sent, it holds a NUL byte: GOXY X:1 Y:2\n", 0, 0,
         0, 0, 1, false},
    };
    for (const auto& c : cases) {
        BatchCounts counts;
        const std::string report = PrintedText(
            [&](std::FILE* err) { RecordOutcome(counts, err, 12, "GOXY X:1 Y:2", c.outcome); });
        EXPECT_EQ(report, c.report);
        EXPECT_EQ(counts.sent, c.sent) << c.report;
        EXPECT_EQ(counts.acknowledged, c.acknowledged) << c.report;
        EXPECT_EQ(counts.refused, c.refused) << c.report;
        EXPECT_EQ(counts.unanswered, c.unanswered) << c.report;
        EXPECT_EQ(counts.notSent, c.notSent) << c.report;
        EXPECT_EQ(counts.lost, c.lost) << c.report;
    }
}

TEST(RecordOutcome, ShowsNulBytesAndLeavesOtherBytesAsTheyAre) {
    BatchCounts counts;
    EXPECT_EQ(PrintedText([&](std::FILE* err) {
                  RecordOutcome(counts, err, 3, std::string("a\0b\xF8\\0\0", 7),
                                CommandOutcome::HoldsNul);
              }),
              "line 3: not sent, it holds a NUL byte: a\\0b\xF8\\0\\0\n");
}

TEST(BatchReport, SummaryLostCommandsAndUnreadableScript) {
    BatchCounts counts;
    counts.sent = 5, counts.acknowledged = 2, counts.refused = 1, counts.unanswered = 2;
    counts.notSent = 7;
    EXPECT_EQ(PrintedText([&](std::FILE* out) { PrintSummary(out, counts); }),
              "sent 5, acknowledged 2, refused 1, unanswered 2, not sent 7\n");
    EXPECT_EQ(PrintedText([](std::FILE* err) { ReportLostCommands(err, 1, 9); }),
              "not sent: 1 command line, from line 9 on\n");
    EXPECT_EQ(PrintedText([](std::FILE* err) { ReportLostCommands(err, 4, 9); }),
              "not sent: 4 command lines, from line 9 on\n");
    EXPECT_EQ(PrintedText([](std::FILE* err) { ReportUnreadableScript(err, "talk.txt", ENOENT); }),
              "ZenoltBatch: cannot read talk.txt: No such file or directory\n");
}

TEST(BatchExitStatus, FromWhatBecameOfTheCommands) {
    const struct {
        const char* name;
        bool reached, lost, readFailed;
        unsigned long refused, unanswered, notSent;
        int status;
    } cases[] = {
        {"all acknowledged", true, false, false, 0, 0, 0, 0},
        {"a refusal", true, false, false, 1, 0, 0, 2},
        {"an unanswered command", true, false, false, 0, 1, 0, 2},
        {"a line with a NUL", true, false, false, 0, 0, 1, 2},
        {"not reached", false, false, false, 0, 0, 0, 1},
        {"lost part way", true, true, false, 1, 1, 3, 1},
        {"unreadable part way", true, false, true, 1, 0, 0, 3},
    };
    for (const auto& c : cases) {
        BatchCounts counts;
        counts.reached = c.reached, counts.lost = c.lost, counts.readFailed = c.readFailed;
        counts.refused = c.refused, counts.unanswered = c.unanswered, counts.notSent = c.notSent;
        EXPECT_EQ(BatchExitStatus(counts), c.status) << c.name;
    }
}

}  // namespace
