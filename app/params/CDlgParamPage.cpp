#include "params/CDlgParamPage.h"

#include "kit/IMainWindowServices.h"
#include "param_records.h"
#include "params/DeviceRecordRows.h"
#include "params/ParamPageParts.h"
#include "reader/CReaderWorker.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <thread>

using devicerows::Group;
using devicerows::Row;

namespace {

constexpr int antennaBoxes = 8;
constexpr auto pauseAfterDefault = std::chrono::milliseconds(100);

// A number the form shows or takes; 0 when it has none.
int numberIn(const record::Values &values, std::string_view name)
{
    const auto found = values.find(name);
    const auto *number
        = found == values.end() ? nullptr : std::get_if<std::int64_t>(&found->second);
    return number ? int(*number) : 0;
}

} // namespace

CDlgParamPage::CDlgParamPage(
    IMainWindowServices &services, QWidget *parent, readerfamily::Family family)
    : CPage(services, parent)
    , m_traits(readerfamily::traitsOf(family))
    , m_family(paramfamily::paramFamilyOf(family))
    , m_form(record::deviceRecord, family,
          [this](const record::Field &field) { return text(static_cast<Text>(field.captionKey)); })
    , m_channelPlan(services)
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
    for (const Group &group : devicerows::groups()) {
        if (m_form.field(group.rows.front().field))
            (group.rightColumn ? right : left)->addWidget(buildGroup(group));
    }
    connect(m_form.control<QComboBox>("interface"), &QComboBox::currentIndexChanged, this,
        &CDlgParamPage::interfaceChanged);
    m_wifiGroup = findChild<QGroupBox *>(QStringLiteral("wifiGroup"));
    if (m_wifiGroup)
        m_wifiGroup->hide();
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

QGroupBox *CDlgParamPage::buildGroup(const Group &group)
{
    auto *box = new QGroupBox(
        group.captionKey ? text(*group.captionKey) : QString::fromLatin1(group.caption), this);
    box->setObjectName(QString::fromLatin1(group.objectName));
    auto *form = new QFormLayout(box);
    for (const Row &row : group.rows) {
        if (row.field == devicerows::channelPlanRows)
            m_channelPlan.addTo(form);
        else
            addRow(form, row);
    }
    return box;
}

void CDlgParamPage::addRow(QFormLayout *form, const Row &row)
{
    const auto free = [this](std::string_view name) {
        return !name.empty() && m_form.field(name) && !m_form.control(name);
    };
    const std::string_view name = free(row.field) ? row.field : row.orField;
    if (!free(name))
        return;
    const CRecordForm::Control control { .field = name,
        .objectName = row.objectName,
        .caption = row.caption ? QString::fromLatin1(row.caption) : QString(),
        .items = devicerows::itemsOf(row.items, *m_form.field(name), m_traits, services()) };
    if (!row.unlabelled) {
        m_form.addRow(form, control);
        return;
    }
    QWidget *list = m_form.makeControl(form->parentWidget(), control);
    list->setAccessibleName(control.items.join(QStringLiteral(" / ")));
    form->addRow(QString(), list);
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
    // No language text names the check: its caption is the same in every language.
    grid->addWidget(addBusyButton(m_busy, "checkButton", QStringLiteral("Check"),
                        &CDlgParamPage::checkAntennas),
        0, perRow);
    return group;
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
    m_channelPlan.show(channelplan::showChannels(std::uint8_t(numberIn(shown, "frequency_upper")),
        std::uint8_t(numberIn(shown, "frequency_lower"))));
    if (m_form.control("baud_rate"))
        m_readBaud = numberIn(shown, "baud_rate");
    interfaceChanged(m_form.control<QComboBox>("interface")->currentIndex());
    showAntennas();
}

// The family's fields in the write length, every other byte 0; a channel list with nothing to
// encode keeps the channels last shown.
std::vector<std::uint8_t> CDlgParamPage::recordFromControls() const
{
    record::Values values = m_form.values();
    std::array<std::uint8_t, 2> frequency {};
    if (channelplan::encodeChannels(m_channelPlan.channels(), frequency)) {
        values["frequency_upper"] = std::int64_t { frequency[0] };
        values["frequency_lower"] = std::int64_t { frequency[1] };
    }
    std::vector<std::uint8_t> bytes(std::size_t(std::max(m_traits.deviceRecord.write, 0)));
    record::encode(record::deviceRecord, values, m_family.family, bytes);
    return bytes;
}

// ---- Handlers ----------------------------------------------------------------------------

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
