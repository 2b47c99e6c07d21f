#include "batch_run.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "captured_output.h"
#include "fake_dde.h"

using namespace std::string_literals;

namespace {


std::string PokeCall(std::size_t length, DWORD timeoutMs) {
    return "DdeClientTransaction(data=set, length=" + std::to_string(length) +
           ", conversation=conversation, item=name3, format=1, type=0x4090, timeout=" +
           std::to_string(timeoutMs) + ", result=set)";
}

const char kLastErrorCall[] = "DdeGetLastError(instance=42)";
const char kQueryCall[] = "DdeQueryConvInfo(conversation, transaction=0xFFFFFFFF)";
const char kRequestCall[] =
    "DdeClientTransaction(data=null, length=0, conversation=conversation, item=name3, format=1, "
    "type=0x20B0, timeout=1000, result=null)";

// The calls of a pause of ms that ends in time: the conversation is looked
// at before and after the wait.
std::vector<std::string> PauseCalls(DWORD ms) {
    return {kQueryCall, "MsgWaitForMultipleObjects(ms=" + std::to_string(ms) + ")", kQueryCall};
}

struct Script {
    std::string bytes;
    std::size_t served = 0;
};

long ReadScript(void* source, char* buffer, std::size_t size) {
    Script& script = *static_cast<Script*>(source);
    const std::size_t count = std::min(size, script.bytes.size() - script.served);
    std::memcpy(buffer, script.bytes.data() + script.served, count);
    script.served += count;
    return static_cast<long>(count);
}

class RunBatchTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeDde(); }

    // Runs the script through RunBatch; returns what it wrote.
    CapturedOutput Run(const std::string& bytes, DWORD timeoutMs = 1000, DWORD pauseMs = 0,
                       bool replies = false, bool json = false) {
        script = {bytes};
        ScriptReader reader;
        StartScript(reader, ReadScript, &script);
        BatchArguments arguments;
        arguments.timeoutMs = timeoutMs;
        arguments.pauseMs = pauseMs;
        arguments.replies = replies;
        arguments.json = json;
        return CaptureOutput([&] { counts = RunBatch(reader, arguments, nullptr); });
    }

    Script script;
    BatchCounts counts;
};

TEST_F(RunBatchTest, EveryCommandInOrderInOneConversationWithPausesBetween) {
    const CapturedOutput output = Run("ZOM+\n# comment\n  GOXY X:1 Y:2 \r\n\nZOM-", 250, 40);
    EXPECT_EQ(fakeDde.calls,
              Joined(ExpectedClientOpening(), {{PokeCall(5, 250)}, PauseCalls(40), {PokeCall(13, 250)},
                                               PauseCalls(40), {PokeCall(5, 250)},
                                               ExpectedTeardown("conversation")}));
    EXPECT_EQ(fakeDde.pokedTexts, (std::vector<std::string>{std::string("ZOM+\0", 5),
                                                            std::string("GOXY X:1 Y:2\0", 13),
                                                            std::string("ZOM-\0", 5)}));
    EXPECT_EQ(output.out + output.err, "");
    EXPECT_EQ(counts.sent, 3u);
    EXPECT_EQ(counts.acknowledged, 3u);
    EXPECT_EQ(BatchExitStatus(counts), 0);
}

TEST_F(RunBatchTest, WithoutAPauseNothingWaits) {
    Run("ZOM+\nZOM-\n");
    EXPECT_EQ(fakeDde.calls, Joined(ExpectedClientOpening(), {{PokeCall(5, 1000), PokeCall(5, 1000)},
                                                              ExpectedTeardown("conversation")}));
}

