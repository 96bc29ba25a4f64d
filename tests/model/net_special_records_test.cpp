// The network and special records: every field where the reader keeps it, the virtual reader's
// factory records read and rebuilt through the tables, and what typed control texts become.
#include "param_records.h"
#include "reader_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using record::Value;
using Bytes = std::vector<std::uint8_t>;

// Where a field lies, independent of the tables: byte positions as the reader documents them.
struct Placement {
    std::string_view name;
    int offset;
    int width;
    int captionKey;
    // In the virtual reader's factory record.
    Value factory;
};

Value text(const char *value) {
    return std::string(value);
}

Value number(std::int64_t value) {
    return value;
}

// The virtual reader's MAC address: 02-1A-86 and the last three serial number bytes.
const std::vector<Placement> networkPlacements{
    {"mac", 0, 6, 1103, text("021A86080001")},
    {"ip_address", 6, 4, 1104, text("192.168.1.250")},
    {"subnet_mask", 10, 4, 1105, text("255.255.255.0")},
    {"gateway", 14, 4, 1106, text("192.168.1.1")},
    {"remote_ip", 18, 4, 1112, text("192.168.1.100")},
    {"local_port", 22, 2, 1107, number(60000)},
    {"remote_port", 24, 2, 1113, number(60001)},
    {"dhcp", 26, 1, 1118, false},
    {"dns", 27, 1, 1119, false},
    {"heartbeat", 28, 1, 1116, number(6)},
    {"domain", 29, 32, 1114, text("reader.example.com")},
    {"ssid", 61, 32, 1109, text("TagBench")},
    {"wifi_password", 93, 32, 1110, text("")},
    {"gps", 125, 1, 1243, false},
    {"gps_interval", 126, 1, 1241, number(6)},
    {"auto_apn", 127, 1, 0, true},
    {"apn", 128, 25, 0, text("")},
    {"apn_user", 153, 20, 0, text("")},
    {"apn_password", 173, 20, 0, text("")},
};

const std::vector<Placement> specialPlacements{
    {"password_enable", 0, 1, 1131, false},  {"password", 1, 4, 1126, text("00000000")},
    {"mask_enable", 5, 1, 1132, false},      {"mask_start", 6, 1, 1127, number(0)},
    {"mask_data", 7, 12, 1128, text("")},    {"relay", 20, 1, 1133, false},
    {"relay_time", 21, 1, 1130, number(1)},  {"cache", 22, 1, 1151, false},
    {"protocol_enable", 23, 1, 1152, false}, {"protocol", 24, 1, 0, number(0)},
    {"condition", 25, 1, 1246, number(0)},
};

struct RecordCase {
    const record::RecordTable &table;
    const std::vector<Placement> &placements;
    // The virtual reader's record, as long as a read returns it.
    Bytes factory;
};

Bytes bytesRead(const readersim::ParamRecord &record, int length) {
    return {record.body.begin(), record.body.begin() + length};
}

TEST(ParamRecords, FactoryRecordsDecodeFieldByFieldAndRebuildByteForByte) {
    const readersim::ReaderModel reader(0x50, 0);
    const std::vector<RecordCase> cases{
        {record::networkRecord, networkPlacements,
         bytesRead(reader.netRecord, readerfamily::networkRecord.read)},
        {record::specialRecord, specialPlacements,
         bytesRead(reader.specialRecord, readerfamily::specialRecord.read)},
    };
    for (const RecordCase &each : cases) {
        SCOPED_TRACE(each.table.name);
        ASSERT_EQ(each.table.fields.size(), each.placements.size());
        for (std::size_t index = 0; index < each.placements.size(); ++index) {
            const Placement &expected = each.placements[index];
            SCOPED_TRACE(expected.name);
            const record::Field &field = each.table.fields[index];
            EXPECT_EQ(field.name, expected.name);
            EXPECT_EQ(field.offset, expected.offset);
            EXPECT_EQ(field.width, expected.width);
            EXPECT_EQ(field.captionKey, expected.captionKey);
            EXPECT_EQ(record::decode(field, each.factory), expected.factory);
            // The reader's own MAC address comes from its serial number.
            if (field.name != "mac") {
                EXPECT_EQ(record::defaultValue(field), expected.factory);
            }
            // The field alone writes its own bytes and no others.
            Bytes alone(each.factory.size(), 0);
            record::encode(field, expected.factory, alone);
            for (std::size_t at = 0; at < alone.size(); ++at) {
                const bool inField =
                    int(at) >= field.offset && int(at) < field.offset + field.width;
                EXPECT_EQ(alone[at], inField || int(at) == field.countAt ? each.factory[at] : 0)
                    << "byte " << at;
            }
        }
        const record::Values values =
            record::decode(each.table, each.factory, readerfamily::Family::Fir);
        Bytes rebuilt(each.factory.size(), 0);
        record::encode(each.table, values, readerfamily::Family::Fir, rebuilt);
        EXPECT_EQ(rebuilt, each.factory);
    }
}

struct Typed {
    std::string_view name;
    std::string text;
};

// Texts as typed into the controls, written into a zeroed record.
Bytes recordOf(const record::RecordTable &table, const std::vector<Typed> &typed,
               std::size_t length) {
    Bytes bytes(length, 0);
    for (const Typed &each : typed) {
        const record::Field *field = record::find(table, each.name);
        EXPECT_NE(field, nullptr) << each.name;
        if (field) record::encode(*field, record::valueFromText(*field, each.text), bytes);
    }
    return bytes;
}

struct Expected {
    int at;
    Bytes bytes;
};

