// The maintenance window end to end against a Fir virtual reader over TCP: firmware upgrades
// (whole images, padding, resends, a block refused too often, cancel, the password commands),
// the white list through a file and in several write frames, the tag cache; and the main
// window's button that opens it. Controls are pressed through their accessibility actions.
#include "kit/Accessible.h"
#include "maintenance/CFirmwareTab.h"
#include "maintenance/CMaintenanceWindow.h"
#include "maintenance/CTagCacheTab.h"
#include "maintenance/CWhiteListTab.h"
#include "page_test_kit.h"
#include "params/CDlgGPRSTest.h"
#include "params/CNetParamPage.h"
#include "reader_model.h"
#include "shell/CPageFactory.h"
#include "shell/CTab.h"
#include "shell/CTagDeskDlg.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CRecordingPrompts;
using pagetest::CVirtualReaderSession;
using readersim::ReaderModel;

// What a screen reader's "press" does; returns once the button was clicked (the action
// animates the click first).
void press(QAbstractButton *button) {
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    bool clicked = false;
    const QMetaObject::Connection connection =
        QObject::connect(button, &QAbstractButton::clicked, [&clicked] { clicked = true; });
    QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(pagetest::waitUntil([&clicked] { return clicked; }));
    QObject::disconnect(connection);
}

