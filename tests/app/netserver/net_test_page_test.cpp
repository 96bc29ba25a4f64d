// The network test page against its server and loopback clients: rows as they are shown, HEX
// on and off, a reconnecting reader, restarting on another port, refused ports, a virtual
// reader connecting out with its reports, and the bounds the page keeps under a flood.
#include "CDlgNetTest.h"
#include "CIocpModeSvr.h"
#include "kit/Accessible.h"
#include "kit/CMyFunc.h"
#include "kit/CShellPrompts.h"
#include "kit/CTextListModel.h"
#include "netserver_test_support.h"
#include "page_test_kit.h"
#include "virtual_reader.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

using nettest::LoopbackPeer;
using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::waitUntil;

class NetTestPageTest : public ::testing::Test {
  protected:
    explicit NetTestPageTest(NetTestBounds bounds = {}) : page(window, nullptr, bounds) {}

    void startOnFreePort() {
        // A port of the loopback range that was just free.
        CIocpModeSvr probe;
        ASSERT_TRUE(probe.start(
            [](std::uint32_t, std::int32_t, const std::uint8_t *, std::uint32_t, void *) {}, 0,
            nullptr));
        const std::uint16_t port = probe.port();
        probe.stop();
        startOn(port);
    }
    void startOn(std::uint16_t port) {
        page.findChild<QLineEdit *>(QStringLiteral("portField"))->setText(QString::number(port));
        page.findChild<QPushButton *>(QStringLiteral("startButton"))->click();
    }
    QString connectionCell(int row, int column) const {
        return page.connections()->cellText(row, column);
    }
    QString dataCell(int row, int column) const {
        return page.received()->index(row, column).data().toString();
    }

    CScriptedReader reader;
    CFakeMainWindow window{reader};
    pagetest::CRecordingPrompts &prompts = window.dialogs;
    CDlgNetTest page;
};

