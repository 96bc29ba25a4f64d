#include "shell/CConnectionPanel.h"

#include "kit/Accessible.h"
#include "kit/CButtonST.h"
#include "kit/CConfigStore.h"
#include "kit/CMyFunc.h"
#include "kit/FieldWidth.h"
#include "kit/ParamInput.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <utility>
#include <variant>

namespace {

// The rate of the baud list without a selection.
constexpr int defaultBaudRate = 115200;
constexpr int maxPortDigits = 5;

// The four numbers of a dotted IPv4 address, or nothing for any other text.
std::optional<std::array<int, 4>> parseDottedAddress(const QString &text)
{
    const QStringList parts = text.trimmed().split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> numbers {};
    for (int index = 0; index < 4; ++index) {
        bool isNumber = false;
        numbers[static_cast<std::size_t>(index)] = parts[index].toInt(&isNumber);
        if (!isNumber || numbers[static_cast<std::size_t>(index)] < 0
            || numbers[static_cast<std::size_t>(index)] > 255)
            return std::nullopt;
    }
    return numbers;
}

// The transport's button in the group and in m_transportButtons.
int buttonId(Transport transport)
{
    return static_cast<int>(transport);
}

void selectPosition(QComboBox *list, int position)
{
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

} // namespace

CConnectionPanel::CConnectionPanel(QWidget *parent)
    : QGroupBox(parent)
{
    setObjectName(QStringLiteral("connectionPanel"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildTransportSection());
    layout->addWidget(buildButtonSection());
    layout->addWidget(buildIdentitySection());
    layout->addStretch(1);
    layout->addWidget(buildPreferenceSection());
    connectButtons();
    showClosed();
}

QPushButton *CConnectionPanel::addButton(const char *objectName)
{
    auto *button = new QPushButton(this);
    button->setObjectName(QString::fromLatin1(objectName));
    return button;
}

QLabel *CConnectionPanel::addLabel(const char *objectName)
{
    auto *label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

QLineEdit *CConnectionPanel::addReadOnlyField(const char *objectName)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(objectName));
    field->setReadOnly(true);
    return field;
}

QWidget *CConnectionPanel::buildTransportSection()
{
    auto *section = new QWidget(this);
    createTransportButtons(section);
    createSerialControls(section);
    createNetworkFields(section);
    m_usbList = new QComboBox(section);
    m_usbList->setObjectName(QStringLiteral("usbList"));

    auto *grid = new QGridLayout(section);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_transportButtons[0], 0, 0, 1, 2);
    grid->addWidget(m_serialList, 1, 0, 1, 2);
    grid->addWidget(m_baudLabel, 2, 0);
    grid->addWidget(m_baudList, 2, 1);
    grid->addWidget(m_transportButtons[1], 3, 0, 1, 2);
    grid->addWidget(m_usbList, 4, 0, 1, 2);
    grid->addWidget(m_transportButtons[2], 5, 0, 1, 2);
    grid->addWidget(m_ipField, 6, 0, 1, 2);
    grid->addWidget(m_portLabel, 7, 0);
    grid->addWidget(m_portField, 7, 1);
    return section;
}

void CConnectionPanel::createTransportButtons(QWidget *section)
{
    m_transportGroup = new QButtonGroup(this);
    const std::array<std::pair<Transport, const char *>, 3> buttons { {
        { Transport::Serial, "serialButton" },
        { Transport::Usb, "usbButton" },
        { Transport::Network, "networkButton" },
    } };
    for (const auto &[transport, name] : buttons) {
        auto *button = new QRadioButton(section);
        button->setObjectName(QString::fromLatin1(name));
        m_transportGroup->addButton(button, buttonId(transport));
        m_transportButtons[static_cast<std::size_t>(buttonId(transport))] = button;
    }
}

void CConnectionPanel::createSerialControls(QWidget *section)
{
    // Editable, so a device path such as a pseudo-terminal can be typed.
    m_serialList = new QComboBox(section);
    m_serialList->setObjectName(QStringLiteral("serialList"));
    m_serialList->setEditable(true);
    m_serialList->setInsertPolicy(QComboBox::NoInsert);
    m_baudLabel = addLabel("baudLabel");
    m_baudList = new QComboBox(section);
    m_baudList->setObjectName(QStringLiteral("baudList"));
    for (const int rate : readertransport::serialBaudRates)
        m_baudList->addItem(QStringLiteral("%1bps").arg(rate));
}

