#include "tags/CDlgWriter.h"

#include "kit/CMyFunc.h"
#include "kit/IMainWindowServices.h"
#include "reader/CReaderWorker.h"
#include "tag_record.h"
#include "tags/CTagAccess.h"

#include <QCheckBox>
#include <QPushButton>

namespace {

constexpr int reservedBank = 0;
constexpr int passwordDigits = 8;
const QString zeroPassword = QStringLiteral("00000000");

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return { reinterpret_cast<const std::uint8_t *>(bytes.constData()),
        static_cast<std::size_t>(bytes.size()) };
}

QString hexOf(const std::vector<std::uint8_t> &bytes)
{
    return CMyFunc::bytesToCompactHex(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
}

bool wholeWords(const QString &hexText)
{
    return !hexText.isEmpty() && hexText.size() % 4 == 0;
}

} // namespace

CDlgWriter::CDlgWriter(IMainWindowServices &services, QWidget *parent)
    : CIdentifyTab(services, parent)
{
    setObjectName(QStringLiteral("CDlgWriter"));
    addBoxes();
    tagAccess().takeWriteButtons([this] { writeClicked(); }, [this] { writeEpcClicked(); });
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &CDlgWriter::stepDue);
}

void CDlgWriter::addBoxes()
{
    CTagAccess &access = tagAccess();
    const auto box = [&](const char *caption, const char *name, bool &flag) {
        auto *created = new QCheckBox(QString::fromLatin1(caption), &access);
        created->setObjectName(QString::fromLatin1(name));
        // The flag follows the tick however it changes (mouse, keyboard, an assistive tool's
        // toggle action): after a stop has cleared the lock flag, the next change must not
        // turn it on while it takes the tick away.
        connect(created, &QCheckBox::toggled, this, [&flag](bool ticked) { flag = ticked; });
        return created;
    };
    m_epcAutoBox = box("Auto", "epcAuto", m_epcAuto);
    m_incrementBox = box("Increment", "increment", m_increment);
    m_dataAutoBox = box("Auto", "dataAuto", m_dataAuto);
    m_lockBox = box("AutoLockPass", "autoLockPass", m_lockPassword);
    // Two boxes share the caption; screen readers tell them apart by the field they serve.
    m_epcAutoBox->setAccessibleName(QStringLiteral("Auto"));
    m_epcAutoBox->setAccessibleDescription(QStringLiteral("EPC"));
    m_dataAutoBox->setAccessibleName(QStringLiteral("Auto"));
    m_dataAutoBox->setAccessibleDescription(caption(Text::WriteDataLabel, "写数据:(HEX)"));
    connect(m_epcAutoBox, &QCheckBox::toggled, this, [this](bool ticked) {
        if (!ticked)
            return;
        m_increment = true;
        m_incrementBox->setChecked(true);
    });
    connect(&access, &CTagAccess::bankChanged, this,
        [this](int bank) { m_lockBox->setEnabled(bank == reservedBank); });
    access.addBesideEpc(m_epcAutoBox);
    access.addBesideEpc(m_incrementBox);
    access.addBesideData(m_dataAutoBox);
    access.addBesidePassword(m_lockBox);
}

QString CDlgWriter::nextEpc(QStringView epcText)
{
    QByteArray bytes = CMyFunc::compactHexToBytes(epcText);
    for (qsizetype index = bytes.size() - 1; index >= 0; --index) {
        bytes[index] = static_cast<char>(static_cast<std::uint8_t>(bytes[index]) + 1);
        if (bytes[index] != 0)
            break;
    }
    return CMyFunc::bytesToCompactHex(bytes);
}

void CDlgWriter::postOutcome(bool succeeded)
{
    services().postLog(text(succeeded ? Text::OperationSucceeded : Text::OperationFailed));
}

void CDlgWriter::writeEpcClicked()
{
    CTagAccess &access = tagAccess();
    if (!services().isConnected() || !access.checkEpc())
        return;
    if (m_mode == Mode::Epc)
        return endModeByButton();
    if (m_epcAuto)
        return startMode(Mode::Epc);
    const QString written = access.epcText();
    access.writeEpc([this, written] { advanceEpc(written); });
}

void CDlgWriter::writeClicked()
{
    CTagAccess &access = tagAccess();
    if (!services().isConnected() || !access.checkData())
        return;
    if (m_mode == Mode::Data)
        return endModeByButton();
    if (m_dataAuto)
        return startMode(Mode::Data);
    const QString data = access.dataText();
    const bool lock = m_lockPassword && access.bank() == reservedBank
        && access.passwordText() == zeroPassword && data.size() == passwordDigits;
    if (!lock)
        return access.write();
    const AccessPassword newPassword = CTagAccess::passwordOf(data);
    access.write(
        [newPassword](IReader &reader) { return reader.lockTag(newPassword, passwordLockCode); });
}

void CDlgWriter::advanceEpc(const QString &written)
{
    // An EPC the operator typed while the write was on its way is newer than the sequence.
    if (m_increment && tagAccess().epcText() == written)
        tagAccess().setEpcText(nextEpc(written));
}

void CDlgWriter::startMode(Mode mode)
{
    m_stepTimer.stop();
    m_stepWaiting = false;
    services().worker().post([](IReader &reader) { reader.relayOff(); });
    m_password = tagAccess().password();
    m_startWord = tagAccess().startWord();
    m_data = tagAccess().dataText();
    m_mode = mode;
    ++m_run;
    m_stepTimer.start(firstStepDelay);
    showMode();
}

