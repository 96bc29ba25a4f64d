#include "params/CNetParamPage.h"

#include "kit/CShellPrompts.h"
#include "params/CParamInput.h"
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

#include <chrono>
#include <thread>

using netparam::NetParamForm;
using parampage::addCheck;
using parampage::addEdit;

namespace {

constexpr int applicationNameText = 1000;
constexpr int networkGroupText = 1102;
constexpr int macText = 1103;
constexpr int ipAddressText = 1104;
constexpr int subnetMaskText = 1105;
constexpr int gatewayText = 1106;
constexpr int localPortText = 1107;
constexpr int wifiGroupText = 1108;
constexpr int ssidText = 1109;
constexpr int wifiPasswordText = 1110;
constexpr int remoteGroupText = 1111;
constexpr int remoteIpText = 1112;
constexpr int remotePortText = 1113;
constexpr int domainText = 1114;
constexpr int domainHintText = 1115;
constexpr int heartbeatText = 1116;
constexpr int tenSecondsText = 1117;
constexpr int dhcpText = 1118;
constexpr int dnsText = 1119;
constexpr int rebootText = 1120;
constexpr int readText = 1087;
constexpr int setText = 1088;
constexpr int defaultText = 1089;
constexpr int gpsGroupText = 1240;
constexpr int gpsIntervalText = 1241;
constexpr int getGpsText = 1242;
constexpr int gpsOnText = 1243;
constexpr int gprsGroupText = 1244;

constexpr auto pauseBeforeReboot = std::chrono::milliseconds(100);
constexpr auto pauseAfterDefault = std::chrono::milliseconds(50);

} // namespace

CNetParamPage::CNetParamPage(IMainWindowServices &services, QWidget *parent, Kind kind)
    : CPage(services, parent)
    , m_kind(kind)
    , m_ownPrompts(std::make_unique<CWidgetPrompts>(this))
    , m_prompts(m_ownPrompts.get())
{
    buildControls();
}

CNetParamPage::~CNetParamPage() = default;

void CNetParamPage::setPrompts(IShellPrompts *prompts)
{
    m_prompts = prompts;
}

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
    auto *group = new QGroupBox(caption(networkGroupText, "网络参数"), this);
    group->setObjectName(QStringLiteral("networkGroup"));
    auto *form = new QFormLayout(group);
    m_mac = addEdit(form, "macEdit", caption(macText, "MAC地址:"));
    CParamInput::limitHex(m_mac, netparam::macDigits);
    m_ipAddress = addEdit(form, "ipAddressEdit", caption(ipAddressText, "IP地址:"));
    m_subnetMask = addEdit(form, "subnetMaskEdit", caption(subnetMaskText, "子网掩码:"));
    m_gateway = addEdit(form, "gatewayEdit", caption(gatewayText, "默认网关:"));
    for (QLineEdit *edit : {m_ipAddress, m_subnetMask, m_gateway})
        CParamInput::limitIpAddress(edit);
    m_localPort = addEdit(form, "localPortEdit", caption(localPortText, "本地端口:"));
    CParamInput::limitDecimal(m_localPort, netparam::portDigits);
    m_dhcp = addCheck(form, "dhcpCheck", caption(dhcpText, "打开DHCP"));
    return group;
}

QGroupBox *CNetParamPage::buildWifiGroup()
{
    auto *group = new QGroupBox(caption(wifiGroupText, "WIFI参数"), this);
    group->setObjectName(QStringLiteral("wifiGroup"));
    auto *form = new QFormLayout(group);
    m_ssid = addEdit(form, "ssidEdit", caption(ssidText, "路由SSID:"));
    CParamInput::limitText(m_ssid, netparam::ssidField.width);
    m_wifiPassword = addEdit(form, "wifiPasswordEdit", caption(wifiPasswordText, "WIFI密码:"));
    CParamInput::limitText(m_wifiPassword, netparam::wifiPasswordField.width);
    return group;
}

