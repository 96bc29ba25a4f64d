#include <gtest/gtest.h>

#include <string>

#include "reader_address.h"

namespace {

using readeraddress::Address;

struct Good {
    const char *text;
    Address address;
    const char *formatted;
};

TEST(ReaderAddress, ParsesEveryFormAndWritesItBackInFull) {
    const Good cases[] = {
        {"tcp://192.168.1.100", readeraddress::Tcp{"192.168.1.100", 60000},
         "tcp://192.168.1.100:60000"},
        {"tcp://reader-7.dock.example:4001", readeraddress::Tcp{"reader-7.dock.example", 4001},
         "tcp://reader-7.dock.example:4001"},
        {"  tcp://localhost:1 ", readeraddress::Tcp{"localhost", 1}, "tcp://localhost:1"},
        {"tcp://h:65535", readeraddress::Tcp{"h", 65535}, "tcp://h:65535"},
        {"serial:/dev/ttyUSB0?baud=57600", readeraddress::Serial{"/dev/ttyUSB0", 57600},
         "serial:/dev/ttyUSB0?baud=57600"},
        {"serial:ttyUSB0", readeraddress::Serial{"/dev/ttyUSB0", 115200},
         "serial:/dev/ttyUSB0?baud=115200"},
        {"serial:./pty/reader0", readeraddress::Serial{"./pty/reader0", 115200},
         "serial:./pty/reader0?baud=115200"},
        {"serial:ttyS0?baud=4000000", readeraddress::Serial{"/dev/ttyS0", 4000000},
         "serial:/dev/ttyS0?baud=4000000"},
        {"usb:0", readeraddress::UsbIndex{0}, "usb:0"},
        {"usb:012", readeraddress::UsbIndex{12}, "usb:12"},
        {"usb:/dev/hidraw3", readeraddress::UsbPath{"/dev/hidraw3"}, "usb:/dev/hidraw3"},
        {"usb:sim:127.0.0.1:61000", readeraddress::UsbPath{"sim:127.0.0.1:61000"},
         "usb:sim:127.0.0.1:61000"},
    };
    for (const Good &c : cases) {
        const readeraddress::Parsed parsed = readeraddress::parse(c.text);
        ASSERT_TRUE(parsed.address) << c.text << ": " << parsed.error;
        EXPECT_EQ(*parsed.address, c.address) << c.text;
        EXPECT_EQ(readeraddress::format(*parsed.address), c.formatted);
        EXPECT_EQ(readeraddress::parse(c.formatted).address, c.address) << c.formatted;
    }
}

TEST(ReaderAddress, RefusesMalformedTextWithItsReason) {
    const std::pair<std::string, const char *> cases[] = {
        {"", "no reader address"},
        {"   ", "no reader address"},
        {"192.168.1.100", "is not a reader address"},
        {"TCP://host", "is not a reader address"},
        {"http://host", "is not a reader address"},
        {"tcp://", "no host"},
        {"tcp://:60000", "no host"},
        {"tcp://host:", "port"},
        {"tcp://host:0", "port"},
        {"tcp://host:65536", "port"},
        {"tcp://host:+80", "port"},
        {"tcp://host:80/path", "port"},
        {"tcp://[::1]:80", "IPv6"},
        {"tcp://ho st", "not a host name"},
        {"tcp://host/", "not a host name"},
        {"serial:", "no device"},
        {"serial:?baud=9600", "no device"},
        {"serial:ttyS0?baud=", "baud"},
        {"serial:ttyS0?baud=0", "baud"},
        {"serial:ttyS0?baud=fast", "baud"},
        {"serial:ttyS0?baud=4000001", "baud"},
        {"serial:/dev/ttyS0?baud=12", "standard"},
        {"serial:/dev/ttyS0?baud=115201", "standard"},
        {"serial:ttyS0?parity=even", "unknown option"},
        {"usb:", "no reader number"},
        {"usb:65536", "from 0 to 65535"},
        {"tcp://host\n", "control character"},
        {std::string("tcp://ho\0st", 11), "control character"},
        {"tcp://" + std::string(2000, 'a'), "too long"},
    };
    for (const auto &[text, reason] : cases) {
        const readeraddress::Parsed parsed = readeraddress::parse(text);
        EXPECT_FALSE(parsed.address) << text;
        EXPECT_NE(parsed.error.find(reason), std::string::npos) << text << " -> " << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << "one line: " << text;
    }
}

}  // namespace
