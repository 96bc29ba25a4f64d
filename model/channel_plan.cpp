#include "channel_plan.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace channelplan {

namespace {

constexpr std::uint8_t channelBits = 0x3F;
constexpr std::uint8_t usLowerRegion = 0x80;
constexpr std::uint8_t euUpperRegion = 0x40;
// An entry at or above this frequency is a US channel.
constexpr float usThreshold = 902.0f;

struct PlanTable {
    float base;
    float step;
    int channels;
    int decimals;
};

constexpr PlanTable usPlan{902.75f, 0.5f, 50, 2};
constexpr PlanTable euPlan{865.1f, 0.2f, 15, 1};

const PlanTable &tableOf(Plan plan) {
    return plan == Plan::Us ? usPlan : euPlan;
}

std::string formatted(float value, int decimals) {
    std::array<char, 32> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, decimals);
    return std::string(text.data(), result.ptr);
}

// A leading number as the C library reads it (spaces skipped, 0 when there is none), without
// the locale's decimal separator.
float parsedFloat(std::string_view text) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return 0;
    float value = 0;
    std::from_chars(text.data() + start, text.data() + text.size(), value);
    return value;
}

// Channel number of a frequency by the plan it lies in (truncated,
// bounded to the six channel bits).
int channelOf(float frequency, Plan plan) {
    const double position =
        plan == Plan::Us ? (frequency + 0.001 - 902.75) * 2 : (frequency + 0.01 - 865.1) / 0.2;
    return static_cast<int>(std::clamp(std::trunc(position), 0.0, double(channelBits)));
}

// An entry without its "MHz".
float entryFrequency(const std::string &entry) {
    return parsedFloat(std::string_view(entry).substr(0, entry.size() < 3 ? 0 : entry.size() - 3));
}

Plan planOfFrequency(float frequency) {
    return frequency >= usThreshold ? Plan::Us : Plan::Eu;
}

}  // namespace

Plan planOf(std::uint8_t upper, std::uint8_t lower) {
    return (upper >> 6) == 0 && (lower >> 6) == 2 ? Plan::Us : Plan::Eu;
}

int channelCount(Plan plan) {
    return tableOf(plan).channels;
}

float channelFrequency(Plan plan, int channel) {
    const PlanTable &table = tableOf(plan);
    const float offset = table.step * static_cast<float>(channel);
    return table.base + offset;
}

std::string channelEntry(Plan plan, int channel) {
    return formatted(channelFrequency(plan, channel), tableOf(plan).decimals) + "MHz";
}

ChannelList showChannels(std::uint8_t upperByte, std::uint8_t lowerByte) {
    const Plan plan = planOf(upperByte, lowerByte);
    const int lower = lowerByte & channelBits;
    const int upper = upperByte & channelBits;
    const int count = channelCount(plan);
    ChannelList list;
    list.single = lower == upper;
    const int first = list.single ? 0 : lower;
    const int last = list.single ? count - 1 : std::min(upper, count - 1);
    for (int channel = first; channel <= last; ++channel)
        list.entries.push_back(channelEntry(plan, channel));
    if (list.single) {
        list.selected = upper < count ? upper : -1;
        return list;
    }
    const int decimals = tableOf(plan).decimals;
    list.selected = list.entries.empty() ? -1 : 0;
    list.range = formatted(channelFrequency(plan, lower), decimals) + "," +
                 formatted(channelFrequency(plan, upper), decimals);
    return list;
}

bool encodeChannels(const ChannelList &list, std::array<std::uint8_t, 2> &bytes) {
    if (list.single) {
        if (list.selected < 0 || list.selected >= static_cast<int>(list.entries.size()))
            return false;
        const float frequency = entryFrequency(list.entries[std::size_t(list.selected)]);
        const Plan plan = planOfFrequency(frequency);
        const auto channel = static_cast<std::uint8_t>(channelOf(frequency, plan));
        bytes = plan == Plan::Us
                    ? std::array<std::uint8_t, 2>{channel, std::uint8_t(channel | usLowerRegion)}
                    : std::array<std::uint8_t, 2>{std::uint8_t(channel | euUpperRegion), channel};
        return true;
    }
    if (list.entries.empty()) return false;
    const float first = entryFrequency(list.entries.front());
    const Plan plan = planOfFrequency(first);
    const auto lower = static_cast<std::uint8_t>(channelOf(first, plan));
    const auto upper =
        static_cast<std::uint8_t>(channelOf(entryFrequency(list.entries.back()), plan));
    bytes = plan == Plan::Us
                ? std::array<std::uint8_t, 2>{upper, std::uint8_t(lower | usLowerRegion)}
                : std::array<std::uint8_t, 2>{std::uint8_t(upper | euUpperRegion), lower};
    return true;
}

std::string presetName(std::string_view preset) {
    return std::string(preset.substr(0, preset.find(',')));
}

std::vector<std::string> presetChannels(std::string_view preset) {
    const std::size_t comma = preset.find(',');
    if (comma == std::string_view::npos) return {};
    const std::string_view bounds = preset.substr(comma + 1);
    const std::size_t separator = bounds.find(',');
    const float low = parsedFloat(bounds.substr(0, separator));
    const float high =
        separator == std::string_view::npos ? 0.0f : parsedFloat(bounds.substr(separator + 1));
    const Plan plan = low >= usPlan.base ? Plan::Us : Plan::Eu;
    std::vector<std::string> entries;
    for (int channel = 0; channel < channelCount(plan); ++channel) {
        const float frequency = channelFrequency(plan, channel);
        if (low <= frequency && frequency <= high) entries.push_back(channelEntry(plan, channel));
    }
    return entries;
}

int presetContaining(std::span<const std::string> presets, std::string_view range) {
    for (std::size_t index = 0; index < presets.size(); ++index)
        if (presets[index].find(range) != std::string::npos) return static_cast<int>(index);
    return -1;
}

}  // namespace channelplan
