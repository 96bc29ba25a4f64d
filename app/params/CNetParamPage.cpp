#include "params/CNetParamPage.h"

#include "kit/CShellPrompts.h"
#include "param_records.h"
#include "params/ParamPageParts.h"
#include "params/RecordText.h"
#include "reader_family.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>
#include <chrono>
#include <thread>

namespace {

// Every family's network record has the same fields.
constexpr auto anyFamily = readerfamily::Family::Unknown;

// The layout's own captions, shown while no language file supplies the texts.
constexpr std::array<parampage::LayoutCaption, 15> layoutCaptions { {
    { "mac", "MAC地址:" },
    { "ip_address", "IP地址:" },
    { "subnet_mask", "子网掩码:" },
    { "gateway", "默认网关:" },
    { "local_port", "本地端口:" },
    { "dhcp", "打开DHCP" },
    { "ssid", "路由SSID:" },
    { "wifi_password", "WIFI密码:" },
    { "remote_ip", "远程IP:" },
    { "remote_port", "远程端口:" },
    { "dns", "打开DNS" },
    { "domain", "DNS域名:" },
    { "heartbeat", "心跳时间:" },
    { "gps", "打开GPS" },
    { "gps_interval", "上传间隔:" },
} };

constexpr auto pauseBeforeReboot = std::chrono::milliseconds(100);
constexpr auto pauseAfterDefault = std::chrono::milliseconds(50);

} // namespace

CNetParamPage::CNetParamPage(IMainWindowServices &services, QWidget *parent, Kind kind)
    : CPage(services, parent)
    , m_kind(kind)
    , m_form(record::networkRecord, anyFamily, parampage::fieldCaptions(services, layoutCaptions))
{
    buildControls();
}

CNetParamPage::~CNetParamPage() = default;

int CNetParamPage::writeLength() const
{
    return m_kind == Kind::Fir ? readerfamily::firNetworkRecordWrite
                               : readerfamily::networkRecord.write;
}

// ---- Controls ----------------------------------------------------------------------------

void CNetParamPage::buildControls()
{
    auto *content = new QWidget;
    auto *columns = new QGridLayout(content);
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;
    left->addWidget(buildNetworkGroup());
    left->addWidget(buildWifiGroup());
    right->addWidget(buildRemoteGroup());
    if (m_kind == Kind::Fir) {
        left->addWidget(buildGpsGroup());
        right->addWidget(buildGprsGroup());
    }
    left->addStretch(1);
    right->addStretch(1);
    columns->addLayout(left, 0, 0);
    columns->addLayout(right, 0, 1);
    parampage::layOutScrolling(this, content, buildButtonRow());
}