void CConnectionPanel::createNetworkFields(QWidget *section)
{
    m_ipField = new QLineEdit(section);
    m_ipField->setObjectName(QStringLiteral("ipField"));
    paraminput::limitIpAddress(m_ipField);
    m_portLabel = addLabel("portLabel");
    m_portField = new QLineEdit(section);
    m_portField->setObjectName(QStringLiteral("portField"));
    paraminput::limitDecimal(m_portField, maxPortDigits);
}

QWidget *CConnectionPanel::buildButtonSection()
{
    auto *section = new QWidget(this);
    auto *grid = new QGridLayout(section);
    grid->setContentsMargins(0, 0, 0, 0);
    m_openButton = addButton("openButton");
    m_closeButton = addButton("closeButton");
    m_portScanButton = addButton("portScanButton");
    m_networkScanButton = addButton("networkScanButton");
    grid->addWidget(m_openButton, 0, 0);
    grid->addWidget(m_closeButton, 0, 1);
    grid->addWidget(m_portScanButton, 1, 0);
    grid->addWidget(m_networkScanButton, 1, 1);
    return section;
}

QWidget *CConnectionPanel::buildIdentitySection()
{
    auto *section = new QWidget(this);
    auto *form = new QFormLayout(section);
    form->setContentsMargins(0, 0, 0, 0);
    m_serialNumberLabel = addLabel("serialNumberLabel");
    m_serialNumberField = addReadOnlyField("serialNumberField");
    m_firmwareLabel = addLabel("firmwareLabel");
    m_firmwareField = addReadOnlyField("firmwareField");
    m_hardwareLabel = addLabel("hardwareLabel");
    m_hardwareField = addReadOnlyField("hardwareField");
    // The reader's serial number is 14 hex digits, a version "15.15".
    fieldwidth::fitCharacters(m_serialNumberField, 14, fieldwidth::hexDigits);
    for (QLineEdit *version : { m_firmwareField, m_hardwareField })
        fieldwidth::fitCharacters(version, 5, fieldwidth::decimalDigits);
    form->addRow(m_serialNumberLabel, m_serialNumberField);
    form->addRow(m_firmwareLabel, m_firmwareField);
    form->addRow(m_hardwareLabel, m_hardwareField);

    m_exportButton = addButton("exportButton");
    m_importButton = addButton("importButton");
    m_relayCloseButton = addButton("relayCloseButton");
    m_relayReleaseButton = addButton("relayReleaseButton");
    auto *grid = new QGridLayout;
    grid->addWidget(m_exportButton, 0, 0);
    grid->addWidget(m_importButton, 0, 1);
    grid->addWidget(m_relayCloseButton, 1, 0);
    grid->addWidget(m_relayReleaseButton, 1, 1);
    m_maintenanceButton = addButton("maintenanceButton");
    grid->addWidget(m_maintenanceButton, 2, 0, 1, 2);
    form->addRow(grid);
    return section;
}

QWidget *CConnectionPanel::buildPreferenceSection()
{
    auto *section = new QWidget(this);
    auto *row = new QHBoxLayout(section);
    row->setContentsMargins(0, 0, 0, 0);
    m_languageLabel = addLabel("languageLabel");
    m_languageList = new QComboBox(section);
    m_languageList->setObjectName(QStringLiteral("languageList"));
    m_skinButton = CButtonST::createSkinButton(QString(), section);
    row->addWidget(m_languageLabel);
    row->addWidget(m_languageList, 1);
    row->addWidget(m_skinButton);
    return section;
}

void CConnectionPanel::connectButtons()
{
    connect(m_openButton, &QPushButton::clicked, this, &CConnectionPanel::openRequested);
    connect(m_closeButton, &QPushButton::clicked, this, &CConnectionPanel::closeRequested);
    connect(m_portScanButton, &QPushButton::clicked, this, &CConnectionPanel::portScanRequested);
    connect(
        m_networkScanButton, &QPushButton::clicked, this, &CConnectionPanel::networkScanRequested);
    connect(
        m_relayCloseButton, &QPushButton::clicked, this, &CConnectionPanel::relayCloseRequested);
    connect(m_relayReleaseButton, &QPushButton::clicked, this,
        &CConnectionPanel::relayReleaseRequested);
    connect(m_exportButton, &QPushButton::clicked, this, &CConnectionPanel::exportRequested);
    connect(m_importButton, &QPushButton::clicked, this, &CConnectionPanel::importRequested);
    connect(
        m_maintenanceButton, &QPushButton::clicked, this, &CConnectionPanel::maintenanceRequested);
}

