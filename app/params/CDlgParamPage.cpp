#include "params/CDlgParamPage.h"

#include "kit/CAccessible.h"
#include "kit/CMyFunc.h"
#include "kit/CReaderWorker.h"
#include "kit/IMainWindowServices.h"
#include "params/CParamInput.h"
#include "params/ParamPageParts.h"

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

#include <chrono>
#include <thread>

using deviceparam::ChannelList;
using deviceparam::DeviceParamForm;

namespace {

// Captions (language texts).
constexpr int readerGroupText = 1067;
constexpr int powerText = 1068;
constexpr int baudText = 1069;
constexpr int addressText = 1070;
constexpr int regionText = 1071;
constexpr int wiegandGroupText = 1072;
constexpr int wiegandFormatText = 1073;
constexpr int outputIntervalText = 1074;
constexpr int pulseWidthText = 1075;
constexpr int pulseIntervalText = 1076;
constexpr int readSettingsText = 1077;
constexpr int interfaceText = 1078;
constexpr int workModeText = 1079;
constexpr int filterTimeText = 1080;
constexpr int areaText = 1081;
constexpr int startAddressText = 1082;
constexpr int byteLengthText = 1083;
constexpr int singleText = 1085;
constexpr int beeperText = 1086;
constexpr int readText = 1087;
constexpr int setText = 1088;
constexpr int defaultText = 1089;
constexpr int highByteFirstText = 1094;
constexpr int lowByteFirstText = 1095;
constexpr int ssidText = 1109;
constexpr int passwordText = 1110;
constexpr int remoteIpText = 1112;
constexpr int remotePortText = 1113;
constexpr int qText = 1220;
constexpr int antennaGroupText = 1221;
constexpr int sessionText = 1225;
constexpr int denseText = 1252;
constexpr int deviceTimeText = 1238;
constexpr int synchroniseText = 1239;

constexpr int decimalDigits = 3;
constexpr int portDigits = 5;
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

// A value outside the list leaves it without selection.
void showList(QComboBox *list, int value)
{
    if (list)
        list->setCurrentIndex(value < list->count() ? value : -1);
}

int listValue(const QComboBox *list, int kept)
{
    return list && list->currentIndex() >= 0 ? list->currentIndex() : kept;
}

void showHex(QLineEdit *edit, int value)
{
    if (edit)
        edit->setText(QString::asprintf("%.2X", value));
}

int hexValue(const QLineEdit *edit, int kept)
{
    return edit ? CMyFunc::shortHexToInt(edit->text()) : kept;
}

void showDecimal(QLineEdit *edit, int value)
{
    if (edit)
        edit->setText(QString::number(value));
}

int decimalValue(const QLineEdit *edit, int kept)
{
    return edit ? CParamInput::leadingDecimal(edit->text()) : kept;
}

void showCheck(QCheckBox *box, bool value)
{
    if (box)
        box->setChecked(value);
}

bool checkValue(const QCheckBox *box, bool kept)
{
    return box ? box->isChecked() : kept;
}

void showText(QLineEdit *edit, const std::string &value)
{
    if (edit)
        edit->setText(QString::fromStdString(value));
}

std::string textValue(const QLineEdit *edit, const std::string &kept)
{
    return edit ? edit->text().toStdString() : kept;
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
{
    buildControls();
    showAntennas();
}

// ---- Controls ----------------------------------------------------------------------------

void CDlgParamPage::buildControls()
{
    const deviceparam::RecordLayout &layout = m_family.layout;
    auto *content = new QWidget;
    auto *columns = new QGridLayout(content);
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    left->addWidget(buildReaderGroup());
    right->addWidget(buildReadSettingsGroup());
    if (layout.wiegand)
        left->addWidget(buildWiegandGroup());
    if (layout.keyboardOutput)
        left->addWidget(buildKeyboardGroup());
    if (layout.networkTexts)
        left->addWidget(buildWifiGroup());
    if (layout.antennas)
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
    auto *group = new QGroupBox(text(readerGroupText), this);
    group->setObjectName(QStringLiteral("readerGroup"));
    auto *form = new QFormLayout(group);
    m_power = addList(
        form, "powerList", text(powerText), numbered(m_traits.maxPowerDbm, QStringLiteral("dBm")));
    if (!m_family.layout.keyboardOutput)
        m_baud = addList(form, "baudList", text(baudText), baudItems);
    if (m_family.layout.address) {
        m_address = parampage::addEdit(form, "addressEdit", text(addressText));
        CParamInput::limitHex(m_address);
    }
    m_region = addList(form, "regionList", text(regionText), regionNames());
    connect(m_region, &QComboBox::activated, this, &CDlgParamPage::regionChanged);
    m_channels = new QComboBox(group);
    m_channels->setObjectName(QStringLiteral("channelList"));
    m_channels->setAccessibleName(QStringLiteral("Channel"));
    m_single = new QCheckBox(text(singleText), group);
    m_single->setObjectName(QStringLiteral("singleCheck"));
    auto *channelRow = new QHBoxLayout;
    channelRow->addWidget(m_channels, 1);
    channelRow->addWidget(m_single);
    form->addRow(QString(), channelRow);
    m_beeper = parampage::addCheck(form, "beeperCheck", text(beeperText));
    return group;
}

QGroupBox *CDlgParamPage::buildReadSettingsGroup()
{
    auto *group = new QGroupBox(text(readSettingsText), this);
    group->setObjectName(QStringLiteral("readSettingsGroup"));
    auto *form = new QFormLayout(group);
    m_interface
        = addList(form, "interfaceList", text(interfaceText), familyItems(m_traits.interfaces));
    m_workMode = addList(form, "workModeList", text(workModeText), workModes());
    m_filterTime = parampage::addEdit(form, "filterTimeEdit", text(filterTimeText));
    CParamInput::limitDecimal(m_filterTime, decimalDigits);
    m_area = addList(form, "areaList", text(areaText), familyItems(m_traits.areas));
    m_startAddress = parampage::addEdit(form, "startAddressEdit", text(startAddressText));
    CParamInput::limitHex(m_startAddress);
    m_byteLength = parampage::addEdit(form, "byteLengthEdit", text(byteLengthText));
    CParamInput::limitHex(m_byteLength);
    m_byte12 = parampage::addEdit(form, "byte12Edit", text(m_family.byte12Caption));
    CParamInput::limitDecimal(m_byte12, decimalDigits);
    if (m_family.layout.inventory) {
        m_q = addList(form, "qList", text(qText), numbered(maxQ));
        QStringList sessionItems = numbered(sessions - 1);
        if (m_traits.sessionHasAuto)
            sessionItems.append(QStringLiteral("Auto"));
        m_session = addList(form, "sessionList", text(sessionText), sessionItems);
        m_responseTime
            = parampage::addEdit(form, "responseTimeEdit", text(m_family.responseTimeCaption));
        CParamInput::limitDecimal(m_responseTime, decimalDigits);
    }
    if (m_family.layout.targetDense) {
        m_target = addList(form, "targetList", QStringLiteral("Target:"), targets);
        m_dense = parampage::addCheck(form, "denseCheck", text(denseText));
    }
    connect(m_interface, &QComboBox::currentIndexChanged, this, &CDlgParamPage::interfaceChanged);
    return group;
}

QGroupBox *CDlgParamPage::buildWiegandGroup()
{
    auto *group = new QGroupBox(text(wiegandGroupText), this);
    group->setObjectName(QStringLiteral("wiegandGroup"));
    auto *form = new QFormLayout(group);
    m_wiegandFormat = addList(form, "wiegandFormatList", text(wiegandFormatText), wiegandFormats);
    m_wiegandOrder = new QComboBox(group);
    m_wiegandOrder->setObjectName(QStringLiteral("wiegandOrderList"));
    m_wiegandOrder->addItems({ text(highByteFirstText), text(lowByteFirstText) });
    m_wiegandOrder->setAccessibleName(
        text(highByteFirstText) + QStringLiteral(" / ") + text(lowByteFirstText));
    form->addRow(QString(), m_wiegandOrder);
    m_outputInterval = parampage::addEdit(form, "outputIntervalEdit", text(outputIntervalText));
    m_pulseWidth = parampage::addEdit(form, "pulseWidthEdit", text(pulseWidthText));
    m_pulseInterval = parampage::addEdit(form, "pulseIntervalEdit", text(pulseIntervalText));
    for (QLineEdit *edit : { m_outputInterval, m_pulseWidth, m_pulseInterval })
        CParamInput::limitDecimal(edit, decimalDigits);
    return group;
}

QGroupBox *CDlgParamPage::buildAntennaGroup()
{
    auto *group = new QGroupBox(text(antennaGroupText), this);
    group->setObjectName(QStringLiteral("antennaGroup"));
    auto *grid = new QGridLayout(group);
    constexpr int perRow = 4;
    for (int index = 0; index < int(m_antennas.size()); ++index) {
        const QString caption = QStringLiteral("Ant%1").arg(index + 1);
        auto *box = new QCheckBox(caption, group);
        box->setObjectName(caption.toLower());
        grid->addWidget(box, index / perRow, index % perRow);
        m_antennas[std::size_t(index)] = box;
    }
    grid->addWidget(
        addButton("checkButton", QStringLiteral("Check"), &CDlgParamPage::checkAntennas), 0,
        perRow);
    return group;
}

QGroupBox *CDlgParamPage::buildKeyboardGroup()
{
    auto *group = new QGroupBox(QStringLiteral("KeyBoard"), this);
    group->setObjectName(QStringLiteral("keyboardGroup"));
    auto *form = new QFormLayout(group);
    m_outputFormat
        = addList(form, "outputFormatList", QStringLiteral("OutPutFormat:"), outputFormats);
    m_enterKey = parampage::addCheck(form, "enterKeyCheck", QStringLiteral("OutWithEnterKey"));
    return group;
}

QGroupBox *CDlgParamPage::buildWifiGroup()
{
    m_wifiGroup = new QGroupBox(QStringLiteral("WIFI"), this);
    m_wifiGroup->setObjectName(QStringLiteral("wifiGroup"));
    auto *form = new QFormLayout(m_wifiGroup);
    m_ssid = parampage::addEdit(form, "ssidEdit", text(ssidText));
    m_password = parampage::addEdit(form, "passwordEdit", text(passwordText));
    m_remoteIp = parampage::addEdit(form, "remoteIpEdit", text(remoteIpText));
    for (QLineEdit *edit : { m_ssid, m_password, m_remoteIp })
        CParamInput::limitText(edit, deviceparam::networkTextBytes);
    m_remotePort = parampage::addEdit(form, "remotePortEdit", text(remotePortText));
    CParamInput::limitDecimal(m_remotePort, portDigits);
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
    m_deviceTime->setAccessibleName(text(deviceTimeText));
    layout->addWidget(
        addButton("deviceTimeButton", text(deviceTimeText), &CDlgParamPage::readDeviceTime));
    layout->addWidget(m_deviceTime, 1);
    layout->addWidget(
        addButton("synchroniseButton", text(synchroniseText), &CDlgParamPage::synchroniseTime));
    return row;
}

QWidget *CDlgParamPage::buildButtonRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->addStretch(1);
    layout->addWidget(addButton("readButton", text(readText), &CDlgParamPage::read));
    layout->addWidget(addButton("setButton", text(setText), &CDlgParamPage::set));
    layout->addWidget(
        addButton("defaultButton", text(defaultText), &CDlgParamPage::restoreDefaults));
    return row;
}

QComboBox *CDlgParamPage::addList(
    QFormLayout *form, const char *name, const QString &caption, const QStringList &items)
{
    auto *list = new QComboBox(form->parentWidget());
    list->setObjectName(QString::fromLatin1(name));
    list->addItems(items);
    auto *label = new QLabel(caption, form->parentWidget());
    CAccessible::labelField(label, list);
    form->addRow(label, list);
    return list;
}

QPushButton *CDlgParamPage::addButton(
    const char *name, const QString &caption, void (CDlgParamPage::*operation)())
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    connect(button, &QPushButton::clicked, this, operation);
    m_busy.addControl(button);
    return button;
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
    QStringList modes { text(readerfamily::answerModeText), text(readerfamily::activeModeText) };
    if (m_traits.offersTriggerMode)
        modes.append(text(readerfamily::triggerModeText));
    return modes;
}

