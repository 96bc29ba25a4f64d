#include "tags/CTagAccess.h"

#include "kit/Accessible.h"
#include "kit/CMyFunc.h"
#include "kit/FieldWidth.h"
#include "tags/CUpperCaseValidator.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace {

const QStringList bankNames { QStringLiteral("Reserved"), QStringLiteral("EPC"),
    QStringLiteral("TID"), QStringLiteral("USER") };
constexpr int epcBank = 1;
// Hex digits per 16-bit word.
constexpr int digitsPerWord = 4;
// Hex digits of the longest value a field shows whole: eight words.
constexpr int widestFieldDigits = 32;

std::span<const std::uint8_t> bytesOf(const QByteArray &bytes)
{
    return { reinterpret_cast<const std::uint8_t *>(bytes.constData()),
        static_cast<std::size_t>(bytes.size()) };
}

std::uint8_t byteOf(const QLineEdit *field)
{
    return static_cast<std::uint8_t>(CMyFunc::shortHexToInt(field->text()));
}

} // namespace

CTagAccess::CTagAccess(IMainWindowServices &services, QWidget *page)
    : CPage(services, page)
    , m_busy(page)
    , m_notice([this](const QString &caption, const QString &body) {
        QMessageBox::warning(this, caption, body);
    })
{
    setObjectName(QStringLiteral("tagAccess"));
    buildLayout();
    m_busy.setControls({ m_writeEpcButton, m_writeButton, m_readButton });
}

QLineEdit *CTagAccess::addHexField(const char *name, const QString &initial, int maxLength)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(name));
    field->setMaxLength(maxLength);
    // Wide enough for a whole value of up to eight words (a 96-bit EPC is six); longer EPCs
    // scroll.
    fieldwidth::fitCharacters(field, std::min(maxLength, widestFieldDigits), fieldwidth::hexDigits);
    field->setValidator(new CUpperCaseValidator(field));
    field->setText(initial);
    return field;
}

void CTagAccess::buildLayout()
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildEpcGroup(), 2);
    layout->addWidget(buildMemoryGroup(), 3);
}

QWidget *CTagAccess::buildEpcGroup()
{
    auto *group = new QGroupBox(QStringLiteral("EPC"), this);
    group->setObjectName(QStringLiteral("epcGroup"));
    m_epc = addHexField("quickEpc", QStringLiteral("00112233445566778899AABB"), 60);
    auto *label = new QLabel(caption(Text::QuickWriteEpcLabel, "快速写EPC(HEX):"), group);
    accessible::labelField(label, m_epc);
    m_writeEpcButton = new QPushButton(caption(Text::WriteEpcButton, "写EPC"), group);
    m_writeEpcButton->setObjectName(QStringLiteral("writeEpcButton"));
    connect(m_writeEpcButton, &QPushButton::clicked, this, [this] {
        if (m_writeEpcClicked)
            m_writeEpcClicked();
        else
            writeEpc();
    });
    auto *layout = new QVBoxLayout(group);
    layout->addWidget(label);
    layout->addWidget(m_epc);
    m_epcRow = new QHBoxLayout;
    m_epcRow->addStretch();
    m_epcRow->addWidget(m_writeEpcButton);
    layout->addLayout(m_epcRow);
    layout->addStretch();
    return group;
}

QWidget *CTagAccess::buildMemoryGroup()
{
    auto *group = new QGroupBox(caption(Text::TagAccessGroup, "读写操作"), this);
    group->setObjectName(QStringLiteral("memoryGroup"));
    m_bank = new QComboBox(group);
    m_bank->setObjectName(QStringLiteral("bank"));
    m_bank->addItems(bankNames);
    m_bank->setCurrentIndex(epcBank);
    m_start = addHexField("startAddress", QStringLiteral("02"), 2);
    m_length = addHexField("wordCount", QStringLiteral("06"), 2);
    m_password = addHexField("accessPassword", QStringLiteral("00000000"), 8);
    m_data = addHexField("writeData", QStringLiteral("AABB00112233445566778899"), 32);
    m_result = new QLineEdit(group);
    m_result->setObjectName(QStringLiteral("dataReturned"));
    m_result->setReadOnly(true);

    connect(m_bank, &QComboBox::currentIndexChanged, this, &CTagAccess::bankChanged);

    auto *grid = new QGridLayout(group);
    const auto place = [&](Text key, const char *layoutCaption, QWidget *field, int row, int column,
                           int span, QHBoxLayout **besideRow = nullptr) {
        auto *label = new QLabel(caption(key, layoutCaption), group);
        accessible::labelField(label, field);
        grid->addWidget(label, row, column, Qt::AlignRight);
        if (!besideRow) {
            grid->addWidget(field, row, column + 1, 1, span);
            return;
        }
        // Room for the page's own controls after the field.
        *besideRow = new QHBoxLayout;
        (*besideRow)->addWidget(field, 1);
        grid->addLayout(*besideRow, row, column + 1, 1, span);
    };
    place(Text::MemoryBankLabel, "区域:", m_bank, 0, 0, 1);
    place(Text::WordStartLabel, "起始地址:(字/HEX)", m_start, 0, 2, 1);
    place(Text::WordLengthLabel, "读/写长度:(字/HEX)", m_length, 0, 4, 1);
    place(Text::AccessPasswordLabel, "访问密码:(HEX)", m_password, 1, 0, 3, &m_passwordRow);
    // The data fields are long: they get whole rows.
    place(Text::WriteDataLabel, "写数据:(HEX)", m_data, 2, 0, 5, &m_dataRow);
    place(Text::ReturnedDataLabel, "数据返回:", m_result, 3, 0, 5);

    m_writeButton = new QPushButton(caption(Text::WriteDataButton, "写入"), group);
    m_writeButton->setObjectName(QStringLiteral("writeButton"));
    m_readButton = new QPushButton(caption(Text::ReadMemoryButton, "读取"), group);
    m_readButton->setObjectName(QStringLiteral("readButton"));
    connect(m_writeButton, &QPushButton::clicked, this, [this] {
        if (m_writeClicked)
            m_writeClicked();
        else
            write();
    });
    connect(m_readButton, &QPushButton::clicked, this, &CTagAccess::read);
    grid->addWidget(m_writeButton, 1, 4);
    grid->addWidget(m_readButton, 1, 5);
    return group;
}

