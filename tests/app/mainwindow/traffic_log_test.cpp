#include "reader/CReaderEvents.h"
#include "reader/CReaderFacade.h"
#include "shell/CTrafficLog.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<std::uint8_t> countingBytes(int count) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
}

QString spacedHex(int first, int count) {
    QString text;
    for (int value = first; value < first + count; ++value)
        text += QStringLiteral("%1 ").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

CTrafficLog::Texts testTexts() {
    return {QStringLiteral("Send:"), QStringLiteral("Recv:"), QStringLiteral("lost"),
            QStringLiteral("restored")};
}

}  // namespace

TEST(TrafficLogTest, ThirtyEightBytesMakeOneLineWithTheExtraSpace) {
    const auto frame = countingBytes(38);
    const QStringList lines = CTrafficLog::frameLines(QStringLiteral("Recv:"), frame.data(), 38);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], QStringLiteral("Recv: ") + spacedHex(0, 38));
}

TEST(TrafficLogTest, ThirtyNineBytesMakeAFullChunkWithoutAndOneByteWithTheSpace) {
    const auto frame = countingBytes(39);
    const QStringList lines = CTrafficLog::frameLines(QStringLiteral("Send:"), frame.data(), 39);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("Send:") + spacedHex(0, 38));
    EXPECT_EQ(lines[1], QStringLiteral("Send: 26 "));
}

TEST(TrafficLogTest, SeventySixBytesMakeTwoLines) {
    const auto frame = countingBytes(76);
    const QStringList lines = CTrafficLog::frameLines(QStringLiteral("L"), frame.data(), 76);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("L") + spacedHex(0, 38));
    EXPECT_EQ(lines[1], QStringLiteral("L ") + spacedHex(38, 38));
}

TEST(TrafficLogTest, EmptyFrameGivesTheLabelAndOneSpace) {
    EXPECT_EQ(CTrafficLog::frameLines(QStringLiteral("Recv:"), nullptr, 0),
              QStringList{QStringLiteral("Recv: ")});
    const std::uint8_t byte = 0xAB;
    EXPECT_EQ(CTrafficLog::frameLines(QStringLiteral("Recv:"), &byte, -3),
              QStringList{QStringLiteral("Recv: ")});
}

TEST(TrafficLogTest, EventsPostTheirTexts) {
    QStringList posted;
    const CTrafficLog log(testTexts(), [&](const QString &line) { posted.append(line); });
    const std::uint8_t frame[] = {0x5A, 0x4B};
    log.report(1, 0, nullptr, 0);
    log.report(0, 0, nullptr, 0);
    log.report(2, 1, frame, 2);
    log.report(2, 0, frame, 2);
    log.report(7, 0, frame, 2);
    EXPECT_EQ(posted,
              (QStringList{QStringLiteral("lost"), QStringLiteral("restored"),
                           QStringLiteral("Send: 5A 4B "), QStringLiteral("Recv: 5A 4B ")}));
}

TEST(TrafficLogTest, ASubscribedLogPostsTheReaderEventsUntilItIsDestroyed) {
    CReaderFacade facade;
    CReaderEvents events(facade);
    QStringList posted;
    const std::uint8_t frame[] = {0x4A, 0x51};
    {
        CTrafficLog log(testTexts(), [&](const QString &line) { posted.append(line); });
        log.subscribe(events);
        events.onTrafficEvent(1, 0, nullptr, 0);
        events.onTrafficEvent(2, 0, frame, 2);
    }
    // Would touch freed memory if the subscription had stayed.
    events.onTrafficEvent(0, 0, nullptr, 0);
    EXPECT_EQ(posted, (QStringList{QStringLiteral("lost"), QStringLiteral("Recv: 4A 51 ")}));
}