template <typename Widget>
Widget *childOf(const QWidget &window, const char *name) {
    auto *found = window.findChild<Widget *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

// Fills the firmware tab and presses Start (the confirmation is the prompts' to answer).
void startUpgrade(CMaintenanceWindow &window, const QTemporaryDir &dir, const Bytes &image,
                  int blockSize, const QString &password) {
    const QString path = writeFile(dir, QStringLiteral("image.bin"),
                                   QByteArray(reinterpret_cast<const char *>(image.data()),
                                              static_cast<qsizetype>(image.size())));
    childOf<QLineEdit>(window, "imageField")->setText(path);
    childOf<QSpinBox>(window, "blockSizeField")->setValue(blockSize);
    childOf<QLineEdit>(window, "passwordField")->setText(password);
    press(childOf<QPushButton>(window, "startUpgradeButton"));
}

bool waitForUpgradeEnd(const CMaintenanceWindow &window) {
    return pagetest::waitUntil([&window] { return !window.firmwareTab()->isRunning(); });
}

Bytes patternImage(std::size_t size) {
    Bytes image(size);
    for (std::size_t index = 0; index < size; ++index)
        image[index] = static_cast<std::uint8_t>(index * 7 + index / 251);
    return image;
}

class MaintenanceTest : public ::testing::Test {
  protected:
    template <typename Widget>
    Widget *child(const char *name) const {
        return childOf<Widget>(window_, name);
    }
    void withModel(const std::function<void(ReaderModel &)> &action) {
        session_.virtualReader().withModel(action);
    }
    QString writeFile(const QString &name, const QByteArray &bytes) {
        return ::writeFile(dir_, name, bytes);
    }
    static QByteArray readFile(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString text(Text key) const { return services_.text(key); }
    bool waitForLog(const QString &line) { return services_.waitForLog(line); }

    void startUpgrade(const Bytes &image, int blockSize, const QString &password) {
        ::startUpgrade(window_, dir_, image, blockSize, password);
    }
    bool waitForUpgradeEnd() { return ::waitForUpgradeEnd(window_); }

    CVirtualReaderSession session_{"fir"};
    CFakeMainWindow services_{session_.reader(), &session_.facade()};
    CRecordingPrompts &prompts_ = services_.dialogs;
    QTemporaryDir dir_;
    CMaintenanceWindow window_{services_, {}, nullptr};
};

struct UpgradeCase {
    const char *name;
    std::size_t imageSize;
    int blockSize;
    const char *password;  // typed in the window; the reader's own is 0A0B0C0D
    int refusedBlock;
    int refusals;
    std::optional<std::size_t> failedBlock;  // nothing: the upgrade completes
};

TEST_F(MaintenanceTest, UpgradesArriveWholeOrStopAtTheRefusedBlock) {
    const UpgradeCase cases[] = {
        {"100 KiB in 1024-byte blocks", 100 * 1024, 1024, "", -1, 0, std::nullopt},
        {"short last block padded", 2005, 1024, "", -1, 0, std::nullopt},
        {"largest blocks", 5000, 1536, "", -1, 0, std::nullopt},
        {"refused block resent", 20 * 1024, 1024, "", 7, 3, std::nullopt},
        {"block refused too often", 20 * 1024, 1024, "", 7, 4, 7},
        {"password commands", 4096, 512, "0a0b0c0d", -1, 0, std::nullopt},
        {"wrong password", 4096, 512, "01020304", -1, 0, 0},
    };
    ASSERT_TRUE(session_.isOpen());
    for (const UpgradeCase &each : cases) {
        SCOPED_TRACE(each.name);
        withModel([&](ReaderModel &model) {
            model.devicePassword = {0x0A, 0x0B, 0x0C, 0x0D};
            model.upgrade = {};
            model.upgradeRefusal = {each.refusedBlock, each.refusals};
        });
        const Bytes image = patternImage(each.imageSize);
        const std::size_t blocks = firmware::blockCount(image.size(), std::size_t(each.blockSize));
        prompts_.confirmations.clear();
        startUpgrade(image, each.blockSize, QString::fromLatin1(each.password));
        ASSERT_EQ(prompts_.confirmations.size(), 1);
        EXPECT_TRUE(prompts_.confirmations[0].body.contains(QStringLiteral("image.bin")));
        EXPECT_TRUE(prompts_.confirmations[0].body.contains(QString::number(image.size())));
        EXPECT_TRUE(prompts_.confirmations[0].body.contains(QStringLiteral("50202612080001")));
        ASSERT_TRUE(waitForUpgradeEnd());

        auto *progress = child<QProgressBar>("upgradeProgress");
        bool completed = false;
        Bytes received;
        withModel([&](ReaderModel &model) {
            completed = model.upgrade.completed;
            received = model.upgrade.completed ? model.upgrade.completedImage : model.upgrade.image;
        });
        if (!each.failedBlock) {
            Bytes padded = image;
            padded.resize((image.size() + 15) / 16 * 16, 0xFF);
            EXPECT_TRUE(completed);
            EXPECT_EQ(received, padded);
            EXPECT_EQ(progress->value(), static_cast<int>(blocks));
            EXPECT_TRUE(waitForLog(text(Text::UpgradeCompleted).arg(blocks).arg(padded.size())));
        } else {
            const std::size_t sent = *each.failedBlock * std::size_t(each.blockSize);
            EXPECT_FALSE(completed);
            EXPECT_EQ(received, Bytes(image.begin(), image.begin() + std::ptrdiff_t(sent)));
            EXPECT_EQ(progress->value(), static_cast<int>(*each.failedBlock));
            const QString failure = text(Text::UpgradeBlockFailed).arg(*each.failedBlock).arg(4);
            EXPECT_TRUE(waitForLog(failure));
            EXPECT_EQ(child<QLabel>("upgradeStatus")->text(), failure);
        }
        EXPECT_EQ(progress->maximum(), static_cast<int>(blocks));
    }
}

TEST_F(MaintenanceTest, CancelStopsBetweenBlocksWithoutTheEndCommand) {
    const Bytes image = patternImage(64 * 1024);
    // The reader answers nothing while the test holds it: Cancel comes while block 0 is on its
    // way at the latest. Nothing on this thread asks the reader meanwhile.
    withModel([&](ReaderModel &) {
        startUpgrade(image, 1024, QString());
        press(child<QPushButton>("cancelUpgradeButton"));
    });
    ASSERT_TRUE(waitForUpgradeEnd());
    std::size_t received = 0;
    bool completed = true;
    withModel([&](ReaderModel &model) {
        received = model.upgrade.image.size();
        completed = model.upgrade.completed;
    });
    EXPECT_FALSE(completed);
    EXPECT_LE(received, 1024u);
    const std::size_t sent = received / 1024;
    EXPECT_TRUE(waitForLog(text(Text::UpgradeCancelled).arg(sent).arg(64)));
    EXPECT_FALSE(child<QPushButton>("cancelUpgradeButton")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("startUpgradeButton")->isEnabled());
}

TEST_F(MaintenanceTest, BadUpgradeInputIsRefusedBeforeAnythingIsSent) {
    const struct {
        const char *name;
        int blockSize;
        const char *password;
        bool imageExists;
        Text notice;
    } cases[] = {
        {"block size not a multiple of 16", 1000, "", true, Text::InvalidBlockSize},
        {"password too short", 1024, "0A0B0C", true, Text::InvalidPassword},
        {"password not hex", 1024, "0A0B0C0G", true, Text::InvalidPassword},
        {"no such file", 1024, "", false, Text::ImageUnusable},
    };
    session_.virtualReader().clearRequests();
    for (const auto &each : cases) {
        SCOPED_TRACE(each.name);
        prompts_.notices.clear();
        child<QLineEdit>("imageField")
            ->setText(each.imageExists ? writeFile(QStringLiteral("small.bin"), "0123456789")
                                       : dir_.filePath(QStringLiteral("missing.bin")));
        child<QSpinBox>("blockSizeField")->setValue(each.blockSize);
        child<QLineEdit>("passwordField")->setText(QString::fromLatin1(each.password));
        press(child<QPushButton>("startUpgradeButton"));
        ASSERT_EQ(prompts_.notices.size(), 1);
        EXPECT_TRUE(prompts_.notices[0].body.startsWith(text(each.notice).section(u'%', 0, 0)));
        EXPECT_FALSE(window_.firmwareTab()->isRunning());
    }
    EXPECT_TRUE(prompts_.confirmations.isEmpty());
    EXPECT_TRUE(session_.virtualReader().requests().empty());
}

TEST_F(MaintenanceTest, WhiteListRoundTripThroughFilesInSeveralFrames) {
    // 800 entries and two repeats: three write frames; the reader keeps each entry once.
    std::vector<whitelist::Entry> entries;
    for (std::uint16_t index = 0; index < 800; ++index)
        entries.push_back(
            {0xA0, 0x00, static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index)});
    std::vector<whitelist::Entry> withRepeats = entries;
    withRepeats.push_back(entries[5]);
    withRepeats.push_back(entries[799]);
    const std::string fileText = whitelist::listText(withRepeats);
    prompts_.fileToOpen =
        writeFile(QStringLiteral("import.txt"), QByteArray::fromStdString(fileText));
    press(child<QPushButton>("importListButton"));
    ASSERT_TRUE(waitForLog(text(Text::EntriesImported).arg(802).arg(prompts_.fileToOpen)));
    EXPECT_EQ(window_.whiteListTab()->shownEntries(), withRepeats);

    press(child<QPushButton>("writeListButton"));
    ASSERT_TRUE(waitForLog(text(Text::WhiteListWritten).arg(802).arg(3)));
    std::vector<whitelist::Entry> held;
    withModel([&](ReaderModel &model) { held = model.whiteList; });
    EXPECT_EQ(held, entries);

    child<QListWidget>("whiteList")->clear();
    press(child<QPushButton>("readListButton"));
    ASSERT_TRUE(waitForLog(text(Text::WhiteListRead).arg(800)));
    EXPECT_EQ(window_.whiteListTab()->shownEntries(), entries);

    prompts_.fileToSave = dir_.filePath(QStringLiteral("export.txt"));
    press(child<QPushButton>("exportListButton"));
    ASSERT_TRUE(waitForLog(text(Text::FileSaved).arg(prompts_.fileToSave)));
    EXPECT_EQ(readFile(prompts_.fileToSave).toStdString(), whitelist::listText(entries));
}

TEST_F(MaintenanceTest, WhiteListEntriesAddedDeletedAndAllDeleted) {
    withModel([](ReaderModel &model) { model.whiteList = {{1, 2, 3, 4}, {5, 6, 7, 8}}; });
    press(child<QPushButton>("readListButton"));
    ASSERT_TRUE(waitForLog(text(Text::WhiteListRead).arg(2)));

    child<QLineEdit>("entryField")->setText(QStringLiteral("xyz"));
    press(child<QPushButton>("addEntryButton"));
    ASSERT_EQ(prompts_.notices.size(), 1);
    child<QLineEdit>("entryField")->setText(QStringLiteral("deadBEEF"));
    press(child<QPushButton>("addEntryButton"));
    ASSERT_TRUE(waitForLog(text(Text::WhiteListWritten).arg(1).arg(1)));

    auto *list = child<QListWidget>("whiteList");
    list->findItems(QStringLiteral("01020304"), Qt::MatchExactly).front()->setSelected(true);
    press(child<QPushButton>("deleteEntryButton"));
    ASSERT_TRUE(waitForLog(text(Text::WhiteListEntryDeleted).arg(QStringLiteral("01020304"))));
    std::vector<whitelist::Entry> held;
    withModel([&](ReaderModel &model) { held = model.whiteList; });
    EXPECT_EQ(held, (std::vector<whitelist::Entry>{{5, 6, 7, 8}, {0xDE, 0xAD, 0xBE, 0xEF}}));
    EXPECT_EQ(window_.whiteListTab()->shownEntries(), held);

    prompts_.confirmAnswer = false;
    press(child<QPushButton>("deleteAllButton"));
    EXPECT_EQ(list->count(), 2);
    prompts_.confirmAnswer = true;
    press(child<QPushButton>("deleteAllButton"));
    ASSERT_TRUE(waitForLog(text(Text::WhiteListCleared)));
    withModel([&](ReaderModel &model) { held = model.whiteList; });
    EXPECT_TRUE(held.empty());
    EXPECT_EQ(list->count(), 0);
}

TEST_F(MaintenanceTest, CacheReadExportedAndClearedAfterConfirmation) {
    const std::vector<Bytes> records{
        {0x03, 0xAA, 0xBB, 0xCC},
        {0x0C, 0x30, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0x01},
        Bytes(20, 0x42),
    };
    withModel([&](ReaderModel &model) { model.cacheRecords = records; });
    press(child<QPushButton>("readCacheButton"));
    ASSERT_TRUE(waitForLog(text(Text::CacheRead).arg(3).arg(37)));
    const QStringList rows = window_.cacheTab()->shownHex().split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], QStringLiteral("0000: 03 AA BB CC 0C 30 00 11 22 33 44 55 66 77 88 99"));
    EXPECT_EQ(rows[1], QStringLiteral("0010: 01 42 42 42 42 42 42 42 42 42 42 42 42 42 42 42"));
    EXPECT_EQ(rows[2], QStringLiteral("0020: 42 42 42 42 42"));

    prompts_.fileToSave = dir_.filePath(QStringLiteral("cache.txt"));
    press(child<QPushButton>("exportCacheButton"));
    ASSERT_TRUE(waitForLog(text(Text::FileSaved).arg(prompts_.fileToSave)));
    EXPECT_EQ(QString::fromUtf8(readFile(prompts_.fileToSave)), window_.cacheTab()->shownHex());

    std::size_t held = 0;
    prompts_.confirmAnswer = false;
    press(child<QPushButton>("clearCacheButton"));
    withModel([&](ReaderModel &model) { held = model.cacheRecords.size(); });
    EXPECT_EQ(held, 3u);
    prompts_.confirmAnswer = true;
    press(child<QPushButton>("clearCacheButton"));
    ASSERT_TRUE(waitForLog(text(Text::CacheCleared)));
    withModel([&](ReaderModel &model) { held = model.cacheRecords.size(); });
    EXPECT_EQ(held, 0u);
    EXPECT_TRUE(window_.cacheTab()->shownHex().isEmpty());
}

