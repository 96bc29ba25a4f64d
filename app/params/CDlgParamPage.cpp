#include "params/CDlgParamPage.h"

#include "kit/Accessible.h"
#include "kit/IMainWindowServices.h"
#include "param_records.h"
#include "params/ParamPageParts.h"
#include "reader/CReaderWorker.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>

using channelplan::ChannelList;

namespace {

constexpr int antennaBoxes = 8;
constexpr int maxQ = 15;
constexpr int sessions = 4;
constexpr auto pauseAfterDefault = std::chrono::milliseconds(100);

const QStringList baudItems { QStringLiteral("9600bps"), QStringLiteral("19200bps"),
    QStringLiteral("38400bps"), QStringLiteral("57600bps"), QStringLiteral("115200bps") };
const QStringList wiegandFormats { QStringLiteral("WG26"), QStringLiteral("WG34") };
const QStringList targets { QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A<>B") };
const QStringList outputFormats { QStringLiteral("All(Hex)"), QStringLiteral("Last4Bytes(Hex)"),
    QStringLiteral("00+Last3Bytes(Hex)"), QStringLiteral("Wg26 Last3Bytes 10bits(Dec)"),
    QStringLiteral("Wg26 Last3Bytes 8bits(Dec)") };

QStringList numbered(int last, const QString &suffix = {})
{
    QStringList items;
    for (int value = 0; value <= last; ++value)
        items.append(QString::number(value) + suffix);
    return items;
}

// A number the form shows or takes; 0 when it has none.
int numberIn(const record::Values &values, std::string_view name)
{
    const auto found = values.find(name);
    const auto *number
        = found == values.end() ? nullptr : std::get_if<std::int64_t>(&found->second);
    return number ? int(*number) : 0;
}

QStringList toStrings(const std::vector<std::string> &texts)
{
    QStringList list;
    for (const std::string &each : texts)
        list.append(QString::fromStdString(each));
    return list;
}

std::vector<std::string> toStdStrings(const QStringList &texts)
{
    std::vector<std::string> list;
    for (const QString &each : texts)
        list.push_back(each.toStdString());
    return list;
}

} // namespace

CDlgParamPage::CDlgParamPage(
    IMainWindowServices &services, QWidget *parent, readerfamily::Family family)
    : CPage(services, parent)
    , m_traits(readerfamily::traitsOf(family))
    , m_family(paramfamily::paramFamilyOf(family))
    , m_form(record::deviceRecord, family,
          [this](const record::Field &field) { return text(static_cast<Text>(field.captionKey)); })
{
    buildControls();
    showAntennas();
}

// ---- Controls ----------------------------------------------------------------------------

void CDlgParamPage::buildControls()
{
    auto *content = new QWidget;
    auto *columns = new QGridLayout(content);
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    left->addWidget(buildReaderGroup());
    right->addWidget(buildReadSettingsGroup());
    if (m_form.field("wiegand_format"))
        left->addWidget(buildWiegandGroup());
    if (m_form.field("output_format"))
        left->addWidget(buildKeyboardGroup());
    if (m_form.field("ssid"))
        left->addWidget(buildWifiGroup());
    if (m_form.field(record::antennaField(1)))
        right->addWidget(buildAntennaGroup());
    if (m_family.deviceTime)
        right->addWidget(buildDeviceTimeRow());
    left->addStretch(1);
    right->addStretch(1);
    columns->addLayout(left, 0, 0);
    columns->addLayout(right, 0, 1);
    parampage::layOutScrolling(this, content, buildButtonRow());
}

QGroupBox *CDlgParamPage::buildReaderGroup()
{
    auto *group = new QGroupBox(text(Text::ReaderParameterGroup), this);
    group->setObjectName(QStringLiteral("readerGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form,
        { .field = "rf_power_dbm",
            .objectName = "powerList",
            .items = numbered(m_traits.maxPowerDbm, QStringLiteral("dBm")) });
    m_form.addRow(form, { .field = "baud_rate", .objectName = "baudList", .items = baudItems });
    m_form.addRow(form, { .field = "rs485_address", .objectName = "addressEdit" });
    m_region = addList(form, "regionList", text(Text::FrequencyRegionLabel), regionNames());
    connect(m_region, &QComboBox::activated, this, &CDlgParamPage::regionChanged);
    m_channels = new QComboBox(group);
    m_channels->setObjectName(QStringLiteral("channelList"));
    m_channels->setAccessibleName(QStringLiteral("Channel"));
    m_single = new QCheckBox(text(Text::SingleFrequencyCheck), group);
    m_single->setObjectName(QStringLiteral("singleCheck"));
    auto *channelRow = new QHBoxLayout;
    channelRow->addWidget(m_channels, 1);
    channelRow->addWidget(m_single);
    form->addRow(QString(), channelRow);
    m_form.addRow(form, { .field = "beeper", .objectName = "beeperCheck" });
    return group;
}

QGroupBox *CDlgParamPage::buildReadSettingsGroup()
{
    auto *group = new QGroupBox(text(Text::ReadSettingsGroup), this);
    group->setObjectName(QStringLiteral("readSettingsGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form,
        { .field = "interface",
            .objectName = "interfaceList",
            .items = familyItems(m_traits.interfaces) });
    m_form.addRow(
        form, { .field = "work_mode", .objectName = "workModeList", .items = workModes() });
    m_form.addRow(form, { .field = "filter_time_s", .objectName = "filterTimeEdit" });
    m_form.addRow(
        form, { .field = "area", .objectName = "areaList", .items = familyItems(m_traits.areas) });
    m_form.addRow(form, { .field = "start_address", .objectName = "startAddressEdit" });
    m_form.addRow(form, { .field = "byte_length", .objectName = "byteLengthEdit" });
    addFirstFreeRow(form, { "trigger_time", "inventory_time" }, "byte12Edit");
    m_form.addRow(form, { .field = "q_value", .objectName = "qList", .items = numbered(maxQ) });
    QStringList sessionItems = numbered(sessions - 1);
    if (m_traits.sessionHasAuto)
        sessionItems.append(QStringLiteral("Auto"));
    m_form.addRow(form, { .field = "session", .objectName = "sessionList", .items = sessionItems });
    addFirstFreeRow(form, { "response_time", "inventory_time" }, "responseTimeEdit");
    m_form.addRow(form,
        { .field = "target",
            .objectName = "targetList",
            .caption = QStringLiteral("Target:"),
            .items = targets });
    m_form.addRow(form, { .field = "dense", .objectName = "denseCheck" });
    connect(m_form.control<QComboBox>("interface"), &QComboBox::currentIndexChanged, this,
        &CDlgParamPage::interfaceChanged);
    return group;
}

// The times at bytes 12 and 22 are named by their meaning, which differs by family; their
// edits keep one name.
void CDlgParamPage::addFirstFreeRow(
    QFormLayout *form, std::initializer_list<std::string_view> fields, const char *name)
{
    for (const std::string_view field : fields) {
        if (m_form.field(field) && !m_form.control(field)) {
            m_form.addRow(form, { .field = field, .objectName = name });
            return;
        }
    }
}

QGroupBox *CDlgParamPage::buildWiegandGroup()
{
    auto *group = new QGroupBox(text(Text::WiegandGroup), this);
    group->setObjectName(QStringLiteral("wiegandGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form,
        { .field = "wiegand_format", .objectName = "wiegandFormatList", .items = wiegandFormats });
    QWidget *order = m_form.makeControl(group,
        { .field = "wiegand_order",
            .objectName = "wiegandOrderList",
            .items = { text(Text::HighByteFirstItem), text(Text::LowByteFirstItem) } });
    order->setAccessibleName(
        text(Text::HighByteFirstItem) + QStringLiteral(" / ") + text(Text::LowByteFirstItem));
    form->addRow(QString(), order);
    m_form.addRow(form, { .field = "output_interval", .objectName = "outputIntervalEdit" });
    m_form.addRow(form, { .field = "pulse_width", .objectName = "pulseWidthEdit" });
    m_form.addRow(form, { .field = "pulse_interval", .objectName = "pulseIntervalEdit" });
    return group;
}

QGroupBox *CDlgParamPage::buildAntennaGroup()
{
    auto *group = new QGroupBox(text(Text::AntennaGroup), this);
    group->setObjectName(QStringLiteral("antennaGroup"));
    auto *grid = new QGridLayout(group);
    constexpr int perRow = 4;
    for (int antenna = 0; antenna < antennaBoxes; ++antenna) {
        const QString caption = QStringLiteral("Ant%1").arg(antenna + 1);
        const std::string field = record::antennaField(antenna + 1);
        const QByteArray name = caption.toLower().toLatin1();
        QWidget *box = m_form.makeControl(
            group, { .field = field, .objectName = name.constData(), .caption = caption });
        grid->addWidget(box, antenna / perRow, antenna % perRow);
    }
    grid->addWidget(addBusyButton(m_busy, "checkButton", QStringLiteral("Check"),
                        &CDlgParamPage::checkAntennas),
        0, perRow);
    return group;
}

QGroupBox *CDlgParamPage::buildKeyboardGroup()
{
    auto *group = new QGroupBox(QStringLiteral("KeyBoard"), this);
    group->setObjectName(QStringLiteral("keyboardGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form,
        { .field = "output_format",
            .objectName = "outputFormatList",
            .caption = QStringLiteral("OutPutFormat:"),
            .items = outputFormats });
    m_form.addRow(form,
        { .field = "enter_key",
            .objectName = "enterKeyCheck",
            .caption = QStringLiteral("OutWithEnterKey") });
    return group;
}

QGroupBox *CDlgParamPage::buildWifiGroup()
{
    m_wifiGroup = new QGroupBox(QStringLiteral("WIFI"), this);
    m_wifiGroup->setObjectName(QStringLiteral("wifiGroup"));
    auto *form = new QFormLayout(m_wifiGroup);
    m_form.addRow(form, { .field = "ssid", .objectName = "ssidEdit" });
    m_form.addRow(form, { .field = "password", .objectName = "passwordEdit" });
    m_form.addRow(form, { .field = "remote_ip", .objectName = "remoteIpEdit" });
    m_form.addRow(form, { .field = "remote_port", .objectName = "remotePortEdit" });
    m_wifiGroup->hide();
    return m_wifiGroup;
}

QWidget *CDlgParamPage::buildDeviceTimeRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_deviceTime = new QLineEdit(row);
    m_deviceTime->setObjectName(QStringLiteral("deviceTimeEdit"));
    m_deviceTime->setReadOnly(true);
    m_deviceTime->setAccessibleName(text(Text::DeviceTimeButton));
    layout->addWidget(addBusyButton(
        m_busy, "deviceTimeButton", text(Text::DeviceTimeButton), &CDlgParamPage::readDeviceTime));
    layout->addWidget(m_deviceTime, 1);
    layout->addWidget(addBusyButton(m_busy, "synchroniseButton", text(Text::SynchroniseTimeButton),
        &CDlgParamPage::synchroniseTime));
    return row;
}

QWidget *CDlgParamPage::buildButtonRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->addStretch(1);
    layout->addWidget(
        addBusyButton(m_busy, "readButton", text(Text::ReadButton), &CDlgParamPage::read));
    layout->addWidget(
        addBusyButton(m_busy, "setButton", text(Text::SetButton), &CDlgParamPage::set));
    layout->addWidget(addBusyButton(
        m_busy, "defaultButton", text(Text::DefaultButton), &CDlgParamPage::restoreDefaults));
    return row;
}

QComboBox *CDlgParamPage::addList(
    QFormLayout *form, const char *name, const QString &caption, const QStringList &items)
{
    auto *list = new QComboBox(form->parentWidget());
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    auto *label = new QLabel(caption, form->parentWidget());
    accessible::labelField(label, list);
    form->addRow(label, list);
    return list;
}

QStringList CDlgParamPage::familyItems(std::span<const readerfamily::ListItem> items) const
{
    QStringList texts;
    for (const readerfamily::ListItem &item : items)
        texts.append(item.textKey
                ? text(*item.textKey)
                : QString::fromUtf8(item.text.data(), qsizetype(item.text.size())));
    return texts;
}

QStringList CDlgParamPage::workModes() const
{
    QStringList modes { text(Text::AnswerModeItem), text(Text::ActiveModeItem) };
    if (m_traits.offersTriggerMode)
        modes.append(text(Text::TriggerModeItem));
    return modes;
}

QStringList CDlgParamPage::regionNames() const
{
    QStringList names;
    for (const QString &preset : services().frequencyPresets())
        names.append(QString::fromStdString(channelplan::presetName(preset.toStdString())));
    return names;
}

// ---- Operations --------------------------------------------------------------------------

CDlgParamPage::ReadOutcome CDlgParamPage::readDevice(IReader &reader, int length, bool checksModule)
{
    ReadOutcome outcome;
    outcome.record = reader.readRecord(RecordKind::Device, length);
    if (outcome.record && checksModule) {
        const std::optional<std::uint8_t> module = reader.checkModule();
        outcome.moduleFault = module && *module == 0;
    }
    return outcome;
}

void CDlgParamPage::readParameters()
{
    read();
}

void CDlgParamPage::read()
{
    runWhileBusy(
        m_busy,
        [length = m_traits.deviceRecord.read, checks = m_traits.checksModule](
            IReader &reader) { return readDevice(reader, length, checks); },
        [this](const ReadOutcome &outcome) { reportRead(outcome); });
}

void CDlgParamPage::reportRead(const ReadOutcome &outcome)
{
    if (!outcome.record) {
        log(Text::OperationFailed);
        return;
    }
    if (outcome.moduleFault)
        log(Text::ModuleFault);
    log(Text::OperationSucceeded);
    m_lead = outcome.record->lead;
    showRecord(outcome.record->bytes);
}

void CDlgParamPage::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    if (kind == RecordKind::Device && m_family.showsImportedRecord)
        showRecord(record.bytes);
}

void CDlgParamPage::set()
{
    const ParamRecord record { m_lead, recordFromControls() };
    runWhileBusy(
        m_busy,
        [record](IReader &reader) { return reader.writeRecord(RecordKind::Device, record); },
        [this, baud = numberIn(m_form.values(), "baud_rate")](bool written) {
            log(written ? Text::OperationSucceeded : Text::OperationFailed);
            if (written)
                followBaud(baud);
        });
}

// The reader now listens at the new rate: the next serial Open must use it.
void CDlgParamPage::followBaud(int selected)
{
    if (!m_form.control("baud_rate") || m_readBaud == selected
        || services().transport() != Transport::Serial)
        return;
    m_readBaud = selected;
    services().closeConnection();
    services().readerMovedTo(SerialEndpoint { readertransport::baudRateOfCode(selected) });
}

void CDlgParamPage::restoreDefaults()
{
    runWhileBusy(
        m_busy,
        [length = m_traits.deviceRecord.read, checks = m_traits.checksModule](IReader &reader) {
            DefaultOutcome outcome;
            outcome.restored = reader.defaultRecord(RecordKind::Device);
            if (outcome.restored) {
                std::this_thread::sleep_for(pauseAfterDefault);
                outcome.read = readDevice(reader, length, checks);
            }
            return outcome;
        },
        [this](const DefaultOutcome &outcome) {
            if (!outcome.restored) {
                log(Text::OperationFailed);
                return;
            }
            log(Text::OperationSucceeded);
            reportRead(outcome.read);
        });
}

void CDlgParamPage::checkAntennas()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.checkAntennas(); },
        [this](const std::optional<std::array<std::uint8_t, 2>> &result) {
            if (result)
                services().postLog(antennaLine((*result)[1]));
            else
                log(Text::OperationFailed);
        });
}

