// Record bodies as the pages read them, and the walk over one inventory result.
#include "tag_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

namespace {

using tagrecord::Bytes;

Bytes floatBytes(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16),
            std::uint8_t(bits >> 24)};
}

// type, antenna, `epcBytes` EPC bytes 0x10, 0x11, ..., RSSI 0xC5, then `tail`.
Bytes body(std::uint8_t type, int epcBytes, const Bytes &tail = {}) {
    Bytes bytes{type, 0x02};
    for (int i = 0; i < epcBytes; ++i) bytes.push_back(static_cast<std::uint8_t>(0x10 + i));
    bytes.push_back(0xC5);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

struct LengthCase {
    int n;
    bool accepted;
};

class PlainLength : public testing::TestWithParam<LengthCase> {};

TEST_P(PlainLength, AcceptsFourToThirtyTwoBytes) {
    const Bytes bytes = body(1, GetParam().n - 3);
    const auto record = tagrecord::decode(bytes, tagrecord::plainRules);
    ASSERT_EQ(record.has_value(), GetParam().accepted);
    if (record) {
        EXPECT_EQ(record->epc.size(), std::size_t(GetParam().n - 3));
        EXPECT_EQ(record->antenna, 0x02);
        EXPECT_EQ(record->rssi, 0xC5);
        EXPECT_EQ(record->epc.front(), 0x10);
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, PlainLength,
                         testing::Values(LengthCase{3, false}, LengthCase{4, true},
                                         LengthCase{32, true}, LengthCase{33, false}));

TEST(TagRecord, TypeTwoOnATemperaturePageHasItsEpcBeforeRssiAndReading) {
    const Bytes bytes = body(2, 12, floatBytes(23.5f));
    ASSERT_EQ(bytes.size(), 19u);
    const auto record = tagrecord::decode(bytes, tagrecord::temperatureRules);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->epc.size(), 12u);
    EXPECT_EQ(record->rssi, bytes[14]);
    EXPECT_EQ(record->temperature, 23.5f);
}

TEST(TagRecord, PagesWithoutTemperatureReadTypeTwoAsPlain) {
    const Bytes bytes = body(2, 12, floatBytes(23.5f));
    const auto record = tagrecord::decode(bytes, tagrecord::plainRules);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->epc.size(), 16u);
    EXPECT_EQ(record->rssi, bytes[18]);
    EXPECT_FALSE(record->temperature);
}

TEST(TagRecord, OtherTypesShowTheirEpcLengthAsTheBytesShown) {
    const auto record = tagrecord::decode(body(5, 12), tagrecord::plainRules);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->epc.size(), 12u);
    EXPECT_EQ(record->rssi, 0xC5);
}

TEST(TagRecord, ActiveRecordsWithoutRoomForAnEpcAreNotTags) {
    EXPECT_FALSE(tagrecord::decode(Bytes{1, 1}, tagrecord::activeRules));
    EXPECT_FALSE(tagrecord::decode(Bytes{2, 1, 0xC0, 0, 0, 0}, tagrecord::activeRules));
    const auto empty = tagrecord::decode(Bytes{1, 1, 0xC0}, tagrecord::activeRules);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->epc.empty());
}

struct TemperatureCase {
    Bytes bytes;
    std::optional<float> reading;
};

class TemperatureReading : public testing::TestWithParam<TemperatureCase> {};

TEST_P(TemperatureReading, HoldsOnlyReadingsInsideTheRange) {
    const Bytes &bytes = GetParam().bytes;
    EXPECT_EQ(tagrecord::temperature(std::span<const std::uint8_t, 4>(bytes.data(), 4)),
              GetParam().reading);
}

INSTANTIATE_TEST_SUITE_P(Readings, TemperatureReading,
                         testing::Values(TemperatureCase{{0x00, 0x00, 0xBC, 0x41}, 23.5f},
                                         TemperatureCase{{0xEE, 0xEE, 0xEE, 0xEE}, std::nullopt},
                                         TemperatureCase{floatBytes(150.0f), std::nullopt},
                                         TemperatureCase{floatBytes(-40.0f), std::nullopt},
                                         TemperatureCase{floatBytes(149.5f), 149.5f},
                                         TemperatureCase{floatBytes(-39.75f), -39.75f},
                                         TemperatureCase{
                                             floatBytes(std::numeric_limits<float>::quiet_NaN()),
                                             std::nullopt}));

