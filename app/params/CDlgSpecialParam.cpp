#include "params/CDlgSpecialParam.h"

#include "kit/CAccessible.h"
#include "kit/CReaderEvents.h"
#include "params/CParamInput.h"
#include "params/ParamPageParts.h"
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

using specialparam::SpecialParamForm;

namespace {

constexpr int permissionGroupText = 1125;
constexpr int passwordText = 1126;
constexpr int maskStartText = 1127;
constexpr int maskDataText = 1128;
constexpr int outputGroupText = 1129;
constexpr int relayTimeText = 1130;
constexpr int passwordEnableText = 1131;
constexpr int maskEnableText = 1132;
constexpr int relayText = 1133;
constexpr int cacheText = 1151;
constexpr int protocolEnableText = 1152;
constexpr int conditionText = 1246;
constexpr int readText = 1087;
constexpr int setText = 1088;

// A value outside the list leaves it without selection.
void showList(QComboBox *list, int value)
{
    list->setCurrentIndex(value < list->count() ? value : -1);
}

int listValue(const QComboBox *list, int kept)
{
    return list->currentIndex() >= 0 ? list->currentIndex() : kept;
}

} // namespace

CDlgSpecialParam::CDlgSpecialParam(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
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
    auto *group = new QGroupBox(caption(permissionGroupText, "读卡权限"), this);
    group->setObjectName(QStringLiteral("permissionGroup"));
    auto *form = new QFormLayout(group);
    m_passwordEnable
        = parampage::addCheck(form, "passwordEnableCheck", caption(passwordEnableText, "密码使能"));
    m_password = parampage::addEdit(form, "passwordEdit", caption(passwordText, "密码:"));
    CParamInput::limitHex(m_password, specialparam::passwordDigits);
    m_maskEnable = parampage::addCheck(form, "maskEnableCheck", caption(maskEnableText, "掩码功能"));
    m_maskStart
        = parampage::addEdit(form, "maskStartEdit", caption(maskStartText, "起始地址(HEX):"));
    CParamInput::limitHex(m_maskStart, specialparam::maskStartDigits);
    m_maskData = parampage::addEdit(form, "maskDataEdit", caption(maskDataText, "掩码数据(HEX):"));
    CParamInput::limitHex(m_maskData, specialparam::maskDigits);
    m_condition = new QComboBox(group);
    m_condition->setObjectName(QStringLiteral("conditionList"));
    m_condition->addItems({text(firstConditionText), text(secondConditionText)});
    auto *conditionLabel = new QLabel(caption(conditionText, "条件(OnlyForEPC):"), group);
    CAccessible::labelField(conditionLabel, m_condition);
    form->addRow(conditionLabel, m_condition);
    return group;
}

QGroupBox *CDlgSpecialParam::buildOutputGroup()
{
    auto *group = new QGroupBox(caption(outputGroupText, "输出控制"), this);
    group->setObjectName(QStringLiteral("outputGroup"));
    auto *form = new QFormLayout(group);
    m_relay = parampage::addCheck(form, "relayCheck", caption(relayText, "继电器"));
    m_relayTime = new QLineEdit(group);
    m_relayTime->setObjectName(QStringLiteral("relayTimeEdit"));
    CParamInput::limitDecimal(m_relayTime, specialparam::relayTimeDigits);
    m_relayTimeLabel = new QLabel(caption(relayTimeText, "有效时间(S):"), group);
    m_relayTimeLabel->setObjectName(QStringLiteral("relayTimeLabel"));
    CAccessible::labelField(m_relayTimeLabel, m_relayTime);
    form->addRow(m_relayTimeLabel, m_relayTime);
    m_cache = parampage::addCheck(form, "cacheCheck", caption(cacheText, "缓存使能"));
    m_protocolEnable = new QCheckBox(caption(protocolEnableText, "协议使能"), group);
    m_protocolEnable->setObjectName(QStringLiteral("protocolEnableCheck"));
    m_protocol = new QComboBox(group);
    m_protocol->setObjectName(QStringLiteral("protocolList"));
    m_protocol->addItems(services().protocols());
    m_protocol->setAccessibleName(QStringLiteral("Output protocol"));
    // Presets are long ("1,0x02 Head HexID 0x03 0x0D 0x0A end"): the list shows them whole.
    m_protocol->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *protocolRow = new QHBoxLayout;
    protocolRow->addWidget(m_protocolEnable);
    protocolRow->addWidget(m_protocol, 1);
    form->addRow(protocolRow);
    return group;
}

