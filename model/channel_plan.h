// The channel plans of the device record's frequency bytes (upper and lower channel with the
// region bits), the channel list and single-frequency choice the parameter pages show for
// them, and the frequency presets ("name,low,high") they offer. Qt-free.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace channelplan {

enum class Plan { Us, Eu };

// Region bits 00 (byte 7) and 10 (byte 8) are the US plan; every other combination shows as EU.
Plan planOf(std::uint8_t upper, std::uint8_t lower);
int channelCount(Plan plan);
// base + step * channel in single precision, the product rounded to single first.
float channelFrequency(Plan plan, int channel);
// "905.25MHz" / "865.1MHz".
std::string channelEntry(Plan plan, int channel);

// What the channel list and the single-frequency check box show.
struct ChannelList {
    bool single = false;
    std::vector<std::string> entries;
    int selected = -1;
    // The range as the presets write it ("902.75,927.25"); empty for a single frequency.
    std::string range;
};

// The channel list of bytes 7 and 8: every channel of the plan with the fixed one selected, or
// the channels of the range (within the plan) with the first selected.
ChannelList showChannels(std::uint8_t upper, std::uint8_t lower);
// Bytes 7 and 8 for the list: the selected entry when single, else its first and last entries.
// False (bytes untouched) when there is no entry to encode.
bool encodeChannels(const ChannelList &list, std::array<std::uint8_t, 2> &bytes);

// A preset "name,low,high": its name, and the channel entries of the plan that low selects
// (US from 902.75 MHz) whose frequency lies within low..high.
std::string presetName(std::string_view preset);
std::vector<std::string> presetChannels(std::string_view preset);
// The first preset whose text contains the range; -1 when none does.
int presetContaining(std::span<const std::string> presets, std::string_view range);

}  // namespace channelplan