QStringList CDlgParamPage::regionNames() const
{
    QStringList names;
    for (const QString &preset : services().frequencyPresets())
        names.append(QString::fromStdString(deviceparam::presetName(preset.toStdString())));
    return names;
}

// ---- Operations --------------------------------------------------------------------------

void CDlgParamPage::log(int key)
{
    services().postLog(text(key));
}

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
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy,
        [length = m_traits.deviceRecord.read, checks = m_traits.checksModule](
            IReader &reader) { return readDevice(reader, length, checks); },
        [this](const ReadOutcome &outcome) { reportRead(outcome); });
}

void CDlgParamPage::reportRead(const ReadOutcome &outcome)
{
    if (!outcome.record) {
        log(failureText);
        return;
    }
    if (outcome.moduleFault)
        log(moduleFaultText);
    log(successText);
    m_lead = outcome.record->lead;
    showForm(deviceparam::showRecord(outcome.record->bytes));
}

void CDlgParamPage::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    if (kind == RecordKind::Device && m_family.showsImportedRecord)
        showForm(deviceparam::showRecord(record.bytes));
}

void CDlgParamPage::set()
{
    if (!services().isConnected())
        return;
    const DeviceParamForm form = formFromControls();
    const ParamRecord record { m_lead,
        deviceparam::buildRecord(form, m_family.layout, m_traits.deviceRecord.write) };
    parampage::run(
        this, services(), m_busy,
        [record](IReader &reader) { return reader.writeRecord(RecordKind::Device, record); },
        [this, baud = form.baud](bool written) {
            log(written ? successText : failureText);
            if (written)
                followBaud(baud);
        });
}

