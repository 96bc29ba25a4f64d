// The DeviceParam record as the parameter pages show and build it: the byte layout of every
// field, the frequency region and channel encoding, and the frequency presets. Qt-free, so the
// byte rules can be checked without a window.
#pragma once

#include "params/RecordBuffer.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace deviceparam {

// Pages read at most 200 bytes and write at most 128; a record is built in this many.
inline constexpr int recordCapacity = paramrecord::capacity;
// The Alder network texts: 32-byte fields holding at most 31 bytes and a terminating zero.
inline constexpr int networkTextBytes = 31;

// Which fields beyond the common bytes 0..12 a family's page owns; a built record holds 0 in
// every byte a page does not own.
struct RecordLayout {
    bool address = true; // byte 2; Birch2 sends 0
    bool keyboardOutput = false; // Birch2: byte 6 output format, byte 13 Enter key
    bool wiegand = false; // bytes 13..17
    bool antennas = false; // byte 19
    bool inventory = false; // bytes 20..22: Q, session, (maximum response) time
    bool targetDense = false; // bytes 23, 24
    bool networkTexts = false; // Alder: bytes 13..110
};

// The values of a page's controls. List fields hold indexes, numbers the value of their edit;
// both are stored as their low 8 bits (the remote port as its low 16 bits).
struct DeviceParamForm {
    int interface = 0;
    int workMode = 0;
    int address = 0;
    int filterTime = 0;
    int power = 0;
    bool beeper = false;
    int baud = 0;
    int outputFormat = 0;
    // Bytes 7 and 8: upper and lower channel with the region bits.
    std::array<std::uint8_t, 2> frequency{};
    int area = 0;
    int startAddress = 0;
    int byteLength = 0;
    // Byte 12: inventory time (x10 ms) or trigger valid time (s), by family.
    int byte12 = 0;
    int wiegandFormat = 0;
    int wiegandOrder = 0;
    int outputInterval = 0;
    int pulseWidth = 0;
    int pulseInterval = 0;
    std::uint8_t antennas = 0;
    int q = 0;
    int session = 0;
    int responseTime = 0;
    int target = 0;
    bool dense = false;
    bool enterKey = false;
    // UTF-8.
    std::string remoteIp;
    std::string ssid;
    std::string password;
    int remotePort = 0;
};

// Every field of a record (bytes past its end read as 0). Fields that overlap in different
// families (bytes 13..17) are all decoded; a page shows the ones it owns.
DeviceParamForm showRecord(std::span<const std::uint8_t> record);
// The first `length` bytes (0..recordCapacity) of a zeroed buffer with the layout's fields.
std::vector<std::uint8_t> buildRecord(
    const DeviceParamForm &form, const RecordLayout &layout, int length);

// ---- Frequencies -------------------------------------------------------------------------

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

} // namespace deviceparam
