#include "tag_record.h"

#include <algorithm>
#include <bit>

namespace tagrecord {

namespace {

constexpr float lowestReading = -40.0f;
constexpr float highestReading = 150.0f;
constexpr std::uint8_t noReadingByte = 0xEE;
// type, antenna and RSSI around the EPC; a temperature adds four bytes.
constexpr std::size_t plainOverhead = 3;
constexpr std::size_t temperatureBytes = 4;
// Serial number, tag count, checksum and the bytes of no meaning around a report's records.
constexpr int reportOverhead = 12;

static_assert(std::size_t(temperatureRules.maxLength) - plainOverhead <= longestEpc);

}  // namespace

std::optional<float> temperature(std::span<const std::uint8_t, 4> bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == noReadingByte; }))
        return std::nullopt;
    const std::uint32_t bits = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                               std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    const float celsius = std::bit_cast<float>(bits);
    // Written so that not-a-number fails the test too.
    if (!(celsius > lowestReading && celsius < highestReading)) return std::nullopt;
    return celsius;
}

std::optional<TagRecord> decode(std::span<const std::uint8_t> body, const RecordRules &rules) {
    const auto n = static_cast<int>(body.size());
    if (n < rules.minLength || n > rules.maxLength || body.size() < plainOverhead)
        return std::nullopt;
    TagRecord record;
    record.type = body[0];
    record.antenna = body[1];
    std::size_t trailer = 1;
    if (rules.honoursTemperature && record.type == temperatureType) {
        if (body.size() < plainOverhead + temperatureBytes) return std::nullopt;
        record.temperature = temperature(body.last<temperatureBytes>());
        trailer += temperatureBytes;
    }
    record.rssi = body[body.size() - trailer];
    record.epc.assign(body.begin() + 2, body.end() - static_cast<std::ptrdiff_t>(trailer));
    return record;
}

std::vector<Bytes> walk(std::span<const std::uint8_t> records, std::size_t byteLength) {
    std::vector<Bytes> bodies;
    const std::size_t end = std::min({byteLength, recordBytesLimit, records.size()});
    std::size_t position = 0;
    // A length byte of 0 is no record: the zero fill after the records.
    while (position < end && records[position] != 0) {
        const std::size_t next = position + records[position] + 1;
        if (next > end) break;
        bodies.emplace_back(records.begin() + static_cast<std::ptrdiff_t>(position) + 1,
                            records.begin() + static_cast<std::ptrdiff_t>(next));
        position = next;
    }
    return bodies;
}

std::size_t reportRecordBytes(int lengthValue) {
    return lengthValue > reportOverhead ? std::size_t(lengthValue - reportOverhead) : 0;
}

}  // namespace tagrecord