// The reader now listens at the new rate: the next serial Open must use it.
void CDlgParamPage::followBaud(int selected)
{
    if (!m_baud || m_readBaud == selected || services().transport() != Transport::Serial)
        return;
    m_readBaud = selected;
    services().closeConnection();
    services().readerMovedTo(SerialEndpoint{readertransport::baudRateOfCode(selected)});
}

void CDlgParamPage::restoreDefaults()
{
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy,
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
                log(failureText);
                return;
            }
            log(successText);
            reportRead(outcome.read);
        });
}

void CDlgParamPage::checkAntennas()
{
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy, [](IReader &reader) { return reader.checkAntennas(); },
        [this](const std::optional<std::array<std::uint8_t, 2>> &result) {
            if (result)
                services().postLog(antennaLine((*result)[1]));
            else
                log(failureText);
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
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy, [](IReader &reader) { return reader.readTime(); },
        [this](const std::optional<DeviceTime> &time) {
            if (!time) {
                log(failureText);
                return;
            }
            const DeviceTime &t = *time;
            m_deviceTime->setText(QString::asprintf(
                "20%.2d-%.2d-%.2d %.2d:%.2d:%.2d", t[0], t[1], t[2], t[3], t[4], t[5]));
            log(successText);
        });
}

void CDlgParamPage::synchroniseTime()
{
    if (!services().isConnected())
        return;
    const QDateTime now = m_clock();
    const QDate date = now.date();
    const QTime time = now.time();
    const DeviceTime sent { std::uint8_t(date.year() % 100), std::uint8_t(date.month()),
        std::uint8_t(date.day()), std::uint8_t(time.hour()), std::uint8_t(time.minute()),
        std::uint8_t(time.second()) };
    parampage::run(
        this, services(), m_busy, [sent](IReader &reader) { return reader.setTime(sent); },
        [this](bool done) { log(done ? successText : failureText); });
}

