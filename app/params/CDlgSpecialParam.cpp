#include "params/CDlgSpecialParam.h"

#include "kit/Accessible.h"
#include "param_records.h"
#include "params/ParamPageParts.h"
#include "reader/CReaderEvents.h"
#include "reader_family.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace {

// Every family's special record has the same fields.
constexpr auto anyFamily = readerfamily::Family::Unknown;

// The layout's own captions, shown while no language file supplies the texts.
constexpr std::array<parampage::LayoutCaption, 9> layoutCaptions { {
    { "password_enable", "密码使能" },
    { "password", "密码:" },
    { "mask_enable", "掩码功能" },
    { "mask_start", "起始地址(HEX):" },
    { "mask_data", "掩码数据(HEX):" },
    { "condition", "条件(OnlyForEPC):" },
    { "relay", "继电器" },
    { "cache", "缓存使能" },
    { "protocol_enable", "协议使能" },
} };

} // namespace

CDlgSpecialParam::CDlgSpecialParam(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
    , m_form(record::specialRecord, anyFamily, parampage::fieldCaptions(services, layoutCaptions))
{
    setObjectName(QStringLiteral("CDlgSpecialParam"));
    buildControls();
    followDeviceType();
    connect(&services.events(), &CReaderEvents::connectionChanged, this, [this](bool open) {
        if (open)
            followDeviceType();
    });
}

// ---- Controls ----------------------------------------------------------------------------

void CDlgSpecialParam::buildControls()
{
    // One column: the protocol presets are long and get the page's whole width.
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->addWidget(buildPermissionGroup());
    column->addWidget(buildOutputGroup());
    column->addStretch(1);
    parampage::layOutScrolling(this, content, buildButtonRow());
}

QGroupBox *CDlgSpecialParam::buildPermissionGroup()
{
    auto *group = new QGroupBox(caption(Text::ReadPermissionGroup, "读卡权限"), this);
    group->setObjectName(QStringLiteral("permissionGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form, { .field = "password_enable", .objectName = "passwordEnableCheck" });
    m_form.addRow(form, { .field = "password", .objectName = "passwordEdit" });
    m_form.addRow(form, { .field = "mask_enable", .objectName = "maskEnableCheck" });
    m_form.addRow(form, { .field = "mask_start", .objectName = "maskStartEdit" });
    m_form.addRow(form, { .field = "mask_data", .objectName = "maskDataEdit" });
    m_form.addRow(form,
        { .field = "condition",
            .objectName = "conditionList",
            .items = { text(Text::FirstConditionItem), text(Text::SecondConditionItem) } });
    return group;
}

QGroupBox *CDlgSpecialParam::buildOutputGroup()
{
    auto *group = new QGroupBox(caption(Text::OutputControlGroup, "输出控制"), this);
    group->setObjectName(QStringLiteral("outputGroup"));
    auto *form = new QFormLayout(group);
    m_form.addRow(form, { .field = "relay", .objectName = "relayCheck" });
    // Its label is disabled with it on a reader without a relay.
    QWidget *relayTime
        = m_form.makeControl(group, { .field = "relay_time", .objectName = "relayTimeEdit" });
    m_relayTimeLabel = new QLabel(caption(Text::RelayTimeLabel, "有效时间(S):"), group);
    m_relayTimeLabel->setObjectName(QStringLiteral("relayTimeLabel"));
    accessible::labelField(m_relayTimeLabel, relayTime);
    form->addRow(m_relayTimeLabel, relayTime);
    m_form.addRow(form, { .field = "cache", .objectName = "cacheCheck" });
    QWidget *protocolEnable = m_form.makeControl(
        group, { .field = "protocol_enable", .objectName = "protocolEnableCheck" });
    auto *protocol = qobject_cast<QComboBox *>(m_form.makeControl(group,
        { .field = "protocol", .objectName = "protocolList", .items = services().protocols() }));
    protocol->setAccessibleName(QStringLiteral("Output protocol"));
    // Presets are long ("1,0x02 Head HexID 0x03 0x0D 0x0A end"): the list shows them whole.
    protocol->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *protocolRow = new QHBoxLayout;
    protocolRow->addWidget(protocolEnable);
    protocolRow->addWidget(protocol, 1);
    form->addRow(protocolRow);
    return group;
}

QWidget *CDlgSpecialParam::buildButtonRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->addStretch(1);
    layout->addWidget(addBusyButton(
        m_busy, "readButton", caption(Text::ReadButton, "读取"), &CDlgSpecialParam::read));
    layout->addWidget(addBusyButton(
        m_busy, "setButton", caption(Text::SetButton, "设置"), &CDlgSpecialParam::set));
    return row;
}

// ---- Operations --------------------------------------------------------------------------

// Disabled controls keep their values: Set still writes them.
void CDlgSpecialParam::followDeviceType()
{
    const bool relay = readerfamily::traitsOfType(services().deviceType()).hasRelay;
    for (QWidget *control : std::initializer_list<QWidget *> {
             m_form.control("relay"), m_relayTimeLabel, m_form.control("relay_time") })
        control->setEnabled(relay);
}

void CDlgSpecialParam::readParameters()
{
    read();
}

void CDlgSpecialParam::read()
{
    const bool started = runWhileBusy(
        m_busy,
        [](IReader &reader) {
            return reader.readRecord(RecordKind::Special, readerfamily::specialRecord.read);
        },
        [this](const std::optional<ParamRecord> &record) {
            if (!record) {
                log(Text::OperationFailed);
                return;
            }
            log(Text::OperationSucceeded);
            showRecord(*record);
        });
    // A reader of another type may be connected since the last read.
    if (started)
        followDeviceType();
}

void CDlgSpecialParam::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    if (kind == RecordKind::Special)
        showRecord(record);
}

void CDlgSpecialParam::set()
{
    const ParamRecord record { m_lead, recordFromControls() };
    runWhileBusy(
        m_busy,
        [record](IReader &reader) { return reader.writeRecord(RecordKind::Special, record); },
        [this](bool written) { log(written ? Text::OperationSucceeded : Text::OperationFailed); });
}

// ---- Showing and taking the record -------------------------------------------------------

void CDlgSpecialParam::showRecord(const ParamRecord &record)
{
    m_lead = record.lead;
    m_form.show(record.bytes);
}

// The write length, every other byte 0.
Bytes CDlgSpecialParam::recordFromControls() const
{
    Bytes bytes(std::size_t(readerfamily::specialRecord.write), 0);
    record::encode(record::specialRecord, m_form.values(), anyFamily, bytes);
    return bytes;
}
