// The DeviceParam record: channel plans and presets, every family's fields through show and
// build, the bounds of the texts and numbers.
#include "kit/CMyFunc.h"
#include "kit/CParamInput.h"
#include "params/DeviceParamRecord.h"
#include "params/ParamFamily.h"
#include "reader_family.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace deviceparam;
using readerfamily::Family;

const std::vector<std::string> defaultPresets{"US Freq,902.75,927.25", "EU Freq,865.1,867.9"};

TEST(DeviceParamChannels, FixedUsChannelShowsTheWholePlanAndIsWrittenBack)
{
    const ChannelList list = showChannels(0x05, 0x85);
    EXPECT_TRUE(list.single);
    ASSERT_EQ(list.entries.size(), 50u);
    EXPECT_EQ(list.entries.front(), "902.75MHz");
    EXPECT_EQ(list.entries.back(), "927.25MHz");
    ASSERT_EQ(list.selected, 5);
    EXPECT_EQ(list.entries[5], "905.25MHz");
    EXPECT_TRUE(list.range.empty());

    std::array<std::uint8_t, 2> bytes{};
    ASSERT_TRUE(encodeChannels(list, bytes));
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x05, 0x85}));
}

TEST(DeviceParamChannels, EuRangeSelectsTheEuPresetAndIsWrittenBack)
{
    const ChannelList list = showChannels(0x4E, 0x00);
    EXPECT_FALSE(list.single);
    ASSERT_EQ(list.entries.size(), 15u);
    EXPECT_EQ(list.entries.front(), "865.1MHz");
    EXPECT_EQ(list.entries.back(), "867.9MHz");
    EXPECT_EQ(list.selected, 0);
    EXPECT_EQ(list.range, "865.1,867.9");
    EXPECT_EQ(presetContaining(defaultPresets, list.range), 1);

    std::array<std::uint8_t, 2> bytes{};
    ASSERT_TRUE(encodeChannels(list, bytes));
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x4E, 0x00}));
}

TEST(DeviceParamChannels, RangeOfNoPresetIsStillEncoded)
{
    const ChannelList list = showChannels(0x0A, 0x82);
    EXPECT_EQ(list.entries,
        (std::vector<std::string>{"903.75MHz", "904.25MHz", "904.75MHz", "905.25MHz", "905.75MHz",
            "906.25MHz", "906.75MHz", "907.25MHz", "907.75MHz"}));
    EXPECT_EQ(list.range, "903.75,907.75");
    EXPECT_EQ(presetContaining(defaultPresets, list.range), -1);
    std::array<std::uint8_t, 2> bytes{};
    ASSERT_TRUE(encodeChannels(list, bytes));
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x0A, 0x82}));
}

TEST(DeviceParamChannels, EveryChannelOfBothPlansEncodesToItself)
{
    for (const Plan plan : {Plan::Us, Plan::Eu}) {
        for (int channel = 0; channel < channelCount(plan); ++channel) {
            std::array<std::uint8_t, 2> bytes{};
            ASSERT_TRUE(encodeChannels({true, {channelEntry(plan, channel)}, 0, {}}, bytes));
            EXPECT_EQ(bytes[0] & 0x3F, channel) << channelEntry(plan, channel);
            EXPECT_EQ(planOf(bytes[0], bytes[1]), plan);
        }
    }
}

TEST(DeviceParamChannels, NothingToEncodeLeavesTheBytes)
{
    std::array<std::uint8_t, 2> bytes{0x12, 0x34};
    EXPECT_FALSE(encodeChannels({false, {}, -1, {}}, bytes));
    EXPECT_FALSE(encodeChannels({true, {"905.25MHz"}, -1, {}}, bytes));
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x12, 0x34}));
}

TEST(DeviceParamChannels, RangeBeyondThePlanListsOnlyItsChannels)
{
    EXPECT_EQ(showChannels(0x7F, 0x0C).entries.size(), 3u); // EU 12..63: 12, 13, 14
    EXPECT_TRUE(showChannels(0x41, 0x05).entries.empty()); // lower above upper
    EXPECT_EQ(showChannels(0x3F, 0xBF).selected, -1); // fixed channel 63
}

TEST(DeviceParamPresets, DefaultPresetsListTheirWholePlan)
{
    EXPECT_EQ(presetName(defaultPresets[0]), "US Freq");
    EXPECT_EQ(presetChannels(defaultPresets[0]).size(), 50u);
    EXPECT_EQ(presetChannels(defaultPresets[1]).size(), 15u);
    EXPECT_EQ(presetChannels("Part,903.0,905.0"),
        (std::vector<std::string>{"903.25MHz", "903.75MHz", "904.25MHz", "904.75MHz"}));
    EXPECT_TRUE(presetChannels("no commas").empty());
    EXPECT_TRUE(presetChannels("Half,865.1").empty());
}

