// QnHidApi against a bare tunnel endpoint that records every report byte: listing, the
// configuration report, how frames are cut into reports and how answers are put together
// from input reports, raw report access, unplugging and the reopen position.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <optional>

#include "QnHidApi.h"
#include "callback_recorder.h"
#include "frame.h"
#include "hid_test_support.h"
#include "report_peer.h"

namespace hidtest {
namespace {

using namespace std::chrono_literals;
constexpr auto kDeadline = 10s;

// Answers every request with success and no data.
std::vector<Bytes> answerWithSuccess(const Bytes &request) {
    return {responseFrame(request[5], {})};
}

class HidReportPeer : public ::testing::Test {
  protected:
    void SetUp() override {
        app_.clear();
        traffic_.clear();
        peer_.setResponder(answerWithSuccess);
        devices_ = std::make_unique<SimulatedDevices>(peer_.endpoint());
    }

    void TearDown() override {
        QnHid_CloseDevice();
        QnHid_SetCallback(nullptr);
        QnHid_SetCallbackDebug(nullptr);
        devices_.reset();
    }

    // Opens the peer and waits for its configuration report, then forgets that report.
    void openPeer() {
        ASSERT_EQ(QnHid_GetUsbCount(), 1);
        ASSERT_EQ(QnHid_OpenDevice(0), 1);
        ASSERT_TRUE(peer_.waitForRecords(1, kDeadline));
        peer_.clearRecords();
    }

    // Payloads of the records received so far, in order.
    std::vector<Bytes> payloads() const {
        std::vector<Bytes> result;
        for (const Bytes &record : peer_.records()) result.push_back(payloadOf(record));
        return result;
    }

