#include <gtest/gtest.h>

#include "port_name.h"

namespace {

std::string mapped(const std::string &name) {
    return qn::devicePathForPortName(qn::dropTrailingNonDigit(name));
}

TEST(PortName, WindowsStyleNamesMapToSerialDevices) {
    EXPECT_EQ(mapped("COM1"), "/dev/ttyS0");
    EXPECT_EQ(mapped("COM12"), "/dev/ttyS11");
    EXPECT_EQ(mapped("COM3:"), "/dev/ttyS2");  // one trailing non-digit dropped
}

TEST(PortName, OtherNamesLieUnderDev) {
    EXPECT_EQ(mapped("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(mapped("ttyACM1"), "/dev/ttyACM1");
    EXPECT_EQ(mapped("COM0"), "/dev/COM0");  // there is no COM0: taken as a device name
}

TEST(PortName, PathsAreUsedAsTheyAre) {
    EXPECT_EQ(mapped("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(mapped("/tmp/reader0"), "/tmp/reader0");
}

TEST(PortName, OnlyOneTrailingCharacterIsDropped) {
    EXPECT_EQ(qn::dropTrailingNonDigit("COM3::"), "COM3:");
    EXPECT_EQ(mapped(""), "");
    EXPECT_EQ(mapped(":"), "");
}

}  // namespace
