// The device record's table: what typed text becomes in the record, the bounds of the texts,
// and which bytes each family's page writes back.
#include "param_records.h"
#include "reader_family.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using readerfamily::Family;
using record::Value;

Value numberValue(std::int64_t number) {
    return number;
}

const record::Field &fieldOf(std::string_view name, Family family) {
    const record::Field *field = record::find(record::deviceRecord, name, family);
    EXPECT_NE(field, nullptr) << name;
    static const record::Field none{};
    return field ? *field : none;
}

struct TypedCase {
    Family family;
    const char *field;
    const char *typed;
    int at;
    std::vector<std::uint8_t> bytes;
};

TEST(DeviceRecord, TypedTextKeepsItsLowBitsAndBadHexIsZero) {
    const std::vector<TypedCase> cases{
        {Family::Alder, "filter_time_s", "300", 3, {44}},
        {Family::Alder, "inventory_time", "100", 12, {100}},
        {Family::Fir, "trigger_time", "7", 12, {7}},
        {Family::Cedar, "inventory_time", "12", 22, {12}},
        {Family::Alder, "start_address", "ABC", 10, {0}},
        {Family::Alder, "byte_length", "1z", 11, {0}},
        {Family::Alder, "rs485_address", "f", 2, {15}},
        {Family::Alder, "remote_port", "60000", 109, {0x60, 0xEA}},
        {Family::Alder, "remote_port", "70000", 109, {0x70, 0x11}},
    };
    for (const TypedCase &each : cases) {
        SCOPED_TRACE(std::string(each.field) + " " + each.typed);
        const record::Field &field = fieldOf(each.field, each.family);
        std::vector<std::uint8_t> bytes(128, 0);
        ASSERT_TRUE(record::encode(field, record::valueFromText(field, each.typed), bytes));
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + each.at,
                                            bytes.begin() + each.at + int(each.bytes.size())),
                  each.bytes);
    }
}

TEST(DeviceRecord, AlderTextsAreBoundedAndZeroTerminated) {
    const record::Values typed{
        {"ssid", std::string(40, 'S')},
        {"password", std::string(30, 'a') + "\xC3\xA9"},  // 32 bytes: the é does not fit
        {"remote_ip", std::string("10.0.0.5")},
        {"remote_port", numberValue(60000)},
    };
    std::vector<std::uint8_t> bytes(128, 0);
    record::encode(record::deviceRecord, typed, Family::Alder, bytes);
    EXPECT_EQ(bytes[45 + 30], 'S');
    EXPECT_EQ(bytes[45 + 31], 0);
    EXPECT_EQ(bytes[77 + 30], 0);
    EXPECT_EQ(bytes[109], 60000 & 0xFF);
    EXPECT_EQ(bytes[110], 60000 >> 8);
    const record::Values shown = record::decode(record::deviceRecord, bytes, Family::Alder);
    EXPECT_EQ(shown.at("ssid"), Value(std::string(31, 'S')));
    EXPECT_EQ(shown.at("password"), Value(std::string(30, 'a')));
    EXPECT_EQ(shown.at("remote_ip"), Value(std::string("10.0.0.5")));
    EXPECT_EQ(shown.at("remote_port"), numberValue(60000));
}

TEST(DeviceRecord, ShortRecordsShowZeros) {
    const std::vector<std::uint8_t> shortRecord{3, 1};
    const record::Values shown = record::decode(record::deviceRecord, shortRecord, Family::Alder);
    EXPECT_EQ(shown.at("interface"), numberValue(3));
    EXPECT_EQ(shown.at("work_mode"), numberValue(1));
    EXPECT_EQ(shown.at("rf_power_dbm"), numberValue(0));
    EXPECT_EQ(shown.at("ssid"), Value(std::string()));
}

// Bytes each family's page owns; every other byte is written as 0.
struct OwnedBytes {
    Family family;
    std::vector<std::pair<int, int>> ranges;
};

bool owned(const OwnedBytes &family, int byte) {
    for (const auto &[first, last] : family.ranges)
        if (byte >= first && byte <= last) return true;
    return false;
}

