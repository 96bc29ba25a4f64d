// Opening, closing, losing and regaining the serial link.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "line_settings.h"

#include "serial_fixture.h"

namespace serialtest {
namespace {

using SerialLink = SerialReaderTest;

TEST_F(SerialLink, OpenFailsForMissingPortsAndBadSettings) {
    QnCom_CloseDevice();
    EXPECT_EQ(QnCom_OpenDevice("", 115200), 0);
    EXPECT_EQ(QnCom_OpenDevice(nullptr, 115200), 0);
    EXPECT_EQ(QnCom_OpenDevice((tempDir_ / "missing0").c_str(), 115200), 0);
    EXPECT_EQ(QnCom_OpenDevice(link_.c_str(), 0), 0);
    EXPECT_EQ(QnCom_SetParity(9), 9);
    EXPECT_EQ(QnCom_OpenDevice(link_.c_str(), 115200), 0);
    EXPECT_EQ(QnCom_SetParity(2), 2);  // even parity
    EXPECT_EQ(QnCom_OpenDevice(link_.c_str(), 115200), 1);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
}

TEST_F(SerialLink, TrailingCharacterOfThePortNameIsDropped) {
    QnCom_CloseDevice();
    const std::string withColon = link_ + ":";
    ASSERT_EQ(QnCom_OpenDevice(withColon.c_str(), 57600), 1);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
}

struct LineSpeed {
    int32_t baudRate;
    speed_t code;  // what the standard calls read back; BOTHER for a rate without one
};

class SerialLineSpeed : public SerialReaderTest, public ::testing::WithParamInterface<LineSpeed> {};

// The library leaves its line settings on the terminal when it closes, so they can be read
// back from a second open of the same port.
TEST_P(SerialLineSpeed, LineCarriesTheRateUnderItsStandardCode) {
    const LineSpeed speed = GetParam();
    QnCom_CloseDevice();
    ASSERT_EQ(QnCom_OpenDevice(link_.c_str(), speed.baudRate), 1);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    QnCom_CloseDevice();

    const int fd = ::open(link_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), speed.code);
    EXPECT_EQ(cfgetispeed(&tio), speed.code);
    EXPECT_EQ(qn::lineSpeed(fd), speed.baudRate);
    ::close(fd);
}

constexpr speed_t kNonStandardCode = 0010000;  // BOTHER of the kernel's termbits

INSTANTIATE_TEST_SUITE_P(Rates, SerialLineSpeed,
                         ::testing::Values(LineSpeed{9600, B9600}, LineSpeed{115200, B115200},
                                           LineSpeed{250000, kNonStandardCode}),
                         [](const auto &info) { return std::to_string(info.param.baudRate); });

TEST_F(SerialLink, LostPortIsReportedUntilItReopensThenRestoredOnce) {
    QnCom_SetCallback(testsupport::CallbackRecorder::appCallback);
    QnCom_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    reader_->unplug();
    ASSERT_TRUE(app_.waitForCount(1, 0, 3));  // repeated every monitor period
    ASSERT_TRUE(traffic_.waitForCount(1, 0, 3));
    reader_->replug();
    ASSERT_TRUE(app_.waitForCount(0, 0, 1));
    ASSERT_TRUE(traffic_.waitForCount(0, 0, 1));

    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(app_.count(0, 0), 1u);

    // Lost events arrive about a monitor period apart, never in a burst.
    const auto events = app_.events();
    for (size_t i = 1; i < events.size(); ++i) {
        if (events[i].event == 1 && events[i - 1].event == 1) {
            EXPECT_GE(events[i].when - events[i - 1].when, std::chrono::milliseconds(150));
        }
    }
}

TEST_F(SerialLink, WithoutCallbacksALostPortStaysLostUntilReopenedByHand) {
    reader_->unplug();
    reader_->replug();
    uint8_t info[10] = {};
    // The old descriptor belongs to the unplugged terminal; nothing reopens it.
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // three monitor periods
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 0);
    QnCom_CloseDevice();
    ASSERT_EQ(QnCom_OpenDevice(link_.c_str(), 115200), 1);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
}

std::atomic<int> g_closedFromCallback{0};

void closeOnLinkLost(int32_t event, int32_t, const uint8_t *, int32_t, const uint8_t *) {
    if (event != 1) return;
    QnCom_CloseDevice();
    ++g_closedFromCallback;
}

TEST_F(SerialLink, ClosingFromACallbackDoesNotDeadlock) {
    g_closedFromCallback = 0;
    QnCom_SetCallback(closeOnLinkLost);
    QnCom_SetCallbackDebug(testsupport::CallbackRecorder::trafficCallback);
    reader_->unplug();
    ASSERT_TRUE(traffic_.waitForCount(1, 0, 1));
    EXPECT_EQ(g_closedFromCallback.load(), 1);
    reader_->replug();
    QnCom_SetCallback(nullptr);
    // The library is usable again afterwards.
    ASSERT_EQ(QnCom_OpenDevice(link_.c_str(), 115200), 1);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
}

TEST_F(SerialLink, OpeningRightAfterACloseFromACallbackKeepsWatchingTheLink) {
    g_closedFromCallback = 0;
    QnCom_SetCallback(closeOnLinkLost);
    reader_->unplug();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (g_closedFromCallback.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_EQ(g_closedFromCallback.load(), 1);
    reader_->replug();
    // At once, while the closing monitor thread may still be on its way out.
    QnCom_SetCallback(testsupport::CallbackRecorder::appCallback);
    ASSERT_EQ(QnCom_OpenDevice(link_.c_str(), 115200), 1);
    reader_->unplug();
    EXPECT_TRUE(app_.waitForCount(1, 0, 1));
}

TEST_F(SerialLink, SplitAndMergedAnswersAreReassembled) {
    readersim::Faults faults;
    faults.splitChunk = 3;
    reader_->setFaults(faults);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    reader_->setFaults({});
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
}

TEST_F(SerialLink, AddressRegisterDefaultsToAnyReader) {
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0xFF);
    EXPECT_EQ(QnCom_SetDeviceRDAddr(0x05), 0x05);
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0x05);
}

}  // namespace
}  // namespace serialtest
