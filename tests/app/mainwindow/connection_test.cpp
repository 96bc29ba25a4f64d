// Open and Close over the three transports against the virtual reader, the pages each family
// offers, and the relay.
#include "main_window_fixture.h"

#include "kit/Accessible.h"
#include "reader/CReaderEvents.h"

#include "reader_model.h"
#include "shell/CDemoReader.h"
#include "shell/CStartOptions.h"
#include "shell/CTab.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace mainwindowtest {

TEST_F(MainWindowTest, StartsClosedWithTheWelcomeTabAlone) {
    createWindow();
    EXPECT_FALSE(window_->isConnected());
    EXPECT_EQ(tabCaptions(), QStringList{text(1001)});
    EXPECT_TRUE(isEnabled("openButton"));
    for (const char *name :
         {"closeButton", "relayCloseButton", "relayReleaseButton", "exportButton", "importButton"})
        EXPECT_FALSE(isEnabled(name)) << name;
    EXPECT_EQ(child<QComboBox>("baudList")->currentText(), QStringLiteral("115200bps"));
    EXPECT_EQ(fieldText("ipField"), QStringLiteral("192.168.1.250"));
    EXPECT_EQ(fieldText("portField"), QStringLiteral("60000"));
    // Every control can be found by its name.
    for (const QWidget *unnamed : accessible::unnamedControls(window_.get()))
        ADD_FAILURE() << unnamed->metaObject()->className() << " "
                      << unnamed->objectName().toStdString();
    EXPECT_EQ(child<QLineEdit>("portField")->accessibleName(), text(1051));
}

TEST_F(MainWindowTest, OpensAFirReaderOverTcp) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    QList<bool> notices;
    QObject::connect(&window_->events(), &CReaderEvents::connectionChanged,
                     [&](bool open) { notices.append(open); });
    openNetwork(port);

    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(window_->transport(), Transport::Network);
    EXPECT_EQ(window_->deviceType(), 0x50);
    EXPECT_EQ(window_->serialNumber()[0], 0x50);
    EXPECT_TRUE(waitForMessage(text(1015)));
    EXPECT_TRUE(fieldText("serialNumberField").startsWith(QStringLiteral("50")));
    EXPECT_EQ(fieldText("serialNumberField").size(), 14);
    EXPECT_EQ(fieldText("firmwareField"), QStringLiteral("2.3"));
    EXPECT_EQ(fieldText("hardwareField"), QStringLiteral("1.1"));
    EXPECT_EQ(configText(QStringLiteral("Transport")), QStringLiteral("2"));
    EXPECT_EQ(configText(QStringLiteral("DevIP")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(configText(QStringLiteral("DevPort")), QString::number(port));

    EXPECT_EQ(tabCaptions(), (QStringList{text(1005), text(1006), text(1096), text(1223),
                                          text(1008), text(1009)}));
    EXPECT_EQ(window_->tabs()->currentWidget(), page(PageId::FirParam));
    EXPECT_EQ(page(PageId::FirParam)->reads(), 1);
    EXPECT_FALSE(isEnabled("openButton"));
    EXPECT_TRUE(isEnabled("closeButton"));
    EXPECT_TRUE(isEnabled("relayCloseButton"));
    EXPECT_TRUE(isEnabled("relayReleaseButton"));
    EXPECT_TRUE(isEnabled("exportButton"));
    EXPECT_TRUE(isEnabled("importButton"));

    pressClose();
    EXPECT_FALSE(window_->isConnected());
    EXPECT_TRUE(waitForMessage(text(1017)));
    EXPECT_TRUE(isEnabled("openButton"));
    EXPECT_FALSE(isEnabled("closeButton"));
    EXPECT_FALSE(isEnabled("relayCloseButton"));
    // Close keeps what the fields and tabs show.
    EXPECT_EQ(fieldText("firmwareField"), QStringLiteral("2.3"));
    EXPECT_EQ(window_->tabs()->count(), 6);
    EXPECT_GE(page(PageId::IdentifyTab)->stops(), 1);
    EXPECT_GE(page(PageId::Writer)->stops(), 1);
    EXPECT_EQ(notices, (QList<bool>{true, false}));
}

TEST_F(MainWindowTest, OpensOverAPseudoTerminal) {
    auto reader = makeReader("fir");
    const std::string path =
        reader->servePty(configDir_.filePath(QStringLiteral("reader0")).toStdString());
    createWindow();
    child<QRadioButton>("serialButton")->setChecked(true);
    child<QComboBox>("serialList")->setEditText(QString::fromStdString(path));
    child<QComboBox>("baudList")->setCurrentIndex(4);
    pressOpen();

    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(window_->transport(), Transport::Serial);
    EXPECT_TRUE(waitForMessage(text(1011)));
    EXPECT_EQ(configText(QStringLiteral("Transport")), QStringLiteral("0"));
    EXPECT_EQ(configText(QStringLiteral("ComBaud")), QStringLiteral("4"));
    EXPECT_EQ(configText(QStringLiteral("ComNum")), QStringLiteral("0"));
    EXPECT_EQ(window_->tabs()->count(), 6);
    EXPECT_EQ(fieldText("firmwareField"), QStringLiteral("2.3"));
    pressClose();
    EXPECT_TRUE(waitForMessage(text(1017)));
}

TEST_F(MainWindowTest, OpensOverTheHidTunnel) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveHid(0);
    const QByteArray simulated = QByteArrayLiteral("127.0.0.1:") + QByteArray::number(port);
    qputenv("QNHID_SIM", simulated);
    createWindow();
    qunsetenv("QNHID_SIM");
    auto *usbList = child<QComboBox>("usbList");
    const int position = usbList->findText(QStringLiteral("sim:") + QString::fromLatin1(simulated));
    ASSERT_GE(position, 0);
    usbList->setCurrentIndex(position);
    child<QRadioButton>("usbButton")->setChecked(true);
    pressOpen();

    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(window_->transport(), Transport::Usb);
    EXPECT_TRUE(waitForMessage(text(1013)));
    EXPECT_EQ(configText(QStringLiteral("Transport")), QStringLiteral("1"));
    EXPECT_EQ(configText(QStringLiteral("UsbNum")), QString::number(position));
    EXPECT_TRUE(fieldText("serialNumberField").startsWith(QStringLiteral("50")));
    EXPECT_EQ(window_->tabs()->count(), 6);
    pressClose();
    EXPECT_TRUE(waitForMessage(text(1017)));
}

