// The virtual reader's factory device record against the device table: every field each
// family's page owns sits where the parameter pages place it, and the defaults hold nothing
// in bytes no field of the family names.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "param_records.h"
#include "reader_model.h"

namespace {

using readerfamily::Family;

struct Placed {
    std::string name;
    int offset;
    int width;
};

// The device record's fields by family as the parameter pages place them; written out here
// rather than taken from the table, so the table is checked against them.
std::vector<Placed> placedFields(Family family) {
    std::vector<Placed> fields{{"interface", 0, 1},       {"work_mode", 1, 1},
                               {"filter_time_s", 3, 1},   {"rf_power_dbm", 4, 1},
                               {"beeper", 5, 1},          {"frequency_upper", 7, 1},
                               {"frequency_lower", 8, 1}, {"area", 9, 1},
                               {"start_address", 10, 1},  {"byte_length", 11, 1}};
    const auto add = [&fields](std::initializer_list<Placed> more) {
        fields.insert(fields.end(), more);
    };
    if (family == Family::Birch2)
        add({{"output_format", 6, 1}, {"enter_key", 13, 1}});
    else
        add({{"rs485_address", 2, 1}, {"baud_rate", 6, 1}});
    const bool desktop =
        family == Family::Alder || family == Family::Birch || family == Family::Birch2;
    add({{desktop ? "inventory_time" : "trigger_time", 12, 1}});
    if (family == Family::Alder)
        add({{"remote_ip", 13, 32},
             {"ssid", 45, 32},
             {"password", 77, 32},
             {"remote_port", 109, 2}});
    if (family == Family::Cedar || family == Family::Cedar2 || family == Family::Elm ||
        family == Family::Hazel)
        add({{"wiegand_format", 13, 1},
             {"wiegand_order", 14, 1},
             {"output_interval", 15, 1},
             {"pulse_width", 16, 1},
             {"pulse_interval", 17, 1}});
    if (family == Family::Fir || family == Family::Hazel) {
        for (int antenna = 1; antenna <= 8; ++antenna)
            add({{record::antennaField(antenna), 19, 1}});
        add({{"antenna_mask", 19, 1},
             {"q_value", 20, 1},
             {"session", 21, 1},
             {"response_time", 22, 1}});
    }
    if (family == Family::Cedar || family == Family::Cedar2)
        add({{"q_value", 20, 1},
             {"session", 21, 1},
             {"inventory_time", 22, 1},
             {"target", 23, 1},
             {"dense", 24, 1}});
    return fields;
}

TEST(DeviceDefaults, EveryFamilysFieldsSitWhereThePagesPlaceThem) {
    for (const Family family : {Family::Alder, Family::Birch, Family::Birch2, Family::Cedar,
                                Family::Cedar2, Family::Elm, Family::Fir, Family::Hazel}) {
        const readerfamily::FamilyTraits &traits = readerfamily::traitsOf(family);
        SCOPED_TRACE(traits.name);
        const readersim::ReaderModel model(traits.defaultType, 0);
        const std::vector<uint8_t> &defaults = model.deviceRecord.body;
        const record::Values decoded = record::decode(record::deviceRecord, defaults, family);

        std::set<std::string> expectedNames;
        std::vector<bool> named(defaults.size(), false);
        for (const Placed &placed : placedFields(family)) {
            SCOPED_TRACE(placed.name);
            expectedNames.insert(placed.name);
            const record::Field *field = record::find(record::deviceRecord, placed.name, family);
            ASSERT_NE(field, nullptr);
            EXPECT_EQ(field->offset, placed.offset);
            EXPECT_EQ(field->width, placed.width);
            for (int byte = placed.offset; byte < placed.offset + placed.width; ++byte)
                named[size_t(byte)] = true;
        }
        std::set<std::string> decodedNames;
        for (const auto &[name, value] : decoded) decodedNames.insert(name);
        EXPECT_EQ(decodedNames, expectedNames);

        std::vector<uint8_t> encoded(defaults.size(), 0);
        record::encode(record::deviceRecord, decoded, family, encoded);
        // Equal bytes: the named ones come back, and no other byte holds anything.
        for (size_t byte = 0; byte < defaults.size(); ++byte)
            EXPECT_EQ(encoded[byte], defaults[byte])
                << (named[byte] ? "byte " : "unnamed byte ") << byte;
    }
}

}  // namespace