// ---- Showing and taking the record -------------------------------------------------------

void CDlgParamPage::showForm(const DeviceParamForm &form)
{
    m_shown = form;
    showList(m_interface, form.interface);
    showList(m_workMode, form.workMode);
    showHex(m_address, form.address);
    showDecimal(m_filterTime, form.filterTime);
    showList(m_power, form.power);
    showCheck(m_beeper, form.beeper);
    showList(m_baud, form.baud);
    showList(m_area, form.area);
    showHex(m_startAddress, form.startAddress);
    showHex(m_byteLength, form.byteLength);
    showDecimal(m_byte12, form.byte12);
    showChannels(deviceparam::showChannels(form.frequency[0], form.frequency[1]));
    showFamilyFields(form);
    if (m_baud)
        m_readBaud = form.baud;
    interfaceChanged(m_interface->currentIndex());
    showAntennas();
}

void CDlgParamPage::showFamilyFields(const DeviceParamForm &form)
{
    showList(m_wiegandFormat, form.wiegandFormat);
    showList(m_wiegandOrder, form.wiegandOrder);
    showDecimal(m_outputInterval, form.outputInterval);
    showDecimal(m_pulseWidth, form.pulseWidth);
    showDecimal(m_pulseInterval, form.pulseInterval);
    for (std::size_t antenna = 0; antenna < m_antennas.size(); ++antenna)
        showCheck(m_antennas[antenna], (form.antennas >> antenna) & 1);
    showList(m_q, form.q);
    showList(m_session, form.session);
    showDecimal(m_responseTime, form.responseTime);
    showList(m_target, form.target);
    showCheck(m_dense, form.dense);
    showList(m_outputFormat, form.outputFormat);
    showCheck(m_enterKey, form.enterKey);
    showText(m_ssid, form.ssid);
    showText(m_password, form.password);
    showText(m_remoteIp, form.remoteIp);
    showDecimal(m_remotePort, form.remotePort);
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
        deviceparam::presetContaining(toStdStrings(services().frequencyPresets()), channels.range));
}