TEST_F(MainWindowTest, AnAlderReaderAfterAFirReaderRebuildsTheTabs) {
    auto fir = makeReader("fir");
    auto alder = makeReader("alder");
    const std::uint16_t firPort = fir->serveTcp(0);
    const std::uint16_t alderPort = alder->serveTcp(0);
    createWindow();
    openNetwork(firPort);
    ASSERT_TRUE(window_->isConnected());
    window_->tabs()->setCurrentIndex(2);
    pressClose();

    openNetwork(alderPort);
    ASSERT_TRUE(window_->isConnected());
    EXPECT_TRUE(fieldText("serialNumberField").startsWith(QStringLiteral("E0")));
    EXPECT_EQ(tabCaptions(), (QStringList{text(1005), text(1007), text(1097), text(1009)}));
    EXPECT_EQ(window_->tabs()->currentIndex(), 0);
    EXPECT_EQ(window_->tabs()->currentWidget(), page(PageId::AlderParam));
    EXPECT_TRUE(page(PageId::AlderParam)->isVisibleTo(window_.get()));
    // Once by the family set-up, once by the selection of tab 0.
    EXPECT_EQ(page(PageId::AlderParam)->reads(), 2);
    EXPECT_FALSE(isEnabled("relayCloseButton"));
    EXPECT_FALSE(isEnabled("relayReleaseButton"));
    EXPECT_TRUE(isEnabled("closeButton"));
}

TEST_F(MainWindowTest, AnUnknownTypeKeepsTheWelcomeTab) {
    auto reader = makeReader("0x11");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    EXPECT_TRUE(fieldText("serialNumberField").startsWith(QStringLiteral("11")));
    EXPECT_EQ(tabCaptions(), QStringList{text(1001)});
    EXPECT_EQ(window_->tabs()->currentWidget(), page(PageId::Hello));
    EXPECT_TRUE(isEnabled("relayCloseButton"));
}

TEST_F(MainWindowTest, AnUnknownTypeAfterAFirReaderGoesBackToTheWelcomeTab) {
    auto fir = makeReader("fir");
    auto unknown = makeReader("0x11");
    const std::uint16_t firPort = fir->serveTcp(0);
    const std::uint16_t unknownPort = unknown->serveTcp(0);
    createWindow();
    openNetwork(firPort);
    pressClose();
    openNetwork(unknownPort);
    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(tabCaptions(), QStringList{text(1001)});
    EXPECT_TRUE(page(PageId::Hello)->isVisibleTo(window_.get()));
    EXPECT_TRUE(page(PageId::Hello)->isEnabled());
}

TEST_F(MainWindowTest, OpenCloseOpenKeepsTheCurrentTab) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    window_->tabs()->setCurrentIndex(3);
    EXPECT_EQ(page(PageId::ActiveRead)->stops(), 1);
    pressClose();
    pressOpen();
    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(window_->tabs()->currentIndex(), 3);
    EXPECT_EQ(window_->tabs()->currentWidget(), page(PageId::ActiveRead));
    // The second Open reran only the parameter page's read.
    EXPECT_EQ(page(PageId::FirParam)->reads(), 2);
    EXPECT_EQ(page(PageId::SpecialParam)->reads(), 0);
}