QString CDlgParamPage::antennaLine(std::uint8_t connected) const
{
    const int count = readerfamily::antennaCount(m_family.family, services().deviceType());
    QStringList parts;
    for (int antenna = 0; antenna < count; ++antenna)
        parts.append(QStringLiteral("Ant%1: %2").arg(antenna + 1).arg((connected >> antenna) & 1));
    return parts.join(QStringLiteral(", "));
}

void CDlgParamPage::readDeviceTime()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.readTime(); },
        [this](const std::optional<DeviceTime> &time) {
            if (!time) {
                log(Text::OperationFailed);
                return;
            }
            const DeviceTime &t = *time;
            m_deviceTime->setText(QString::asprintf(
                "20%.2d-%.2d-%.2d %.2d:%.2d:%.2d", t[0], t[1], t[2], t[3], t[4], t[5]));
            log(Text::OperationSucceeded);
        });
}

void CDlgParamPage::synchroniseTime()
{
    const QDateTime now = m_clock();
    const QDate date = now.date();
    const QTime time = now.time();
    const DeviceTime sent { std::uint8_t(date.year() % 100), std::uint8_t(date.month()),
        std::uint8_t(date.day()), std::uint8_t(time.hour()), std::uint8_t(time.minute()),
        std::uint8_t(time.second()) };
    runWhileBusy(
        m_busy, [sent](IReader &reader) { return reader.setTime(sent); },
        [this](bool done) { log(done ? Text::OperationSucceeded : Text::OperationFailed); });
}

