#include "param_records.h"

#include "text_keys.h"

#include <array>

namespace record {

namespace {

using readerfamily::Family;

// Which families' device records hold which groups of fields.
constexpr Families notBirch2{Family::Fir,    Family::Hazel, Family::Elm,   Family::Cedar,
                             Family::Cedar2, Family::Birch, Family::Alder, Family::Unknown};
constexpr Families keyboardOutput{Family::Birch2};
constexpr Families inventoryTimeAt12{Family::Alder, Family::Birch, Family::Birch2};
constexpr Families triggerTimeAt12{Family::Fir,   Family::Hazel,  Family::Elm,
                                   Family::Cedar, Family::Cedar2, Family::Unknown};
constexpr Families wiegand{Family::Hazel, Family::Elm, Family::Cedar, Family::Cedar2};
constexpr Families antennas{Family::Fir, Family::Hazel};
constexpr Families inventory{Family::Fir, Family::Hazel, Family::Cedar, Family::Cedar2};
constexpr Families responseTime{Family::Fir, Family::Hazel};
constexpr Families inventoryTimeAt22{Family::Cedar, Family::Cedar2};
constexpr Families targetDense{Family::Cedar, Family::Cedar2};
constexpr Families networkTexts{Family::Alder};

constexpr int caption(Text text) {
    return keyNumber(text);
}

constexpr Field antenna(std::string_view name, int bit) {
    return {.name = name,
            .offset = 19,
            .width = 1,
            .codec = Codec::Bit,
            .families = antennas,
            .bit = bit};
}

const std::array deviceFields{
    Field{"interface", 0, 1, Codec::List, Families::all(), caption(Text::OutputInterfaceLabel)},
    Field{"work_mode", 1, 1, Codec::List, Families::all(), caption(Text::WorkModeLabel)},
    Field{"address",
          2,
          1,
          Codec::Number,
          notBirch2,
          caption(Text::Rs485AddressLabel),
          1,
          {},
          Radix::Hex},
    Field{"filter_time", 3, 1, Codec::Number, Families::all(), caption(Text::FilterTimeLabel), 1},
    Field{"power", 4, 1, Codec::List, Families::all(), caption(Text::RfPowerLabel)},
    Field{"beeper", 5, 1, Codec::Flag, Families::all(), caption(Text::BeeperCheck), 1},
    Field{"baud", 6, 1, Codec::List, notBirch2, caption(Text::SerialBaudLabel), 4},
    Field{"output_format", 6, 1, Codec::List, keyboardOutput},
    // The channel plan: region bits and upper / lower channel.
    Field{"frequency_upper", 7, 1, Codec::Number, Families::all(), 0, 49},
    Field{"frequency_lower", 8, 1, Codec::Number, Families::all(), 0, 0x80},
    Field{"area", 9, 1, Codec::List, Families::all(), caption(Text::InventoryAreaLabel)},
    Field{"start_address",
          10,
          1,
          Codec::Number,
          Families::all(),
          caption(Text::StartAddressLabel),
          0x02,
          {},
          Radix::Hex},
    Field{"byte_length",
          11,
          1,
          Codec::Number,
          Families::all(),
          caption(Text::ByteLengthLabel),
          0x0C,
          {},
          Radix::Hex},
    Field{"inventory_time", 12, 1, Codec::Number, inventoryTimeAt12,
          caption(Text::InventoryTimeLabel), 10},
    Field{"trigger_time", 12, 1, Codec::Number, triggerTimeAt12, caption(Text::TriggerTimeLabel),
          2},
    Field{"wiegand_format", 13, 1, Codec::List, wiegand, caption(Text::WiegandFormatLabel)},
    Field{"enter_key", 13, 1, Codec::Flag, keyboardOutput, 0, 1},
    Field{"remote_ip", 13, 32, Codec::Text, networkTexts, caption(Text::RemoteIpLabel), 0,
          "192.168.1.100"},
    Field{"wiegand_order", 14, 1, Codec::List, wiegand},
    Field{"output_interval", 15, 1, Codec::Number, wiegand,
          caption(Text::WiegandOutputIntervalLabel), 10},
    Field{"pulse_width", 16, 1, Codec::Number, wiegand, caption(Text::WiegandPulseWidthLabel), 10},
    Field{"pulse_interval", 17, 1, Codec::Number, wiegand, caption(Text::WiegandPulseIntervalLabel),
          15},
    antenna("antenna_1", 0),
    antenna("antenna_2", 1),
    antenna("antenna_3", 2),
    antenna("antenna_4", 3),
    antenna("antenna_5", 4),
    antenna("antenna_6", 5),
    antenna("antenna_7", 6),
    antenna("antenna_8", 7),
    Field{"q", 20, 1, Codec::List, inventory, caption(Text::QValueLabel), 4},
    Field{"session", 21, 1, Codec::List, inventory, caption(Text::SessionLabel)},
    Field{"response_time", 22, 1, Codec::Number, responseTime, caption(Text::ResponseTimeLabel),
          10},
    Field{"inventory_time", 22, 1, Codec::Number, inventoryTimeAt22,
          caption(Text::CedarInventoryTimeLabel), 10},
    Field{"target", 23, 1, Codec::List, targetDense},
    Field{"dense", 24, 1, Codec::Flag, targetDense, caption(Text::DenseReadingCheck)},
    Field{"ssid", 45, 32, Codec::Text, networkTexts, caption(Text::SsidLabel), 0, "TagBench"},
    Field{"password", 77, 32, Codec::Text, networkTexts, caption(Text::WifiPasswordLabel), 0,
          "tagbench-wifi"},
    Field{"remote_port", 109, 2, Codec::Number, networkTexts, caption(Text::RemotePortLabel),
          60000},
};

const std::array networkFields{
    Field{"mac", 0, 6, Codec::Hex, Families::all(), caption(Text::MacAddressLabel)},
    Field{"ip_address", 6, 4, Codec::Ipv4, Families::all(), caption(Text::IpAddressLabel), 0,
          "192.168.1.250"},
    Field{"subnet_mask", 10, 4, Codec::Ipv4, Families::all(), caption(Text::SubnetMaskLabel), 0,
          "255.255.255.0"},
    Field{"gateway", 14, 4, Codec::Ipv4, Families::all(), caption(Text::GatewayLabel), 0,
          "192.168.1.1"},
    Field{"remote_ip", 18, 4, Codec::Ipv4, Families::all(), caption(Text::RemoteIpLabel), 0,
          "192.168.1.100"},
    Field{"local_port", 22, 2, Codec::Number, Families::all(), caption(Text::LocalPortLabel),
          60000},
    Field{"remote_port", 24, 2, Codec::Number, Families::all(), caption(Text::RemotePortLabel),
          60001},
    Field{"dhcp", 26, 1, Codec::Flag, Families::all(), caption(Text::DhcpCheck)},
    Field{"dns", 27, 1, Codec::Flag, Families::all(), caption(Text::DnsCheck)},
    // Units of 10 s.
    Field{"heartbeat", 28, 1, Codec::Number, Families::all(), caption(Text::HeartbeatLabel), 6},
    Field{"domain", 29, 32, Codec::Text, Families::all(), caption(Text::DomainNameLabel), 0,
          "reader.example.com"},
    Field{"ssid", 61, 32, Codec::Text, Families::all(), caption(Text::SsidLabel), 0, "TagBench"},
    Field{"wifi_password", 93, 32, Codec::Text, Families::all(), caption(Text::WifiPasswordLabel)},
    // The GPS and GPRS fields: only the Fir network page writes them. The APN captions are
    // fixed texts.
    Field{"gps", 125, 1, Codec::Flag, Families::all(), caption(Text::GpsCheck)},
    Field{"gps_interval", 126, 1, Codec::Number, Families::all(), caption(Text::GpsIntervalLabel),
          6},
    Field{"auto_apn", 127, 1, Codec::Flag, Families::all(), 0, 1},
    Field{"apn", 128, 25, Codec::Text},
    Field{"apn_user", 153, 20, Codec::Text},
    Field{"apn_password", 173, 20, Codec::Text},
};

const std::array specialFields{
    Field{"password_enable", 0, 1, Codec::Flag, Families::all(),
          caption(Text::PasswordEnableCheck)},
    Field{"password", 1, 4, Codec::Hex, Families::all(), caption(Text::PermissionPasswordLabel), 0,
          "00000000"},
    Field{"mask_enable", 5, 1, Codec::Flag, Families::all(), caption(Text::MaskEnableCheck)},
    Field{.name = "mask_start",
          .offset = 6,
          .width = 1,
          .codec = Codec::Number,
          .captionKey = caption(Text::MaskStartLabel),
          .radix = Radix::Hex},
    // Byte 19 says how many of the twelve mask bytes are in use.
    Field{.name = "mask_data",
          .offset = 7,
          .width = 12,
          .codec = Codec::Hex,
          .captionKey = caption(Text::MaskDataLabel),
          .radix = Radix::Hex,
          .countAt = 19},
    Field{"relay", 20, 1, Codec::Flag, Families::all(), caption(Text::RelayCheck)},
    // Seconds.
    Field{"relay_time", 21, 1, Codec::Number, Families::all(), caption(Text::RelayTimeLabel), 1},
    Field{"cache", 22, 1, Codec::Flag, Families::all(), caption(Text::CacheEnableCheck)},
    Field{"protocol_enable", 23, 1, Codec::Flag, Families::all(),
          caption(Text::ProtocolEnableCheck)},
    // A position in the configuration's protocol presets; the list has no caption of its own.
    Field{"protocol", 24, 1, Codec::List},
    Field{"condition", 25, 1, Codec::List, Families::all(), caption(Text::ConditionLabel)},
};

}  // namespace

const RecordTable deviceRecord{"device", deviceFields};
const RecordTable networkRecord{"network", networkFields};
const RecordTable specialRecord{"special", specialFields};

std::string antennaField(int antenna) {
    return "antenna_" + std::to_string(antenna);
}

}  // namespace record
