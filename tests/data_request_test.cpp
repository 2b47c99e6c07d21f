#include "data_request.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstring>
#include <string>
#include <vector>

#include "captured_output.h"
#include "fake_dde.h"

// A 32-bit program cannot allocate a few hundred MiB. This test program is
// held to a like limit (AddressSanitizer ends it on any larger allocation), so
// that code which copies or buffers a huge item fails here as it would there.
extern "C" __attribute__((used)) const char* __asan_default_options() {
    return "max_allocation_size_mb=256";
}

namespace {

const char kRequestCall[] =
    "DdeClientTransaction(data=null, length=0, conversation=conversation, item=name3, "
    "format=1, type=0x20B0, timeout=120000, result=null)";
const char kAccessCall[] = "DdeAccessData(data=data, size=set)";
const char kUnaccessCall[] = "DdeUnaccessData(data)";

class RequestDataItemTest : public ::testing::Test {
protected:
    void SetUp() override { ResetFakeDde(); }

    // Runs the request with the planetarium serving item; returns what it printed.
    CapturedOutput Request(const std::string& item) {
        served = item;
        fakeDde.itemBytes = reinterpret_cast<const unsigned char*>(served.data());
        fakeDde.itemSize = static_cast<DWORD>(served.size());
        bool connected = false;
        const CapturedOutput output = CaptureOutput([&] { connected = RequestDataItem(); });
        EXPECT_TRUE(connected);
        return output;
    }

    std::string served;
};

TEST_F(RequestDataItemTest, PrintsCountAndTextStraightFromTheData) {
    const struct {
        const char* name;
        std::string item;
        std::string expected;
    } cases[] = {
        {"six characters and a NUL", std::string("GOXY 1\0", 7), "7GOXY 1"},
        {"a few bytes without a NUL", "abc", "3abc"},
        {"a NUL inside", std::string("ab\0cd\0", 6), "6ab"},
        {"501 bytes", std::string(500, 'b') + '\0', "501" + std::string(500, 'b')},
        {"an empty item", "", "0"},
    };
    for (const auto& c : cases) {
        ResetFakeDde();
        const CapturedOutput output = Request(c.item);
        EXPECT_EQ(output.out, c.expected) << c.name;
        EXPECT_EQ(output.err, "") << c.name;
        EXPECT_EQ(fakeDde.calls,
                  Joined(ExpectedOpening(), {{kRequestCall, kAccessCall, kUnaccessCall},
                                             ExpectedTeardown("conversation")}))
            << c.name;
    }
}

// Both print as a request that gave nothing; data that was never reached is
// not released.
TEST_F(RequestDataItemTest, NoDataOrUnreachableDataPrintsOnlyZero) {
    const struct {
        const char* name;
        bool transactionGivesData;
        bool dataReachable;
        std::vector<std::string> calls;  // between the opening and the teardown
    } cases[] = {
        {"no data handle", false, true, {kRequestCall}},
        {"data that cannot be reached", true, false, {kRequestCall, kAccessCall}},
    };
    for (const auto& c : cases) {
        ResetFakeDde();
        fakeDde.transactionGivesData = c.transactionGivesData;
        fakeDde.dataReachable = c.dataReachable;
        const CapturedOutput output = Request("stale bytes that must not show");
        EXPECT_EQ(output.out, "0") << c.name;
        EXPECT_EQ(output.err, "") << c.name;
        EXPECT_EQ(fakeDde.calls,
                  Joined(ExpectedOpening(), {c.calls, ExpectedTeardown("conversation")}))
            << c.name;
    }
}

TEST_F(RequestDataItemTest, HugeItemIsPrintedWithoutACopy) {
    // The largest item a DDE length can describe, mapped but never touched
    // past its text.
    const DWORD size = 0xFFFFFFFF;
    void* item = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(item, MAP_FAILED);
    std::memcpy(item, "HUGE", 5);
    fakeDde.itemBytes = static_cast<const unsigned char*>(item);
    fakeDde.itemSize = size;
    const CapturedOutput output = CaptureOutput([] { RequestDataItem(); });
    munmap(item, size);
    EXPECT_EQ(output.out, "4294967295HUGE");
    EXPECT_EQ(output.err, "");
    EXPECT_EQ(fakeDde.calls, Joined(ExpectedOpening(), {{kRequestCall, kAccessCall, kUnaccessCall},
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