QGroupBox *CNetParamPage::buildNetworkGroup()
{
    auto *group = new QGroupBox(caption(Text::NetworkGroup, "网络参数"), this);
    group->setObjectName(QStringLiteral("networkGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form, { .field = "mac", .objectName = "macEdit" });
    m_form.addRow(form, { .field = "ip_address", .objectName = "ipAddressEdit" });
    m_form.addRow(form, { .field = "subnet_mask", .objectName = "subnetMaskEdit" });
    m_form.addRow(form, { .field = "gateway", .objectName = "gatewayEdit" });
    m_form.addRow(form, { .field = "local_port", .objectName = "localPortEdit" });
    m_form.addRow(form, { .field = "dhcp", .objectName = "dhcpCheck" });
    return group;
}

QGroupBox *CNetParamPage::buildWifiGroup()
{
    auto *group = new QGroupBox(caption(Text::WifiGroup, "WIFI参数"), this);
    group->setObjectName(QStringLiteral("wifiGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form, { .field = "ssid", .objectName = "ssidEdit" });
    m_form.addRow(form, { .field = "wifi_password", .objectName = "wifiPasswordEdit" });
    return group;
}

QGroupBox *CNetParamPage::buildRemoteGroup()
{
    auto *group = new QGroupBox(caption(Text::RemoteGroup, "远程参数"), this);
    group->setObjectName(QStringLiteral("remoteGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form, { .field = "remote_ip", .objectName = "remoteIpEdit" });
    m_form.addRow(form, { .field = "remote_port", .objectName = "remotePortEdit" });
    m_form.addRow(form, { .field = "dns", .objectName = "dnsCheck" });
    connect(
        m_form.control<QCheckBox>("dns"), &QCheckBox::toggled, this, &CNetParamPage::dnsToggled);
    m_form.addRow(form, { .field = "domain", .objectName = "domainEdit" });
    auto *hint = new QLabel(text(Text::DomainNameHint), group);
    hint->setObjectName(QStringLiteral("domainHint"));
    form->addRow(QString(), hint);
    m_form.addRow(form,
        { .field = "heartbeat",
            .objectName = "heartbeatEdit",
            .note = caption(Text::TenSecondsUnitLabel, "(0 - 255) 单位 *10 秒") });
    return group;
}

QGroupBox *CNetParamPage::buildGpsGroup()
{
    auto *group = new QGroupBox(caption(Text::GpsGroup, "GPS参数"), this);
    group->setObjectName(QStringLiteral("gpsGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form, { .field = "gps", .objectName = "gpsCheck" });
    m_form.addRow(form,
        { .field = "gps_interval",
            .objectName = "gpsIntervalEdit",
            .note = caption(Text::TenSecondsUnitLabel, "(0 - 255) 单位 *10 秒") });
    form->addRow(addBusyButton(
        m_busy, "getGpsButton", caption(Text::GetGpsButton, "获取GPS"), &CNetParamPage::getGps));
    return group;
}

// The APN captions are the modem's own words, in no language file.
QGroupBox *CNetParamPage::buildGprsGroup()
{
    auto *group = new QGroupBox(caption(Text::GprsGroup, "GPRS参数"), this);
    group->setObjectName(QStringLiteral("gprsGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form,
        { .field = "auto_apn",
            .objectName = "autoApnCheck",
            .caption = QStringLiteral("AutoAPN") });
    connect(m_form.control<QCheckBox>("auto_apn"), &QCheckBox::toggled, this,
        &CNetParamPage::autoApnToggled);
    m_form.addRow(
        form, { .field = "apn", .objectName = "apnEdit", .caption = QStringLiteral("Apn:") });
    m_form.addRow(form,
        { .field = "apn_user",
            .objectName = "apnUserEdit",
            .caption = QStringLiteral("ApnUser:") });
    m_form.addRow(form,
        { .field = "apn_password",
            .objectName = "apnPasswordEdit",
            .caption = QStringLiteral("ApnPass:") });
    return group;
}

QWidget *CNetParamPage::buildButtonRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->addStretch(1);
    layout->addWidget(addBusyButton(
        m_busy, "readButton", caption(Text::ReadButton, "读取"), &CNetParamPage::read));
    layout->addWidget(
        addBusyButton(m_busy, "setButton", caption(Text::SetButton, "设置"), &CNetParamPage::set));
    layout->addWidget(addBusyButton(m_busy, "defaultButton",
        caption(Text::DefaultButton, "恢复默认"), &CNetParamPage::restoreDefaults));
    if (m_kind == Kind::Plain) {
        m_rebootButton = addBusyButton(
            m_busy, "rebootButton", caption(Text::RebootButton, "重启"), &CNetParamPage::reboot);
        m_rebootButton->hide();
        layout->addWidget(m_rebootButton);
    }
    return row;
}

// ---- Operations --------------------------------------------------------------------------

void CNetParamPage::readParameters()
{
    read();
}

void CNetParamPage::read()
{
    runWhileBusy(
        m_busy,
        [](IReader &reader) {
            return reader.readRecord(RecordKind::Network, readerfamily::networkRecord.read);
        },
        [this](const std::optional<ParamRecord> &record) { reportRead(record); });
}

void CNetParamPage::reportRead(const std::optional<ParamRecord> &record)
{
    if (!record) {
        log(Text::OperationFailed);
        return;
    }
    log(Text::OperationSucceeded);
    m_lead = record->lead;
    showRecord(record->bytes);
}

void CNetParamPage::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    if (kind != RecordKind::Network)
        return;
    m_lead = record.lead;
    showRecord(record.bytes);
}

void CNetParamPage::set()
{
    const ParamRecord record { m_lead, recordFromControls() };
    // The main window gets what was written, as the reader will use it after the restart.
    const QString address = fieldText(record.bytes, "ip_address");
    const QString port = fieldText(record.bytes, "local_port");
    runWhileBusy(
        m_busy,
        [record](IReader &reader) {
            if (!reader.writeRecord(RecordKind::Network, record))
                return false;
            std::this_thread::sleep_for(pauseBeforeReboot);
            // The reader may restart before it answers: the outcome says nothing.
            reader.reboot();
            return true;
        },
        [this, address, port](bool written) {
            if (!written) {
                log(Text::OperationFailed);
                return;
            }
            log(Text::OperationSucceeded);
            handOver(address, port);
        });
}

void CNetParamPage::restoreDefaults()
{
    runWhileBusy(
        m_busy,
        [](IReader &reader) {
            DefaultOutcome outcome;
            outcome.restored = reader.defaultRecord(RecordKind::Network);
            if (!outcome.restored)
                return outcome;
            std::this_thread::sleep_for(pauseAfterDefault);
            outcome.read = reader.readRecord(RecordKind::Network, readerfamily::networkRecord.read);
            reader.reboot();
            return outcome;
        },
        [this](const DefaultOutcome &outcome) {
            if (!outcome.restored) {
                log(Text::OperationFailed);
                return;
            }
            reportRead(outcome.read);
            log(Text::OperationSucceeded);
            const Bytes shown = recordFromControls();
            handOver(fieldText(shown, "ip_address"), fieldText(shown, "local_port"));
        });
}

void CNetParamPage::reboot()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.reboot(); },
        [this](bool) {
            log(Text::OperationSucceeded);
            services().closeConnection();
        });
}

void CNetParamPage::getGps()
{
    runWhileBusy(
        m_busy, [](IReader &reader) { return reader.gps(); },
        [this](const std::optional<Bytes> &answer) {
            if (!answer) {
                log(Text::OperationFailed);
                return;
            }
            services().prompts().inform(
                caption(Text::ProgramName, "TagBench"), recordtext::fromField(*answer));
        });
}

// The reader restarts with the new settings: the next Open goes to its new address.
void CNetParamPage::handOver(const QString &address, const QString &port)
{
    services().closeConnection();
    services().readerMovedTo(NetworkEndpoint { address, port.toUShort() });
}

// ---- Showing and taking the record -------------------------------------------------------

void CNetParamPage::showRecord(std::span<const std::uint8_t> bytes)
{
    m_form.show(bytes);
    dnsToggled(m_form.control<QCheckBox>("dns")->isChecked());
    if (auto *autoApn = m_form.control<QCheckBox>("auto_apn"))
        autoApnToggled(autoApn->isChecked());
}

// The page's fields in its write length, every other byte 0.
Bytes CNetParamPage::recordFromControls() const
{
    record::Values values = m_form.values();
    std::erase_if(values, [this](const auto &value) { return !m_form.control(value.first); });
    Bytes bytes(std::size_t(writeLength()), 0);
    record::encode(record::networkRecord, values, anyFamily, bytes);
    return bytes;
}

QString CNetParamPage::fieldText(std::span<const std::uint8_t> bytes, std::string_view name) const
{
    const record::Field &field = *m_form.field(name);
    return QString::fromStdString(record::textOf(field, record::decode(field, bytes)));
}

// With DNS on the reader uses the domain name; the remote address keeps its value.
void CNetParamPage::dnsToggled(bool on)
{
    m_form.control("remote_ip")->setEnabled(!on);
}

// With AutoAPN on the modem chooses its access point itself.
void CNetParamPage::autoApnToggled(bool on)
{
    for (const std::string_view field : { "apn", "apn_user", "apn_password" })
        m_form.control(field)->setEnabled(!on);
}
