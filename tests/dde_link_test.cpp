#include "dde_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_output.h"
#include "fake_dde.h"

namespace {

const std::string kConnectFailureLine =
    "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\n";

std::string PokeCall(std::size_t length) {
    return "DdeClientTransaction(data=set, length=" + std::to_string(length) +
           ", conversation=conversation, item=name3, format=1, type=0x4090, timeout=1000, "
           "result=null)";
}

class PokeCommandTextTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeDde(); }
};

TEST_F(PokeCommandTextTest, ConnectedPokeMakesTheWholeConversationInOrder) {
    bool connected = false;
    const CapturedOutput output = CaptureOutput([&] { connected = PokeCommandText("ZOM+"); });
    EXPECT_TRUE(connected);
    EXPECT_EQ(fakeDde.calls,
              Joined(ExpectedOpening(), {{PokeCall(5)}, ExpectedTeardown("conversation")}));
    EXPECT_EQ(fakeDde.pokedBytes, (std::vector<unsigned char>{'Z', 'O', 'M', '+', 0}));
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, "");
}

TEST_F(PokeCommandTextTest, PokedBytesAreTheTextAndItsNul) {
    const std::vector<std::string> texts = {"", "GOXY X:100 Y:200", "  lead", "a\"b\\c",
                                            "\xE9t\xE9\xF8", std::string(5000, 'x')};
    for (const std::string& text : texts) {
        ResetFakeDde();
        CaptureOutput([&] { PokeCommandText(text); });
        std::vector<unsigned char> expected(text.begin(), text.end());
        expected.push_back(0);
        EXPECT_EQ(fakeDde.pokedBytes, expected) << text;
        ASSERT_EQ(fakeDde.calls.size(), 11u);
        EXPECT_EQ(fakeDde.calls[5], PokeCall(text.size() + 1));
    }
}

TEST_F(PokeCommandTextTest, NoPlanetariumReportsOneLineAndStillTearsDown) {
    fakeDde.planetariumRunning = false;
    bool connected = true;
    const CapturedOutput output = CaptureOutput([&] { connected = PokeCommandText("ZOM+"); });
    EXPECT_FALSE(connected);
    EXPECT_EQ(fakeDde.calls, Joined(ExpectedOpening(), {ExpectedTeardown("null")}));
    EXPECT_TRUE(fakeDde.pokedBytes.empty());
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, kConnectFailureLine);
}

TEST_F(PokeCommandTextTest, FailedInitialisationEndsAsAFailedConnect) {
    fakeDde.initialisationFails = true;
    bool connected = true;
    const CapturedOutput output = CaptureOutput([&] { connected = PokeCommandText("ZOM+"); });
    EXPECT_FALSE(connected);
    EXPECT_EQ(fakeDde.calls, (std::vector<std::string>{
                                 "DdeInitializeA(instance=0, callback=null, command=0x1, reserved=0)",
                                 "DdeCreateStringHandleA(instance=0, name=ciel, codePage=1004)",
                                 "DdeCreateStringHandleA(instance=0, name=DdeSkyChart, codePage=1004)",
                                 "DdeCreateStringHandleA(instance=0, name=DdeData, codePage=1004)",
                                 "DdeConnect(instance=0, service=null, topic=null, context=null)",
                                 "DdeDisconnect(null)",
                                 "DdeFreeStringHandle(instance=0, null)",
                                 "DdeFreeStringHandle(instance=0, null)",
                                 "DdeFreeStringHandle(instance=0, null)",
                                 "DdeUninitialize(instance=0)",
                             }));
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, kConnectFailureLine);
}

}  // namespace
