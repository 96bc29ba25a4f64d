// The text that names a reader, as the handle library, the command-line tool and the gateway
// accept it:
//   tcp://HOST[:PORT]       IPv4 dotted text or a host name; port 60000 when omitted
//   serial:PATH[?baud=N]    a device path; a bare name is taken under /dev; 115200 baud
//   usb:N | usb:PATH        the N-th USB reader of the list (0-based), or a device path
// Qt-free.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace readeraddress {

inline constexpr uint16_t kDefaultTcpPort = 60000;
inline constexpr int32_t kDefaultBaud = 115200;
inline constexpr int32_t kMaxBaud = 4000000;
// The rates a serial address may name: the standard line speeds (each has a speed code of its
// own, so stty and friends show it), up to kMaxBaud.
inline constexpr int32_t kSupportedBauds[] = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};
inline constexpr size_t kMaxAddressLength = 1024;

struct Tcp {
    std::string host;
    uint16_t port = kDefaultTcpPort;
    bool operator==(const Tcp &) const = default;
};

struct Serial {
    std::string path;
    int32_t baud = kDefaultBaud;
    bool operator==(const Serial &) const = default;
};

struct UsbIndex {
    uint16_t index = 0;
    bool operator==(const UsbIndex &) const = default;
};

struct UsbPath {
    std::string path;
    bool operator==(const UsbPath &) const = default;
};

using Address = std::variant<Tcp, Serial, UsbIndex, UsbPath>;

// An address, or the one-line reason the text is not one.
struct Parsed {
    std::optional<Address> address;
    std::string error;
};

Parsed parse(std::string_view text);

// The address written out in full (every default spelled), so it parses back to itself.
std::string format(const Address &address);

}  // namespace readeraddress
