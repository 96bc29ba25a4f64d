// How the tools write what a reader saw: bytes as upper-case hex, times as UTC with
// milliseconds, a temperature text as a JSON number. Qt-free.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tag_record.h"

namespace tagtext {

std::string hexText(std::span<const std::uint8_t> bytes);
// 2026-12-09T02:41:48.123Z
std::string utcText(std::chrono::system_clock::time_point time);
// The number of a tag record's "%fC" temperature text, without its unit.
std::string celsiusNumber(const std::string &temperatureText);

// One tag seen by one reader at one time.
struct Sighting {
    std::string reader;  // serial number, upper-case hex
    tagrecord::TagRecord record;
    std::chrono::system_clock::time_point time;  // when the result or report was received
};

// The sightings of one inventory result or report, received now; records the rules refuse
// are skipped.
std::vector<Sighting> decodeSightings(const std::vector<tagrecord::Bytes> &bodies,
                                      const tagrecord::RecordRules &rules,
                                      const std::string &reader);

}  // namespace tagtext
