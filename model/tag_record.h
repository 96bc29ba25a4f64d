#pragma once

// How the bytes the reader delivers become tags: the record bodies of one inventory result or
// active report, and what one body says (EPC, antenna, RSSI, temperature). Typed values only:
// texts are made where they are shown. Qt-free, so parsers of reader input can be fuzzed and
// measured alone.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gs1_epc.h"

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
// Temperature inventory page, and inventories of the tools.
inline constexpr RecordRules temperatureRules{4, 32, true};
// Active read and active temperature pages.
inline constexpr RecordRules activeRules{2, 32, true};

inline constexpr std::uint8_t temperatureType = 2;

// The most record bytes one inventory result or active report carries: the size of every
// buffer that receives them.
inline constexpr std::size_t recordBytesLimit = 1451;
// The most EPC bytes a record the rules accept can hold (type, antenna and RSSI around it).
inline constexpr std::size_t longestEpc = 29;

// What one sighting of a tag says. Every record, whatever its type byte, is read as
// type, antenna, EPC, RSSI (and, for an honoured type-2 record, four temperature bytes):
// the EPC length is always the number of EPC bytes shown, so the length column and the
// writer's automatic EPC write agree with the EPC column.
struct TagRecord {
    std::uint8_t type = 0;
    std::uint8_t antenna = 0;
    Bytes epc;
    std::uint8_t rssi = 0;
    // Degrees Celsius; none when the record carries no valid reading.
    std::optional<float> temperature;

    // The GS1 identity behind the EPC, when it is one.
    std::optional<gs1::Identity> identity() const { return gs1::decode(epc); }
};

// Nothing when the body's length is outside the rules or leaves no room for the EPC.
std::optional<TagRecord> decode(std::span<const std::uint8_t> body, const RecordRules &rules);

// The reading of four temperature bytes (IEEE 754 single, least significant byte first):
// a value t with -40 < t < 150; nothing for EE EE EE EE, anything else and not-a-number.
std::optional<float> temperature(std::span<const std::uint8_t, 4> bytes);

// The record bodies of one inventory result or active report (records back to back, a length
// byte each): every whole record within the first `byteLength` bytes, never more than
// recordBytesLimit nor past `records`. The tag count the reader sends is not needed: a record
// that would run past the bytes, or a length byte of 0 (the zero fill of a buffer), ends the
// walk, and every record before it is delivered.
std::vector<Bytes> walk(std::span<const std::uint8_t> records, std::size_t byteLength);

// The record bytes of an active report whose length field is `lengthValue` (12 more than the
// records; never negative).
std::size_t reportRecordBytes(int lengthValue);

}  // namespace tagrecord