// A record with every field of every family set (Alder texts where the Alder tail lies).
std::vector<std::uint8_t> fullRecord(Family family) {
    std::vector<std::uint8_t> record(256, 0x5A);
    const std::vector<std::uint8_t> common{1,    1,    0x21, 5, 10, 1, 2,  0x05, 0x85,
                                           1,    0x02, 0x0C, 7, 1,  1, 20, 30,   40,
                                           0x5A, 0x0F, 4,    2, 10, 1, 1};
    std::copy(common.begin(), common.end(), record.begin());
    if (family == Family::Alder) {
        std::fill(record.begin() + 13, record.begin() + 111, 0);
        for (const auto &[at, text] :
             {std::pair<int, std::string>{13, "10.0.0.5"}, {45, "Shop"}, {77, "secret"}})
            std::copy(text.begin(), text.end(), record.begin() + at);
        record[109] = 0x60;
        record[110] = 0xEA;
    }
    return record;
}

TEST(DeviceRecord, EveryFamilyKeepsItsFieldsAndZeroesTheRest) {
    const std::vector<OwnedBytes> families{
        {Family::Alder, {{0, 110}}},           {Family::Birch, {{0, 12}}},
        {Family::Birch2, {{0, 1}, {3, 13}}},   {Family::Cedar, {{0, 17}, {20, 24}}},
        {Family::Cedar2, {{0, 17}, {20, 24}}}, {Family::Elm, {{0, 17}}},
        {Family::Fir, {{0, 12}, {19, 22}}},    {Family::Hazel, {{0, 17}, {19, 22}}},
    };
    for (const OwnedBytes &family : families) {
        const int length = readerfamily::traitsOf(family.family).deviceRecord.write;
        const std::vector<std::uint8_t> full = fullRecord(family.family);
        std::vector<std::uint8_t> built(std::size_t(length), 0);
        record::encode(record::deviceRecord,
                       record::decode(record::deviceRecord, full, family.family), family.family,
                       built);
        for (int byte = 0; byte < length; ++byte)
            EXPECT_EQ(built[std::size_t(byte)], owned(family, byte) ? full[std::size_t(byte)] : 0)
                << readerfamily::traitsOf(family.family).name << " byte " << byte;
    }
}

// What scripts may set is what the family's page lists offer, and lists read by their names.
TEST(DeviceRecord, ScriptValuesFollowTheFamilysLists) {
    for (const Family family : {Family::Alder, Family::Birch, Family::Birch2, Family::Cedar,
                                Family::Cedar2, Family::Elm, Family::Fir, Family::Hazel}) {
        const readerfamily::FamilyTraits &traits = readerfamily::traitsOf(family);
        SCOPED_TRACE(traits.name);
        std::string error;
        const record::Field &power = fieldOf("rf_power_dbm", family);
        EXPECT_TRUE(record::parseValue(power, std::to_string(traits.maxPowerDbm), error));
        EXPECT_FALSE(record::parseValue(power, std::to_string(traits.maxPowerDbm + 1), error));
        EXPECT_EQ(record::parseValue(fieldOf("work_mode", family), "trigger", error).has_value(),
                  traits.offersTriggerMode);
    }
    struct Named {
        const char *field;
        std::int64_t position;
        Value shown;
        const char *typed;  // what parses back to the position; null: nothing does
    };
    const Named named[] = {
        {"work_mode", 0, std::string("answer"), "answer"},
        {"work_mode", 2, std::string("trigger"), "trigger"},
        {"work_mode", 7, numberValue(7), nullptr},  // a position no list has stays a number
        {"baud_rate", 0, numberValue(9600), "9600"},
        {"baud_rate", 4, numberValue(115200), "115200"},
        {"rf_power_dbm", 27, numberValue(27), "27"},
    };
    for (const Named &row : named) {
        const record::Field &field = fieldOf(row.field, Family::Cedar);
        EXPECT_EQ(record::namedValue(field, numberValue(row.position)), row.shown) << row.field;
        std::string error;
        if (row.typed) {
            EXPECT_EQ(record::parseValue(field, row.typed, error), numberValue(row.position))
                << row.typed;
        }
    }
}

}  // namespace
