// The active read and active temperature pages against reports injected as the library
// hands them over: the walk's limits, merging, counters, clearing, the table past 2500 tags,
// and the one callback slot the two pages share.
#include "tags/CDlgActiveRead.h"
#include "tags/CDlgActiveTemp.h"

#include "kit/Accessible.h"
#include "page_test_kit.h"

#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using tagrecord::Bytes;

constexpr std::int32_t reportEvent = 2;
const std::array<std::uint8_t, 7> readerSerial{0x50, 1, 2, 3, 4, 5, 6};

Bytes plainRecord(const Bytes &epc, std::uint8_t antenna = 1, std::uint8_t rssi = 0xC0) {
    Bytes record{static_cast<std::uint8_t>(epc.size() + 3), 1, antenna};
    record.insert(record.end(), epc.begin(), epc.end());
    record.push_back(rssi);
    return record;
}

Bytes epcOf(int tag) {
    return {0xE2, 0x00, static_cast<std::uint8_t>(tag >> 8), static_cast<std::uint8_t>(tag)};
}

class ActivePage : public ::testing::Test {
  protected:
    // Hands the page one report as the library would: count, records (+12 in the length), in
    // a buffer that holds `length` bytes as the library's does.
    void report(int count, const Bytes &records, int lengthValue = -1) {
        const int length = lengthValue >= 0 ? lengthValue : static_cast<int>(records.size() + 12);
        Bytes buffer = records;
        buffer.resize(std::max(records.size(), static_cast<std::size_t>(length)));
        window.events().onApplicationEvent(reportEvent, count, buffer.data(), length,
                                           readerSerial.data());
    }
    void reportTags(const std::vector<Bytes> &records) {
        Bytes joined;
        for (const Bytes &record : records)
            joined.insert(joined.end(), record.begin(), record.end());
        report(static_cast<int>(records.size()), joined);
    }
    // Reports reach the page in a queued drain: wait until the counter shows `reports`.
    bool settle(CDlgActiveRead &on, std::int64_t reports) {
        return pagetest::waitUntil([&] { return on.tagList().reportCount() == reports; });
    }
    QString field(CDlgActiveRead &on, const char *name) {
        return on.findChild<QLineEdit *>(name)->text();
    }
    void press(CDlgActiveRead &on, const char *name) { on.findChild<QPushButton *>(name)->click(); }

    CScriptedReader reader;
    CFakeMainWindow window{reader};
    CDlgActiveRead page{window, nullptr};
};

TEST_F(ActivePage, StartsAndStopsWithItsLogLinesAndNamesEveryControl) {
    accessible::nameControls(&page);
    EXPECT_TRUE(accessible::unnamedControls(&page).isEmpty());
    EXPECT_FALSE(page.findChild<QPushButton *>("stopButton")->isEnabled());
    EXPECT_TRUE(page.findChild<QPushButton *>("exportButton")->isEnabled());
    press(page, "startButton");
    EXPECT_TRUE(page.isRunning());
    EXPECT_TRUE(window.events().reportsEnabled());
    EXPECT_FALSE(page.findChild<QPushButton *>("startButton")->isEnabled());
    EXPECT_TRUE(window.waitForLog(window.text(1227)));
    press(page, "stopButton");
    EXPECT_FALSE(page.isRunning());
    EXPECT_FALSE(window.events().reportsEnabled());
    EXPECT_TRUE(window.waitForLog(window.text(1228)));
    EXPECT_TRUE(reader.calls().empty());  // the page sends the reader nothing
}

TEST_F(ActivePage, StartWithoutAReaderDoesNothing) {
    window.connected = false;
    press(page, "startButton");
    EXPECT_FALSE(page.isRunning());
    EXPECT_FALSE(window.events().reportsEnabled());
    EXPECT_TRUE(window.logLines().isEmpty());
}