DeviceParamForm CDlgParamPage::formFromControls() const
{
    DeviceParamForm form = m_shown;
    form.interface = listValue(m_interface, form.interface);
    form.workMode = listValue(m_workMode, form.workMode);
    form.address = hexValue(m_address, form.address);
    form.filterTime = decimalValue(m_filterTime, form.filterTime);
    form.power = listValue(m_power, form.power);
    form.beeper = checkValue(m_beeper, form.beeper);
    form.baud = listValue(m_baud, form.baud);
    form.area = listValue(m_area, form.area);
    form.startAddress = hexValue(m_startAddress, form.startAddress);
    form.byteLength = hexValue(m_byteLength, form.byteLength);
    form.byte12 = decimalValue(m_byte12, form.byte12);
    deviceparam::encodeChannels(channelsFromControls(), form.frequency);
    takeFamilyFields(form);
    return form;
}

void CDlgParamPage::takeFamilyFields(DeviceParamForm &form) const
{
    form.wiegandFormat = listValue(m_wiegandFormat, form.wiegandFormat);
    form.wiegandOrder = listValue(m_wiegandOrder, form.wiegandOrder);
    form.outputInterval = decimalValue(m_outputInterval, form.outputInterval);
    form.pulseWidth = decimalValue(m_pulseWidth, form.pulseWidth);
    form.pulseInterval = decimalValue(m_pulseInterval, form.pulseInterval);
    std::uint8_t antennas = 0;
    for (std::size_t antenna = 0; antenna < m_antennas.size(); ++antenna)
        if (checkValue(m_antennas[antenna], false))
            antennas |= std::uint8_t(1u << antenna);
    form.antennas = antennas;
    form.q = listValue(m_q, form.q);
    form.session = listValue(m_session, form.session);
    form.responseTime = decimalValue(m_responseTime, form.responseTime);
    form.target = listValue(m_target, form.target);
    form.dense = checkValue(m_dense, form.dense);
    form.outputFormat = listValue(m_outputFormat, form.outputFormat);
    form.enterKey = checkValue(m_enterKey, form.enterKey);
    form.ssid = textValue(m_ssid, form.ssid);
    form.password = textValue(m_password, form.password);
    form.remoteIp = textValue(m_remoteIp, form.remoteIp);
    form.remotePort = decimalValue(m_remotePort, form.remotePort);
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
        m_channels->addItems(toStrings(deviceparam::presetChannels(presets[index].toStdString())));
    m_channels->setCurrentIndex(m_channels->count() > 0 ? 0 : -1);
}

void CDlgParamPage::interfaceChanged(int index)
{
    if (m_wifiGroup)
        m_wifiGroup->setVisible(index == m_family.wifiInterface);
    if (m_family.weigandInterface)
        m_byteLength->setEnabled(index != m_family.weigandInterface);
}

// Which of the eight boxes the connected type has; hidden ones keep their values.
void CDlgParamPage::showAntennas()
{
    const int count = readerfamily::antennaCount(m_family.family, services().deviceType());
    for (std::size_t antenna = 0; antenna < m_antennas.size(); ++antenna)
        if (m_antennas[antenna])
            m_antennas[antenna]->setVisible(int(antenna) < count);
}
