// The answer-mode inventory page end to end against the virtual reader, over TCP and over a
// pseudo-terminal: rows appear and merge, Stop, Clear, an EPC write seen at the next
// inventory, a TID read.
#include "page_test_kit.h"
#include "reader/CReader.h"
#include "reader_model.h"
#include "tags/CIdentifyTab.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CVirtualReaderSession;
using pagetest::waitUntil;

class PageDriver {
  public:
    PageDriver(IMainWindowServices &services) : page(services, nullptr) {}

    template <typename Widget>
    Widget *child(const char *name) {
        return page.findChild<Widget *>(QString::fromLatin1(name));
    }
    QAbstractItemModel *tags() { return child<QTableView>("tagList")->model(); }
    QString cell(int row, int column) { return tags()->index(row, column).data().toString(); }
    bool hasEpc(const QString &epc) {
        for (int row = 0; row < tags()->rowCount(); ++row)
            if (cell(row, 2) == epc) return true;
        return false;
    }
    void click(const char *name) { child<QPushButton>(name)->click(); }

    CIdentifyTab page;
};

QString hexOf(const Bytes &bytes) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()))
            .toHex()
            .toUpper());
}

// Start, watch the field's tags arrive and merge, Stop, Clear.
void inventoryRound(PageDriver &driver, CFakeMainWindow &window, int tagCount) {
    driver.click("startButton");
    ASSERT_TRUE(waitUntil(
        [&] { return driver.tags()->rowCount() == tagCount && driver.cell(0, 5).toInt() >= 3; }));
    EXPECT_EQ(driver.child<QLineEdit>("tagCount")->text(), QString::number(tagCount));
    driver.click("stopButton");
    EXPECT_TRUE(window.waitForLog(window.text(1027)));
    driver.click("clearButton");
    EXPECT_EQ(driver.tags()->rowCount(), 0);
}

TEST(IdentifyEndToEnd, OverTcpInventoriesWritesAnEpcAndReadsTheTid) {
    CVirtualReaderSession session("fir", 5);
    ASSERT_TRUE(session.isOpen());
    CFakeMainWindow window(session.reader(), &session.facade());
    PageDriver driver(window);
    inventoryRound(driver, window, 5);

    driver.child<QLineEdit>("quickEpc")->setText(QStringLiteral("AABBCCDD"));
    driver.click("writeEpcButton");
    ASSERT_TRUE(window.waitForLog(window.text(1023)));
    driver.click("startButton");
    ASSERT_TRUE(waitUntil([&] { return driver.hasEpc(QStringLiteral("AABBCCDD")); }));
    EXPECT_EQ(driver.cell(0, 3), "04");
    driver.page.stopWork();

    Bytes tid;
    session.virtualReader().withModel(
        [&](readersim::ReaderModel &model) { tid = model.tags[0].tid(); });
    driver.child<QComboBox>("bank")->setCurrentIndex(2);
    driver.child<QLineEdit>("startAddress")->setText(QStringLiteral("00"));
    ASSERT_TRUE(waitUntil([&] { return driver.child<QPushButton>("readButton")->isEnabled(); }));
    driver.click("readButton");
    ASSERT_TRUE(
        waitUntil([&] { return !driver.child<QLineEdit>("dataReturned")->text().isEmpty(); }));
    EXPECT_EQ(driver.child<QLineEdit>("dataReturned")->text(), hexOf(tid));
}

// A dense field: every answer holds 85 tags, more than the 50 of the reader's usual answer,
// and every one of them becomes a row, round after round.
TEST(IdentifyEndToEnd, EveryTagOfADenseField) {
    constexpr int fieldTags = 85;
    CVirtualReaderSession session("fir", fieldTags);
    ASSERT_TRUE(session.isOpen());
    session.virtualReader().withModel(
        [](readersim::ReaderModel &model) { model.inventoryRecords = fieldTags; });
    CFakeMainWindow window(session.reader(), &session.facade());
    PageDriver driver(window);
    inventoryRound(driver, window, fieldTags);
    driver.click("startButton");
    // Merged over two rounds at least: each tag counted in every round that saw it.
    ASSERT_TRUE(waitUntil([&] {
        return driver.tags()->rowCount() == fieldTags && driver.cell(fieldTags - 1, 5).toInt() >= 2;
    }));
    driver.page.stopWork();
    for (int row = 0; row < fieldTags; ++row) EXPECT_GE(driver.cell(row, 5).toInt(), 2) << row;
}

TEST(IdentifyEndToEnd, OverAPseudoTerminal) {
    readersim::VirtualReader reader(readersim::ReaderOptions{.family = "fir", .tagCount = 3});
    const std::string path = reader.servePty();
    CReaderFacade facade;
    ASSERT_NE(facade.openSerial(QByteArray::fromStdString(path), 115200), 0);
    CReader typed(facade);
    {
        CFakeMainWindow window(typed, &facade);
        window.transportInUse = Transport::Serial;
        PageDriver driver(window);
        inventoryRound(driver, window, 3);
    }
    facade.closeDevice();
}

}  // namespace
