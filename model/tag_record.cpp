#include "tag_record.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace tagrecord {

namespace {

constexpr float lowestReading = -40.0f;
constexpr float highestReading = 150.0f;
constexpr std::uint8_t noReadingByte = 0xEE;
// type, antenna and RSSI around the EPC; a temperature adds four bytes.
constexpr std::size_t plainOverhead = 3;
constexpr std::size_t temperatureBytes = 4;

}  // namespace

std::string temperatureText(std::span<const std::uint8_t, 4> bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == noReadingByte; }))
        return {};
    const std::uint32_t bits = std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                               std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24;
    const float celsius = std::bit_cast<float>(bits);
    // Written so that not-a-number fails the test too.
    if (!(celsius > lowestReading && celsius < highestReading)) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%fC", double(celsius));
    return text;
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
        record.temperature = temperatureText(body.last<temperatureBytes>());
        trailer += temperatureBytes;
    }
    record.rssi = body[body.size() - trailer];
    record.epc.assign(body.begin() + 2, body.end() - static_cast<std::ptrdiff_t>(trailer));
    return record;
}

namespace {

// Up to count records, ending before the first that would run past byte 1400 or past
// `records`.
std::vector<Bytes> walkRecords(std::span<const std::uint8_t> records, int count) {
    std::vector<Bytes> bodies;
    const std::size_t end = std::min(walkByteLimit, records.size());
    std::size_t position = 0;
    for (int index = 0; index < count && position < end; ++index) {
        const std::size_t next = position + records[position] + 1;
        if (next > end) break;
        bodies.emplace_back(records.begin() + static_cast<std::ptrdiff_t>(position) + 1,
                            records.begin() + static_cast<std::ptrdiff_t>(next));
        position = next;
    }
    return bodies;
}

}  // namespace

std::vector<Bytes> walkInventory(std::span<const std::uint8_t> records, std::uint16_t byteLength,
                                 std::uint16_t count) {
    if (count == 0 || count > walkCountLimit || byteLength > walkByteLimit) return {};
    return walkRecords(records, count);
}

std::vector<Bytes> walkActiveReport(std::span<const std::uint8_t> records, int lengthValue,
                                    int count) {
    if (count <= 0 || count > activeCountLimit || lengthValue > int(walkByteLimit)) return {};
    return walkRecords(records, count);
}

}  // namespace tagrecord