QGroupBox *CNetParamPage::buildRemoteGroup()
{
    auto *group = new QGroupBox(caption(remoteGroupText, "远程参数"), this);
    group->setObjectName(QStringLiteral("remoteGroup"));
    auto *form = new QFormLayout(group);
    m_remoteIp = addEdit(form, "remoteIpEdit", caption(remoteIpText, "远程IP:"));
    CParamInput::limitIpAddress(m_remoteIp);
    m_remotePort = addEdit(form, "remotePortEdit", caption(remotePortText, "远程端口:"));
    CParamInput::limitDecimal(m_remotePort, netparam::portDigits);
    m_dns = addCheck(form, "dnsCheck", caption(dnsText, "打开DNS"));
    connect(m_dns, &QCheckBox::toggled, this, &CNetParamPage::dnsToggled);
    m_domain = addEdit(form, "domainEdit", caption(domainText, "DNS域名:"));
    CParamInput::limitText(m_domain, netparam::domainField.width);
    auto *hint = new QLabel(text(domainHintText), group);
    hint->setObjectName(QStringLiteral("domainHint"));
    form->addRow(QString(), hint);
    m_heartbeat = addEdit(form, "heartbeatEdit", caption(heartbeatText, "心跳时间:"),
        caption(tenSecondsText, "(0 - 255) 单位 *10 秒"));
    CParamInput::limitDecimal(m_heartbeat, netparam::byteDigits);
    return group;
}

QGroupBox *CNetParamPage::buildGpsGroup()
{
    auto *group = new QGroupBox(caption(gpsGroupText, "GPS参数"), this);
    group->setObjectName(QStringLiteral("gpsGroup"));
    auto *form = new QFormLayout(group);
    m_gps = addCheck(form, "gpsCheck", caption(gpsOnText, "打开GPS"));
    m_gpsInterval = addEdit(form, "gpsIntervalEdit", caption(gpsIntervalText, "上传间隔:"),
        caption(tenSecondsText, "(0 - 255) 单位 *10 秒"));
    CParamInput::limitDecimal(m_gpsInterval, netparam::byteDigits);
    form->addRow(addButton("getGpsButton", caption(getGpsText, "获取GPS"), &CNetParamPage::getGps));
    return group;
}

QGroupBox *CNetParamPage::buildGprsGroup()
{
    auto *group = new QGroupBox(caption(gprsGroupText, "GPRS参数"), this);
    group->setObjectName(QStringLiteral("gprsGroup"));
    auto *form = new QFormLayout(group);
    m_autoApn = addCheck(form, "autoApnCheck", QStringLiteral("AutoAPN"));
    connect(m_autoApn, &QCheckBox::toggled, this, &CNetParamPage::autoApnToggled);
    m_apn = addEdit(form, "apnEdit", QStringLiteral("Apn:"));
    CParamInput::limitText(m_apn, netparam::apnField.width);
    m_apnUser = addEdit(form, "apnUserEdit", QStringLiteral("ApnUser:"));
    CParamInput::limitText(m_apnUser, netparam::apnUserField.width);
    m_apnPassword = addEdit(form, "apnPasswordEdit", QStringLiteral("ApnPass:"));
    CParamInput::limitText(m_apnPassword, netparam::apnPasswordField.width);
    return group;
}

QWidget *CNetParamPage::buildButtonRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->addStretch(1);
    layout->addWidget(addButton("readButton", caption(readText, "读取"), &CNetParamPage::read));
    layout->addWidget(addButton("setButton", caption(setText, "设置"), &CNetParamPage::set));
    layout->addWidget(addButton(
        "defaultButton", caption(defaultText, "恢复默认"), &CNetParamPage::restoreDefaults));
    if (m_kind == Kind::Plain) {
        m_rebootButton
            = addButton("rebootButton", caption(rebootText, "重启"), &CNetParamPage::reboot);
        m_rebootButton->hide();
        layout->addWidget(m_rebootButton);
    }
    return row;
}

QPushButton *CNetParamPage::addButton(
    const char *name, const QString &caption, void (CNetParamPage::*operation)())
{
    QPushButton *button = parampage::addButton(this, m_busy, name, caption);
    connect(button, &QPushButton::clicked, this, operation);
    return button;
}

// ---- Operations --------------------------------------------------------------------------

void CNetParamPage::log(int key)
{
    services().postLog(text(key));
}

void CNetParamPage::readParameters()
{
    read();
}

void CNetParamPage::read()
{
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy,
        [](IReader &reader) {
            return reader.readRecord(RecordKind::Network, readerfamily::networkRecord.read);
        },
        [this](const std::optional<ParamRecord> &record) { reportRead(record); });
}

void CNetParamPage::reportRead(const std::optional<ParamRecord> &record)
{
    if (!record) {
        log(failureText);
        return;
    }
    log(successText);
    m_lead = record->lead;
    showForm(netparam::showRecord(record->bytes));
}

void CNetParamPage::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    if (kind != RecordKind::Network)
        return;
    m_lead = record.lead;
    showForm(netparam::showRecord(record.bytes));
}

