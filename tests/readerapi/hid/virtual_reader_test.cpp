// QnHidApi against the virtual reader's HID tunnel: each command family once, answers that
// arrive in many input reports, active-mode reports into the tag buffer, unplug and replug,
// and the reopen position with two readers.
#include <gtest/gtest.h>

#include <memory>

#include "QnHidApi.h"
#include "callback_recorder.h"
#include "hid_test_support.h"
#include "reader_model.h"
#include "virtual_reader.h"

namespace hidtest {
namespace {

using namespace std::chrono_literals;
using readersim::ReaderModel;
using readersim::VirtualReader;
constexpr auto kDeadline = 10s;

std::string endpointOf(uint16_t port) { return "127.0.0.1:" + std::to_string(port); }

// The last request frame the reader received with this command code (empty when none).
Bytes lastRequest(const VirtualReader &reader, uint8_t command) {
    return testsupport::lastRequest(reader, command).value_or(Bytes{});
}

// Number of tag records in a run of records (length byte, then that many bytes).
int recordsIn(const uint8_t *records, int32_t byteCount) {
    int count = 0;
    for (int32_t offset = 0; offset < byteCount; offset += 1 + records[offset]) ++count;
    return count;
}

class HidVirtualReader : public ::testing::Test {
protected:
    void SetUp() override {
        app_.clear();
        traffic_.clear();
        reader_ = std::make_unique<VirtualReader>();
        endpoint_ = endpointOf(reader_->serveHid());
        devices_ = std::make_unique<SimulatedDevices>(endpoint_);
        ASSERT_EQ(QnHid_GetUsbCount(), 1);
        ASSERT_EQ(QnHid_OpenDevice(0), 1);
    }

    void TearDown() override {
        QnHid_CloseDevice();
        QnHid_SetCallback(nullptr);
        QnHid_SetCallbackDebug(nullptr);
        devices_.reset();
        reader_.reset();
    }

    std::unique_ptr<VirtualReader> reader_;
    std::string endpoint_;
    std::unique_ptr<SimulatedDevices> devices_;
    testsupport::CallbackRecorder &app_ = testsupport::CallbackRecorder::app();
    testsupport::CallbackRecorder &traffic_ = testsupport::CallbackRecorder::traffic();
};

TEST_F(HidVirtualReader, IsListedUnderItsEndpoint) {
    EXPECT_EQ(usbInfo(0), "sim:" + endpoint_);
    EXPECT_EQ(usbInfo(1), "");
}

TEST_F(HidVirtualReader, EveryOpenConfiguresTheBridge) {
    uint8_t info[10] = {};
    ASSERT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 1);  // the report came before this
    EXPECT_EQ(reader_->hidConfigReports(), 1u);
    ASSERT_EQ(QnHid_OpenDevice(0), 1);
    ASSERT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(reader_->hidConfigReports(), 2u);
}

TEST_F(HidVirtualReader, DeviceManagementCommands) {
    uint8_t info[10] = {};
    ASSERT_EQ(QnHid_GetDeviceSystemInfo(0x07, info), 1);
    std::array<uint8_t, 7> serial{};
    uint8_t firmware = 0;
    reader_->withModel([&](ReaderModel &model) {
        serial = model.serial;
        firmware = model.firmwareVersion;
    });
    EXPECT_EQ(info[0], firmware);
    EXPECT_TRUE(std::equal(serial.begin(), serial.end(), info + 2));
    EXPECT_EQ(lastRequest(*reader_, 0x10).at(4), 0xFF);  // the address argument is not sent

    const uint8_t time[6] = {26, 12, 8, 1, 45, 30};
    ASSERT_EQ(QnHid_SetDeviceTime(0xFF, time), 1);
    uint8_t clock[6] = {};
    ASSERT_EQ(QnHid_ReadDeviceTime(0xFF, clock), 1);
    EXPECT_EQ(clock[0], 26);
    EXPECT_EQ(clock[1], 12);

    ASSERT_EQ(QnHid_RelayOn(0xFF), 1);
    bool relayClosed = false;
    reader_->withModel([&](ReaderModel &model) { relayClosed = model.relayClosed; });
    EXPECT_TRUE(relayClosed);

    uint8_t lead = 0;
    uint8_t record[256] = {};
    ASSERT_EQ(QnHid_ReadDeviceParam(0xFF, &lead, record, 32), 1);
    ASSERT_EQ(QnHid_SetDeviceParam(0xFF, lead, record, 32), 1);  // a frame of several reports
}

TEST_F(HidVirtualReader, InventoryAnswerSpansSeveralReports) {
    int visible = 0;
    reader_->withModel([&](ReaderModel &model) {
        for (const auto &tag : model.tags) visible += model.tagVisible(tag) ? 1 : 0;
    });
    ASSERT_GT(visible, 0);
    uint8_t records[4096] = {};
    uint16_t bytes = 0;
    uint16_t tags = 0;
    ASSERT_EQ(QnHid_InventoryG2(0xFF, records, &bytes, &tags), 1);
    EXPECT_EQ(tags, visible);
    EXPECT_GT(bytes, 31);  // more than one input report carried it
    EXPECT_EQ(recordsIn(records, bytes), visible);
}

TEST_F(HidVirtualReader, TagMemoryIsWrittenAndReadBack) {
    const uint8_t password[4] = {};
    const uint8_t words[4] = {0xCA, 0xFE, 0xBE, 0xEF};
    ASSERT_EQ(QnHid_WriteCardG2(0xFF, password, 3, 0, 2, words), 1);  // USER bank
    uint8_t back[4] = {};
    ASSERT_EQ(QnHid_ReadCardG2(0xFF, password, 3, 0, 2, back), 1);
    EXPECT_TRUE(std::equal(words, words + 4, back));
}

TEST_F(HidVirtualReader, FirmwareBlocksTravelInManyReports) {
    std::vector<uint8_t> block(256);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(QnHid_UpgradeDevData(0xFF, 256, 0, block.data()), 1);
    ASSERT_EQ(QnHid_UpgradeDevData(0xFF, 256, 1, block.data()), 1);
    ASSERT_EQ(QnHid_UpgradeDevEnd(0xFF), 1);
    size_t received = 0;
    reader_->withModel([&](ReaderModel &model) { received = model.upgrade.completedBytes; });
    EXPECT_EQ(received, 512u);
}

// The reader pauses between pieces; few pieces keep the answer well inside its wait.
TEST_F(HidVirtualReader, AnswerWrittenInPiecesIsAssembled) {
    readersim::Faults faults;
    faults.splitChunk = 5;
    reader_->setFaults(faults);
    uint8_t info[10] = {};
    ASSERT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 1);
    std::array<uint8_t, 7> serial{};
    reader_->withModel([&](ReaderModel &model) { serial = model.serial; });
    EXPECT_TRUE(std::equal(serial.begin(), serial.end(), info + 2));
}

