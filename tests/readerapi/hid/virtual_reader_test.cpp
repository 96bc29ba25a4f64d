// What only QnHidApi has against the virtual reader's HID tunnel: its device list, the
// bridge configuration on every open, and the reopen position with two readers. The
// scenarios all libraries share are in tests/readerapi/shared.
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
using readersim::VirtualReader;
constexpr auto kDeadline = 10s;

std::string endpointOf(uint16_t port) {
    return "127.0.0.1:" + std::to_string(port);
}

// The last request frame the reader received with this command code (empty when none).
Bytes lastRequest(const VirtualReader &reader, uint8_t command) {
    return testsupport::lastRequest(reader, command).value_or(Bytes{});
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