void CConnectionPanel::applyTexts(const TextLookup &text)
{
    setTitle(text(Text::ConnectionGroup));
    m_transportButtons[0]->setText(text(Text::SerialButton));
    m_transportButtons[1]->setText(text(Text::UsbButton));
    m_transportButtons[2]->setText(text(Text::NetworkButton));
    m_baudLabel->setText(text(Text::BaudLabel));
    m_portLabel->setText(text(Text::NetworkPortLabel));
    m_openButton->setText(text(Text::OpenButton));
    m_closeButton->setText(text(Text::CloseButton));
    m_portScanButton->setText(text(Text::PortScanButton));
    m_networkScanButton->setText(text(Text::NetworkScanButton));
    m_serialNumberLabel->setText(text(Text::SerialNumberLabel));
    m_firmwareLabel->setText(text(Text::FirmwareVersionLabel));
    m_hardwareLabel->setText(text(Text::HardwareVersionLabel));
    m_exportButton->setText(text(Text::ExportProfileButton));
    m_importButton->setText(text(Text::ImportProfileButton));
    m_relayCloseButton->setText(text(Text::RelayCloseButton));
    m_relayReleaseButton->setText(text(Text::RelayReleaseButton));
    m_maintenanceButton->setText(text(Text::MaintenanceButton));
    m_languageLabel->setText(text(Text::LanguageLabel));
    m_skinButton->setToolTip(text(Text::SkinButtonTip));
    nameFields(text);
}

void CConnectionPanel::nameFields(const TextLookup &text)
{
    accessible::labelField(m_baudLabel, m_baudList);
    accessible::labelField(m_portLabel, m_portField);
    accessible::labelField(m_serialNumberLabel, m_serialNumberField);
    accessible::labelField(m_firmwareLabel, m_firmwareField);
    accessible::labelField(m_hardwareLabel, m_hardwareField);
    accessible::labelField(m_languageLabel, m_languageList);
    // These fields sit under their transport's button, which is their caption.
    m_serialList->setAccessibleName(text(Text::SerialButton));
    m_usbList->setAccessibleName(text(Text::UsbButton));
    m_ipField->setAccessibleName(text(Text::NetworkButton));
}

void CConnectionPanel::setDeviceLists(const QStringList &serialPorts, const QStringList &usbDevices)
{
    m_serialList->clear();
    m_serialList->addItems(serialPorts);
    m_serialList->setCurrentIndex(serialPorts.isEmpty() ? -1 : 0);
    m_usbList->clear();
    m_usbList->addItems(usbDevices);
    m_usbList->setCurrentIndex(usbDevices.isEmpty() ? -1 : 0);
}

void CConnectionPanel::putConfiguration(const CConfigStore &config)
{
    selectTransport(config.transport());
    setNetworkFields(config.devIp(), QString::number(config.devPort()));
    showClosed();
    selectPosition(m_serialList, config.comNum());
    selectPosition(m_usbList, config.usbNum());
    selectPosition(m_baudList, config.comBaud());
    m_languageList->clear();
    m_languageList->addItems(config.languageNames());
    selectPosition(m_languageList, config.languagePosition());
}

Transport CConnectionPanel::chosenTransport(Transport current) const
{
    const int checked = m_transportGroup->checkedId();
    return checked >= 0 ? static_cast<Transport>(checked) : current;
}

std::optional<OpenRequest> CConnectionPanel::openRequest(Transport transport) const
{
    OpenRequest request;
    request.transport = transport;
    switch (transport) {
    case Transport::Serial:
        request.portName = CMyFunc::toNarrow(serialPortName());
        request.baudRate = baudRate();
        if (request.portName.isEmpty())
            return std::nullopt;
        break;
    case Transport::Usb:
        if (usbPosition() < 0)
            return std::nullopt;
        request.usbPosition = static_cast<std::uint16_t>(usbPosition());
        break;
    case Transport::Network:
        request.ipAddress = CMyFunc::toNarrow(ipAddressText());
        request.port = static_cast<std::uint16_t>(portText().toInt() & 0xFFFF);
        break;
    }
    return request;
}