TEST_F(HidVirtualReader, FailedAnswersFailTheCommand) {
    readersim::Faults faults;
    faults.failureStatus = true;
    reader_->setFaults(faults);
    EXPECT_EQ(QnHid_RelayOff(0xFF), 0);
    faults = {};
    faults.wrongEcho = true;
    reader_->setFaults(faults);
    EXPECT_EQ(QnHid_RelayOff(0xFF), 0);
    reader_->setFaults({});
    EXPECT_EQ(QnHid_RelayOff(0xFF), 1);
}

TEST_F(HidVirtualReader, WhiteListAndCache) {
    const uint8_t entries[8] = {0xA1, 0xA2, 0xA3, 0xA4, 0xB1, 0xB2, 0xB3, 0xB4};
    ASSERT_EQ(QnHid_DeleteAllWhiteList(0xFF), 1);
    ASSERT_EQ(QnHid_WriteWhiteList(0xFF, entries, 2), 1);
    uint8_t read[4096] = {};
    uint16_t count = 0;  // from the first entry
    ASSERT_EQ(QnHid_ReadWhiteList(0xFF, read, &count), 1);
    ASSERT_EQ(count, 2);
    EXPECT_TRUE(std::equal(entries, entries + 8, read));

    uint16_t recordCount = 0;
    uint16_t bytes = 0;
    uint8_t cache[4096] = {};
    ASSERT_EQ(QnHid_GetDevCache(0xFF, &recordCount, cache, &bytes), 1);
    ASSERT_EQ(QnHid_DelDevCache(0xFF), 1);
}

TEST_F(HidVirtualReader, ActiveReportsFillTheTagBuffer) {
    QnHid_SetCallback(testsupport::CallbackRecorder::appCallback);
    std::vector<uint8_t> records(48548);
    int32_t bytes = 0;
    int32_t tags = 0;
    EXPECT_EQ(QnHid_GetTagBuf(records.data(), &bytes, &tags), 1);  // nothing stored yet
    ASSERT_EQ(QnHid_ClearTagBuf(), 1);
    ASSERT_EQ(QnHid_StartRead(0xFF), 1);
    ASSERT_TRUE(app_.waitForCount(2, -1, 1, kDeadline));
    ASSERT_EQ(QnHid_StopRead(0xFF), 1);

    uint8_t status = QnHid_GetTagBuf(records.data(), &bytes, &tags);
    EXPECT_EQ(status, 2);
    ASSERT_GT(tags, 0);
    EXPECT_EQ(recordsIn(records.data(), bytes), tags);
}

TEST_F(HidVirtualReader, UnplugIsReportedUntilReplugRestoresTheLink) {
    QnHid_SetCallback(testsupport::CallbackRecorder::appCallback);
    QnHid_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    reader_->unplug();
    ASSERT_TRUE(app_.waitForCount(1, 0, 2, kDeadline));  // repeated while it stays away
    ASSERT_TRUE(traffic_.waitForCount(1, 0, 2, kDeadline));
    EXPECT_EQ(app_.count(0, 0), 0u);
    int32_t bytes = 0;
    int32_t tags = 0;
    uint8_t records[16];
    EXPECT_EQ(QnHid_GetTagBuf(records, &bytes, &tags), 1);

    reader_->replug();
    ASSERT_TRUE(app_.waitForCount(0, 0, 1, kDeadline));
    ASSERT_TRUE(traffic_.waitForCount(0, 0, 1, kDeadline));
    uint8_t info[10] = {};
    EXPECT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 1);
}

TEST_F(HidVirtualReader, ReopenFallsBackToTheFirstReaderWhenTheSecondGoesAway) {
    VirtualReader second;
    const std::string secondEndpoint = endpointOf(second.serveHid());
    const SimulatedDevices both(endpoint_ + "," + secondEndpoint);
    ASSERT_EQ(QnHid_GetUsbCount(), 2);  // the open first reader counts without a probe
    EXPECT_EQ(usbInfo(1), "sim:" + secondEndpoint);
    QnHid_SetCallback(testsupport::CallbackRecorder::appCallback);
    ASSERT_EQ(QnHid_OpenDevice(1), 1);
    uint8_t info[10] = {};
    ASSERT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 1);
    ASSERT_TRUE(second.waitForRequests(1, kDeadline));

    second.unplug();
    ASSERT_TRUE(app_.waitForCount(0, 0, 1, kDeadline));
    reader_->clearRequests();
    ASSERT_EQ(QnHid_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_FALSE(lastRequest(*reader_, 0x10).empty());
}

}  // namespace
}  // namespace hidtest
