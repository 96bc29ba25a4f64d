#include "main_window_fixture.h"

#include "kit/CConfigStore.h"
#include "kit/CTextListModel.h"
#include "page_test_kit.h"
#include "shell/CConnectionPanel.h"
#include "shell/CPageFactory.h"
#include "shell/CTab.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

namespace mainwindowtest {

namespace {

const QString markerLine = QStringLiteral("--- test marker %1 ---");

CPageFactory countingPages() {
    CPageFactory factory;
    for (int id = 0; id < readerfamily::pageCount; ++id)
        factory.registerPage(static_cast<PageId>(id), CPageFactory::makerOf<CountingPage>());
    return factory;
}

QString decodeUtf16LittleEndian(const QByteArray &bytes) {
    QString text;
    for (qsizetype index = 0; index + 1 < bytes.size(); index += 2) {
        const auto low = static_cast<unsigned char>(bytes[index]);
        const auto high = static_cast<unsigned char>(bytes[index + 1]);
        text.append(QChar(static_cast<char16_t>(high << 8 | low)));
    }
    return text;
}

}  // namespace

CountingPage::CountingPage(IMainWindowServices &services, QWidget *parent)
    : CPage(services, parent) {}

void MainWindowTest::SetUp() {
    ASSERT_TRUE(configDir_.isValid());
}

void MainWindowTest::TearDown() {
    window_.reset();
}

void MainWindowTest::createWindow(const QString &programDirectory) {
    const QString dataDir = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR);
    const CDataFiles dataFiles(programDirectory.isEmpty() ? dataDir : programDirectory, dataDir);
    window_ = std::make_unique<CTagDeskDlg>(CAppPaths::forProgramDirectory(configDir_.path()),
                                            dataFiles, countingPages());
}

void MainWindowTest::createWindowWithPages(CPageFactory pages) {
    const QString dataDir = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR);
    window_ = std::make_unique<CTagDeskDlg>(CAppPaths::forProgramDirectory(configDir_.path()),
                                            CDataFiles(dataDir, dataDir), std::move(pages));
}

std::unique_ptr<readersim::VirtualReader> MainWindowTest::makeReader(const std::string &family) {
    readersim::ReaderOptions options;
    options.family = family;
    return std::make_unique<readersim::VirtualReader>(options);
}

void MainWindowTest::openNetwork(std::uint16_t port) {
    window_->preselectNetwork(QStringLiteral("127.0.0.1"), QString::number(port));
    pressOpen();
}

void MainWindowTest::pressOpen() {
    child<QPushButton>("openButton")->click();
    ASSERT_TRUE(waitUntil([this] { return !window_->connectionPending(); }));
}

void MainWindowTest::pressClose() {
    child<QPushButton>("closeButton")->click();
    ASSERT_TRUE(waitUntil([this] { return !window_->connectionPending(); }));
}

bool MainWindowTest::waitUntil(const std::function<bool()> &condition,
                               std::chrono::milliseconds deadline) {
    return pagetest::waitUntil(condition, deadline);
}

void MainWindowTest::flushMessages() {
    const QString marker = markerLine.arg(++markers_);
    window_->postLog(marker);
    ASSERT_TRUE(waitUntil([&] { return messages().contains(marker); }));
}

QStringList MainWindowTest::messages() const {
    QStringList lines;
    const CTextListModel *list = window_->messages();
    for (int row = 0; row < list->rowCount(); ++row) lines.append(list->cellText(row, 1));
    return lines;
}

bool MainWindowTest::hasMessage(const QString &line) const {
    return messages().contains(line);
}

bool MainWindowTest::waitForMessage(const QString &line) {
    return waitUntil([&] { return hasMessage(line); });
}

QStringList MainWindowTest::logLines() const {
    // Every file of the run, oldest first (their names are their start times).
    const QDir folder = QFileInfo(window_->services().logFile().currentFilePath()).dir();
    QStringList lines;
    for (const QFileInfo &entry :
         folder.entryInfoList({QStringLiteral("*.log")}, QDir::Files, QDir::Name)) {
        QFile file(entry.filePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        // The byte-order mark opens the file; each line is "[date time] text".
        for (const QString &line : decodeUtf16LittleEndian(file.readAll()).split(u'\n')) {
            const qsizetype textStart = line.indexOf(QStringLiteral("] "));
            if (textStart >= 0) lines.append(line.mid(textStart + 2));
        }
    }
    return lines;
}

QByteArray MainWindowTest::configFile() const {
    QFile file(window_->services().config().filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString MainWindowTest::configText(const QString &key) const {
    return CConfigStore(configDir_.path()).readText(key);
}

QStringList MainWindowTest::tabCaptions() const {
    QStringList captions;
    for (int index = 0; index < window_->tabs()->count(); ++index)
        captions.append(window_->tabs()->tabText(index));
    return captions;
}

CountingPage *MainWindowTest::page(PageId id) const {
    return qobject_cast<CountingPage *>(window_->tabs()->page(id));
}

QString MainWindowTest::fieldText(const char *name) const {
    const QLineEdit *field = child<QLineEdit>(name);
    return field ? field->text() : QString();
}

bool MainWindowTest::isEnabled(const char *name) const {
    const QWidget *widget = child<QWidget>(name);
    return widget && widget->isEnabled();
}

void MainWindowTest::expectOpenDoesNothing() {
    flushMessages();
    const qsizetype before = messages().size();
    const QByteArray configBefore = configFile();
    pressOpen();
    flushMessages();
    EXPECT_EQ(messages().size(), before + 1);
    EXPECT_FALSE(window_->isConnected());
    EXPECT_EQ(configFile(), configBefore);
}

}  // namespace mainwindowtest