// A reader that holds block 3 until the test lets it go: the window shows where the upgrade
// stands meanwhile, and Cancel then stops it before block 4.
TEST(MaintenanceProgressTest, ProgressShowsBlocksBytesRateAndTimeLeftThenCancelStops) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    pagetest::CScriptedReader reader;
    reader.answerWith("sendFirmwareBlock", [released](const pagetest::ReaderCall &call) {
        if (call.arguments.at(0) == 3) released.wait();
        return std::optional<Bytes>(Bytes{});
    });
    reader.answer("endFirmware", Bytes{});
    CFakeMainWindow services(reader);
    // Lets block 3 go before the worker ends, also when an assertion returns early.
    bool letGo = false;
    const auto letBlockGo = [&] {
        if (!std::exchange(letGo, true)) release.set_value();
    };
    struct AtEnd {
        std::function<void()> action;
        ~AtEnd() { action(); }
    } const atEnd{letBlockGo};
    QTemporaryDir dir;
    CMaintenanceWindow window(services, {}, nullptr);

    startUpgrade(window, dir, patternImage(8 * 1024), 1024, QString());
    auto *status = childOf<QLabel>(window, "upgradeStatus");
    const QString shown = services.text(Text::UpgradeProgress)
                              .arg(3)
                              .arg(8)
                              .arg(3 * 1024)
                              .arg(8 * 1024)
                              .section(u'%', 0, 0);
    ASSERT_TRUE(pagetest::waitUntil([&] { return status->text().startsWith(shown); }))
        << status->text().toStdString();
    EXPECT_FALSE(status->text().contains(u'%'));
    EXPECT_EQ(childOf<QProgressBar>(window, "upgradeProgress")->value(), 3);
    EXPECT_FALSE(childOf<QPushButton>(window, "startUpgradeButton")->isEnabled());
    press(childOf<QPushButton>(window, "cancelUpgradeButton"));
    letBlockGo();
    ASSERT_TRUE(waitForUpgradeEnd(window));
    EXPECT_TRUE(services.waitForLog(services.text(Text::UpgradeCancelled).arg(4).arg(8)));
    EXPECT_EQ(reader.callsOf("sendFirmwareBlock").size(), 4u);
    EXPECT_TRUE(reader.callsOf("endFirmware").empty());
}