void CNetParamPage::set()
{
    if (!services().isConnected())
        return;
    const NetParamForm form = formFromControls();
    const ParamRecord record{m_lead, netparam::buildRecord(form, m_kind == Kind::Fir, writeLength())};
    // The main window gets what was written, as the reader will use it after the restart.
    const QString address = netparam::addressText(netparam::addressBytes(form.ipAddress));
    const QString port = QString::number(CParamInput::leadingDecimal(form.localPort));
    parampage::run(
        this, services(), m_busy,
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
                log(failureText);
                return;
            }
            log(successText);
            handOver(address, port);
        });
}

void CNetParamPage::restoreDefaults()
{
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy,
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
                log(failureText);
                return;
            }
            reportRead(outcome.read);
            log(successText);
            const NetParamForm shown = formFromControls();
            handOver(netparam::addressText(netparam::addressBytes(shown.ipAddress)),
                QString::number(CParamInput::leadingDecimal(shown.localPort)));
        });
}

void CNetParamPage::reboot()
{
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy, [](IReader &reader) { return reader.reboot(); },
        [this](bool) {
            log(successText);
            services().closeConnection();
        });
}

void CNetParamPage::getGps()
{
    if (!services().isConnected())
        return;
    parampage::run(
        this, services(), m_busy, [](IReader &reader) { return reader.gps(); },
        [this](const std::optional<Bytes> &answer) {
            if (!answer) {
                log(failureText);
                return;
            }
            m_prompts->inform(caption(applicationNameText, "TagBench"),
                recordtext::fromField(*answer));
        });
}

// The reader restarts with the new settings: the next Open goes to its new address.
void CNetParamPage::handOver(const QString &address, const QString &port)
{
    services().closeConnection();
    services().readerMovedTo(NetworkEndpoint{address, port.toUShort()});
}

// ---- Showing and taking the record -------------------------------------------------------

void CNetParamPage::showForm(const NetParamForm &form)
{
    m_mac->setText(form.mac);
    m_ipAddress->setText(form.ipAddress);
    m_subnetMask->setText(form.subnetMask);
    m_gateway->setText(form.gateway);
    m_remoteIp->setText(form.remoteIp);
    m_localPort->setText(form.localPort);
    m_remotePort->setText(form.remotePort);
    m_dhcp->setChecked(form.dhcp);
    m_dns->setChecked(form.dns);
    dnsToggled(form.dns);
    m_heartbeat->setText(form.heartbeat);
    m_domain->setText(form.domain);
    m_ssid->setText(form.ssid);
    m_wifiPassword->setText(form.wifiPassword);
    if (m_kind != Kind::Fir)
        return;
    m_gps->setChecked(form.gps);
    m_gpsInterval->setText(form.gpsInterval);
    m_autoApn->setChecked(form.autoApn);
    autoApnToggled(form.autoApn);
    m_apn->setText(form.apn);
    m_apnUser->setText(form.apnUser);
    m_apnPassword->setText(form.apnPassword);
}

NetParamForm CNetParamPage::formFromControls() const
{
    NetParamForm form;
    form.mac = m_mac->text();
    form.ipAddress = m_ipAddress->text();
    form.subnetMask = m_subnetMask->text();
    form.gateway = m_gateway->text();
    form.remoteIp = m_remoteIp->text();
    form.localPort = m_localPort->text();
    form.remotePort = m_remotePort->text();
    form.dhcp = m_dhcp->isChecked();
    form.dns = m_dns->isChecked();
    form.heartbeat = m_heartbeat->text();
    form.domain = m_domain->text();
    form.ssid = m_ssid->text();
    form.wifiPassword = m_wifiPassword->text();
    if (m_kind == Kind::Fir) {
        form.gps = m_gps->isChecked();
        form.gpsInterval = m_gpsInterval->text();
        form.autoApn = m_autoApn->isChecked();
        form.apn = m_apn->text();
        form.apnUser = m_apnUser->text();
        form.apnPassword = m_apnPassword->text();
    }
    return form;
}

// With DNS on the reader uses the domain name; the remote address keeps its value.
void CNetParamPage::dnsToggled(bool on)
{
    m_remoteIp->setEnabled(!on);
}

// With AutoAPN on the modem chooses its access point itself.
void CNetParamPage::autoApnToggled(bool on)
{
    for (QLineEdit *edit : {m_apn, m_apnUser, m_apnPassword})
        edit->setEnabled(!on);
}