void CDlgWriter::endMode()
{
    m_stepTimer.stop();
    m_stepWaiting = false;
    m_mode = Mode::Idle;
    ++m_run;
}

void CDlgWriter::endModeByButton()
{
    endMode();
    services().worker().post([](IReader &reader) { reader.relayOn(); });
    showMode();
}

void CDlgWriter::showMode()
{
    CTagAccess &access = tagAccess();
    const bool idle = m_mode == Mode::Idle;
    access.writeEpcButton()->setText(m_mode == Mode::Epc
            ? caption(Text::StopInventoryButton, "停止读卡")
            : caption(Text::WriteEpcButton, "写EPC"));
    access.writeButton()->setText(m_mode == Mode::Data
            ? caption(Text::StopInventoryButton, "停止读卡")
            : caption(Text::WriteDataButton, "写入"));
    for (QWidget *control : std::initializer_list<QWidget *> { stopButton(), startButton(),
             access.readButton(), m_epcAutoBox, m_dataAutoBox, m_incrementBox })
        control->setEnabled(idle);
    access.writeButton()->setEnabled(m_mode != Mode::Epc);
    access.writeEpcButton()->setEnabled(m_mode != Mode::Data);
}

void CDlgWriter::stopWork()
{
    CIdentifyTab::stopWork();
    endMode();
    CTagAccess &access = tagAccess();
    stopButton()->setEnabled(false);
    for (QWidget *control :
        std::initializer_list<QWidget *> { startButton(), access.readButton(), access.writeButton(),
            access.writeEpcButton(), m_epcAutoBox, m_dataAutoBox, m_incrementBox })
        control->setEnabled(true);
    access.writeEpcButton()->setText(caption(Text::WriteEpcButton, "写EPC"));
    access.writeButton()->setText(caption(Text::WriteDataButton, "写入"));
    m_lockBox->setEnabled(false);
    m_lockPassword = false;
}

void CDlgWriter::stepDue()
{
    // Steps never overlap: one of an earlier run still on the worker goes first.
    if (m_stepRunning)
        m_stepWaiting = true;
    else
        runStep();
}

void CDlgWriter::runStep()
{
    m_stepRunning = true;
    const Mode mode = m_mode;
    const std::uint64_t run = m_run;
    const AccessPassword password = m_password;
    const auto done = [this, mode, run](StepResult result) { stepDone(mode, run, result); };
    if (mode == Mode::Epc) {
        // Edits of the field while the mode runs count from the next step on.
        const QString fieldEpc = tagAccess().epcText();
        services().worker().submit(
            this, [=](IReader &reader) { return epcStep(reader, password, fieldEpc); }, done);
    } else {
        const std::uint8_t bank = tagAccess().bank();
        const std::uint8_t start = m_startWord;
        const QString data = m_data;
        services().worker().submit(
            this, [=](IReader &reader) { return dataStep(reader, password, bank, start, data); },
            done);
    }
}

CDlgWriter::StepResult CDlgWriter::epcStep(
    IReader &reader, const AccessPassword &password, const QString &fieldEpc)
{
    const std::optional<InventoryResult> result = reader.inventory();
    if (!result)
        return {};
    const std::vector<tagrecord::Bytes> bodies
        = tagrecord::walk(result->records, result->byteLength);
    if (bodies.empty())
        return {};
    const std::optional<tagrecord::TagRecord> tag
        = tagrecord::decode(bodies.front(), tagrecord::plainRules);
    // The tag written last holds the EPC before the one to write.
    if (!tag || nextEpc(hexOf(tag->epc)) == fieldEpc)
        return {};
    // A field being edited to an empty or broken EPC must not be written into tags.
    if (!wholeWords(fieldEpc))
        return {};
    const QByteArray epc = CMyFunc::compactHexToBytes(fieldEpc);
    const bool written = reader.writeEpc(password, bytesOf(epc), CTagAccess::wordsOf(fieldEpc));
    return { written ? Outcome::Written : Outcome::Failed, fieldEpc };
}

CDlgWriter::StepResult CDlgWriter::dataStep(IReader &reader, const AccessPassword &password,
    std::uint8_t bank, std::uint8_t startWord, const QString &data)
{
    const std::uint8_t words = CTagAccess::wordsOf(data);
    const std::optional<Bytes> held = reader.readTag(password, bank, startWord, words);
    if (!held || hexOf(*held) == data)
        return {};
    const QByteArray bytes = CMyFunc::compactHexToBytes(data);
    const bool written = reader.writeTag(password, bank, startWord, words, bytesOf(bytes));
    return { written ? Outcome::Written : Outcome::Failed, {} };
}

void CDlgWriter::stepDone(Mode mode, std::uint64_t run, const StepResult &result)
{
    m_stepRunning = false;
    // A write that happened is reported, and moves the sequence on, also after a stop.
    if (result.outcome != Outcome::Nothing)
        postOutcome(result.outcome == Outcome::Written);
    if (mode == Mode::Epc && result.outcome == Outcome::Written)
        advanceEpc(result.epc);
    if (m_stepWaiting) {
        m_stepWaiting = false;
        runStep();
    } else if (run == m_run && m_mode != Mode::Idle) {
        m_stepTimer.start(nextStepDelay);
    }
}
