// Record bodies as the pages read them, and the walk over one inventory result.
#include "tag_record.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

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
    EXPECT_EQ(record->temperature, "23.500000C");
}

TEST(TagRecord, PagesWithoutTemperatureReadTypeTwoAsPlain) {
    const Bytes bytes = body(2, 12, floatBytes(23.5f));
    const auto record = tagrecord::decode(bytes, tagrecord::plainRules);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->epc.size(), 16u);
    EXPECT_EQ(record->rssi, bytes[18]);
    EXPECT_TRUE(record->temperature.empty());
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
    const char *text;
};

class TemperatureText : public testing::TestWithParam<TemperatureCase> {};

TEST_P(TemperatureText, ShowsOnlyReadingsInsideTheRange) {
    const Bytes &bytes = GetParam().bytes;
    EXPECT_EQ(tagrecord::temperatureText(std::span<const std::uint8_t, 4>(bytes.data(), 4)),
              GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, TemperatureText,
    testing::Values(TemperatureCase{{0x00, 0x00, 0xBC, 0x41}, "23.500000C"},
                    TemperatureCase{{0xEE, 0xEE, 0xEE, 0xEE}, ""},
                    TemperatureCase{floatBytes(150.0f), ""},
                    TemperatureCase{floatBytes(-40.0f), ""},
                    TemperatureCase{floatBytes(149.5f), "149.500000C"},
                    TemperatureCase{floatBytes(-39.75f), "-39.750000C"},
                    TemperatureCase{floatBytes(std::numeric_limits<float>::quiet_NaN()), ""}));

// Records of n = 4 bytes (5 with the length byte) back to back.
Bytes records(int count, int n = 4) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(n));
        for (int b = 0; b < n; ++b) bytes.push_back(static_cast<std::uint8_t>(i));
    }
    bytes.resize(1451, 0);
    return bytes;
}

TEST(InventoryWalk, DropsWholeResultsOutsideTheLimits) {
    EXPECT_EQ(tagrecord::walkInventory(records(2), 10, 0).size(), 0u);
    EXPECT_EQ(tagrecord::walkInventory(records(51), 255, 51).size(), 0u);
    EXPECT_EQ(tagrecord::walkInventory(records(2), 1401, 2).size(), 0u);
    EXPECT_EQ(tagrecord::walkInventory(records(50), 250, 50).size(), 50u);
}

// Five records of 256 bytes with their length bytes, then one of `lastLength`: a length byte
// holds at most 255, so the sixth is the first that can reach byte 1400.
Bytes longRecords(int lastLength) {
    Bytes bytes(1451, 0);
    for (std::size_t record = 0; record < 5; ++record) bytes[record * 256] = 255;
    bytes[1280] = static_cast<std::uint8_t>(lastLength);
    return bytes;
}

TEST(InventoryWalk, EndsBeforeARecordRunningPastByte1400) {
    EXPECT_EQ(tagrecord::walkInventory(longRecords(120), 1400, 6).size(), 5u);
    const auto bodies = tagrecord::walkInventory(longRecords(119), 1400, 6);
    ASSERT_EQ(bodies.size(), 6u);
    EXPECT_EQ(bodies[5].size(), 119u);
}

TEST(InventoryWalk, IsBoundedByTheBufferItIsGiven) {
    const Bytes shortBuffer{4, 1, 2, 3, 4, 30, 1, 2};
    const auto bodies = tagrecord::walkInventory(shortBuffer, 8, 2);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], (Bytes{1, 2, 3, 4}));
}

}  // namespace
