// What the tools make of what a reader saw: the sightings of one inventory result or active
// report, and how they are written: times as UTC with milliseconds, one JSON writer for a
// sighting. Qt-free.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "hex_text.h"
#include "tag_record.h"

namespace tagtext {

// 2026-12-09T02:41:48.123Z
std::string utcText(std::chrono::system_clock::time_point time);

// One tag seen by one reader at one time.
struct Sighting {
    std::string reader;  // serial number, upper-case hex
    tagrecord::TagRecord record;
    std::chrono::system_clock::time_point time;  // when the result or report was received
};

// The sightings of one inventory result (every whole record in its first byteLength bytes,
// temperatures honoured) or one active report (records and the report's length field),
// received now; records the rules refuse are skipped.
std::vector<Sighting> inventorySightings(const std::string &reader,
                                         std::span<const std::uint8_t> records,
                                         std::size_t byteLength);
std::vector<Sighting> reportSightings(const std::string &reader,
                                      std::span<const std::uint8_t> records, int lengthValue);

// The members of a sighting's JSON object, without the braces, in this order:
// "reader", "epc" (hex), "uri" (only when the EPC is a GS1 identity), "antenna", "rssi"
// (numbers), "time" (UTC text) and "temperature" (degrees Celsius, only with a reading).
std::string jsonMembers(const Sighting &sighting);
// The same appended to `json`, with the reader and time already quoted: the sightings of one
// result share them, so a stream of many quotes them once.
void appendJsonMembers(std::string &json, const Sighting &sighting, std::string_view quotedReader,
                       std::string_view quotedTime);

}  // namespace tagtext
