// From reader bytes to sightings, and the one JSON writer of a sighting that tagbench-cli and
// tagbench-gateway both print.
#include "tag_text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using tagrecord::Bytes;
using namespace std::chrono_literals;

const Bytes sgtinEpc{0x30, 0x74, 0x25, 0x7B, 0xF7, 0x19, 0x4E, 0x40, 0x00, 0x00, 0x1A, 0x85};

tagtext::Sighting sighting(Bytes epc, std::optional<float> temperature) {
    tagtext::Sighting seen;
    seen.reader = "E0112233445566";
    seen.record.type = temperature ? 2 : 1;
    seen.record.antenna = 3;
    seen.record.epc = std::move(epc);
    seen.record.rssi = 0xD0;
    seen.record.temperature = temperature;
    seen.time = std::chrono::system_clock::time_point(1765248108123ms);
    return seen;
}

struct JsonCase {
    tagtext::Sighting sighting;
    const char *members;
};

class SightingJson : public testing::TestWithParam<JsonCase> {};

TEST_P(SightingJson, WritesTheMembersInTheirOrder) {
    EXPECT_EQ(tagtext::jsonMembers(GetParam().sighting), GetParam().members);
    std::string appended = "{";
    tagtext::appendJsonMembers(appended, GetParam().sighting, "\"R\"", "\"T\"");
    EXPECT_EQ(appended.find("{\"reader\":\"R\",\"epc\":"), 0u) << appended;
    EXPECT_NE(appended.find(",\"time\":\"T\""), std::string::npos) << appended;
}

INSTANTIATE_TEST_SUITE_P(
    Sightings, SightingJson,
    testing::Values(JsonCase{sighting({0xAA, 0xBB}, std::nullopt),
                             R"("reader":"E0112233445566","epc":"AABB","antenna":3,"rssi":208,)"
                             R"("time":"2025-12-09T02:41:48.123Z")"},
                    JsonCase{
                        sighting(sgtinEpc, std::nullopt),
                        R"("reader":"E0112233445566","epc":"3074257BF7194E4000001A85",)"
                        R"("uri":"urn:epc:id:sgtin:0614141.812345.6789","antenna":3,"rssi":208,)"
                        R"("time":"2025-12-09T02:41:48.123Z")"},
                    JsonCase{sighting({0x01}, 23.5f),
                             R"("reader":"E0112233445566","epc":"01","antenna":3,"rssi":208,)"
                             R"("time":"2025-12-09T02:41:48.123Z","temperature":23.500000)"},
                    JsonCase{sighting({}, -39.75f),
                             R"("reader":"E0112233445566","epc":"","antenna":3,"rssi":208,)"
                             R"("time":"2025-12-09T02:41:48.123Z","temperature":-39.750000)"}));

// n = 16: type 1, antenna, 13 EPC bytes (the tag's number last), RSSI.
Bytes inventoryRecords(int count) {
    Bytes bytes;
    for (int tag = 0; tag < count; ++tag) {
        const Bytes body{1, 2, 0xE2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, std::uint8_t(tag), 0xC0};
        bytes.push_back(std::uint8_t(body.size()));
        bytes.insert(bytes.end(), body.begin(), body.end());
    }
    return bytes;
}

TEST(Sightings, EveryTagOfADenseInventoryResult) {
    Bytes records = inventoryRecords(85);
    const std::size_t byteLength = records.size();
    records.resize(tagrecord::recordBytesLimit, 0);
    const auto sightings = tagtext::inventorySightings("R", records, byteLength);
    ASSERT_EQ(sightings.size(), 85u);
    for (std::size_t tag = 0; tag < sightings.size(); ++tag) {
        EXPECT_EQ(sightings[tag].record.epc.back(), tag);
        EXPECT_EQ(sightings[tag].reader, "R");
        EXPECT_EQ(sightings[tag].time, sightings.front().time);
    }
}

TEST(Sightings, AReportsRecordsEndTwelveBytesBeforeItsLengthField) {
    const Bytes temperatureBody{2, 1, 0xAB, 0xCD, 0xC1, 0x00, 0x00, 0xBC, 0x41};
    Bytes records{std::uint8_t(temperatureBody.size())};
    records.insert(records.end(), temperatureBody.begin(), temperatureBody.end());
    // Checksum and bytes of no meaning follow the records in a report's buffer.
    Bytes buffer = records;
    buffer.insert(buffer.end(), {3, 9, 9, 9, 0, 0, 0, 0, 0, 0, 0, 0});
    const int lengthValue = int(records.size()) + 12;
    const auto sightings = tagtext::reportSightings("R", buffer, lengthValue);
    ASSERT_EQ(sightings.size(), 1u);
    EXPECT_EQ(sightings[0].record.epc, (Bytes{0xAB, 0xCD}));
    EXPECT_EQ(sightings[0].record.rssi, 0xC1);
    EXPECT_EQ(sightings[0].record.temperature, 23.5f);
    EXPECT_TRUE(tagtext::reportSightings("R", buffer, 12).empty());
}

}  // namespace