void CConnectionPanel::rememberOpen(Transport transport, CConfigStore &config) const
{
    switch (transport) {
    case Transport::Serial:
        config.rememberSerialOpen(serialPosition(), baudPosition());
        break;
    case Transport::Usb:
        config.rememberUsbOpen(usbPosition());
        break;
    case Transport::Network:
        config.rememberNetworkOpen(ipAddressText(), portText());
        break;
    }
}

QString CConnectionPanel::serialPortName() const
{
    return m_serialList->currentText().trimmed();
}

int CConnectionPanel::serialPosition() const
{
    return std::max(m_serialList->currentIndex(), 0);
}

int CConnectionPanel::baudPosition() const
{
    return m_baudList->currentIndex();
}

int CConnectionPanel::baudRate() const
{
    return readertransport::baudRateOfCode(baudPosition()).value_or(defaultBaudRate);
}

int CConnectionPanel::usbPosition() const
{
    return m_usbList->currentIndex();
}

QString CConnectionPanel::ipAddressText() const
{
    const QStringList parts = m_ipField->text().split(u'.');
    QStringList numbers;
    for (int index = 0; index < 4; ++index)
        numbers.append(QString::number(std::clamp(parts.value(index).toInt(), 0, 255)));
    return numbers.join(u'.');
}

QString CConnectionPanel::portText() const
{
    return m_portField->text();
}

void CConnectionPanel::selectTransport(Transport transport)
{
    m_transportButtons[static_cast<std::size_t>(buttonId(transport))]->setChecked(true);
}

void CConnectionPanel::setNetworkFields(const QString &ipAddress, const QString &portText)
{
    const std::optional<std::array<int, 4>> address = parseDottedAddress(ipAddress);
    m_ipField->setText(address ? QStringLiteral("%1.%2.%3.%4")
                                     .arg((*address)[0])
                                     .arg((*address)[1])
                                     .arg((*address)[2])
                                     .arg((*address)[3])
                               : QString());
    m_portField->setText(portText.left(maxPortDigits));
}

void CConnectionPanel::showEndpoint(const ReaderEndpoint &endpoint)
{
    if (const auto *serial = std::get_if<SerialEndpoint>(&endpoint)) {
        const std::optional<int> code
            = serial->baudRate ? readertransport::baudCodeOfRate(*serial->baudRate) : std::nullopt;
        selectPosition(m_baudList, code.value_or(-1));
        return;
    }
    const auto &network = std::get<NetworkEndpoint>(endpoint);
    setNetworkFields(network.address, QString::number(network.port));
}

void CConnectionPanel::showState(CConnection::State state, bool relayAvailable)
{
    switch (state) {
    case CConnection::State::Closed:
        showClosed();
        break;
    case CConnection::State::Opening:
    case CConnection::State::Closing:
        showBusy();
        break;
    case CConnection::State::Open:
        showOpen(relayAvailable);
        break;
    }
}

void CConnectionPanel::showClosed()
{
    unsetCursor();
    m_openButton->setEnabled(true);
    m_closeButton->setEnabled(false);
    m_relayCloseButton->setEnabled(false);
    m_relayReleaseButton->setEnabled(false);
    m_maintenanceButton->setEnabled(false);
    setProfileButtonsEnabled(false);
}

void CConnectionPanel::showBusy()
{
    m_openButton->setEnabled(false);
    m_closeButton->setEnabled(false);
    m_maintenanceButton->setEnabled(false);
    setProfileButtonsEnabled(false);
    setCursor(Qt::BusyCursor);
}

void CConnectionPanel::showOpen(bool relayAvailable)
{
    unsetCursor();
    m_openButton->setEnabled(false);
    m_closeButton->setEnabled(true);
    m_maintenanceButton->setEnabled(true);
    m_relayCloseButton->setEnabled(relayAvailable);
    m_relayReleaseButton->setEnabled(relayAvailable);
}

void CConnectionPanel::setProfileButtonsEnabled(bool enabled)
{
    m_exportButton->setEnabled(enabled);
    m_importButton->setEnabled(enabled);
}

void CConnectionPanel::showIdentity(
    const QString &serialNumber, const QString &firmware, const QString &hardware)
{
    m_serialNumberField->setText(serialNumber);
    m_firmwareField->setText(firmware);
    m_hardwareField->setText(hardware);
}
