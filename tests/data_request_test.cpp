#include "data_request.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_output.h"
#include "fake_dde.h"

namespace {

const char kRequestCall[] =
    "DdeClientTransaction(data=null, length=0, conversation=conversation, item=name3, "
    "format=1, type=0x20B0, timeout=120000, result=null)";

std::string GetDataCall(const std::string& data, bool buffer, std::size_t maximum) {
    return "DdeGetData(data=" + data + ", buffer=" + (buffer ? "set" : "null") +
           ", maximum=" + std::to_string(maximum) + ", offset=0)";
}

class RequestDataItemTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeDde(); }

    // Runs the request with the planetarium serving item; returns what it printed.
    CapturedOutput Request(const std::string& item) {
        fakeDde.itemData.assign(item.begin(), item.end());
        bool connected = false;
        const CapturedOutput output = CaptureOutput([&] { connected = RequestDataItem(); });
        EXPECT_TRUE(connected);
        return output;
    }
};

TEST_F(RequestDataItemTest, ReceivesTheWholeItemAndPrintsCountAndText) {
    const struct {
        const char* name;
        std::string item;
        std::string expected;
    } cases[] = {
        {"six characters and a NUL", std::string("GOXY 1\0", 7), "7GOXY 1"},
        {"a few bytes without a NUL", "abc", "3abc"},
        {"a NUL inside", std::string("ab\0cd\0", 6), "6ab"},
        {"exactly 500 bytes", std::string(499, 'a') + '\0', "500" + std::string(499, 'a')},
        {"501 bytes", std::string(500, 'b') + '\0', "501" + std::string(500, 'b')},
        {"several kilobytes", std::string(9000, 'c') + '\0', "9001" + std::string(9000, 'c')},
        {"several kilobytes without a NUL", std::string(9000, 'd'),
         "9000" + std::string(9000, 'd')},
        {"an empty item", "", "0"},
    };
    for (const auto& c : cases) {
        ResetFakeDde();
        const CapturedOutput output = Request(c.item);
        EXPECT_EQ(output.out, c.expected) << c.name;
        EXPECT_EQ(output.err, "") << c.name;
        const std::size_t size = c.item.size();
        EXPECT_EQ(fakeDde.calls,
                  Joined(ExpectedOpening(),
                         {{kRequestCall, GetDataCall("data", false, 0),
                           GetDataCall("data", size > 0, size)},
                          ExpectedTeardown("conversation")}))
            << c.name;
    }
}

TEST_F(RequestDataItemTest, NoDataPrintsOnlyZero) {
    fakeDde.transactionGivesData = false;
    const CapturedOutput output = Request("stale bytes that must not show");
    EXPECT_EQ(output.out, "0");
    EXPECT_EQ(output.err, "");
    EXPECT_EQ(fakeDde.calls,
              Joined(ExpectedOpening(),
                     {{kRequestCall, GetDataCall("null", false, 0), GetDataCall("null", false, 0)},
                      ExpectedTeardown("conversation")}));
}

TEST_F(RequestDataItemTest, NoPlanetariumPrintsNothingAndReportsOneLine) {
    fakeDde.planetariumRunning = false;
    bool connected = true;
    const CapturedOutput output = CaptureOutput([&] { connected = RequestDataItem(); });
    EXPECT_FALSE(connected);
    EXPECT_EQ(output.out, "");
    EXPECT_EQ(output.err, "ERROR: Unable to connect to Cartes du Ciel!  Is it running?\n");
    EXPECT_EQ(fakeDde.calls, Joined(ExpectedOpening(), {ExpectedTeardown("null")}));
}

}  // namespace
