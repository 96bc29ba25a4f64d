// Bytes as hexadecimal text and back, in the forms people type and read: compact ("01AB"),
// spaced ("01 AB "), strict parsing for input that must be right and the lenient pair reading
// the pages apply to their fields. Upper-case digits out, either case in. Qt-free.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hextext {

inline constexpr char upperDigits[] = "0123456789ABCDEF";

inline char highDigit(std::uint8_t byte) {
    return upperDigits[byte >> 4];
}
inline char lowDigit(std::uint8_t byte) {
    return upperDigits[byte & 0x0F];
}

// "%.2X" per byte.
std::string compact(std::span<const std::uint8_t> bytes);
// "%.2X " per byte (a space after every byte, the last too).
std::string spaced(std::span<const std::uint8_t> bytes);

// The value of one hex digit of either case, or -1 for any other character (code point).
int digitValue(char32_t character);
// Two characters as one byte, leniently: a non-digit high character counts as 0, a non-digit
// low character makes the whole byte 0.
std::uint8_t lenientPair(char32_t high, char32_t low);
// Compact text as bytes read with lenientPair: floor(length / 2) bytes, an odd last digit left
// out.
std::vector<std::uint8_t> lenientBytes(std::string_view text);

// Pairs of hex digits of either case and nothing else (empty text gives no bytes); nothing for
// any other text.
std::optional<std::vector<std::uint8_t>> parse(std::string_view text);

}  // namespace hextext
