// What only the serial link has: port names, line settings and the reader address.
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

TEST_F(SerialLink, AnswersFromAnotherReaderFailUnlessAnyReaderIsConfigured) {
    readersim::Faults faults;
    faults.wrongAddress = 0x06;
    reader_->setFaults(faults);
    uint8_t info[10] = {};
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0x05, info), 0);
    EXPECT_EQ((*lastRequest(0x10))[4], 0x05);  // the frame carries the configured address
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0x05);
    EXPECT_EQ(QnCom_GetDeviceSystemInfo(0xFF, info), 1);
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0xFF);
}

TEST_F(SerialLink, AddressRegisterDefaultsToAnyReader) {
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0xFF);
    EXPECT_EQ(QnCom_SetDeviceRDAddr(0x05), 0x05);
    EXPECT_EQ(QnCom_ReadDeviceRDAddr(), 0x05);
}

}  // namespace
}  // namespace serialtest