// ---- Showing and taking the record -------------------------------------------------------

void CDlgParamPage::showRecord(std::span<const std::uint8_t> bytes)
{
    m_form.show(bytes);
    const record::Values &shown = m_form.shown();
    showChannels(channelplan::showChannels(std::uint8_t(numberIn(shown, "frequency_upper")),
        std::uint8_t(numberIn(shown, "frequency_lower"))));
    if (m_form.control("baud_rate"))
        m_readBaud = numberIn(shown, "baud_rate");
    interfaceChanged(m_form.control<QComboBox>("interface")->currentIndex());
    showAntennas();
}

void CDlgParamPage::showChannels(const ChannelList &channels)
{
    m_single->setChecked(channels.single);
    m_channels->clear();
    m_channels->addItems(toStrings(channels.entries));
    m_channels->setCurrentIndex(channels.selected);
    if (channels.single) {
        m_region->setCurrentIndex(-1);
        return;
    }
    m_region->setCurrentIndex(
        channelplan::presetContaining(toStdStrings(services().frequencyPresets()), channels.range));
}

// The family's fields in the write length, every other byte 0; a channel list with nothing to
// encode keeps the channels last shown.
std::vector<std::uint8_t> CDlgParamPage::recordFromControls() const
{
    record::Values values = m_form.values();
    std::array<std::uint8_t, 2> frequency {};
    if (channelplan::encodeChannels(channelsFromControls(), frequency)) {
        values["frequency_upper"] = std::int64_t { frequency[0] };
        values["frequency_lower"] = std::int64_t { frequency[1] };
    }
    std::vector<std::uint8_t> bytes(std::size_t(std::max(m_traits.deviceRecord.write, 0)));
    record::encode(record::deviceRecord, values, m_family.family, bytes);
    return bytes;
}

