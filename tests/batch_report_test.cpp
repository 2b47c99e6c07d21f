#include "batch_report.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "batch_progress.h"
#include "fake_code_page.h"
#include "printed_text.h"

namespace {

TEST(RecordOutcome, CountsEachOutcomeAndReportsAllButAcknowledged) {
    const struct {
        CommandOutcome outcome;
        std::string report;
        unsigned long sent, acknowledged, refused, unanswered, notSent;
        bool lost;
        const char* answer = nullptr;
    } cases[] = {
        {CommandOutcome::Acknowledged, "", 1, 1, 0, 0, 0, false},
        {CommandOutcome::Refused, "line 12: refused: GOXY X:1 Y:2\n", 1, 0, 1, 0, 0, false},
        {CommandOutcome::Unanswered, "line 12: unanswered: GOXY X:1 Y:2\n", 1, 0, 0, 1, 0, false},
        {CommandOutcome::ConversationLost,
         "line 12: not sent, the conversation was lost: GOXY X:1 Y:2\n", 0, 0, 0, 0, 1, true},
        {CommandOutcome::HoldsNul, "line 12: not sent, it holds a NUL byte: GOXY X:1 Y:2\n", 0, 0,
         0, 0, 1, false},
        {CommandOutcome::TooLong, "line 12: not sent, longer than 1022 bytes: GOXY X:1 Y:2\n", 0, 0,
         0, 0, 1, false},
        {CommandOutcome::Refused, "line 12: refused: GOXY X:1 Y:2: Failed! Bad command name\n", 1, 0,
         1, 0, 0, false, "Failed! Bad command name"},
    };
    for (const auto& c : cases) {
        BatchCounts counts;
        const std::string answer = c.answer != nullptr ? c.answer : "";
        const std::string report = PrintedText([&](std::FILE* err) {
            RecordOutcome(counts, err, 12, "GOXY X:1 Y:2", c.outcome,
                          c.answer != nullptr ? &answer : nullptr);
        });
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

TEST(WriteCommandObject, EveryOutcomeAndAReply) {
    const Reply reply = {reinterpret_cast<const unsigned char*>("OK! \xF8\r\n\0x"), 9};
    const Reply utf8 = {reinterpret_cast<const unsigned char*>("OK! +41\xC2\xB0 \xF8\r\n"), 13, true};
    const struct {
        CommandOutcome outcome;
        const Reply* reply;
        std::string object;
    } cases[] = {
        {CommandOutcome::Acknowledged, nullptr, R"("outcome":"acknowledged"})"},
        {CommandOutcome::Acknowledged, &reply, R"("outcome":"acknowledged","reply":"OK! \u00f8\r\n"})"},
        {CommandOutcome::Refused, nullptr, R"("outcome":"refused"})"},
        {CommandOutcome::Unanswered, nullptr, R"("outcome":"unanswered"})"},
        {CommandOutcome::HoldsNul, nullptr, R"("outcome":"not-sent-nul"})"},
        {CommandOutcome::ConversationLost, nullptr, R"("outcome":"not-sent-lost"})"},
        {CommandOutcome::TooLong, nullptr, R"("outcome":"not-sent-long"})"},
        {CommandOutcome::Refused, &utf8, R"("outcome":"refused","reply":"OK! +41\u00b0 \ufffd\r\n"})"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrintedText([&](std::FILE* out) {
                      WriteCommandObject(out, 4, "FIND \"M 31\"", c.outcome, c.reply, FakeCodePage());
                  }),
                  R"({"line":4,"command":"FIND \"M 31\"",)" + c.object + "\r\n");
    }
    BatchCounts counts;
    counts.sent = 3, counts.acknowledged = 1, counts.refused = 1, counts.unanswered = 1;
    counts.notSent = 2;
    EXPECT_EQ(PrintedText([&](std::FILE* out) { PrintJsonSummary(out, counts); }),
              R"({"sent":3,"acknowledged":1,"refused":1,"unanswered":1,"notSent":2})" "\r\n");
}

TEST(BatchProgress, TheLineAndWhenItIsDrawn) {
    EXPECT_EQ(ProgressText(120, true, 450, 1000, 12999), "ZenoltBatch: 120 sent, 45% of the script read, 0:12");
    EXPECT_EQ(ProgressText(0, true, 0, 0, 0), "ZenoltBatch: 0 sent, 100% of the script read, 0:00");
    EXPECT_EQ(ProgressText(7, false, 99, 0, 3723000), "ZenoltBatch: 7 sent, 1:02:03");
    BatchProgress progress;
    progress.startMs = 1000;
    const std::string drawn = PrintedText([&](std::FILE* err) {
        ShowProgress(err, progress, 100, 0, 1000);  // the first: drawn
        ShowProgress(err, progress, 101, 0, 1099);  // too soon
        ShowProgress(err, progress, 9, 0, 1100);    // shorter: blanks over the rest
        ClearProgress(err, progress);
        ClearProgress(err, progress);               // nothing shown: nothing to clear
        ShowProgress(err, progress, 10, 0, 1199);   // too soon, also after a clear
        ShowProgress(err, progress, 10, 0, 61100);
    });
    EXPECT_EQ(drawn,
              "\rZenoltBatch: 100 sent, 0:00"
              "\rZenoltBatch: 9 sent, 0:00  "
              "\r                         \r"
              "\rZenoltBatch: 10 sent, 1:00");
}

}  // namespace
