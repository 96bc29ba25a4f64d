#include "maintenance/CFirmwareTab.h"

#include "kit/Accessible.h"
#include "kit/CMyFunc.h"
#include "kit/CShellPrompts.h"

#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

#include <mutex>

namespace {

// The progress shown some five times a second: fast links send thousands of blocks a second.
constexpr int progressRefreshMs = 200;

QString clockText(firmware::Duration duration)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration).count();
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
}

struct LoadedImage {
    std::vector<std::uint8_t> bytes;
    QString problem;
};

// Read on the reader worker: an image may be megabytes. Never more than the blocks can carry.
LoadedImage loadImage(const QString &path, const firmware::UpgradeOptions &options)
{
    LoadedImage image;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        image.problem = file.errorString();
        return image;
    }
    const qint64 limit = static_cast<qint64>(firmware::kMostBlocks * options.blockSize) + 1;
    const QByteArray bytes = file.read(limit);
    image.bytes.assign(bytes.begin(), bytes.end());
    image.problem = QString::fromStdString(firmware::imageProblem(image.bytes.size(), options));
    return image;
}

} // namespace

struct CFirmwareTab::Run {
    std::atomic<bool> cancel { false };
    std::mutex mutex;
    std::optional<firmware::Progress> latest;
};

CFirmwareTab::CFirmwareTab(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent)
{
    setObjectName(QStringLiteral("CFirmwareTab"));
    buildControls();
    m_busy.addControl(m_imageField);
    m_busy.addControl(m_blockSize);
    m_busy.addControl(m_passwordField);
    m_progressTimer.setInterval(progressRefreshMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &CFirmwareTab::showProgress);
}

CFirmwareTab::~CFirmwareTab()
{
    stopWork();
}

QLabel *CFirmwareTab::addLabel(const char *name, Text key)
{
    auto *label = new QLabel(text(key), this);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

void CFirmwareTab::buildControls()
{
    m_imageField = new QLineEdit(this);
    m_imageField->setObjectName(QStringLiteral("imageField"));
    m_chooseButton = addBusyButton(
        m_busy, "chooseImageButton", text(Text::ChooseFileButton), &CFirmwareTab::chooseImage);
    auto *imageRow = new QHBoxLayout;
    imageRow->addWidget(m_imageField, 1);
    imageRow->addWidget(m_chooseButton);

    m_blockSize = new QSpinBox(this);
    m_blockSize->setObjectName(QStringLiteral("blockSizeField"));
    m_blockSize->setRange(
        static_cast<int>(firmware::kBlockUnit), static_cast<int>(firmware::kLargestBlock));
    m_blockSize->setSingleStep(static_cast<int>(firmware::kBlockUnit));
    m_blockSize->setValue(static_cast<int>(firmware::kDefaultBlockSize));
    m_passwordField = new QLineEdit(this);
    m_passwordField->setObjectName(QStringLiteral("passwordField"));
    m_passwordField->setMaxLength(8);

    auto *form = new QFormLayout;
    QLabel *imageLabel = addLabel("imageLabel", Text::ImageFileLabel);
    QLabel *blockLabel = addLabel("blockSizeLabel", Text::BlockSizeLabel);
    QLabel *passwordLabel = addLabel("passwordLabel", Text::UpgradePasswordLabel);
    accessible::labelField(imageLabel, m_imageField);
    accessible::labelField(blockLabel, m_blockSize);
    accessible::labelField(passwordLabel, m_passwordField);
    form->addRow(imageLabel, imageRow);
    form->addRow(blockLabel, m_blockSize);
    QLabel *note = addLabel("paddingNote", Text::PaddingNote);
    note->setWordWrap(true);
    form->addRow(note);
    form->addRow(passwordLabel, m_passwordField);

    m_startButton = addBusyButton(
        m_busy, "startUpgradeButton", text(Text::StartUpgradeButton), &CFirmwareTab::start);
    // Cancel is the one button an upgrade in progress needs.
    m_cancelButton = new QPushButton(text(Text::CancelUpgradeButton), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelUpgradeButton"));
    m_cancelButton->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_cancelButton);

    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("upgradeProgress"));
    m_progressBar->setAccessibleName(text(Text::FirmwareTab));
    m_progressBar->setValue(0);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("upgradeStatus"));
    m_status->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_status);
    layout->addStretch(1);

    connect(m_cancelButton, &QPushButton::clicked, this, &CFirmwareTab::cancel);
}

void CFirmwareTab::stopWork()
{
    if (m_run)
        m_run->cancel = true;
}

void CFirmwareTab::cancel()
{
    stopWork();
}

void CFirmwareTab::chooseImage()
{
    const QString path = services().prompts().chooseFileToOpen(m_imageField->text(), QString());
    if (!path.isEmpty())
        m_imageField->setText(path);
}

