// How the tools write what a reader saw: bytes as upper-case hex, times as UTC with
// milliseconds, a temperature text as a JSON number. Qt-free.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace tagtext {

std::string hexText(std::span<const std::uint8_t> bytes);
// 2026-12-09T02:41:48.123Z
std::string utcText(std::chrono::system_clock::time_point time);
// The number of a tag record's "%fC" temperature text, without its unit.
std::string celsiusNumber(const std::string &temperatureText);

}  // namespace tagtext
