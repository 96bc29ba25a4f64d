#pragma once

// The update host's version page: where the newest published version stands in it. Qt-free,
// so what a host sends can be fuzzed alone.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace versionpage {

// How much of the reply the version check keeps.
inline constexpr std::size_t pageSize = 32768;

// The latest version in a reply (bytes past its end read as 0): nothing when the reply is empty
// or starts neither with 'D' nor has 'e' second; otherwise (byte 12 - '0') + (byte 14 - '0') / 10,
// whatever those bytes are.
std::optional<float> latestVersion(std::span<const std::uint8_t> reply);

} // namespace versionpage
