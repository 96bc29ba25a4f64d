// The network test page against its server and loopback clients: rows as they are shown, HEX
// on and off, a reconnecting reader, restarting on another port, refused ports, and a virtual
// reader connecting out with its reports.
#include "CDlgNetTest.h"
#include "CIocpModeSvr.h"
#include "kit/CAccessible.h"
#include "kit/CShellPrompts.h"
#include "kit/CTextListModel.h"
#include "netserver_test_support.h"
#include "page_test_kit.h"
#include "virtual_reader.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using nettest::LoopbackPeer;
using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::waitUntil;

class NetTestPageTest : public ::testing::Test
{
protected:
    NetTestPageTest() { page.setPrompts(&prompts); }

    void startOnFreePort()
    {
        // A port of the loopback range that was just free.
        CIocpModeSvr probe;
        ASSERT_TRUE(probe.start([](std::uint32_t, std::int32_t, const std::uint8_t *,
                                   std::uint32_t, void *) {}, 0, nullptr));
        const std::uint16_t port = probe.port();
        probe.stop();
        startOn(port);
    }
    void startOn(std::uint16_t port)
    {
        page.findChild<QLineEdit *>(QStringLiteral("portField"))->setText(QString::number(port));
        page.findChild<QPushButton *>(QStringLiteral("startButton"))->click();
    }
    QString connectionCell(int row, int column) const
    {
        return page.connections()->cellText(row, column);
    }
    QString dataCell(int row, int column) const { return page.received()->cellText(row, column); }

    CScriptedReader reader;
    CFakeMainWindow window{reader};
    pagetest::CRecordingPrompts prompts;
    CDlgNetTest page{window, nullptr};
};

TEST_F(NetTestPageTest, ConnectionsAndBytesAppearAsRows)
{
    startOnFreePort();
    ASSERT_TRUE(page.isListening());
    EXPECT_TRUE(window.waitForLog(
        window.text(1033).replace(QStringLiteral("%s"), QString::number(page.listeningPort()))));
    EXPECT_TRUE(CAccessible::unnamedControls(&page).isEmpty());

    LoopbackPeer peer;
    ASSERT_TRUE(peer.connect(page.listeningPort()));
    ASSERT_TRUE(waitUntil([&] { return page.connections()->rowCount() == 1; }));
    EXPECT_EQ(connectionCell(0, 0), QStringLiteral("001"));
    EXPECT_EQ(connectionCell(0, 2), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(connectionCell(0, 4), window.text(1037));
    const QString socket = connectionCell(0, 3);

    struct Case
    {
        bool hex;
        nettest::Bytes bytes;
        QString shown;
    };
    const Case cases[] = {
        {true, {0x4A, 0x51, 0x00, 0x05}, QStringLiteral("4A 51 00 05 ")},
        {false, {'A', 'B', 0x00, 'C'}, QStringLiteral("AB")},
        {false, {'o', 'k', 0xFF}, QStringLiteral("ok\uFFFD")},
    };
    int rows = 0;
    for (const Case &test : cases) {
        page.findChild<QCheckBox *>(QStringLiteral("hexSwitch"))->setChecked(test.hex);
        ASSERT_TRUE(peer.send(test.bytes));
        ++rows;
        ASSERT_TRUE(waitUntil([&] { return page.received()->rowCount() == rows; }));
        EXPECT_EQ(dataCell(rows - 1, 0), QString::asprintf("%.3d", rows));
        EXPECT_EQ(dataCell(rows - 1, 2), QStringLiteral("127.0.0.1:") + socket);
        EXPECT_EQ(dataCell(rows - 1, 3), test.shown);
    }

    // The same reader again from a new connection: a new row; the old one says disconnected.
    peer.close();
    ASSERT_TRUE(waitUntil([&] { return connectionCell(0, 4) == window.text(1036); }));
    LoopbackPeer again;
    ASSERT_TRUE(again.connect(page.listeningPort()));
    ASSERT_TRUE(waitUntil([&] { return page.connections()->rowCount() == 2; }));
    EXPECT_EQ(connectionCell(1, 0), QStringLiteral("002"));
    EXPECT_EQ(connectionCell(0, 4), window.text(1036));
    EXPECT_EQ(connectionCell(1, 4), window.text(1037));

    page.disconnectAll();
    EXPECT_TRUE(again.waitForEnd());
    EXPECT_TRUE(window.waitForLog(window.text(1035)));
}

TEST_F(NetTestPageTest, StopThenStartOnAnotherPortClearsTheDataList)
{
    startOnFreePort();
    const std::uint16_t first = page.listeningPort();
    LoopbackPeer peer;
    ASSERT_TRUE(peer.connect(first));
    ASSERT_TRUE(peer.send({1, 2, 3}));
    ASSERT_TRUE(waitUntil([&] { return page.received()->rowCount() == 1; }));
    // Another page shown meanwhile changes nothing.
    page.stopWork();
    EXPECT_TRUE(page.isListening());

    // A reader that comes and sends just before the stop: its events, handled at the stop,
    // leave no row in the cleared connection list.
    LoopbackPeer late;
    ASSERT_TRUE(late.connect(first));
    ASSERT_TRUE(late.send({4, 5}));
    page.findChild<QPushButton *>(QStringLiteral("stopButton"))->click();
    EXPECT_FALSE(page.isListening());
    EXPECT_EQ(page.connections()->rowCount(), 0);
    EXPECT_TRUE(window.waitForLog(window.text(1034)));
    EXPECT_TRUE(peer.waitForEnd());
    EXPECT_TRUE(late.waitForEnd());
    EXPECT_EQ(page.connections()->rowCount(), 0);
    startOnFreePort();
    ASSERT_TRUE(page.isListening());
    EXPECT_NE(page.listeningPort(), 0);
    EXPECT_EQ(page.received()->rowCount(), 0);
}

TEST_F(NetTestPageTest, PortsOutOfRangeAndPortsInUseAreRefused)
{
    for (const int port : {0, 70000}) {
        page.findChild<QLineEdit *>(QStringLiteral("portField"))->setText(QString::number(port));
        page.startListening();
        EXPECT_FALSE(page.isListening()) << port;
    }
    EXPECT_EQ(prompts.notices.size(), 2);

    CIocpModeSvr holder;
    ASSERT_TRUE(holder.start([](std::uint32_t, std::int32_t, const std::uint8_t *, std::uint32_t,
                                void *) {}, 0, nullptr));
    startOn(holder.port());
    EXPECT_FALSE(page.isListening());
    EXPECT_TRUE(window.waitForLog(window.text(1032)));
    EXPECT_TRUE(page.findChild<QPushButton *>(QStringLiteral("startButton"))->isEnabled());
}

TEST_F(NetTestPageTest, AReaderConnectingOutShowsItsReports)
{
    startOnFreePort();
    readersim::VirtualReader virtualReader;
    virtualReader.startActive(std::chrono::milliseconds(5), 1);
    virtualReader.connectTo("127.0.0.1", page.listeningPort());
    ASSERT_TRUE(waitUntil([&] { return page.received()->rowCount() >= 5; }));
    // Every block starts with the response header of the reader's frames.
    EXPECT_TRUE(dataCell(0, 3).startsWith(QStringLiteral("4A 51 ")));
    EXPECT_EQ(connectionCell(0, 4), window.text(1037));
    virtualReader.stopActive();
}

} // namespace