TEST_F(MainWindowTest, SelectingTabsShowsOnePageAndReadsParameterPages) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    window_->tabs()->setCurrentIndex(1);
    EXPECT_EQ(page(PageId::SpecialParam)->reads(), 1);
    EXPECT_TRUE(page(PageId::SpecialParam)->isEnabled());
    EXPECT_FALSE(page(PageId::FirParam)->isEnabled());
    EXPECT_EQ(page(PageId::IdentifyTab)->stops(), 1);
    EXPECT_EQ(page(PageId::ActiveRead)->stops(), 1);
    EXPECT_EQ(page(PageId::Writer)->stops(), 0);
    window_->tabs()->setCurrentIndex(4);
    EXPECT_EQ(page(PageId::NetParam)->reads(), 1);
    window_->tabs()->setCurrentIndex(5);
    EXPECT_EQ(page(PageId::NetTest)->reads(), 0);
    window_->tabs()->setCurrentIndex(0);
    EXPECT_EQ(page(PageId::FirParam)->reads(), 2);
}

TEST_F(MainWindowTest, RelayButtonsSwitchTheReadersRelay) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    flushMessages();
    const qsizetype before = messages().size();

    const auto relayClosed = [&] {
        bool closed = false;
        reader->withModel([&](readersim::ReaderModel &model) { closed = model.relayClosed; });
        return closed;
    };
    child<QPushButton>("relayCloseButton")->click();
    EXPECT_TRUE(waitUntil(relayClosed));
    child<QPushButton>("relayReleaseButton")->click();
    EXPECT_TRUE(waitUntil([&] { return !relayClosed(); }));
    EXPECT_TRUE(waitUntil([&] { return messages().mid(before).count(text(1023)) == 2; }));

    // A reader that refuses: the failure line.
    readersim::Faults faults;
    faults.failureStatus = true;
    reader->setFaults(faults);
    child<QPushButton>("relayCloseButton")->click();
    EXPECT_TRUE(waitForMessage(text(1022)));
}

TEST_F(MainWindowTest, PortScanRefillsTheUsbList) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveHid(0);
    qunsetenv("QNHID_SIM");
    createWindow();
    const QString device = QStringLiteral("sim:127.0.0.1:%1").arg(port);
    EXPECT_EQ(child<QComboBox>("usbList")->findText(device), -1);
    qputenv("QNHID_SIM", QByteArrayLiteral("127.0.0.1:") + QByteArray::number(port));
    child<QPushButton>("portScanButton")->click();
    qunsetenv("QNHID_SIM");
    EXPECT_GE(child<QComboBox>("usbList")->findText(device), 0);
    EXPECT_EQ(child<QComboBox>("usbList")->currentIndex(), 0);
}

TEST_F(MainWindowTest, NetworkScanStartsTheToolBesideTheProgramOnly) {
    // Both folders hold a scan tool that leaves a mark next to itself; only one is started.
    QTemporaryDir program;
    for (const QString &folder : {program.path(), configDir_.path()}) {
        ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("Seeker")));
        QFile script(folder + QStringLiteral("/Seeker/Locator"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch \"$(dirname \"$0\")/started\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    createWindow(program.path());
    const QString previous = QDir::currentPath();
    QDir::setCurrent(configDir_.path());
    child<QPushButton>("networkScanButton")->click();
    QDir::setCurrent(previous);
    EXPECT_TRUE(waitUntil(
        [&] { return QFile::exists(program.filePath(QStringLiteral("Seeker/started"))); }));
    EXPECT_FALSE(QFile::exists(configDir_.filePath(QStringLiteral("Seeker/started"))));
}

TEST_F(MainWindowTest, NetworkScanWithoutTheToolDoesNothing) {
    createWindow();
    const QString previous = QDir::currentPath();
    QDir::setCurrent(configDir_.path());
    child<QPushButton>("networkScanButton")->click();
    QDir::setCurrent(previous);
    flushMessages();
    EXPECT_EQ(messages().size(), 1);
}

TEST_F(MainWindowTest, TheDemoReaderIsPreselectedAndNothingIsWrittenUntilOpen) {
    EXPECT_TRUE(
        CStartOptions::parse({QStringLiteral("tagbench"), QStringLiteral("--demo")}).options.demo);
    EXPECT_FALSE(CStartOptions::parse({QStringLiteral("tagbench")}).options.demo);

    const CDemoReader demo;
    createWindow();
    const QByteArray configBefore = configFile();
    window_->preselectNetwork(CDemoReader::address, demo.portText());
    EXPECT_TRUE(child<QRadioButton>("networkButton")->isChecked());
    EXPECT_EQ(fieldText("ipField"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(fieldText("portField"), demo.portText());
    EXPECT_EQ(configFile(), configBefore);

    pressOpen();
    ASSERT_TRUE(window_->isConnected());
    EXPECT_EQ(window_->tabs()->count(), 6);
    EXPECT_EQ(configText(QStringLiteral("DevPort")), demo.portText());
    window_.reset();
}

}  // namespace mainwindowtest