TEST(DeviceParamInput, NumbersKeepTheirLowBitsAndBadHexIsZero)
{
    DeviceParamForm form;
    form.filterTime = CParamInput::leadingDecimal(u"300");
    form.byte12 = 100;
    form.startAddress = CMyFunc::shortHexToInt(u"ABC");
    form.byteLength = CMyFunc::shortHexToInt(u"1z");
    form.address = CMyFunc::shortHexToInt(u"f");
    const std::vector<std::uint8_t> record
        = buildRecord(form, paramfamily::paramFamilyOf(Family::Alder).layout, 128);
    EXPECT_EQ(record[3], 44);
    EXPECT_EQ(record[12], 100);
    EXPECT_EQ(record[10], 0);
    EXPECT_EQ(record[11], 0);
    EXPECT_EQ(record[2], 15);
    EXPECT_EQ(CParamInput::leadingDecimal(u" 12x"), 12);
    EXPECT_EQ(CParamInput::leadingDecimal(u"x12"), 0);
    EXPECT_EQ(CParamInput::leadingDecimal(u"70000"), 70000 - 65536);
}

TEST(DeviceParamRecord, AlderTextsAreBoundedAndZeroTerminated)
{
    DeviceParamForm form;
    form.ssid = std::string(40, 'S');
    form.password = std::string(30, 'a') + "\xC3\xA9"; // 32 bytes: the é does not fit
    form.remoteIp = "10.0.0.5";
    form.remotePort = 60000;
    const std::vector<std::uint8_t> record
        = buildRecord(form, paramfamily::paramFamilyOf(Family::Alder).layout, 128);
    EXPECT_EQ(record[45 + 30], 'S');
    EXPECT_EQ(record[45 + 31], 0);
    EXPECT_EQ(record[77 + 30], 0);
    EXPECT_EQ(record[109], 60000 & 0xFF);
    EXPECT_EQ(record[110], 60000 >> 8);
    const DeviceParamForm shown = showRecord(record);
    EXPECT_EQ(shown.ssid, std::string(31, 'S'));
    EXPECT_EQ(shown.password, std::string(30, 'a'));
    EXPECT_EQ(shown.remoteIp, "10.0.0.5");
    EXPECT_EQ(shown.remotePort, 60000);
}

TEST(DeviceParamRecord, ShortRecordsShowZeros)
{
    const std::vector<std::uint8_t> shortRecord{3, 1};
    const DeviceParamForm form = showRecord(shortRecord);
    EXPECT_EQ(form.interface, 3);
    EXPECT_EQ(form.workMode, 1);
    EXPECT_EQ(form.power, 0);
    EXPECT_TRUE(form.ssid.empty());
}

// Bytes each family's page owns; every other byte is written as 0.
struct OwnedBytes {
    Family family;
    std::vector<std::pair<int, int>> ranges;
};

bool owned(const OwnedBytes &family, int byte)
{
    for (const auto &[first, last] : family.ranges)
        if (byte >= first && byte <= last)
            return true;
    return false;
}

// A record with every field of every family set (Alder texts where the Alder tail lies).
std::vector<std::uint8_t> fullRecord(Family family)
{
    std::vector<std::uint8_t> record(256, 0x5A);
    const std::vector<std::uint8_t> common{1, 1, 0x21, 5, 10, 1, 2, 0x05, 0x85, 1, 0x02, 0x0C, 7, 1,
        1, 20, 30, 40, 0x5A, 0x0F, 4, 2, 10, 1, 1};
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

TEST(DeviceParamRecord, EveryFamilyKeepsItsFieldsAndZeroesTheRest)
{
    const std::vector<OwnedBytes> families{
        {Family::Alder, {{0, 110}}},
        {Family::Birch, {{0, 12}}},
        {Family::Birch2, {{0, 1}, {3, 13}}},
        {Family::Cedar, {{0, 17}, {20, 24}}},
        {Family::Cedar2, {{0, 17}, {20, 24}}},
        {Family::Elm, {{0, 17}}},
        {Family::Fir, {{0, 12}, {19, 22}}},
        {Family::Hazel, {{0, 17}, {19, 22}}},
    };
    for (const OwnedBytes &family : families) {
        const int length = readerfamily::traitsOf(family.family).deviceRecord.write;
        const std::vector<std::uint8_t> full = fullRecord(family.family);
        const std::vector<std::uint8_t> built = buildRecord(
            showRecord(full), paramfamily::paramFamilyOf(family.family).layout, length);
        ASSERT_EQ(int(built.size()), length);
        for (int byte = 0; byte < length; ++byte)
            EXPECT_EQ(built[std::size_t(byte)], owned(family, byte) ? full[std::size_t(byte)] : 0)
                << readerfamily::traitsOf(family.family).name << " byte " << byte;
    }
}

} // namespace