TEST_F(RunBatchTest, WhatBecameOfAPoke) {
    const struct {
        const char* name;
        FakePokeAnswer answer;
        CommandOutcome outcome;
        std::vector<std::string> afterPoke;
    } cases[] = {
        {"acknowledged", {true, DDE_FACK, 0, true}, CommandOutcome::Acknowledged, {}},
        {"answered without DDE_FACK", {true, 0, 0, true}, CommandOutcome::Refused, {kQueryCall}},
        {"not processed", {false, 0, DMLERR_NOTPROCESSED, true}, CommandOutcome::Refused,
         {kLastErrorCall, kQueryCall}},
        {"busy", {false, 0, DMLERR_BUSY, true}, CommandOutcome::Refused,
         {kLastErrorCall, kQueryCall}},
        {"timed out", {false, 0, DMLERR_POKEACKTIMEOUT, true}, CommandOutcome::Unanswered,
         {kLastErrorCall, kQueryCall}},
        {"no conversation", {false, 0, DMLERR_NO_CONV_ESTABLISHED, false},
         CommandOutcome::ConversationLost, {kLastErrorCall, kQueryCall}},
        {"not processed as the planetarium ends", {false, 0, DMLERR_NOTPROCESSED, false},
         CommandOutcome::ConversationLost, {kLastErrorCall, kQueryCall}},
        {"answered as the planetarium ends", {true, 0, 0, false},
         CommandOutcome::ConversationLost, {kQueryCall}},
        {"timed out as the planetarium ends", {false, 0, DMLERR_POKEACKTIMEOUT, false},
         CommandOutcome::ConversationLost, {kLastErrorCall, kQueryCall}},
        {"the message could not be posted", {false, 0, DMLERR_POSTMSG_FAILED, true},
         CommandOutcome::ConversationLost, {kLastErrorCall, kQueryCall}},
    };
    for (const auto& c : cases) {
        ResetFakeDde();
        fakeDde.pokeAnswers = {c.answer};
        DdeLink link;
        CaptureOutput([&] { OpenConversation(link); });
        fakeDde.calls.clear();
        EXPECT_EQ(PokeCommand(link, "ZOM+", 1000), c.outcome) << c.name;
        EXPECT_EQ(fakeDde.calls, Joined({PokeCall(5, 1000)}, {c.afterPoke})) << c.name;
    }
}

TEST_F(RunBatchTest, RefusedAndUnansweredCommandsAreReportedAndTheRestStillGo) {
    fakeDde.pokeAnswers = {{}, {true, 0, 0, true}, {false, 0, DMLERR_POKEACKTIMEOUT, true}, {}};
    const CapturedOutput output = Run("A\n\nGOXY X:1\nLOAD big\r\nB");
    EXPECT_EQ(fakeDde.pokedTexts.size(), 4u);
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, "line 3: refused: GOXY X:1\nline 4: unanswered: LOAD big\n");
    EXPECT_EQ(counts.sent, 4u);
    EXPECT_EQ(counts.acknowledged, 2u);
    EXPECT_EQ(BatchExitStatus(counts), 2);
}

TEST_F(RunBatchTest, ALineHoldingANulIsReportedAndNotSent) {
    const CapturedOutput output = Run("A\nB\0C\nD\n"s);
    EXPECT_EQ(fakeDde.pokedTexts,
              (std::vector<std::string>{std::string("A\0", 2), std::string("D\0", 2)}));
    EXPECT_EQ(output.err, "line 2: not sent, it holds a NUL byte: B\\0C\n");
    EXPECT_EQ(counts.notSent, 1u);
    EXPECT_EQ(BatchExitStatus(counts), 2);
}

TEST_F(RunBatchTest, ALostConversationStopsThePokesAndTheRestIsCounted) {
    fakeDde.pokeAnswers = {{}, {}, {false, 0, DMLERR_NO_CONV_ESTABLISHED, false}};
    const CapturedOutput output = Run("A\nB\n# c\nC\nD\n\nE\0\nF"s, 1000, 5);
    EXPECT_EQ(fakeDde.calls,
              Joined(ExpectedClientOpening(),
                     {{PokeCall(2, 1000)}, PauseCalls(5), {PokeCall(2, 1000)}, PauseCalls(5),
                      {PokeCall(2, 1000), kLastErrorCall, kQueryCall},
                      ExpectedTeardown("conversation")}));
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err,
              "line 4: not sent, the conversation was lost: C\n"
              "not sent: 4 command lines, from line 4 on\n");
    EXPECT_EQ(counts.sent, 2u);
    EXPECT_EQ(counts.notSent, 4u);
    EXPECT_EQ(script.served, script.bytes.size());
    EXPECT_EQ(BatchExitStatus(counts), 1);
}

