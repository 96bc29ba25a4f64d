// The message list and the log file: lines posted from any thread, the traffic of the open
// connection, link events, and closing the window while lines keep coming.
#include "main_window_fixture.h"

#include "frame.h"
#include "kit/CMyListCtrl.h"
#include "kit/CTextListModel.h"
#include "shell/CTrafficLog.h"

#include <QRegularExpression>

#include <array>
#include <atomic>
#include <thread>
#include <vector>

namespace mainwindowtest {

namespace {

// A response frame of exactly `size` bytes (8 bytes of framing around the data).
std::vector<std::uint8_t> responseFrame(std::size_t size) {
    std::vector<std::uint8_t> data(size - 8);
    for (std::size_t index = 0; index < data.size(); ++index)
        data[index] = static_cast<std::uint8_t>(index + 1);
    std::vector<std::uint8_t> frame(size);
    frame.resize(qn::buildResponse(0xFF, 0x85, 1, data, frame));
    return frame;
}

}  // namespace

TEST_F(MainWindowTest, FiftyThousandLinesFromThreeThreadsShowAndReachTheLogFileInOrder) {
    createWindow();
    constexpr int perThread = 16667;
    std::vector<std::thread> posters;
    for (int thread = 0; thread < 3; ++thread)
        posters.emplace_back([this, thread] {
            for (int index = 0; index < perThread; ++index)
                window_->postLog(QStringLiteral("line %1.%2").arg(thread).arg(index));
        });
    for (std::thread &poster : posters) poster.join();
    flushMessages();

    const CTextListModel *list = window_->messages();
    ASSERT_EQ(list->rowCount(), 3 * perThread + 1);
    std::array<int, 3> next{};
    for (int row = 0; row + 1 < list->rowCount(); ++row) {
        const QStringList parts = list->cellText(row, 1).mid(5).split(u'.');
        ASSERT_EQ(parts[1].toInt(), next[std::size_t(parts[0].toInt())]++) << row;
    }
    const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    for (int row = 0; row < list->rowCount(); ++row)
        EXPECT_TRUE(time.match(list->cellText(row, 0)).hasMatch()) << row;
    EXPECT_EQ(list->headerData(0, Qt::Horizontal).toString(), text(1002));
    EXPECT_EQ(list->headerData(1, Qt::Horizontal).toString(), text(1003));
    EXPECT_TRUE(waitUntil([this] { return logLines() == messages(); }));
}

TEST_F(MainWindowTest, TheListKeepsTheNewestHundredThousandLinesAndTheFileKeepsAll) {
    createWindow();
    constexpr int posted = CTagDeskDlg::messageListCapacity + 20;
    for (int index = 0; index < posted; ++index) window_->postLog(QString::number(index));
    flushMessages();
    const CTextListModel *list = window_->messages();
    ASSERT_EQ(list->rowCount(), CTagDeskDlg::messageListCapacity);
    EXPECT_EQ(list->cellText(0, 1), QString::number(posted - CTagDeskDlg::messageListCapacity + 1));
    EXPECT_EQ(list->cellText(list->rowCount() - 2, 1), QString::number(posted - 1));
    const QStringList file = logLines();
    ASSERT_EQ(file.size(), posted + 1);
    EXPECT_EQ(file.front(), QStringLiteral("0"));
}

TEST_F(MainWindowTest, TheTimeColumnTakesHalfTheListLess330) {
    createWindow();
    window_->resize(1600, 800);
    window_->show();
    const CMyListCtrl *list = window_->messageList();
    const int half = list->viewport()->width() / 2;
    ASSERT_GT(half, 330);
    EXPECT_EQ(list->columnWidth(0), half - 330);
    EXPECT_EQ(window_->messages()
                      ->headerData(0, Qt::Horizontal, Qt::TextAlignmentRole)
                      .value<Qt::Alignment>() &
                  Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
}

TEST_F(MainWindowTest, FramesOf38And39BytesBecomeTrafficLines) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());

    const auto frame38 = responseFrame(38);
    const auto frame39 = responseFrame(39);
    ASSERT_EQ(frame38.size(), 38U);
    ASSERT_EQ(frame39.size(), 39U);
    reader->sendRaw(frame38);
    reader->sendRaw(frame39);
    QStringList expected = CTrafficLog::frameLines(text(1048), frame38.data(), 38);
    expected += CTrafficLog::frameLines(text(1048), frame39.data(), 39);
    ASSERT_EQ(expected.size(), 3);
    EXPECT_TRUE(expected[0].startsWith(text(1048) + QStringLiteral(" 4A 51 ")));
    EXPECT_TRUE(expected[1].startsWith(text(1048) + QStringLiteral("4A 51 ")));
    EXPECT_EQ(expected[2].size(), text(1048).size() + 4);

    EXPECT_TRUE(waitUntil([&] {
        const QStringList lines = messages();
        return lines.size() >= 3 && lines.mid(lines.size() - 3) == expected;
    }));
    EXPECT_TRUE(waitUntil([&] {
        const QStringList lines = logLines();
        return lines.size() >= 3 && lines.mid(lines.size() - 3) == expected;
    }));
}

TEST_F(MainWindowTest, CommandsShowTheirSentAndReceivedFrames) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    window_->relayClose();
    std::vector<std::uint8_t> request(7);
    request.resize(qn::buildRequest(0xFF, 0x85, {}, request));
    EXPECT_TRUE(waitForMessage(CTrafficLog::frameLines(text(1049), request.data(), 7).front()));
    EXPECT_TRUE(waitUntil(
        [&] { return !messages().filter(text(1048) + QStringLiteral(" 4A 51 ")).isEmpty(); }));
    pressClose();
    flushMessages();
    const qsizetype afterClose = messages().size();
    // Without a connection nothing is sent, and the callback is gone: the failure alone.
    window_->relayClose();
    ASSERT_TRUE(waitForMessage(text(1022)));
    flushMessages();
    EXPECT_EQ(messages().size(), afterClose + 2);
}

TEST_F(MainWindowTest, LinkLostAndRestoredLines) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    reader->dropFor(std::chrono::milliseconds(1500));
    EXPECT_TRUE(waitForMessage(text(1026)));
    EXPECT_TRUE(waitForMessage(text(1206)));
    const QStringList lines = messages();
    EXPECT_LT(lines.indexOf(text(1026)), lines.lastIndexOf(text(1206)));
    EXPECT_TRUE(waitUntil([&] { return logLines().contains(text(1206)); }));
}

TEST_F(MainWindowTest, ClosingTheWindowWhileTrafficFlowsEndsCleanly) {
    auto reader = makeReader("fir");
    const std::uint16_t port = reader->serveTcp(0);
    createWindow();
    window_->show();
    openNetwork(port);
    ASSERT_TRUE(window_->isConnected());
    // Reports pushed by the reader every millisecond, commands from another thread, lines
    // from a third: the library's threads and both posters are busy when the window closes.
    reader->startActive(std::chrono::milliseconds(1), 1);
    std::atomic<bool> running{true};
    std::thread commands([&] {
        while (running) window_->reader().checkModule();
    });
    std::thread poster([&] {
        while (running) {
            window_->postLog(QStringLiteral("busy"));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    EXPECT_TRUE(waitUntil([&] { return messages().size() > 200; }));

    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->isConnected());
    running = false;
    commands.join();
    poster.join();
    reader->stopActive();
    window_.reset();
}

}  // namespace mainwindowtest
