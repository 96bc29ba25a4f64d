// The active read page against the virtual reader in active mode, over TCP and over the HID
// tunnel: reports fill the list, resume after the reader was unplugged and replugged, and
// clearing while thousands of reports a second flow keeps the table and the rows in step.
#include "tags/CDlgActiveTemp.h"

#include "page_test_kit.h"
#include "reader_model.h"

#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

void startPushing(readersim::VirtualReader &reader, std::chrono::microseconds period) {
    reader.withModel([&](readersim::ReaderModel &model) {
        model.active.period = period;
        model.active.batch = 1;
        model.enterActiveMode();
    });
}

// Every count field agrees with the list, and every record counted is a sighting in a row.
void expectInStep(CDlgActiveRead &page) {
    const CTagListModel &list = page.tagList();
    std::int64_t sightings = 0;
    for (int row = 0; row < list.rowCount(); ++row)
        sightings += list.cellText(row, CTagListModel::Count).toLongLong();
    EXPECT_EQ(sightings, list.reportCount());
    EXPECT_EQ(page.findChild<QLineEdit *>("tagCountField")->text(),
              QString::number(list.rowCount()));
    EXPECT_EQ(page.findChild<QLineEdit *>("reportCountField")->text(),
              QString::number(list.reportCount()));
}

TEST(ActivePageOverTcp, ReportsFillTheListAndResumeAfterReplug) {
    pagetest::CVirtualReaderSession session("fir", 5);
    ASSERT_TRUE(session.isOpen());
    pagetest::CFakeMainWindow window(session.reader(), &session.facade());
    CDlgActiveRead page(window, nullptr);
    page.findChild<QPushButton *>("startButton")->click();
    startPushing(session.virtualReader(), 2ms);
    ASSERT_TRUE(pagetest::waitUntil([&] { return page.tagList().rowCount() == 5; }));

    session.virtualReader().unplug();
    session.virtualReader().replug();
    const std::int64_t before = page.tagList().reportCount();
    ASSERT_TRUE(pagetest::waitUntil([&] { return page.tagList().reportCount() > before + 50; }));
    expectInStep(page);
}

TEST(ActivePageOverTcp, ClearWhileTenThousandReportsASecondFlowKeepsTableAndRowsInStep) {
    pagetest::CVirtualReaderSession session("fir", 500);
    ASSERT_TRUE(session.isOpen());
    pagetest::CFakeMainWindow window(session.reader(), &session.facade());
    CDlgActiveRead page(window, nullptr);
    page.findChild<QPushButton *>("startButton")->click();
    startPushing(session.virtualReader(), 100us);
    auto *clear = page.findChild<QPushButton *>("clearButton");
    for (int press = 0; press < 100; ++press) {
        const std::uint64_t sent = session.virtualReader().reportsSent();
        ASSERT_TRUE(
            pagetest::waitUntil([&] { return session.virtualReader().reportsSent() > sent + 10; }));
        clear->click();
        expectInStep(page);
    }
    ASSERT_TRUE(pagetest::waitUntil([&] { return page.tagList().reportCount() > 0; }));
    expectInStep(page);
}

// Starting the second page moves the reports to it; stopping either ends them for both.
TEST(ActivePageOverTcp, TheSecondPageStartedTakesTheReportsAndEitherStopEndsThem) {
    pagetest::CVirtualReaderSession session("fir", 5);
    ASSERT_TRUE(session.isOpen());
    pagetest::CFakeMainWindow window(session.reader(), &session.facade());
    CDlgActiveRead first(window, nullptr);
    CDlgActiveTemp second(window, nullptr);
    first.findChild<QPushButton *>("startButton")->click();
    startPushing(session.virtualReader(), 2ms);
    ASSERT_TRUE(pagetest::waitUntil([&] { return first.tagList().reportCount() > 20; }));

    second.findChild<QPushButton *>("startButton")->click();
    ASSERT_TRUE(pagetest::waitUntil([&] { return second.tagList().reportCount() > 20; }));
    const std::int64_t firstAfterMove = first.tagList().reportCount();
    const std::int64_t secondBefore = second.tagList().reportCount();
    ASSERT_TRUE(
        pagetest::waitUntil([&] { return second.tagList().reportCount() > secondBefore + 20; }));
    EXPECT_EQ(first.tagList().reportCount(), firstAfterMove);
    EXPECT_EQ(second.tagList().rowCount(), 5);

    first.findChild<QPushButton *>("stopButton")->click();
    EXPECT_FALSE(window.events().reportsEnabled());
    const auto reportsGoOn = [&] {
        const std::uint64_t sent = session.virtualReader().reportsSent();
        return pagetest::waitUntil(
            [&] { return session.virtualReader().reportsSent() > sent + 20; });
    };
    ASSERT_TRUE(reportsGoOn());
    const std::int64_t secondAfterStop = second.tagList().reportCount();
    ASSERT_TRUE(reportsGoOn());
    EXPECT_EQ(second.tagList().reportCount(), secondAfterStop);
    EXPECT_EQ(first.tagList().reportCount(), firstAfterMove);
}

TEST(ActivePageOverHid, ReportsFillTheList) {
    readersim::VirtualReader reader(readersim::ReaderOptions{.family = "fir", .tagCount = 3});
    const std::string endpoint = "127.0.0.1:" + std::to_string(reader.serveHid(0));
    qputenv("QNHID_SIM", QByteArray::fromStdString(endpoint));
    CReaderFacade facade;
    const bool opened = CReaderFacade::usbDevices().size() == 1 && facade.openUsb(0) != 0;
    qunsetenv("QNHID_SIM");
    ASSERT_TRUE(opened);
    CReader typed(facade);
    {
        pagetest::CFakeMainWindow window(typed, &facade);
        window.transportInUse = Transport::Usb;
        CDlgActiveRead page(window, nullptr);
        page.findChild<QPushButton *>("startButton")->click();
        startPushing(reader, 5ms);
        ASSERT_TRUE(pagetest::waitUntil([&] { return page.tagList().rowCount() == 3; }));
        expectInStep(page);
    }
    facade.closeDevice();
}

}  // namespace