TEST_F(NetTestPageTest, ConnectionsAndBytesAppearAsRows) {
    startOnFreePort();
    ASSERT_TRUE(page.isListening());
    EXPECT_TRUE(window.waitForLog(
        window.text(1033).replace(QStringLiteral("%s"), QString::number(page.listeningPort()))));
    EXPECT_TRUE(accessible::unnamedControls(&page).isEmpty());

    LoopbackPeer peer;
    ASSERT_TRUE(peer.connect(page.listeningPort()));
    ASSERT_TRUE(waitUntil([&] { return page.connections()->rowCount() == 1; }));
    EXPECT_EQ(connectionCell(0, 0), QStringLiteral("001"));
    EXPECT_EQ(connectionCell(0, 2), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(connectionCell(0, 4), window.text(1037));
    const QString socket = connectionCell(0, 3);

    struct Case {
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
    // Each row keeps the form it came in.
    for (int row = 0; row < rows; ++row) EXPECT_EQ(dataCell(row, 3), cases[row].shown) << row;

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

TEST_F(NetTestPageTest, StopThenStartOnAnotherPortClearsTheDataList) {
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

TEST_F(NetTestPageTest, PortsOutOfRangeAndPortsInUseAreRefused) {
    for (const int port : {0, 70000}) {
        page.findChild<QLineEdit *>(QStringLiteral("portField"))->setText(QString::number(port));
        page.startListening();
        EXPECT_FALSE(page.isListening()) << port;
    }
    EXPECT_EQ(prompts.notices.size(), 2);

    CIocpModeSvr holder;
    ASSERT_TRUE(holder.start(
        [](std::uint32_t, std::int32_t, const std::uint8_t *, std::uint32_t, void *) {}, 0,
        nullptr));
    startOn(holder.port());
    EXPECT_FALSE(page.isListening());
    EXPECT_TRUE(window.waitForLog(window.text(1032)));
    EXPECT_TRUE(page.findChild<QPushButton *>(QStringLiteral("startButton"))->isEnabled());
}

TEST_F(NetTestPageTest, AReaderConnectingOutShowsItsReports) {
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

// Bounds small enough for a test's data; the program keeps the defaults.
constexpr NetTestBounds smallBounds{
    .receivedRows = 5, .receivedBytes = 3000, .pendingBytes = 8000, .connectionRows = 3};

// Readers that connect and go in a burst reach the connection list, its view and assistive
// tools as a few insertions and changes, not one per reader; every row still tells its state.
TEST_F(NetTestPageTest, ABurstOfConnectionsIsInsertedInBatches) {
    startOnFreePort();
    int insertions = 0;
    int changes = 0;
    QObject::connect(page.connections(), &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
    QObject::connect(page.connections(), &QAbstractItemModel::dataChanged, [&] { ++changes; });
    constexpr int peers = 100;
    std::vector<std::unique_ptr<LoopbackPeer>> burst;
    for (int index = 0; index < peers; ++index) {
        burst.push_back(std::make_unique<LoopbackPeer>());
        ASSERT_TRUE(burst.back()->connect(page.listeningPort()));
    }
    ASSERT_TRUE(waitUntil([&] { return page.connections()->rowCount() == peers; }));
    EXPECT_LT(insertions, peers / 2);
    for (auto &peer : burst) peer->close();
    ASSERT_TRUE(waitUntil([&] {
        for (int row = 0; row < peers; ++row)
            if (connectionCell(row, 4) != window.text(1036)) return false;
        return true;
    }));
    EXPECT_LT(changes, peers / 2);
    EXPECT_EQ(page.connections()->rowCount(), peers);
    EXPECT_EQ(connectionCell(peers - 1, 0), QString::asprintf("%.3d", peers));
}

class BoundedNetTestPageTest : public NetTestPageTest {
  protected:
    BoundedNetTestPageTest() : NetTestPageTest(smallBounds) {}

    // Sends the next `size` bytes of the stream and waits until the server's callback has
    // them, without running the page's event loop.
    void sendAndWaitForCallback(LoopbackPeer &peer, std::size_t size) {
        const nettest::Bytes block(m_stream.begin() + m_sent, m_stream.begin() + m_sent + size);
        ASSERT_TRUE(peer.send(block));
        m_sent += size;
        ASSERT_TRUE(nettest::eventually([&] { return page.bytesSeen() == m_sent; }));
    }
    // The same, then waits until the page has handled every block.
    void sendAndWaitForRows(LoopbackPeer &peer, std::size_t size) {
        sendAndWaitForCallback(peer, size);
        ASSERT_TRUE(waitUntil([&] { return lastRowNumber() == blocksHandled(); }));
    }
    qint64 blocksHandled() const {
        return static_cast<qint64>(page.blocksSeen() - page.blocksNotShown());
    }
    qint64 lastRowNumber() const {
        const int rows = page.received()->rowCount();
        return rows == 0 ? 0 : dataCell(rows - 1, 0).toLongLong();
    }
    // The bytes of the rows shown, oldest first (every row in hex).
    QByteArray shownBytes() const {
        QByteArray bytes;
        for (int row = 0; row < page.received()->rowCount(); ++row)
            bytes += CMyFunc::spacedHexToBytes(dataCell(row, 3));
        return bytes;
    }
    // Whether the rows shown hold the newest bytes sent, in order, one after the other.
    bool shownAreTheNewest() const {
        const QByteArray shown = shownBytes();
        const auto *sentEnd = m_stream.data() + m_sent;
        return std::size_t(shown.size()) <= m_sent &&
               std::equal(
                   shown.begin(), shown.end(), sentEnd - shown.size(),
                   [](char left, std::uint8_t right) { return std::uint8_t(left) == right; });
    }

    const nettest::Bytes m_stream = nettest::pattern(60000);
    std::size_t m_sent = 0;
};

TEST_F(BoundedNetTestPageTest, KeepsTheNewestRowsWithinItsBoundsAndCountsWhatItCouldNotShow) {
    startOnFreePort();
    LoopbackPeer peer;
    ASSERT_TRUE(peer.connect(page.listeningPort()));
    ASSERT_TRUE(waitUntil([&] { return page.connections()->rowCount() == 1; }));
    auto *notShown = page.findChild<QLabel *>(QStringLiteral("notShownLabel"));
    EXPECT_TRUE(notShown->isHidden());

    // The window busy (its events not handled): the queue to it takes about 8 000 bytes, the
    // blocks beyond are counted. The server still hands every byte to the callback.
    for (int block = 0; block < 30; ++block) sendAndWaitForCallback(peer, 1000);
    ASSERT_TRUE(waitUntil([&] { return page.blocksNotShown() > 0; }));
    ASSERT_TRUE(waitUntil([&] { return lastRowNumber() == blocksHandled(); }));
    EXPECT_EQ(page.bytesSeen(), 30000u);
    EXPECT_GE(page.blocksSeen(), 30u);
    const QString count = QStringLiteral("%1 blocks not shown").arg(page.blocksNotShown());
    // The label follows the count at a bounded rate.
    ASSERT_TRUE(waitUntil([&] { return notShown->text() == count; }))
        << notShown->text().toStdString();
    EXPECT_FALSE(notShown->isHidden());
    EXPECT_EQ(notShown->accessibleName(), count);
    EXPECT_LE(shownBytes().size(), smallBounds.receivedBytes);

    // Small blocks: the row bound holds; numbers go on from the first block.
    for (int block = 0; block < 10; ++block) sendAndWaitForRows(peer, 100);
    EXPECT_EQ(page.received()->rowCount(), smallBounds.receivedRows);
    EXPECT_TRUE(shownAreTheNewest());
    EXPECT_EQ(dataCell(0, 0),
              QString::asprintf("%.3lld", lastRowNumber() - smallBounds.receivedRows + 1));

    // Large blocks: the byte bound holds first.
    for (int block = 0; block < 5; ++block) sendAndWaitForRows(peer, 1000);
    EXPECT_LT(page.received()->rowCount(), smallBounds.receivedRows);
    EXPECT_LE(shownBytes().size(), smallBounds.receivedBytes);
    EXPECT_GT(shownBytes().size(), smallBounds.receivedBytes - 1000);
    EXPECT_TRUE(shownAreTheNewest());
    EXPECT_EQ(page.bytesSeen(), m_sent);

    // The connection list keeps its newest rows; a peer whose row went gets a new one.
    LoopbackPeer others[3];
    for (LoopbackPeer &other : others) ASSERT_TRUE(other.connect(page.listeningPort()));
    ASSERT_TRUE(waitUntil([&] { return connectionCell(2, 0) == QStringLiteral("004"); }));
    EXPECT_EQ(page.connections()->rowCount(), smallBounds.connectionRows);
    EXPECT_EQ(connectionCell(0, 0), QStringLiteral("002"));
    peer.close();
    ASSERT_TRUE(waitUntil([&] { return connectionCell(2, 0) == QStringLiteral("005"); }));
    EXPECT_EQ(connectionCell(2, 4), window.text(Text::ClientDisconnected));
    EXPECT_EQ(page.connections()->rowCount(), smallBounds.connectionRows);
}

// Under a flood nearly every batch leaves blocks out; the count still reaches the label (its
// text and the name a screen reader speaks) a few times a second at most, not with every batch.
TEST_F(BoundedNetTestPageTest, TheNotShownLabelChangesAtABoundedRateUnderAFlood) {
    startOnFreePort();
    LoopbackPeer peer;
    ASSERT_TRUE(peer.connect(page.listeningPort()));
    ASSERT_TRUE(waitUntil([&] { return page.connections()->rowCount() == 1; }));
    auto *notShown = page.findChild<QLabel *>(QStringLiteral("notShownLabel"));
    // The label as each batch leaves it.
    int batches = 0;
    int labelChanges = 0;
    QString lastSeen = notShown->text();
    QObject::connect(page.received(), &QAbstractItemModel::rowsInserted, [&] {
        ++batches;
        if (notShown->text() != lastSeen) ++labelChanges;
        lastSeen = notShown->text();
    });

    std::atomic<bool> flooding = true;
    QElapsedTimer floodTime;
    floodTime.start();
    std::thread flood([&] {
        const nettest::Bytes chunk = nettest::pattern(16 * 1024);
        while (flooding && peer.send(chunk)) {
        }
    });
    const bool enoughBatches = waitUntil([&] { return batches >= 40; });
    flooding = false;
    flood.join();
    const qint64 floodMs = floodTime.elapsed();
    const int changes = labelChanges;

    ASSERT_TRUE(enoughBatches);
    ASSERT_GT(page.blocksNotShown(), 0u);
    // At most one change per half second, the first at once.
    EXPECT_LE(changes, floodMs / 500 + 1) << batches << " batches in " << floodMs << " ms";
    // The last count shows once the flood has drained.
    EXPECT_TRUE(waitUntil([&] {
        return notShown->text() == QStringLiteral("%1 blocks not shown").arg(page.blocksNotShown());
    })) << notShown->text().toStdString();
    EXPECT_EQ(notShown->accessibleName(), notShown->text());
}

}  // namespace