// The serial library waits 800 ms after block 0 of the password commands before it looks for
// the answer; the upgrade goes on from there.
TEST(MaintenanceSerialTest, PasswordUpgradeOverASerialLine) {
    QTemporaryDir dir;
    readersim::VirtualReader reader(readersim::ReaderOptions{.family = "fir"});
    reader.withModel([](ReaderModel &model) { model.devicePassword = {1, 2, 3, 4}; });
    const std::string path = reader.servePty(dir.filePath(QStringLiteral("reader0")).toStdString());
    CReaderFacade facade;
    ASSERT_NE(facade.openSerial(QByteArray::fromStdString(path), 115200), 0);
    CReader typed(facade);
    CFakeMainWindow services(typed, &facade);
    services.transportInUse = Transport::Serial;
    {
        CMaintenanceWindow window(services, {}, nullptr);
        const Bytes image = patternImage(3 * 1024 + 100);
        startUpgrade(window, dir, image, 1024, QStringLiteral("01020304"));
        ASSERT_TRUE(waitForUpgradeEnd(window));
        EXPECT_TRUE(
            services.waitForLog(services.text(Text::UpgradeCompleted).arg(4).arg(3 * 1024 + 112)));
    }
    Bytes received;
    reader.withModel([&](ReaderModel &model) { received = model.upgrade.completedImage; });
    EXPECT_EQ(received.size(), 3u * 1024 + 112);
    facade.closeDevice();
}