QWidget *CDlgSpecialParam::buildButtonRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->addStretch(1);
    QPushButton *readButton
        = parampage::addButton(this, m_busy, "readButton", caption(readText, "读取"));
    connect(readButton, &QPushButton::clicked, this, &CDlgSpecialParam::read);
    QPushButton *setButton
        = parampage::addButton(this, m_busy, "setButton", caption(setText, "设置"));
    connect(setButton, &QPushButton::clicked, this, &CDlgSpecialParam::set);
    layout->addWidget(readButton);
    layout->addWidget(setButton);
    return row;
}

// ---- Operations --------------------------------------------------------------------------

void CDlgSpecialParam::log(int key)
{
    services().postLog(text(key));
}

// Disabled controls keep their values: Set still writes them.
void CDlgSpecialParam::followDeviceType()
{
    const bool relay = readerfamily::traitsOfType(services().deviceType()).hasRelay;
    for (QWidget *control : std::initializer_list<QWidget *>{m_relay, m_relayTimeLabel, m_relayTime})
        control->setEnabled(relay);
}

void CDlgSpecialParam::readParameters()
{
    read();
}

void CDlgSpecialParam::read()
{
    if (!services().isConnected())
        return;
    followDeviceType();
    parampage::run(
        this, services(), m_busy,
        [](IReader &reader) {
            return reader.readRecord(RecordKind::Special, readerfamily::specialRecord.read);
        },
        [this](const std::optional<ParamRecord> &record) {
            if (!record) {
                log(failureText);
                return;
            }
            log(successText);
            m_lead = record->lead;
            showForm(specialparam::showRecord(record->bytes));
        });
}

void CDlgSpecialParam::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    if (kind != RecordKind::Special)
        return;
    m_lead = record.lead;
    showForm(specialparam::showRecord(record.bytes));
}

void CDlgSpecialParam::set()
{
    if (!services().isConnected())
        return;
    const ParamRecord record{
        m_lead, specialparam::buildRecord(formFromControls(), readerfamily::specialRecord.write)};
    parampage::run(
        this, services(), m_busy,
        [record](IReader &reader) { return reader.writeRecord(RecordKind::Special, record); },
        [this](bool written) { log(written ? successText : failureText); });
}

// ---- Showing and taking the record -------------------------------------------------------

void CDlgSpecialParam::showForm(const SpecialParamForm &form)
{
    m_shown = form;
    m_passwordEnable->setChecked(form.passwordEnable);
    m_password->setText(form.password);
    m_maskEnable->setChecked(form.maskEnable);
    m_maskStart->setText(form.maskStart);
    m_maskData->setText(form.maskData);
    m_relay->setChecked(form.relay);
    m_relayTime->setText(form.relayTime);
    m_cache->setChecked(form.cache);
    m_protocolEnable->setChecked(form.protocolEnable);
    showList(m_protocol, form.protocol);
    showList(m_condition, form.condition);
}

SpecialParamForm CDlgSpecialParam::formFromControls() const
{
    SpecialParamForm form;
    form.passwordEnable = m_passwordEnable->isChecked();
    form.password = m_password->text();
    form.maskEnable = m_maskEnable->isChecked();
    form.maskStart = m_maskStart->text();
    form.maskData = m_maskData->text();
    form.relay = m_relay->isChecked();
    form.relayTime = m_relayTime->text();
    form.cache = m_cache->isChecked();
    form.protocolEnable = m_protocolEnable->isChecked();
    form.protocol = listValue(m_protocol, m_shown.protocol);
    form.condition = listValue(m_condition, m_shown.condition);
    return form;
}
