// How the program reaches a reader: the three transports, their numbers in the stored
// configuration, and the serial rates a reader runs at. Qt-free.
#pragma once

#include <array>
#include <cstddef>
#include <optional>

enum class Transport { Serial, Usb, Network };

namespace readertransport {

// The configuration keeps the transport of the last connection as 0 serial, 1 USB,
// 2 network; any other stored number means serial, the button the panel then shows.
constexpr Transport fromStoredValue(int value) {
    switch (value) {
        case 1:
            return Transport::Usb;
        case 2:
            return Transport::Network;
        default:
            return Transport::Serial;
    }
}

constexpr int storedValue(Transport transport) {
    return static_cast<int>(transport);
}

// The serial rates, by their code in the device record, which is also their position in the
// baud lists.
inline constexpr std::array<int, 5> serialBaudRates{9600, 19200, 38400, 57600, 115200};

// The rate of a baud code; nothing for a code no list holds.
constexpr std::optional<int> baudRateOfCode(int code) {
    if (code < 0 || code >= static_cast<int>(serialBaudRates.size())) return std::nullopt;
    return serialBaudRates[static_cast<std::size_t>(code)];
}

// The code of a rate; nothing for a rate no list holds.
constexpr std::optional<int> baudCodeOfRate(int rate) {
    for (std::size_t code = 0; code < serialBaudRates.size(); ++code) {
        if (serialBaudRates[code] == rate) return static_cast<int>(code);
    }
    return std::nullopt;
}

}  // namespace readertransport
