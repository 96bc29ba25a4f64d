// The channel plans of the device record's frequency bytes: the channel list shown for them,
// the bytes written back from it, and the frequency presets.
#include "channel_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace channelplan;

const std::vector<std::string> defaultPresets{"US Freq,902.75,927.25", "EU Freq,865.1,867.9"};

TEST(ChannelPlan, FixedUsChannelShowsTheWholePlanAndIsWrittenBack) {
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

TEST(ChannelPlan, EuRangeSelectsTheEuPresetAndIsWrittenBack) {
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

TEST(ChannelPlan, RangeOfNoPresetIsStillEncoded) {
    const ChannelList list = showChannels(0x0A, 0x82);
    EXPECT_EQ(list.entries, (std::vector<std::string>{"903.75MHz", "904.25MHz", "904.75MHz",
                                                      "905.25MHz", "905.75MHz", "906.25MHz",
                                                      "906.75MHz", "907.25MHz", "907.75MHz"}));
    EXPECT_EQ(list.range, "903.75,907.75");
    EXPECT_EQ(presetContaining(defaultPresets, list.range), -1);
    std::array<std::uint8_t, 2> bytes{};
    ASSERT_TRUE(encodeChannels(list, bytes));
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x0A, 0x82}));
}

TEST(ChannelPlan, EveryChannelOfBothPlansEncodesToItself) {
    for (const Plan plan : {Plan::Us, Plan::Eu}) {
        for (int channel = 0; channel < channelCount(plan); ++channel) {
            std::array<std::uint8_t, 2> bytes{};
            ASSERT_TRUE(encodeChannels({true, {channelEntry(plan, channel)}, 0, {}}, bytes));
            EXPECT_EQ(bytes[0] & 0x3F, channel) << channelEntry(plan, channel);
            EXPECT_EQ(planOf(bytes[0], bytes[1]), plan);
        }
    }
}

TEST(ChannelPlan, NothingToEncodeLeavesTheBytes) {
    std::array<std::uint8_t, 2> bytes{0x12, 0x34};
    EXPECT_FALSE(encodeChannels({false, {}, -1, {}}, bytes));
    EXPECT_FALSE(encodeChannels({true, {"905.25MHz"}, -1, {}}, bytes));
    EXPECT_EQ(bytes, (std::array<std::uint8_t, 2>{0x12, 0x34}));
}

TEST(ChannelPlan, RangeBeyondThePlanListsOnlyItsChannels) {
    EXPECT_EQ(showChannels(0x7F, 0x0C).entries.size(), 3u);  // EU 12..63: 12, 13, 14
    EXPECT_TRUE(showChannels(0x41, 0x05).entries.empty());   // lower above upper
    EXPECT_EQ(showChannels(0x3F, 0xBF).selected, -1);        // fixed channel 63
}

TEST(ChannelPresets, DefaultPresetsListTheirWholePlan) {
    EXPECT_EQ(presetName(defaultPresets[0]), "US Freq");
    EXPECT_EQ(presetChannels(defaultPresets[0]).size(), 50u);
    EXPECT_EQ(presetChannels(defaultPresets[1]).size(), 15u);
    EXPECT_EQ(presetChannels("Part,903.0,905.0"),
              (std::vector<std::string>{"903.25MHz", "903.75MHz", "904.25MHz", "904.75MHz"}));
    EXPECT_TRUE(presetChannels("no commas").empty());
    EXPECT_TRUE(presetChannels("Half,865.1").empty());
}

}  // namespace
