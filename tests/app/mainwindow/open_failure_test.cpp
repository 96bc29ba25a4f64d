// Opens that fail or have nothing to open leave the window, the tabs and the configuration
// file as they were.
#include "main_window_fixture.h"

#include "shell/CTab.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace mainwindowtest {

TEST_F(MainWindowTest, ARefusedNetworkOpenChangesNothing) {
    std::uint16_t closedPort = 0;
    {
        // A port that was just free and is closed again: the connect is refused.
        auto reader = makeReader("fir");
        closedPort = reader->serveTcp(0);
    }
    createWindow();
    const QByteArray configBefore = configFile();
    openNetwork(closedPort);

    EXPECT_FALSE(window_->isConnected());
    EXPECT_TRUE(waitForMessage(text(1014)));
    EXPECT_FALSE(hasMessage(text(1015)));
    EXPECT_EQ(configFile(), configBefore);
    EXPECT_EQ(tabCaptions(), QStringList{text(1001)});
    EXPECT_TRUE(isEnabled("openButton"));
    EXPECT_FALSE(isEnabled("closeButton"));
    EXPECT_TRUE(fieldText("serialNumberField").isEmpty());
}

TEST_F(MainWindowTest, AFailedOpenKeepsTheFieldsOfTheLastReader) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    pressClose();
    const QString serialNumber = fieldText("serialNumberField");
    const QByteArray configBefore = configFile();
    reader.reset();

    pressOpen();
    EXPECT_FALSE(window_->isConnected());
    EXPECT_TRUE(waitForMessage(text(1014)));
    EXPECT_EQ(fieldText("serialNumberField"), serialNumber);
    EXPECT_EQ(configFile(), configBefore);
    EXPECT_EQ(window_->tabs()->count(), 6);
}

TEST_F(MainWindowTest, AReaderThatNeverAnswersLeavesTheWindowLiveAndIsClosedAgain) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    readersim::Faults silent;
    silent.dropEveryNth = 1;
    reader->setFaults(silent);
    createWindow();
    const QByteArray configBefore = configFile();
    window_->preselectNetwork(QStringLiteral("127.0.0.1"), QString::number(port));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    child<QPushButton>("openButton")->click();
    // Both requests wait out their time-out while the window keeps serving events and shows
    // that it is connecting.
    EXPECT_TRUE(window_->connectionPending());
    EXPECT_FALSE(isEnabled("openButton"));
    ASSERT_TRUE(waitUntil([&] { return !window_->connectionPending(); }));
    EXPECT_GE(ticks, 10);

    EXPECT_FALSE(window_->isConnected());
    EXPECT_TRUE(waitForMessage(text(1016)));
    EXPECT_TRUE(hasMessage(text(1015)));
    EXPECT_EQ(reader->requests().size(), 2U);
    EXPECT_EQ(configFile(), configBefore);
    EXPECT_EQ(tabCaptions(), QStringList{text(1001)});
    EXPECT_TRUE(isEnabled("openButton"));
    EXPECT_FALSE(isEnabled("relayCloseButton"));
}

TEST_F(MainWindowTest, UsbOpenWithAnEmptyListDoesNothing) {
    qunsetenv("QNHID_SIM");
    createWindow();
    auto *usbList = child<QComboBox>("usbList");
    usbList->clear();
    child<QRadioButton>("usbButton")->setChecked(true);
    expectOpenDoesNothing();
}

TEST_F(MainWindowTest, SerialOpenWithoutAPortNameDoesNothing) {
    createWindow();
    auto *serialList = child<QComboBox>("serialList");
    serialList->clear();
    serialList->setEditText(QString());
    child<QRadioButton>("serialButton")->setChecked(true);
    expectOpenDoesNothing();
}

TEST_F(MainWindowTest, SerialOpenOfAMissingPortLogsTheFailure) {
    createWindow();
    child<QRadioButton>("serialButton")->setChecked(true);
    child<QComboBox>("serialList")->setEditText(configDir_.filePath(QStringLiteral("noport0")));
    const QByteArray configBefore = configFile();
    pressOpen();
    EXPECT_TRUE(waitForMessage(text(1010)));
    EXPECT_FALSE(window_->isConnected());
    EXPECT_EQ(configFile(), configBefore);
}

}  // namespace mainwindowtest