bool CFirmwareTab::readPassword(std::optional<AccessPassword> &password) const
{
    const QString digits = m_passwordField->text().trimmed();
    password.reset();
    if (digits.isEmpty())
        return true;
    static const QRegularExpression eightHexDigits(QStringLiteral("^[0-9A-Fa-f]{8}$"));
    if (!eightHexDigits.match(digits).hasMatch())
        return false;
    const QByteArray bytes = CMyFunc::compactHexToBytes(digits);
    password.emplace();
    std::copy_n(bytes.begin(), password->size(), password->begin());
    return true;
}

void CFirmwareTab::warn(const QString &body)
{
    services().prompts().inform(text(Text::MessageBoxCaption), body);
}

void CFirmwareTab::start()
{
    if (m_run || !services().isConnected())
        return;
    firmware::UpgradeOptions options;
    options.blockSize = static_cast<std::size_t>(m_blockSize->value());
    if (!firmware::optionsProblem(options).empty())
        return warn(text(Text::InvalidBlockSize));
    std::optional<AccessPassword> password;
    if (!readPassword(password))
        return warn(text(Text::InvalidPassword));
    const QString path = m_imageField->text().trimmed();
    const QFileInfo image(path);
    const std::string sizeProblem = image.isFile()
        ? firmware::imageProblem(static_cast<std::size_t>(image.size()), options)
        : std::string("no such file");
    if (!sizeProblem.empty())
        return warn(text(Text::ImageUnusable).arg(QString::fromStdString(sizeProblem)));
    const std::array<std::uint8_t, 7> serial = services().serialNumber();
    if (!services().prompts().confirm(text(Text::MessageBoxCaption),
            text(Text::ConfirmUpgrade)
                .arg(CMyFunc::bytesToCompactHex(serial.data(), serial.size()), image.fileName())
                .arg(image.size())))
        return;

    auto run = std::make_shared<Run>();
    const std::size_t blockCount
        = firmware::blockCount(static_cast<std::size_t>(image.size()), options.blockSize);
    const bool started = runWhileBusy(
        m_busy,
        [run, path, options, password](IReader &reader) {
            const LoadedImage loaded = loadImage(path, options);
            if (!loaded.problem.isEmpty()) {
                firmware::UpgradeResult refused;
                refused.reason = loaded.problem.toStdString();
                return refused;
            }
            const firmware::UpgradeLink link {
                [&reader, &password](std::uint16_t number, std::span<const std::uint8_t> block) {
                    return reader.sendFirmwareBlock(password, number, block);
                },
                [&reader, &password] { return reader.endFirmware(password); }
            };
            return firmware::upgrade(
                loaded.bytes, options, link,
                [&run](const firmware::Progress &progress) {
                    std::lock_guard lock(run->mutex);
                    run->latest = progress;
                },
                run->cancel);
        },
        [this, blockCount](firmware::UpgradeResult result) { finish(result, blockCount); });
    if (!started)
        return;
    m_run = run;
    m_progressBar->setRange(0, static_cast<int>(blockCount));
    m_progressBar->setValue(0);
    m_status->clear();
    m_cancelButton->setEnabled(true);
    m_progressTimer.start();
}

void CFirmwareTab::showProgress()
{
    std::optional<firmware::Progress> progress;
    if (m_run) {
        std::lock_guard lock(m_run->mutex);
        progress = m_run->latest;
    }
    if (!progress)
        return;
    const std::optional<firmware::Duration> left = progress->timeLeft();
    m_progressBar->setValue(static_cast<int>(progress->blocksSent));
    m_status->setText(text(Text::UpgradeProgress)
                          .arg(progress->blocksSent)
                          .arg(progress->blockCount)
                          .arg(progress->bytesSent)
                          .arg(progress->totalBytes)
                          .arg(progress->bytesPerSecond() / 1024, 0, 'f', 1)
                          .arg(left ? clockText(*left) : QStringLiteral("-:--")));
}

QString CFirmwareTab::outcomeText(
    const firmware::UpgradeResult &result, std::size_t blockCount) const
{
    switch (result.outcome) {
    case firmware::Outcome::Completed:
        return text(Text::UpgradeCompleted).arg(result.blocksSent).arg(result.bytesSent);
    case firmware::Outcome::BlockFailed:
        return text(Text::UpgradeBlockFailed)
            .arg(result.failedBlock.value_or(0))
            .arg(firmware::UpgradeOptions {}.resends + 1);
    case firmware::Outcome::Cancelled:
        return text(Text::UpgradeCancelled).arg(result.blocksSent).arg(blockCount);
    case firmware::Outcome::EndFailed:
        return text(Text::UpgradeEndFailed);
    case firmware::Outcome::Refused:
        break;
    }
    return text(Text::ImageUnusable).arg(QString::fromStdString(result.reason));
}

void CFirmwareTab::finish(const firmware::UpgradeResult &result, std::size_t blockCount)
{
    showProgress();
    m_progressTimer.stop();
    m_run.reset();
    m_cancelButton->setEnabled(false);
    const QString outcome = outcomeText(result, blockCount);
    m_status->setText(outcome);
    services().postLog(outcome);
}
