#include "param_records.h"

#include "json_text.h"
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
// The RF power lists run from 0 dBm to these.
constexpr Families power17{Family::Alder, Family::Birch, Family::Birch2};
constexpr Families power26{Family::Elm};
constexpr Families power30{Family::Fir, Family::Hazel, Family::Unknown};
constexpr Families power33{Family::Cedar, Family::Cedar2};
constexpr Families withoutTrigger{Family::Alder, Family::Birch, Family::Birch2};
constexpr Families withTrigger{Family::Fir,   Family::Hazel,  Family::Elm,
                               Family::Cedar, Family::Cedar2, Family::Unknown};

constexpr std::array<std::string_view, 3> workModes{"answer", "active", "trigger"};
constexpr std::array<std::string_view, 5> baudRates{"9600", "19200", "38400", "57600", "115200"};

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

constexpr Field workMode(Families families, std::span<const std::string_view> modes) {
    return {.name = "work_mode",
            .offset = 1,
            .width = 1,
            .codec = Codec::List,
            .families = families,
            .captionKey = caption(Text::WorkModeLabel),
            .choices = modes};
}

// The power list's position is the power in dBm.
constexpr Field rfPower(Families families, int maxDbm) {
    return {.name = "rf_power_dbm",
            .offset = 4,
            .width = 1,
            .codec = Codec::List,
            .families = families,
            .captionKey = caption(Text::RfPowerLabel),
            .maxNumber = maxDbm};
}

const std::array deviceFields{
    Field{"interface", 0, 1, Codec::List, Families::all(), caption(Text::OutputInterfaceLabel)},
    workMode(withTrigger, workModes),
    workMode(withoutTrigger, std::span(workModes).first(2)),
    Field{"rs485_address",
          2,
          1,
          Codec::Number,
          notBirch2,
          caption(Text::Rs485AddressLabel),
          1,
          {},
          Radix::Hex},
    Field{"filter_time_s", 3, 1, Codec::Number, Families::all(), caption(Text::FilterTimeLabel), 1},
    rfPower(power17, 17),
    rfPower(power26, 26),
    rfPower(power30, 30),
    rfPower(power33, 33),
    Field{"beeper", 5, 1, Codec::Flag, Families::all(), caption(Text::BeeperCheck), 1},
    Field{.name = "baud_rate",
          .offset = 6,
          .width = 1,
          .codec = Codec::List,
          .families = notBirch2,
          .captionKey = caption(Text::SerialBaudLabel),
          .defaultNumber = 4,
          .choices = baudRates},
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
    // The antenna byte as one number, for scripts; no page shows it. It stands before the
    // antenna bits so that where a whole record is built from values, the bits (what the
    // pages and the virtual reader set) are written last.
    Field{.name = "antenna_mask",
          .offset = 19,
          .width = 1,
          .codec = Codec::Number,
          .families = antennas},
    antenna("antenna_1", 0),
    antenna("antenna_2", 1),
    antenna("antenna_3", 2),
    antenna("antenna_4", 3),
    antenna("antenna_5", 4),
    antenna("antenna_6", 5),
    antenna("antenna_7", 6),
    antenna("antenna_8", 7),
    Field{.name = "q_value",
          .offset = 20,
          .width = 1,
          .codec = Codec::List,
          .families = inventory,
          .captionKey = caption(Text::QValueLabel),
          .defaultNumber = 4,
          .maxNumber = 15},
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

std::optional<RecordPlan> planFor(std::string_view name, Family family) {
    const readerfamily::FamilyTraits &traits = readerfamily::traitsOf(family);
    if (name == deviceRecord.name) {
        return RecordPlan{&deviceRecord, RecordKind::Device, traits.deviceRecord.read,
                          traits.deviceRecord.write};
    }
    if (!traits.hasNetwork) return std::nullopt;
    if (name == networkRecord.name) {
        const int write = family == Family::Fir ? readerfamily::firNetworkRecordWrite
                                                : readerfamily::networkRecord.write;
        return RecordPlan{&networkRecord, RecordKind::Network, readerfamily::networkRecord.read,
                          write};
    }
    if (name == specialRecord.name) {
        return RecordPlan{&specialRecord, RecordKind::Special, readerfamily::specialRecord.read,
                          readerfamily::specialRecord.write};
    }
    return std::nullopt;
}

std::optional<std::vector<Assignment>> parseAssignments(const RecordPlan &plan, Family family,
                                                        std::span<const std::string> texts,
                                                        std::string &reason) {
    std::vector<Assignment> assignments;
    for (const std::string &text : texts) {
        const size_t equals = text.find('=');
        if (equals == std::string::npos) {
            reason = "\"" + text + "\" is not name=value";
            return std::nullopt;
        }
        const std::string name = text.substr(0, equals);
        const Field *field = find(*plan.table, name, family);
        if (!field) {
            reason = "the " + std::string(readerfamily::traitsOf(family).name) + " reader's " +
                     std::string(plan.table->name) + " record has no field \"" + name + "\"";
            return std::nullopt;
        }
        std::optional<Value> value =
            parseValue(*field, std::string_view(text).substr(equals + 1), reason);
        if (!value) return std::nullopt;
        assignments.push_back({field, std::move(*value)});
    }
    return assignments;
}

void apply(const std::vector<Assignment> &assignments, std::span<std::uint8_t> record) {
    for (const Assignment &assignment : assignments)
        encode(*assignment.field, assignment.value, record);
}

std::string jsonObject(const RecordTable &table, Family family,
                       std::span<const std::uint8_t> record) {
    std::string json = "{";
    for (const Field &field : table.fields) {
        if (find(table, field.name, family) != &field) continue;
        if (json.size() > 1) json += ",";
        json += jsontext::quoted(field.name) + ":" +
                jsonValue(namedValue(field, decode(field, record)));
    }
    return json + "}";
}

}  // namespace record