TEST_F(RunBatchTest, NoPlanetariumSendsNothingAndReadsNothing) {
    fakeDde.planetariumRunning = false;
    const CapturedOutput output = Run("A\nB\n");
    EXPECT_EQ(fakeDde.calls, Joined(ExpectedClientOpening(), {ExpectedTeardown("null")}));
    EXPECT_EQ(output.err, "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\n");
    EXPECT_EQ(script.served, 0u);
    EXPECT_EQ(BatchExitStatus(counts), 1);
}

TEST_F(RunBatchTest, APlanetariumThatEndsDuringAPauseIsNoticedAtOnce) {
    fakeDde.events = {{900, FakeEvent::PartnerEnds, ""}};
    const CapturedOutput output = Run("A\nB\nC\n", 1000, 60000);
    EXPECT_EQ(output.err,
              "line 2: not sent, the conversation was lost: B\n"
              "not sent: 2 command lines, from line 2 on\n");
    EXPECT_EQ(fakeDde.pokedTexts, std::vector<std::string>{"A\0"s});
    EXPECT_EQ(FakeMsWaited(), 1000u);  // the first look after the end, not the whole minute
    EXPECT_EQ(BatchExitStatus(counts), 1);
}

TEST_F(RunBatchTest, RepliesFollowAcknowledgedCommandsOnly) {
    fakeDde.pokeAnswers = {{}, {true, 0, 0, true}, {}};
    fakeDde.requestAnswers = {
        {true, "OK! A\r\n\0"s, true}, {false, "", true}, {true, "out of reach", false}};
    const std::string script = "A\nWARP\nC\0X\nD\nE\n"s;
    const CapturedOutput records = Run(script, 1000, 0, true);
    EXPECT_EQ(CallsBut({"DdeQueryConvInfo", "DdeAccessData", "DdeUnaccessData"}),
              Joined(ExpectedClientOpening(),
                     {{PokeCall(2, 1000), kRequestCall, PokeCall(5, 1000), PokeCall(2, 1000),
                       kRequestCall, PokeCall(2, 1000), kRequestCall},
                      ExpectedTeardown("conversation")}));
    EXPECT_EQ(records.out,
              "2026-12-07T21:14:03.120+01:00 7 bytes\r\nOK! A\r\n\r\n"
              "2026-12-07T21:14:03.120+01:00 0 bytes\r\n\r\n"
              "2026-12-07T21:14:03.120+01:00 0 bytes\r\n\r\n");
    EXPECT_EQ(records.err, "line 2: refused: WARP\nline 3: not sent, it holds a NUL byte: C\\0X\n");
}

TEST_F(RunBatchTest, EveryLineNotSentAfterALossHasItsObject) {
    fakeDde.pokeAnswers = {{}, {false, 0, DMLERR_NO_CONV_ESTABLISHED, false}};
    const CapturedOutput output = Run("A\nB\n#\nC\nD\0\n"s, 1000, 0, false, true);
    EXPECT_EQ(output.out,
              "{\"line\":1,\"command\":\"A\",\"outcome\":\"acknowledged\"}\r\n"
              "{\"line\":2,\"command\":\"B\",\"outcome\":\"not-sent-lost\"}\r\n"
              "{\"line\":4,\"command\":\"C\",\"outcome\":\"not-sent-lost\"}\r\n"
              "{\"line\":5,\"command\":\"D\\u0000\",\"outcome\":\"not-sent-lost\"}\r\n");
    EXPECT_EQ(counts.notSent, 3u);
}

}  // namespace