ChannelList CDlgParamPage::channelsFromControls() const
{
    ChannelList channels;
    channels.single = m_single->isChecked();
    for (int index = 0; index < m_channels->count(); ++index)
        channels.entries.push_back(m_channels->itemText(index).toStdString());
    channels.selected = m_channels->currentIndex();
    return channels;
}

// ---- Handlers ----------------------------------------------------------------------------

void CDlgParamPage::regionChanged(int index)
{
    const QStringList presets = services().frequencyPresets();
    m_channels->clear();
    if (index >= 0 && index < presets.size())
        m_channels->addItems(toStrings(channelplan::presetChannels(presets[index].toStdString())));
    m_channels->setCurrentIndex(m_channels->count() > 0 ? 0 : -1);
}

void CDlgParamPage::interfaceChanged(int index)
{
    if (m_wifiGroup)
        m_wifiGroup->setVisible(index == m_family.wifiInterface);
    if (m_family.weigandInterface)
        m_form.control("byte_length")->setEnabled(index != m_family.weigandInterface);
}

// Which of the eight boxes the connected type has; hidden ones keep their values.
void CDlgParamPage::showAntennas()
{
    const int count = readerfamily::antennaCount(m_family.family, services().deviceType());
    for (int antenna = 0; antenna < antennaBoxes; ++antenna)
        if (QWidget *box = m_form.control(record::antennaField(antenna + 1)))
            box->setVisible(antenna < count);
}
