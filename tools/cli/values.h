// The values typed on the command line, checked before any frame is sent: a bad value is a
// usage error naming the argument and what it accepts.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

using Bytes = std::vector<std::uint8_t>;
using Password = std::array<std::uint8_t, 4>;
// Year of the century, month, day, hour, minute, second: the device clock's bytes.
using DeviceTime = std::array<std::uint8_t, 6>;

// Decimal or 0x-prefixed hex, within [lowest, highest].
unsigned long parseNumber(const std::string &name, const std::string &text, unsigned long lowest,
                          unsigned long highest);
// reserved, epc, tid, user (any case) or 0-3.
std::uint8_t parseBank(const std::string &text);
// Pairs of hex digits, any case.
Bytes parseHex(const std::string &name, const std::string &text);
// Whole 16-bit words of hex, from 1 to maxWords words.
Bytes parseHexWords(const std::string &name, const std::string &text, std::size_t maxWords);
// Exactly eight hex digits.
Password parsePassword(const std::string &name, const std::string &text);
// "now" (the local clock) or YYYY-MM-DDTHH:MM:SS in 2000-2099.
DeviceTime parseDeviceTime(const std::string &text);

}  // namespace cli
