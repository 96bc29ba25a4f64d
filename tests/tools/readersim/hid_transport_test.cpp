#include <gtest/gtest.h>

#include "hid_reports.h"
#include "sim_test_support.h"
#include "virtual_reader.h"

namespace {

using namespace simtest;
using readersim::kHidReportSize;
using readersim::VirtualReader;

Bytes configurationReport() {
    Bytes report(kHidReportSize, 0);
    const uint8_t prefix[] = {0x00, 0xFF, 0xC7, 0x83, 0xCC, 0x30};
    std::copy(std::begin(prefix), std::end(prefix), report.begin());
    return report;
}

class HidTunnel : public ::testing::Test {
  protected:
    void SetUp() override { port_ = reader_.serveHid(); }

    VirtualReader reader_;
    uint16_t port_ = 0;
};

TEST_F(HidTunnel, ConfigurationReportIsRecordedAndNotTakenAsPayload) {
    FrameClient client(Wire::HidReports);
    ASSERT_TRUE(client.connect(port_));
    ASSERT_TRUE(client.sendWire(configurationReport()));
    EXPECT_TRUE(eventually([&] { return reader_.hidConfigReports() == 1; }));
    const auto answer = client.ask(0x10);
    ASSERT_TRUE(answer);
    EXPECT_EQ(statusOf(*answer), 1);
    ASSERT_TRUE(reader_.waitForRequests(1, kDeadline));
    EXPECT_EQ(reader_.requests().size(), 1u);  // the configuration bytes made no request
}

TEST_F(HidTunnel, AnswersComeAsPaddedInputReportsOfThirtyOneBytes) {
    FrameClient client(Wire::HidReports);
    ASSERT_TRUE(client.connect(port_));
    const auto answer = client.ask(0x20);  // 8 + 66 bytes for a Fir record
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->size(), 74u);
    const auto &reports = client.inputReports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0][0], 0);
    EXPECT_EQ(reports[0][1], 31);
    EXPECT_EQ(reports[1][1], 31);
    EXPECT_EQ(reports[2][1], 12);
    EXPECT_TRUE(
        std::all_of(reports[2].begin() + 14, reports[2].end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(HidTunnel, LongRequestInManyOutputReportsIsReassembled) {
    FrameClient client(Wire::HidReports);
    ASSERT_TRUE(client.connect(port_));
    Bytes entries{0, 100};
    for (int i = 0; i < 100; ++i) entries.insert(entries.end(), {1, 2, 3, static_cast<uint8_t>(i)});
    const auto written = client.ask(0x4B, entries);  // 409-byte frame, 14 output reports
    ASSERT_TRUE(written);
    EXPECT_EQ(statusOf(*written), 1);
    const auto read = client.ask(0x4A, {0, 0});
    ASSERT_TRUE(read);
    EXPECT_EQ(dataOf(*read), entries);
}

TEST_F(HidTunnel, UnplugClosesTheStreamAndStopsAccepting) {
    FrameClient client(Wire::HidReports);
    ASSERT_TRUE(client.connect(port_));
    ASSERT_TRUE(client.ask(0x10));
    reader_.unplug();
    EXPECT_TRUE(client.waitForClose());
    EXPECT_FALSE(client.connect(port_));
    reader_.replug();
    ASSERT_TRUE(client.connect(port_));
    EXPECT_TRUE(client.ask(0x10));
}

}  // namespace