// `count` records of n = `n` bytes (n + 1 with the length byte) back to back, record i
// filled with i, then zeros up to the largest result.
Bytes records(int count, int n = 4) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(n));
        for (int b = 0; b < n; ++b) bytes.push_back(static_cast<std::uint8_t>(i));
    }
    bytes.resize(std::max(bytes.size(), tagrecord::recordBytesLimit), 0);
    return bytes;
}

struct WalkCase {
    const char *name;
    Bytes records;
    std::size_t byteLength;
    std::size_t delivered;
};

class Walk : public testing::TestWithParam<WalkCase> {};

// Every whole record within the bytes given, in order, whatever their number.
TEST_P(Walk, DeliversEveryWholeRecordWithinTheBytes) {
    const WalkCase &walkCase = GetParam();
    const auto bodies = tagrecord::walk(walkCase.records, walkCase.byteLength);
    ASSERT_EQ(bodies.size(), walkCase.delivered);
    std::size_t position = 0;
    for (const Bytes &body : bodies) {
        ASSERT_EQ(walkCase.records[position], body.size());
        EXPECT_TRUE(std::equal(body.begin(), body.end(),
                               walkCase.records.begin() + std::ptrdiff_t(position) + 1));
        position += body.size() + 1;
    }
    EXPECT_LE(position, std::min(walkCase.byteLength, tagrecord::recordBytesLimit));
}

// Five records of 256 bytes with their length bytes, then one of `lastLength`.
Bytes longRecords(int lastLength) {
    Bytes bytes(tagrecord::recordBytesLimit, 0);
    for (std::size_t record = 0; record < 5; ++record) bytes[record * 256] = 255;
    bytes[1280] = static_cast<std::uint8_t>(lastLength);
    return bytes;
}

// 17 bytes per record (n = 16): 85 of them fill 1445 bytes.
INSTANTIATE_TEST_SUITE_P(
    Results, Walk,
    testing::Values(WalkCase{"none", records(0), 0, 0}, WalkCase{"one", records(1), 5, 1},
                    WalkCase{"fifty", records(50), 250, 50},
                    WalkCase{"fiftyOne", records(51), 255, 51},
                    WalkCase{"eightyFive", records(85, 16), 85 * 17, 85},
                    WalkCase{"twoHundredFifty", records(250), 1250, 250},
                    // 290 records of 5 bytes end exactly at the largest result.
                    WalkCase{"atTheLimit", records(290), 1450, 290},
                    WalkCase{"pastTheLimit", records(300), 1500, 290},
                    WalkCase{"lastEndsAtTheLimit", longRecords(170), 1451, 6},
                    WalkCase{"lastRunsPastTheLimit", longRecords(171), 1452, 5},
                    WalkCase{"truncatedLast", records(3), 14, 2},
                    WalkCase{"fewerBytesThanRecords", records(80), 100, 20},
                    // A length byte of 0 is the buffer's zero fill, not a record.
                    WalkCase{"zerosAfterTheRecords", records(2), 13, 2},
                    WalkCase{"zeroFillEndsTheWalk", records(60), 1451, 60}),
    [](const testing::TestParamInfo<WalkCase> &info) { return info.param.name; });

TEST(Walk, IsBoundedByTheBufferItIsGiven) {
    const Bytes shortBuffer{4, 1, 2, 3, 4, 30, 1, 2};
    const auto bodies = tagrecord::walk(shortBuffer, 1451);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], (Bytes{1, 2, 3, 4}));
}

// An active report's length field counts 12 bytes around its records.
TEST(Walk, ReportRecordBytesNeverGoNegative) {
    EXPECT_EQ(tagrecord::reportRecordBytes(0), 0u);
    EXPECT_EQ(tagrecord::reportRecordBytes(12), 0u);
    EXPECT_EQ(tagrecord::reportRecordBytes(13), 1u);
    EXPECT_EQ(tagrecord::reportRecordBytes(1463), 1451u);
}

}  // namespace
