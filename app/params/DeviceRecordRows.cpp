#include "params/DeviceRecordRows.h"

#include "kit/IMainWindowServices.h"

#include <algorithm>
#include <array>
#include <utility>

namespace devicerows {

namespace {

constexpr int sessions = 4;

constexpr std::array readerRows {
    Row { "rf_power_dbm", "powerList", Items::PowerSteps },
    Row { "baud_rate", "baudList", Items::BaudRates },
    Row { "rs485_address", "addressEdit" },
    Row { channelPlanRows, nullptr },
    Row { "beeper", "beeperCheck" },
};
constexpr std::array readSettingsRows {
    Row { "interface", "interfaceList", Items::Interfaces },
    Row { "work_mode", "workModeList", Items::WorkModes },
    Row { "filter_time_s", "filterTimeEdit" },
    Row { "area", "areaList", Items::Areas },
    Row { "start_address", "startAddressEdit" },
    Row { "byte_length", "byteLengthEdit" },
    Row { .field = "trigger_time", .objectName = "byte12Edit", .orField = "inventory_time" },
    Row { "q_value", "qList", Items::Numbers },
    Row { "session", "sessionList", Items::Sessions },
    Row { .field = "response_time", .objectName = "responseTimeEdit", .orField = "inventory_time" },
    Row { "target", "targetList", Items::Targets, "Target:" },
    Row { "dense", "denseCheck" },
};
constexpr std::array wiegandRows {
    Row { "wiegand_format", "wiegandFormatList", Items::WiegandFormats },
    Row { .field = "wiegand_order",
        .objectName = "wiegandOrderList",
        .items = Items::WiegandOrders,
        .unlabelled = true },
    Row { "output_interval", "outputIntervalEdit" },
    Row { "pulse_width", "pulseWidthEdit" },
    Row { "pulse_interval", "pulseIntervalEdit" },
};
constexpr std::array keyboardRows {
    Row { "output_format", "outputFormatList", Items::OutputFormats, "OutPutFormat:" },
    Row { "enter_key", "enterKeyCheck", Items::None, "OutWithEnterKey" },
};
constexpr std::array wifiRows {
    Row { "ssid", "ssidEdit" },
    Row { "password", "passwordEdit" },
    Row { "remote_ip", "remoteIpEdit" },
    Row { "remote_port", "remotePortEdit" },
};

const std::array allGroups {
    Group { "readerGroup", Text::ReaderParameterGroup, nullptr, false, readerRows },
    Group { "readSettingsGroup", Text::ReadSettingsGroup, nullptr, true, readSettingsRows },
    Group { "wiegandGroup", Text::WiegandGroup, nullptr, false, wiegandRows },
    Group { "keyboardGroup", std::nullopt, "KeyBoard", false, keyboardRows },
    Group { "wifiGroup", std::nullopt, "WIFI", false, wifiRows },
};

constexpr std::array<std::pair<std::string_view, Text>, 3> workModeTexts { {
    { "answer", Text::AnswerModeItem },
    { "active", Text::ActiveModeItem },
    { "trigger", Text::TriggerModeItem },
} };

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

QStringList numbered(int last, const QString &suffix = {})
{
    QStringList items;
    for (int value = 0; value <= last; ++value)
        items.append(QString::number(value) + suffix);
    return items;
}

QStringList familyItems(
    std::span<const readerfamily::ListItem> items, const IMainWindowServices &services)
{
    QStringList texts;
    for (const readerfamily::ListItem &item : items)
        texts.append(item.textKey ? services.text(*item.textKey) : latin1(item.text));
    return texts;
}

QString workModeText(std::string_view choice, const IMainWindowServices &services)
{
    const auto mode = std::find_if(workModeTexts.begin(), workModeTexts.end(),
        [choice](const auto &each) { return each.first == choice; });
    return mode == workModeTexts.end() ? latin1(choice) : services.text(mode->second);
}

} // namespace

std::span<const Group> groups()
{
    return allGroups;
}

QStringList itemsOf(Items items, const record::Field &field,
    const readerfamily::FamilyTraits &traits, const IMainWindowServices &services)
{
    QStringList texts;
    switch (items) {
    case Items::None:
        break;
    case Items::Numbers:
        return numbered(int(field.maxNumber));
    case Items::PowerSteps:
        return numbered(int(field.maxNumber), QStringLiteral("dBm"));
    case Items::BaudRates:
        for (const std::string_view choice : field.choices)
            texts.append(latin1(choice) + QStringLiteral("bps"));
        break;
    case Items::WorkModes:
        for (const std::string_view choice : field.choices)
            texts.append(workModeText(choice, services));
        break;
    case Items::Interfaces:
        return familyItems(traits.interfaces, services);
    case Items::Areas:
        return familyItems(traits.areas, services);
    case Items::Sessions:
        texts = numbered(sessions - 1);
        if (traits.sessionHasAuto)
            texts.append(QStringLiteral("Auto"));
        break;
    case Items::WiegandFormats:
        return { QStringLiteral("WG26"), QStringLiteral("WG34") };
    case Items::WiegandOrders:
        return { services.text(Text::HighByteFirstItem), services.text(Text::LowByteFirstItem) };
    case Items::Targets:
        return { QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A<>B") };
    case Items::OutputFormats:
        return { QStringLiteral("All(Hex)"), QStringLiteral("Last4Bytes(Hex)"),
            QStringLiteral("00+Last3Bytes(Hex)"), QStringLiteral("Wg26 Last3Bytes 10bits(Dec)"),
            QStringLiteral("Wg26 Last3Bytes 8bits(Dec)") };
    }
    return texts;
}

} // namespace devicerows