struct TypedCase {
    const char *what;
    const record::RecordTable &table;
    std::vector<Typed> typed;
    std::vector<Expected> expected;
};

const std::vector<Typed> networkTyped{
    {"mac", "0a1B2c3D4e5F"},
    {"ip_address", "192.168.1.250"},
    {"subnet_mask", "255.255.255.0"},
    {"gateway", "192.168.1.1"},
    {"remote_ip", "10.0.0.7"},
    {"local_port", "60000"},
    {"remote_port", "502"},
    {"heartbeat", "300"},
    {"domain", "reader.example.com"},
    {"gps", "1"},
    {"gps_interval", "6"},
    {"auto_apn", "1"},
    {"apn", "cmnet"},
};

std::vector<Typed> specialTyped(std::string maskData) {
    return {{"password_enable", "1"}, {"password", "0000abcd"},
            {"mask_start", "2"},      {"mask_data", std::move(maskData)},
            {"relay", "1"},           {"relay_time", "5"},
            {"protocol", "2"},        {"condition", "1"}};
}

TEST(ParamRecords, TypedTextsBecomeTheirBytes) {
    std::vector<Typed> dnsOn = networkTyped;
    dnsOn.push_back({"dns", "1"});
    const std::vector<TypedCase> cases{
        {"network fields and little-endian ports",
         record::networkRecord,
         networkTyped,
         {{0, {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}},
          {6, {192, 168, 1, 250}},
          {10, {255, 255, 255, 0}},
          {14, {192, 168, 1, 1}},
          {18, {10, 0, 0, 7}},
          {22, {0x60, 0xEA}},
          {24, {0xF6, 0x01}},
          {28, {300 & 0xFF}},
          {29, {'r', 'e', 'a', 'd', 'e', 'r', '.'}},
          {47, {0}},
          {125, {1, 6, 1, 'c', 'm', 'n', 'e', 't', 0}},
          {193, Bytes(57, 0)}}},
        {"DNS on keeps the remote address",
         record::networkRecord,
         dnsOn,
         {{18, {10, 0, 0, 7}}, {26, {0, 1}}}},
        {"a short MAC leaves zeros",
         record::networkRecord,
         {{"mac", "A1B2C"}},
         {{0, {0xA1, 0xB2, 0, 0, 0, 0}}, {6, {0, 0, 0, 0}}}},
        {"texts stop at their field without splitting a character",
         record::networkRecord,
         {{"ssid", std::string(30, 'x') + "\xC3\xA4"}, {"apn_user", std::string(25, 'u')}},
         {{61 + 29, {'x', 0, 0}}, {153 + 18, {'u', 0}}, {173, {0}}}},
        {"mask of eight digits",
         record::specialRecord,
         specialTyped("E2003412"),
         {{0, {1, 0x00, 0x00, 0xAB, 0xCD, 0, 0x02, 0xE2, 0x00, 0x34, 0x12, 0}},
          {19, {4}},
          {20, {1, 5, 0, 0, 2, 1}},
          {26, Bytes(38, 0)}}},
        {"mask of five digits writes two bytes",
         record::specialRecord,
         specialTyped("E2003"),
         {{7, {0xE2, 0x00, 0x00}}, {19, {2}}}},
    };
    for (const TypedCase &each : cases) {
        SCOPED_TRACE(each.what);
        const Bytes record = recordOf(each.table, each.typed, 250);
        for (const Expected &expected : each.expected) {
            ASSERT_LE(expected.at + expected.bytes.size(), record.size());
            EXPECT_EQ(Bytes(record.begin() + expected.at,
                            record.begin() + expected.at + long(expected.bytes.size())),
                      expected.bytes)
                << "at " << expected.at;
        }
    }
}

std::string shown(const record::RecordTable &table, std::string_view name, const Bytes &bytes) {
    const record::Field &field = *record::find(table, name);
    return record::textOf(field, record::decode(field, bytes));
}

TEST(ParamRecords, RecordsShowAsTheControlsShowThem) {
    const Bytes network = recordOf(record::networkRecord, networkTyped, 250);
    const std::vector<std::pair<std::string_view, std::string>> networkShown{
        {"mac", "0A1B2C3D4E5F"},
        {"ip_address", "192.168.1.250"},
        {"remote_ip", "10.0.0.7"},
        {"local_port", "60000"},
        {"remote_port", "502"},
        {"heartbeat", "44"},
        {"domain", "reader.example.com"},
        {"apn", "cmnet"},
        {"gps", "1"},
        {"auto_apn", "1"}};
    for (const auto &[name, expected] : networkShown)
        EXPECT_EQ(shown(record::networkRecord, name, network), expected) << name;

    // A text field without its zero shows no more than the field holds; a short record reads
    // as zeros past its end.
    EXPECT_EQ(shown(record::networkRecord, "ssid", Bytes(250, 'z')), std::string(31, 'z'));
    EXPECT_EQ(shown(record::networkRecord, "ip_address", Bytes{1, 2}), "0.0.0.0");

    Bytes special = recordOf(record::specialRecord, specialTyped("E2003412"), 64);
    const std::vector<std::pair<std::string_view, std::string>> specialShown{
        {"password", "0000ABCD"}, {"mask_start", "02"}, {"mask_data", "E2003412"},
        {"relay_time", "5"},      {"protocol", "2"},    {"condition", "1"}};
    for (const auto &[name, expected] : specialShown)
        EXPECT_EQ(shown(record::specialRecord, name, special), expected) << name;
    // A mask length beyond the record's room shows the twelve mask bytes.
    special[19] = 200;
    EXPECT_EQ(shown(record::specialRecord, "mask_data", special).size(), 24u);
}

}  // namespace