TEST_F(ActivePage, HandlesReportsByTheirLimits) {
    press(page, "startButton");
    Bytes tooLong(41, 0);
    tooLong[0] = 40;
    reportTags({plainRecord(epcOf(1)), tooLong, plainRecord(epcOf(2))});
    ASSERT_TRUE(settle(page, 3));
    EXPECT_EQ(page.tagList().rowCount(), 2);
    EXPECT_EQ(field(page, "tagCountField"), "2");
    EXPECT_EQ(field(page, "reportCountField"), "3");

    // The tag count plays no part and a long report is walked whole: every record within the
    // report's bytes counts; the zero fill past them is no record.
    report(101, plainRecord(epcOf(3)));
    report(0, {});
    report(1, plainRecord(epcOf(4)), 1401);
    Bytes negative{2, 1, 1};  // n = 2: no room for an EPC, counted but never stored
    reportTags({negative});
    ASSERT_TRUE(settle(page, 6));
    EXPECT_EQ(page.tagList().rowCount(), 4);
    EXPECT_EQ(page.tagList().cellText(3, CTagListModel::Epc), "E2000004");
}

TEST_F(ActivePage, MergesOneTagReportedFiftyTimes) {
    press(page, "startButton");
    for (int sighting = 0; sighting < 50; ++sighting)
        reportTags({plainRecord(epcOf(7), std::uint8_t(1 + sighting % 4), 0xB0)});
    ASSERT_TRUE(settle(page, 50));
    EXPECT_EQ(page.tagList().cellText(0, CTagListModel::Count), "50");
    EXPECT_EQ(page.tagList().cellText(0, CTagListModel::Antenna), "02");
    EXPECT_EQ(field(page, "tagCountField"), "1");
    EXPECT_EQ(field(page, "reportCountField"), "50");
}

TEST_F(ActivePage, ClearAndRestartBeginAfresh) {
    press(page, "startButton");
    reportTags({plainRecord(epcOf(1)), plainRecord(epcOf(2))});
    ASSERT_TRUE(settle(page, 2));
    press(page, "clearButton");
    EXPECT_EQ(field(page, "tagCountField"), "0");
    EXPECT_EQ(field(page, "reportCountField"), "0");
    reportTags({plainRecord(epcOf(2))});
    ASSERT_TRUE(settle(page, 1));
    EXPECT_EQ(page.tagList().cellText(0, CTagListModel::Number), "001");
    EXPECT_EQ(page.tagList().cellText(0, CTagListModel::Count), "1");

    press(page, "stopButton");
    press(page, "startButton");
    EXPECT_EQ(page.tagList().rowCount(), 0);
    EXPECT_EQ(field(page, "tagCountField"), "0");
    EXPECT_EQ(field(page, "reportCountField"), "0");
}

TEST_F(ActivePage, KeepsEveryTagPastTwoThousandFiveHundred) {
    press(page, "startButton");
    const int tags = CTagListModel::activeCapacity + 1;
    for (int first = 0; first < tags; first += 100) {
        std::vector<Bytes> records;
        for (int tag = first; tag < std::min(tags, first + 100); ++tag)
            records.push_back(plainRecord(epcOf(tag)));
        reportTags(records);
    }
    ASSERT_TRUE(settle(page, tags));
    EXPECT_EQ(field(page, "tagCountField"), QString::number(tags));
    EXPECT_EQ(page.tagList().cellText(tags - 1, CTagListModel::Epc), "E20009C4");
}

TEST_F(ActivePage, TheSecondPageTakesTheReportsAndEitherStopEndsThem) {
    CDlgActiveTemp temperature(window, nullptr);
    press(page, "startButton");
    press(temperature, "startButton");
    // type 2, n = 19: 12-byte EPC, RSSI body[14], 23.5 degrees
    Bytes record{19, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xA5, 0x00, 0x00, 0xBC, 0x41};
    reportTags({record});
    ASSERT_TRUE(settle(temperature, 1));
    EXPECT_EQ(page.tagList().reportCount(), 0);
    EXPECT_EQ(temperature.tagList().cellText(0, CTagListModel::Length), "0C");
    EXPECT_EQ(temperature.tagList().cellText(0, CTagListModel::Rssi), "A5");
    EXPECT_EQ(temperature.tagList().cellText(0, CTagListModel::Temperature), "23.500000C");

    press(page, "stopButton");
    EXPECT_FALSE(window.events().reportsEnabled());
    EXPECT_TRUE(temperature.isRunning());  // it still shows itself running
}

}  // namespace