// The program's main window with the maintenance window and the pages it hosts.
class MaintenanceButtonTest : public ::testing::Test {
  protected:
    static CPageFactory pages() {
        CPageFactory factory;
        factory.registerPage(readerfamily::PageId::GprsTest, CPageFactory::makerOf<CDlgGPRSTest>());
        factory.registerPage(readerfamily::PageId::FirNetParam,
                             CPageFactory::makerOf<CDlgFirNetParam>());
        factory.registerMaintenanceWindow(
            [](IMainWindowServices &services, CPageFactory::HostedPages hosted, QWidget *parent) {
                return new CMaintenanceWindow(services, std::move(hosted), parent);
            });
        return factory;
    }

    QTemporaryDir configDir_;
    std::unique_ptr<CTagDeskDlg> window_;
};

TEST_F(MaintenanceButtonTest, TheButtonFollowsTheConnectionAndOpensTheWindow) {
    readersim::VirtualReader reader(readersim::ReaderOptions{.family = "fir"});
    const std::uint16_t port = reader.serveTcp(0);
    const QString dataDir = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR);
    window_ = std::make_unique<CTagDeskDlg>(CAppPaths::forProgramDirectory(configDir_.path()),
                                            CDataFiles(dataDir, dataDir), pages());
    auto *button = window_->findChild<QPushButton *>(QStringLiteral("maintenanceButton"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(pagetest::accessibleName(button), window_->text(Text::MaintenanceButton));
    EXPECT_FALSE(button->isEnabled());

    window_->preselectNetwork(QStringLiteral("127.0.0.1"), QString::number(port));
    window_->findChild<QPushButton *>(QStringLiteral("openButton"))->click();
    ASSERT_TRUE(pagetest::waitUntil([&] { return window_->isConnected(); }));
    EXPECT_EQ(window_->tabs()->count(), 6);
    EXPECT_TRUE(button->isEnabled());

    press(button);
    auto *maintenance = qobject_cast<CMaintenanceWindow *>(window_->maintenanceWindow());
    ASSERT_NE(maintenance, nullptr);
    EXPECT_TRUE(maintenance->isVisible());
    EXPECT_TRUE(maintenance->isWindow());
    EXPECT_EQ(maintenance->tabs()->count(), 4);
    auto *hosted = maintenance->findChild<QTabWidget *>(QStringLiteral("gprsGpsTabs"));
    ASSERT_NE(hosted, nullptr);
    ASSERT_EQ(hosted->count(), 2);
    EXPECT_NE(qobject_cast<CDlgGPRSTest *>(hosted->widget(0)), nullptr);
    EXPECT_NE(qobject_cast<CDlgFirNetParam *>(hosted->widget(1)), nullptr);
    EXPECT_TRUE(accessible::unnamedControls(maintenance).isEmpty());
    EXPECT_TRUE(maintenance->firmwareTab()->isEnabled());

    window_->findChild<QPushButton *>(QStringLiteral("closeButton"))->click();
    ASSERT_TRUE(pagetest::waitUntil([&] { return !window_->connectionPending(); }));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_FALSE(maintenance->firmwareTab()->isEnabled());
    window_.reset();
}

}  // namespace
