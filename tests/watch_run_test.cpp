#include "watch_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_output.h"
#include "fake_dde.h"

using namespace std::string_literals;

namespace {

const char kTime[] = "2026-12-07T21:14:03.120+01:00";
const char kAdviseStart[] =
    "DdeClientTransaction(data=null, length=0, conversation=conversation, item=name3, format=1, "
    "type=0x1030, timeout=5000, result=null)";
const char kAdviseStop[] =
    "DdeClientTransaction(data=null, length=0, conversation=conversation, item=name3, format=1, "
    "type=0x8040, timeout=1000, result=null)";
const char kRequest[] =
    "DdeClientTransaction(data=null, length=0, conversation=conversation, item=name3, format=1, "
    "type=0x20B0, timeout=5000, result=null)";

std::string Record(const std::string& text) {
    return kTime + (" " + std::to_string(text.size()) + " bytes\r\n") + text + "\r\n";
}

class RunWatchTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeDde(); }

    CapturedOutput Run(const std::vector<const char*>& options) {
        std::vector<const char*> argv = {"ZenoltWatch"};
        argv.insert(argv.end(), options.begin(), options.end());
        arguments = ParseWatchArguments(static_cast<int>(argv.size()), argv.data());
        return CaptureOutput([&] { status = RunWatch(arguments); });
    }

    // The DDE calls but the checks of the partner, the reading of data and
    // the waits.
    static std::vector<std::string> Conversation() {
        return CallsBut({"DdeQueryConvInfo", "DdeAccessData", "DdeUnaccessData",
                         "MsgWaitForMultipleObjects"});
    }

    WatchArguments arguments;
    int status = -1;
};

TEST_F(RunWatchTest, AdvisedValuesBecomeRecordsInOrderUntilTheCount) {
    fakeDde.events = {{100, FakeEvent::Advise, "OK! ZOM+\r\nLAST ZOM+\r\n\0"s},
                      {100, FakeEvent::Advise, "A\0B"s},
                      {250, FakeEvent::Advise, ""},
                      {300, FakeEvent::Advise, "not wanted"}};
    const CapturedOutput output = Run({"--count", "3"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(output.out, Record("OK! ZOM+\r\nLAST ZOM+\r\n") + Record("A") + Record(""));
    EXPECT_EQ(output.err, "");
    const std::string taken = "callback(XTYP_ADVDATA) answered 0x8000";
    EXPECT_EQ(Conversation(), Joined(ExpectedClientOpening(),
                                     {{kAdviseStart, taken, taken, taken, kAdviseStop},
                                      ExpectedTeardown("conversation")}));
    EXPECT_EQ(FakeMsWaited(), 250u);
}

TEST_F(RunWatchTest, HowTheWatchEnds) {
    const std::string lost = "ZenoltWatch: the conversation with Cartes du Ciel was lost\n";
    const struct {
        const char* name;
        std::vector<const char*> options;
        std::vector<FakeEvent> events;
        int status;
        std::string err;
        bool stopsLink;   // the advise link is ended before the disconnect
        DWORD endsAtMs;   // on the fake clock
    } cases[] = {
        {"a quit request", {}, {{700, FakeEvent::Quit, ""}}, 0, "", true, 700},
        {"no value in time", {"--timeout", "300"}, {}, 2,
         "ZenoltWatch: no new value within 300 ms\n", true, 300},
        {"the time-out counts from the last record", {"--timeout", "300"},
         {{200, FakeEvent::Advise, "x"}, {450, FakeEvent::Advise, "y"}}, 2,
         "ZenoltWatch: no new value within 300 ms\n", true, 750},
        {"the planetarium ends", {"--timeout", "5000"}, {{400, FakeEvent::PartnerEnds, ""}}, 1,
         lost, false, 500},
    };
    for (const auto& c : cases) {
        ResetFakeDde();
        fakeDde.events = c.events;
        const CapturedOutput output = Run(c.options);
        EXPECT_EQ(status, c.status) << c.name;
        EXPECT_EQ(output.err, c.err) << c.name;
        std::vector<std::string> middle = {kAdviseStart};
        for (const FakeEvent& e : c.events) {
            if (e.kind == FakeEvent::Advise) middle.push_back("callback(XTYP_ADVDATA) answered 0x8000");
        }
        if (c.stopsLink) middle.push_back(kAdviseStop);
        EXPECT_EQ(Conversation(), Joined(ExpectedClientOpening(),
                                         {middle, ExpectedTeardown("conversation")}))
            << c.name;
        EXPECT_EQ(FakeMsWaited(), c.endsAtMs) << c.name;
    }
}

TEST_F(RunWatchTest, NowRequestsTheValueBeforeTheLinkStarts) {
    fakeDde.requestAnswers = {{true, "as it is\0"s}};
    fakeDde.events = {{10, FakeEvent::Advise, "changed\0"s}};
    const CapturedOutput output = Run({"--now", "--count", "2"});
    EXPECT_EQ(output.out, Record("as it is") + Record("changed"));
    EXPECT_EQ(Conversation(),
              Joined(ExpectedClientOpening(),
                     {{kRequest, kAdviseStart, "callback(XTYP_ADVDATA) answered 0x8000", kAdviseStop},
                      ExpectedTeardown("conversation")}));
}

TEST_F(RunWatchTest, PollingWritesChangesOnly) {
    const std::vector<FakeRequestAnswer> answers = {
        {true, "A\0"s}, {true, "A\0old"s}, {false, ""}, {true, "B"}, {true, "B\0"s}, {true, "C\0"s}};
    const struct {
        const char* name;
        std::vector<const char*> options;
        bool adviseAccepted;
        std::string out;
        std::string err;
        DWORD endsAtMs;
    } cases[] = {
        {"asked for", {"--poll", "100", "--count", "2"}, true, Record("B") + Record("C"), "", 500},
        {"with the value as it is first", {"--now", "--poll", "100", "--count", "2"}, true,
         Record("A") + Record("B"), "", 300},
        {"when the planetarium refuses an advise link", {"--count", "1"}, false, Record("B"),
         "ZenoltWatch: Cartes du Ciel refused to tell of changes; asking every 1000 ms instead\n",
         3000},
    };
    for (const auto& c : cases) {
        ResetFakeDde();
        fakeDde.requestAnswers = answers;
        fakeDde.adviseAccepted = c.adviseAccepted;
        const CapturedOutput output = Run(c.options);
        EXPECT_EQ(status, 0) << c.name;
        EXPECT_EQ(output.out, c.out) << c.name;
        EXPECT_EQ(output.err, c.err) << c.name;
        EXPECT_EQ(FakeMsWaited(), c.endsAtMs) << c.name;
        for (const std::string& call : fakeDde.calls) {
            EXPECT_NE(call, kAdviseStop) << c.name << ": no link to stop";
        }
    }
}

}  // namespace