    ReportPeer peer_;
    std::unique_ptr<SimulatedDevices> devices_;
    testsupport::CallbackRecorder &app_ = testsupport::CallbackRecorder::app();
    testsupport::CallbackRecorder &traffic_ = testsupport::CallbackRecorder::traffic();
};

Bytes concatenated(const std::vector<Bytes> &pieces) {
    Bytes all;
    for (const Bytes &piece : pieces) all.insert(all.end(), piece.begin(), piece.end());
    return all;
}

TEST_F(HidReportPeer, ListsTheEndpointAsASimulatedPath) {
    ASSERT_EQ(QnHid_GetUsbCount(), 1);
    int result = -1;
    EXPECT_EQ(usbInfo(0, &result), "sim:" + peer_.endpoint());
    EXPECT_EQ(result, 1);
    EXPECT_EQ(usbInfo(1, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(QnHid_GetUsbInfo(0, nullptr), 0);
    EXPECT_EQ(QnHid_OpenDevice(1), 0);
    EXPECT_EQ(QnHid_OpenDevice(0xFFFF), 0);
}

TEST_F(HidReportPeer, EndpointThatRefusesConnectionsIsNotListed) {
    peer_.unplug();
    EXPECT_EQ(QnHid_GetUsbCount(), 0);
    EXPECT_EQ(usbInfo(0), "");
    EXPECT_EQ(QnHid_OpenDevice(0), 0);
}

TEST_F(HidReportPeer, MalformedEntriesAreSkippedAndSpacesIgnored) {
    const SimulatedDevices devices("nonsense, :1234,127.0.0.1:,127.0.0.1:x1,, " + peer_.endpoint() +
                                   " ");
    ASSERT_EQ(QnHid_GetUsbCount(), 1);
    EXPECT_EQ(usbInfo(0), "sim:" + peer_.endpoint());
}

TEST_F(HidReportPeer, OpeningFailsWhenTheListedDeviceHasGone) {
    ASSERT_EQ(QnHid_GetUsbCount(), 1);
    peer_.unplug();
    EXPECT_EQ(QnHid_OpenDevice(0), 0);
    uint8_t info[10] = {};
    EXPECT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 0);
}

TEST_F(HidReportPeer, ConfigurationReportFollowsEveryOpen) {
    ASSERT_EQ(QnHid_GetUsbCount(), 1);
    Bytes expected(33, 0);
    const Bytes prefix = {0x00, 0xFF, 0xC7, 0x83, 0xCC, 0x30};
    std::copy(prefix.begin(), prefix.end(), expected.begin());
    for (int open = 1; open <= 2; ++open) {
        ASSERT_EQ(QnHid_OpenDevice(0), 1);
        ASSERT_TRUE(peer_.waitForRecords(static_cast<size_t>(open), kDeadline));
        EXPECT_EQ(peer_.records().back(), expected);
    }
}

TEST_F(HidReportPeer, ShortFrameTravelsInOneReport) {
    openPeer();
    ASSERT_EQ(QnHid_RelayOn(0x05), 1);  // the address is not used: frames carry 0xFF
    const std::vector<Bytes> records = peer_.records();
    ASSERT_EQ(records.size(), 1u);
    const Bytes &record = records[0];
    ASSERT_EQ(record.size(), 33u);
    EXPECT_EQ(record[0], 0x00);
    EXPECT_EQ(record[1], 7);
    Bytes expected(7);
    ASSERT_EQ(qn::buildRequest(0xFF, 0x85, {}, expected), 7u);
    EXPECT_EQ(Bytes(record.begin() + 2, record.begin() + 9), expected);
    EXPECT_TRUE(std::all_of(record.begin() + 9, record.end(), [](uint8_t b) { return b == 0; }));
}

// A device record of n bytes makes a request frame of n + 9 bytes.
void expectFrameCut(ReportPeer &peer, const std::vector<Bytes> &payloads, size_t recordBytes,
                    const std::vector<size_t> &reportSizes) {
    ASSERT_EQ(payloads.size(), reportSizes.size());
    for (size_t i = 0; i < payloads.size(); ++i) EXPECT_EQ(payloads[i].size(), reportSizes[i]);
    const Bytes frame = concatenated(payloads);
    ASSERT_EQ(frame.size(), recordBytes + 9);
    EXPECT_EQ(frame[5], 0x21);
    for (const Bytes &record : peer.records()) EXPECT_EQ(record.size(), 33u);
}

TEST_F(HidReportPeer, FramesAreCutInto31ByteReports) {
    openPeer();
    Bytes record(54);
    std::iota(record.begin(), record.end(), uint8_t{1});
    ASSERT_EQ(QnHid_SetDeviceParam(0xFF, 0x00, record.data(), 53), 1);  // 62-byte frame
    expectFrameCut(peer_, payloads(), 53, {31, 31});
    peer_.clearRecords();
    ASSERT_EQ(QnHid_SetDeviceParam(0xFF, 0x00, record.data(), 54), 1);  // 63-byte frame
    expectFrameCut(peer_, payloads(), 54, {31, 31, 1});
}

TEST_F(HidReportPeer, AnswerIsAssembledFromSeveralInputReports) {
    const Bytes info = {0x21, 0x13, 0x41, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    peer_.setResponder([&](const Bytes &request) {
        std::vector<Bytes> reports = piecesOf(responseFrame(request[5], info), 3);
        reports.insert(reports.begin() + 2, Bytes{});  // an empty report in between
        return reports;
    });
    openPeer();
    uint8_t got[10] = {};
    ASSERT_EQ(QnHid_GetDeviceSystemInfo(0xFF, got), 1);
    EXPECT_EQ(Bytes(got, got + 10), info);
}

TEST_F(HidReportPeer, FailureStatusFailsTheCommand) {
    peer_.setResponder(
        [](const Bytes &request) { return std::vector<Bytes>{responseFrame(request[5], {}, 0)}; });
    openPeer();
    EXPECT_EQ(QnHid_RelayOff(0xFF), 0);
}

TEST_F(HidReportPeer, RawReportsCarryOneToThirtyOneBytes) {
    const uint8_t bytes[32] = {0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(CH9326WriteData(bytes, 5), 0);  // nothing open
    openPeer();
    EXPECT_EQ(CH9326WriteData(bytes, 0), 0);
    EXPECT_EQ(CH9326WriteData(bytes, 32), 0);
    EXPECT_EQ(CH9326WriteData(nullptr, 5), 0);
    ASSERT_EQ(CH9326WriteData(bytes, 5), 1);
    ASSERT_EQ(CH9326WriteData(bytes, 31), 1);
    ASSERT_TRUE(peer_.waitForRecords(2, kDeadline));
    EXPECT_EQ(payloads()[0], Bytes(bytes, bytes + 5));
    EXPECT_EQ(payloads()[1], Bytes(bytes, bytes + 31));
}

TEST_F(HidReportPeer, RawReadsAndCapabilitiesNeedAnOpenDevice) {
    uint8_t buffer[31];
    int32_t count = -1;
    EXPECT_EQ(ReadUSBData(buffer, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(GetDeviceCapabilities(), 0);
    openPeer();
    EXPECT_EQ(GetDeviceCapabilities(), 1);
    count = -1;
    EXPECT_EQ(ReadUSBData(buffer, &count), 1);  // nothing waiting, or a report taken
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 31);
    EXPECT_EQ(ReadUSBData(nullptr, &count), 0);
    EXPECT_EQ(ReadUSBData(buffer, nullptr), 0);
    QnHid_CloseDevice();
    EXPECT_EQ(GetDeviceCapabilities(), 0);
    EXPECT_EQ(ReadUSBData(buffer, &count), 0);
}

TEST_F(HidReportPeer, ListingWhileOpenLeavesTheConnectionAlone) {
    openPeer();
    const uint64_t accepted = peer_.connectionsAccepted();
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(QnHid_GetUsbCount(), 1);
        EXPECT_EQ(usbInfo(0), "sim:" + peer_.endpoint());
    }
    EXPECT_EQ(peer_.connectionsAccepted(), accepted);
    EXPECT_EQ(QnHid_RelayOn(0xFF), 1);
}

TEST_F(HidReportPeer, UnplugIsReportedAndReplugRestoresTheLink) {
    QnHid_SetCallback(testsupport::CallbackRecorder::appCallback);
    QnHid_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    openPeer();
    peer_.unplug();
    ASSERT_TRUE(app_.waitForCount(1, 0, 2, kDeadline));
    ASSERT_TRUE(traffic_.waitForCount(1, 0, 2, kDeadline));
    EXPECT_EQ(app_.count(0, 0), 0u);
    peer_.replug();
    ASSERT_TRUE(app_.waitForCount(0, 0, 1, kDeadline));
    ASSERT_TRUE(traffic_.waitForCount(0, 0, 1, kDeadline));
    EXPECT_EQ(QnHid_RelayOn(0xFF), 1);
}

TEST_F(HidReportPeer, WithoutCallbacksAnUnpluggedDeviceStaysClosed) {
    openPeer();
    peer_.unplug();
    peer_.replug();
    EXPECT_EQ(QnHid_RelayOn(0xFF), 0);
    QnHid_CloseDevice();
    ASSERT_EQ(QnHid_GetUsbCount(), 1);
    ASSERT_EQ(QnHid_OpenDevice(0), 1);
    EXPECT_EQ(QnHid_RelayOn(0xFF), 1);
}

TEST_F(HidReportPeer, ReopenFallsBackToTheFirstDeviceWhenFewerRemain) {
    ReportPeer second;
    second.setResponder(answerWithSuccess);
    const SimulatedDevices devices(peer_.endpoint() + "," + second.endpoint());
    ASSERT_EQ(QnHid_GetUsbCount(), 2);
    EXPECT_EQ(usbInfo(1), "sim:" + second.endpoint());
    QnHid_SetCallback(testsupport::CallbackRecorder::appCallback);
    ASSERT_EQ(QnHid_OpenDevice(1), 1);
    ASSERT_TRUE(second.waitForRecords(1, kDeadline));
    EXPECT_EQ(QnHid_RelayOn(0xFF), 1);

    const uint64_t firstAccepted = peer_.connectionsAccepted();
    second.unplug();
    ASSERT_TRUE(app_.waitForCount(0, 0, 1, kDeadline));
    peer_.clearRecords();
    ASSERT_EQ(QnHid_RelayOff(0xFF), 1);  // answered, so the first device took the connection
    EXPECT_GT(peer_.connectionsAccepted(), firstAccepted);
    ASSERT_FALSE(payloads().empty());
    EXPECT_EQ(payloads().back()[5], 0x86);
}

TEST(HidWithoutDevices, NothingListedAndNothingOpens) {
    ::unsetenv("QNHID_SIM");
    // The test machine has no CH9326 attached: hidapi finds nothing, and that is no error.
    ASSERT_EQ(QnHid_GetUsbCount(), 0);
    EXPECT_EQ(usbInfo(0), "");
    EXPECT_EQ(QnHid_OpenDevice(0), 0);
    uint8_t info[10] = {};
    EXPECT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 0);
    EXPECT_EQ(QnHid_ClearTagBuf(), 0);
}

}  // namespace
}  // namespace hidtest
