// The working buffer every parameter record is read into and built in: zero-filled and larger
// than any record, so a field written at its offset never lands outside it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace paramrecord {

inline constexpr int capacity = 256;
using Buffer = std::array<std::uint8_t, capacity>;

// The low byte of a control's value, as the record stores it.
constexpr std::uint8_t low8(int value)
{
    return static_cast<std::uint8_t>(value & 0xFF);
}

// The first `length` bytes (0..capacity) that go to the reader.
inline std::vector<std::uint8_t> firstBytes(const Buffer &buffer, int length)
{
    return {buffer.begin(), buffer.begin() + std::clamp(length, 0, capacity)};
}

} // namespace paramrecord