void CTagAccess::setButtonsEnabled(bool enabled)
{
    for (QPushButton *button : { m_writeEpcButton, m_writeButton, m_readButton })
        button->setEnabled(enabled);
}

void CTagAccess::takeWriteButtons(std::function<void()> write, std::function<void()> writeEpc)
{
    m_writeClicked = std::move(write);
    m_writeEpcClicked = std::move(writeEpc);
}

void CTagAccess::addBesideEpc(QWidget *control)
{
    m_epcRow->insertWidget(m_epcRow->count() - 2, control);
}

void CTagAccess::addBesideData(QWidget *control)
{
    m_dataRow->addWidget(control);
}

void CTagAccess::addBesidePassword(QWidget *control)
{
    m_passwordRow->addWidget(control);
}

QString CTagAccess::epcText() const
{
    return m_epc->text();
}

void CTagAccess::setEpcText(const QString &text)
{
    m_epc->setText(text);
}

QString CTagAccess::dataText() const
{
    return m_data->text();
}

QString CTagAccess::passwordText() const
{
    return m_password->text();
}

AccessPassword CTagAccess::password() const
{
    return passwordOf(m_password->text());
}

std::uint8_t CTagAccess::bank() const
{
    return static_cast<std::uint8_t>(m_bank->currentIndex());
}

std::uint8_t CTagAccess::startWord() const
{
    return byteOf(m_start);
}

std::uint8_t CTagAccess::wordsOf(const QString &hexText)
{
    return static_cast<std::uint8_t>(hexText.size() / digitsPerWord);
}

AccessPassword CTagAccess::passwordOf(QStringView text)
{
    AccessPassword password {};
    const QByteArray bytes = CMyFunc::compactHexToBytes(text);
    std::copy_n(
        bytes.begin(), std::min<qsizetype>(bytes.size(), password.size()), password.begin());
    return password;
}

void CTagAccess::notify(Text body)
{
    m_notice(text(Text::MessageBoxCaption), text(body));
}

void CTagAccess::postOutcome(bool succeeded)
{
    log(succeeded ? Text::OperationSucceeded : Text::OperationFailed);
}

void CTagAccess::read()
{
    const AccessPassword password = this->password();
    const std::uint8_t bank = this->bank();
    const std::uint8_t start = startWord();
    const std::uint8_t words = byteOf(m_length);
    // The field empties as the read starts; its outcome comes later, on this thread.
    const bool started = runWhileBusy(
        m_busy, [=](IReader &reader) { return reader.readTag(password, bank, start, words); },
        [this, words](std::optional<Bytes> data) {
            if (!data) {
                postOutcome(false);
                return;
            }
            const auto shown = std::min<std::size_t>(data->size(), std::size_t(words) * 2);
            m_result->setText(
                CMyFunc::bytesToCompactHex(data->data(), static_cast<std::uint16_t>(shown)));
        });
    if (started)
        m_result->clear();
}

bool CTagAccess::checkData()
{
    const QString text = m_data->text();
    if (text.isEmpty())
        notify(Text::WriteDataEmpty);
    else if (text.size() % digitsPerWord != 0)
        notify(Text::NotWholeWords);
    else
        return true;
    return false;
}

bool CTagAccess::checkEpc()
{
    const QString text = m_epc->text();
    if (text.isEmpty())
        notify(Text::EpcEmpty);
    else if (text.size() % digitsPerWord != 0)
        notify(Text::NotWholeWords);
    else
        return true;
    return false;
}

void CTagAccess::write(AfterWrite afterWrite)
{
    // The input is checked only while connected, as the operation would run.
    if (!services().isConnected() || !checkData())
        return;
    const AccessPassword password = this->password();
    const std::uint8_t bank = this->bank();
    const std::uint8_t start = startWord();
    const std::uint8_t words = wordsOf(m_data->text());
    const QByteArray data = CMyFunc::compactHexToBytes(m_data->text());
    runWhileBusy(
        m_busy,
        [=, afterWrite = std::move(afterWrite)](IReader &reader) {
            if (!reader.writeTag(password, bank, start, words, bytesOf(data)))
                return false;
            return !afterWrite || afterWrite(reader);
        },
        [this](bool succeeded) { postOutcome(succeeded); });
}

void CTagAccess::writeEpc(std::function<void()> succeeded)
{
    if (!services().isConnected() || !checkEpc())
        return;
    const QString text = m_epc->text();
    const QByteArray epc = CMyFunc::compactHexToBytes(text);
    const AccessPassword password = this->password();
    const std::uint8_t words = wordsOf(text);
    runWhileBusy(
        m_busy, [=](IReader &reader) { return reader.writeEpc(password, bytesOf(epc), words); },
        [this, succeeded = std::move(succeeded)](bool written) {
            postOutcome(written);
            if (written && succeeded)
                succeeded();
        });
}
