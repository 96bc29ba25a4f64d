#pragma once

// How the bytes the reader delivers become tags: the record bodies of one inventory answer,
// and what one body says (EPC, antenna, RSSI, EPC length, temperature). Qt-free, so parsers
// of reader input can be fuzzed and measured alone.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tagrecord {

using Bytes = std::vector<std::uint8_t>;

// Which records a page accepts and how it reads them.
struct RecordRules {
    int minLength;
    int maxLength;
    // Type-2 records carry a temperature after the RSSI; pages that do not honour it read
    // every record as a plain one.
    bool honoursTemperature;
};

// Answer-mode inventory and writer pages.
inline constexpr RecordRules plainRules{4, 32, false};
// Temperature inventory page.
inline constexpr RecordRules temperatureRules{4, 32, true};
// Active read and active temperature pages.
inline constexpr RecordRules activeRules{2, 32, true};

inline constexpr std::uint8_t temperatureType = 2;

// One decoded record body. Every record, whatever its type byte, is read as
// type, antenna, EPC, RSSI (and, for an honoured type-2 record, four temperature bytes):
// the EPC length is always the number of EPC bytes shown, so the length column and the
// writer's automatic EPC write agree with the EPC column.
struct TagRecord {
    std::uint8_t type = 0;
    std::uint8_t antenna = 0;
    Bytes epc;
    std::uint8_t rssi = 0;
    // "%fC", or empty when the record has no valid reading.
    std::string temperature;
};

// Nothing when the body's length is outside the rules or leaves no room for the EPC.
std::optional<TagRecord> decode(std::span<const std::uint8_t> body, const RecordRules &rules);

// The text of four temperature bytes (IEEE 754 single, least significant byte first):
// "%fC" for -40 < t < 150, empty for EE EE EE EE, anything else and not-a-number.
std::string temperatureText(std::span<const std::uint8_t, 4> bytes);

// The limits of one answer-mode inventory result.
inline constexpr std::size_t walkByteLimit = 1400;
inline constexpr std::uint16_t walkCountLimit = 50;

// The record bodies of one inventory result (records back to back, a length byte each):
// nothing when count is 0 or above 50 or byteLength above 1400; otherwise up to count
// records, ending before the first that would run past byte 1400 or past `records`.
std::vector<Bytes> walkInventory(std::span<const std::uint8_t> records, std::uint16_t byteLength,
                                 std::uint16_t count);

// An active-mode report allows twice the tags of an inventory result.
inline constexpr int activeCountLimit = 100;

// The record bodies of one active-mode report: nothing when count is 0 or above 100 or the
// report's length value above 1400; otherwise as walkInventory.
std::vector<Bytes> walkActiveReport(std::span<const std::uint8_t> records, int lengthValue,
                                    int count);

}  // namespace tagrecord
