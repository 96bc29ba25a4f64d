// The answer-mode and temperature inventory pages against a scripted reader: controls, the
// inventory run and its result walk, clearing while running, and tag memory access.
#include "kit/Accessible.h"
#include "page_test_kit.h"
#include "tags/CDlgIdentifyTemp.h"
#include "tags/CIdentifyTab.h"
#include "tags/CTagAccess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <bit>
#include <condition_variable>
#include <mutex>

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::ReaderCall;
using pagetest::waitUntil;

// An inventory reply: the count byte, then records of type 1 on antenna 1 with RSSI C0.
Bytes inventoryOf(const std::vector<Bytes> &epcs) {
    Bytes reply{static_cast<std::uint8_t>(epcs.size())};
    for (const Bytes &epc : epcs) {
        reply.push_back(static_cast<std::uint8_t>(epc.size() + 3));
        reply.insert(reply.end(), {1, 1});
        reply.insert(reply.end(), epc.begin(), epc.end());
        reply.push_back(0xC0);
    }
    return reply;
}

// Holds the reader's answers until opened.
class Gate {
  public:
    void wait() {
        std::unique_lock lock(m_mutex);
        ++m_waiting;
        m_changed.wait(lock, [this] { return m_open; });
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    int waiting() {
        std::lock_guard lock(m_mutex);
        return m_waiting;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_waiting = 0;
};

class IdentifyTabTest : public testing::Test {
  protected:
    template <typename Widget>
    Widget *child(const char *name) const {
        return m_page->findChild<Widget *>(QString::fromLatin1(name));
    }
    QAbstractItemModel *tags() const { return child<QTableView>("tagList")->model(); }
    int rows() const { return tags()->rowCount(); }
    QString cell(int row, int column) const { return tags()->index(row, column).data().toString(); }
    QString text(int key) const { return m_window.text(key); }
    void click(const char *name) { child<QPushButton>(name)->click(); }
    bool enabled(const char *name) const { return child<QWidget>(name)->isEnabled(); }
    void setField(const char *name, const QString &value) {
        child<QLineEdit>(name)->setText(value);
    }
    bool waitIdle() {
        return waitUntil([this] { return enabled("readButton"); });
    }
    bool hasEpc(const QString &epc) const {
        for (int row = 0; row < rows(); ++row)
            if (cell(row, 2) == epc) return true;
        return false;
    }

    CScriptedReader m_reader;
    CFakeMainWindow m_window{m_reader};
    std::unique_ptr<CIdentifyTab> m_page = std::make_unique<CIdentifyTab>(m_window, nullptr);
    std::vector<std::pair<QString, QString>> m_notices;

    void SetUp() override {
        m_page->tagAccess().setNotice([this](const QString &caption, const QString &body) {
            m_notices.emplace_back(caption, body);
        });
    }
};

TEST_F(IdentifyTabTest, StartsWithItsSpecifiedControls) {
    auto *interval = child<QComboBox>("interval");
    ASSERT_EQ(interval->count(), 25);
    EXPECT_EQ(interval->itemText(0), "10ms");
    EXPECT_EQ(interval->itemText(24), "250ms");
    EXPECT_EQ(interval->currentText(), "40ms");
    EXPECT_EQ(m_page->interval(), std::chrono::milliseconds(40));
    interval->setCurrentIndex(24);
    EXPECT_EQ(m_page->interval(), std::chrono::milliseconds(250));
    interval->setCurrentIndex(0);
    EXPECT_EQ(m_page->interval(), std::chrono::milliseconds(10));

    EXPECT_TRUE(child<QCheckBox>("filter")->isChecked());
    EXPECT_TRUE(enabled("startButton"));
    EXPECT_FALSE(enabled("stopButton"));
    EXPECT_TRUE(enabled("exportButton"));
    EXPECT_EQ(child<QPushButton>("startButton")->text(), text(1144));
    EXPECT_EQ(child<QLineEdit>("tagCount")->text(), "0");
    EXPECT_EQ(child<QLineEdit>("quickEpc")->text(), "00112233445566778899AABB");
    EXPECT_EQ(child<QLineEdit>("quickEpc")->maxLength(), 60);
    EXPECT_EQ(child<QComboBox>("bank")->currentText(), "EPC");
    EXPECT_EQ(child<QLineEdit>("startAddress")->text(), "02");
    EXPECT_EQ(child<QLineEdit>("wordCount")->text(), "06");
    EXPECT_EQ(child<QLineEdit>("accessPassword")->text(), "00000000");
    EXPECT_EQ(child<QLineEdit>("writeData")->text(), "AABB00112233445566778899");
    EXPECT_EQ(child<QLineEdit>("writeData")->maxLength(), 32);
    EXPECT_TRUE(child<QLineEdit>("dataReturned")->isReadOnly());
    EXPECT_EQ(tags()->headerData(0, Qt::Horizontal).toString(), text(1038));
    EXPECT_EQ(tags()->headerData(6, Qt::Horizontal).toString(), "RSSI");
    EXPECT_EQ(tags()->columnCount(), 7);

    accessible::nameControls(m_page.get());
    EXPECT_TRUE(accessible::unnamedControls(m_page.get()).isEmpty());
    EXPECT_EQ(child<QLineEdit>("tagCount")->accessibleName(), text(1134).remove(u'&').trimmed());
    // The read rate is announced by its figures, not by a fixed name.
    auto *rate = child<QLabel>("readRate");
    EXPECT_EQ(pagetest::accessibleName(rate), rate->text());
    EXPECT_TRUE(rate->text().contains(QStringLiteral("/s"))) << rate->text().toStdString();
}

TEST_F(IdentifyTabTest, TypedLettersBecomeCapitals) {
    auto *field = child<QLineEdit>("writeData");
    field->clear();
    field->insert(QStringLiteral("aabb"));
    EXPECT_EQ(field->text(), "AABB");
}

TEST_F(IdentifyTabTest, StartWithoutAReaderChangesNothing) {
    m_window.connected = false;
    click("startButton");
    EXPECT_FALSE(m_page->isRunning());
    EXPECT_TRUE(enabled("startButton"));
    EXPECT_FALSE(enabled("stopButton"));
    EXPECT_TRUE(m_window.logLines().isEmpty());
    EXPECT_TRUE(m_reader.calls().empty());
}

TEST_F(IdentifyTabTest, RunsMergesCountsAndStops) {
    const Bytes a{0xE2, 0x00, 0x00, 0x01}, b{0xE2, 0x00, 0x00, 0x02};
    m_reader.answer("inventory", inventoryOf({a, b, a}));
    click("startButton");
    EXPECT_TRUE(m_window.waitForLog(text(1028)));
    EXPECT_FALSE(enabled("startButton"));
    EXPECT_TRUE(enabled("stopButton"));
    EXPECT_FALSE(enabled("readButton"));
    EXPECT_FALSE(enabled("writeButton"));
    EXPECT_FALSE(enabled("writeEpcButton"));
    ASSERT_TRUE(waitUntil([&] { return rows() == 2 && cell(0, 5).toInt() >= 4; }));
    EXPECT_EQ(cell(0, 2), "E2000001");
    EXPECT_EQ(cell(1, 0), "002");
    EXPECT_EQ(child<QLineEdit>("tagCount")->text(), "2");

    m_page->stopWork();
    EXPECT_TRUE(m_window.waitForLog(text(1027)));
    EXPECT_FALSE(m_page->isRunning());
    EXPECT_TRUE(enabled("startButton"));
    EXPECT_TRUE(enabled("readButton"));
    EXPECT_FALSE(enabled("stopButton"));
    click("clearButton");
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(child<QLineEdit>("tagCount")->text(), "0");
}

TEST_F(IdentifyTabTest, WithoutTheFilterEverySightingIsARow) {
    m_reader.answer("inventory", inventoryOf({{0xAA, 0xBB}, {0xAA, 0xBB}, {0xAA, 0xBB}}));
    child<QCheckBox>("filter")->setChecked(false);
    click("startButton");
    ASSERT_TRUE(waitUntil([&] { return rows() >= 3; }));
    m_page->stop();
    EXPECT_EQ(cell(2, 0), "003");
    EXPECT_EQ(cell(2, 5), "1");
}

TEST_F(IdentifyTabTest, ClearWhileRunningTakesEffectAfterTheCurrentCall) {
    Gate gate;
    std::atomic<int> calls{0};
    m_reader.answerWith("inventory", [&](const ReaderCall &) {
        if (++calls == 1) return std::optional<Bytes>(inventoryOf({{0x0A, 0x0A}}));
        gate.wait();
        return std::optional<Bytes>(inventoryOf({{0x0B, 0x0B}}));
    });
    click("startButton");
    ASSERT_TRUE(waitUntil([&] { return rows() == 1 && gate.waiting() == 1; }));
    click("clearButton");
    EXPECT_EQ(rows(), 1);  // the call in progress comes first
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return hasEpc("0B0B"); }));
    EXPECT_FALSE(hasEpc("0A0A"));
    EXPECT_EQ(cell(0, 0), "001");
    EXPECT_EQ(child<QLineEdit>("tagCount")->text(), "1");
    m_page->stop();
}

TEST_F(IdentifyTabTest, NothingOfAStoppedRunAppearsLater) {
    Gate gate;
    std::atomic<int> calls{0};
    m_reader.answerWith("inventory", [&](const ReaderCall &) {
        if (++calls == 1) {
            gate.wait();
            return std::optional<Bytes>(inventoryOf({{0x0A, 0x0A}}));
        }
        return std::optional<Bytes>(inventoryOf({{0x0B, 0x0B}}));
    });
    click("startButton");
    ASSERT_TRUE(waitUntil([&] { return gate.waiting() == 1; }));
    click("stopButton");
    click("startButton");  // its worker waits for the old one's call
    gate.open();
    ASSERT_TRUE(waitUntil([&] { return hasEpc("0B0B"); }));
    EXPECT_FALSE(hasEpc("0A0A"));
    m_page->stop();
}

// Every whole record within the result's bytes, however many: a dense field's 51 tags all
// become rows, and a record that would run past the bytes ends the walk.
TEST_F(IdentifyTabTest, ListsEveryWholeRecordOfAResult) {
    std::vector<Bytes> dense;
    for (int tag = 0; tag < 51; ++tag) dense.push_back({0x51, std::uint8_t(tag)});
    // 42 records of 33 bytes, then one that claims 14 bytes and would end at byte 1401.
    Bytes longResult{43};
    for (int tag = 0; tag < 42; ++tag) {
        Bytes epc(29, 0x42);
        epc[0] = std::uint8_t(tag);
        const Bytes record = inventoryOf({epc});
        longResult.insert(longResult.end(), record.begin() + 1, record.end());
    }
    longResult.insert(longResult.end(), {14, 1, 1});
    longResult.resize(1401, 0x77);
    std::atomic<int> calls{0};
    m_reader.answerWith("inventory", [&](const ReaderCall &) {
        const int call = ++calls;
        if (call == 1) return std::optional<Bytes>(inventoryOf(dense));
        if (call == 2) return std::optional<Bytes>(longResult);
        return std::optional<Bytes>(inventoryOf({{0xEE, 0xEE}}));
    });
    click("startButton");
    ASSERT_TRUE(waitUntil([&] { return hasEpc("EEEE"); }));
    m_page->stop();
    EXPECT_EQ(rows(), 51 + 42 + 1);
    EXPECT_EQ(cell(0, 2), "5100");
    EXPECT_EQ(cell(50, 2), "5132");
    EXPECT_EQ(cell(51, 2).left(4), "0042");
    EXPECT_EQ(cell(92, 2).left(4), "2942");
    EXPECT_EQ(cell(93, 2), "EEEE");
}

TEST_F(IdentifyTabTest, ReadSendsTheFieldsAndShowsTheWords) {
    m_reader.answer("readTag", Bytes{0xE2, 0x00, 0x00, 0x17, 0x22, 0x0A, 1, 2, 3, 4, 5, 6});
    click("readButton");
    ASSERT_TRUE(waitIdle());
    const auto calls = m_reader.callsOf("readTag");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, (std::vector<int>{1, 2, 6}));
    EXPECT_EQ(calls[0].bytes, (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(child<QLineEdit>("dataReturned")->text(), "E2000017220A010203040506");
    EXPECT_TRUE(m_window.logLines().isEmpty());

    setField("wordCount", "FF");
    setField("accessPassword", "1234");
    click("readButton");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(m_reader.callsOf("readTag")[1].arguments[2], 255);
    EXPECT_EQ(m_reader.callsOf("readTag")[1].bytes, (Bytes{0x12, 0x34, 0, 0}));
    EXPECT_EQ(child<QLineEdit>("dataReturned")->text().size(), 1020);

    setField("wordCount", "");
    click("readButton");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(m_reader.callsOf("readTag")[2].arguments[2], 0);
    EXPECT_TRUE(child<QLineEdit>("dataReturned")->text().isEmpty());
}

TEST_F(IdentifyTabTest, AFailedReadLeavesTheFieldEmptyAndLogs) {
    m_reader.answer("readTag", std::nullopt);
    click("readButton");
    EXPECT_TRUE(m_window.waitForLog(text(1022)));
    EXPECT_TRUE(child<QLineEdit>("dataReturned")->text().isEmpty());
}

TEST_F(IdentifyTabTest, WriteSendsTheDataWordsWhateverTheLength) {
    m_reader.answer("writeTag", Bytes{});
    setField("wordCount", "01");
    click("writeButton");
    EXPECT_TRUE(m_window.waitForLog(text(1023)));
    const auto calls = m_reader.callsOf("writeTag");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, (std::vector<int>{1, 2, 6}));
    EXPECT_EQ(calls[0].bytes, (Bytes{0, 0, 0, 0, 0xAA, 0xBB, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                                     0x66, 0x77, 0x88, 0x99}));
}

TEST_F(IdentifyTabTest, WriteEpcSendsTheEpcWords) {
    m_reader.answer("writeEpc", std::nullopt);
    click("writeEpcButton");
    EXPECT_TRUE(m_window.waitForLog(text(1022)));
    const auto calls = m_reader.callsOf("writeEpc");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, (std::vector<int>{6}));
    EXPECT_EQ(calls[0].bytes, (Bytes{0, 0, 0, 0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                     0x88, 0x99, 0xAA, 0xBB}));
}

struct NoticeCase {
    const char *name;
    const char *field;
    const char *text;
    const char *button;
    int body;
};

class IdentifyTabNotices : public IdentifyTabTest,
                           public testing::WithParamInterface<NoticeCase> {};

TEST_P(IdentifyTabNotices, BadInputShowsANoticeAndSendsNothing) {
    setField(GetParam().field, QString::fromLatin1(GetParam().text));
    click(GetParam().button);
    ASSERT_EQ(m_notices.size(), 1u);
    EXPECT_EQ(m_notices[0].first, text(1019));
    EXPECT_EQ(m_notices[0].second, text(GetParam().body));
    EXPECT_TRUE(m_reader.calls().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, IdentifyTabNotices,
    testing::Values(NoticeCase{"NoData", "writeData", "", "writeButton", 1031},
                    NoticeCase{"DataNotWholeWords", "writeData", "AABBCC", "writeButton", 1030},
                    NoticeCase{"NoEpc", "quickEpc", "", "writeEpcButton", 1029},
                    NoticeCase{"EpcNotWholeWords", "quickEpc", "AABBC", "writeEpcButton", 1030}),
    [](const testing::TestParamInfo<NoticeCase> &info) { return std::string(info.param.name); });

TEST_F(IdentifyTabTest, TagAccessWithoutAReaderDoesNothing) {
    m_window.connected = false;
    setField("writeData", "");
    for (const char *button : {"readButton", "writeButton", "writeEpcButton"}) click(button);
    EXPECT_TRUE(m_notices.empty());
    EXPECT_TRUE(m_reader.calls().empty());
}

Bytes temperatureReply(const Bytes &epc, std::optional<float> celsius) {
    Bytes reply{1, static_cast<std::uint8_t>(epc.size() + 7), 2, 1};
    reply.insert(reply.end(), epc.begin(), epc.end());
    reply.push_back(0xC3);
    const auto bits = celsius ? std::bit_cast<std::uint32_t>(*celsius) : 0xEEEEEEEEu;
    for (int shift = 0; shift < 32; shift += 8)
        reply.push_back(static_cast<std::uint8_t>(bits >> shift));
    return reply;
}

TEST(IdentifyTempTest, ShowsAndKeepsTheLastValidReading) {
    CScriptedReader reader;
    CFakeMainWindow window(reader);
    CDlgIdentifyTemp page(window, nullptr);
    accessible::nameControls(&page);
    EXPECT_TRUE(accessible::unnamedControls(&page).isEmpty());
    const QAbstractItemModel *tags = page.findChild<QTableView *>("tagList")->model();
    ASSERT_EQ(tags->columnCount(), 8);
    EXPECT_EQ(tags->headerData(7, Qt::Horizontal).toString(), window.text(1251));
    std::atomic<int> calls{0};
    reader.answerWith("inventory", [&](const ReaderCall &) {
        const Bytes epc{0x30, 0x00, 0x00, 0x01};
        return std::optional<Bytes>(
            temperatureReply(epc, ++calls == 1 ? std::optional(23.5f) : std::nullopt));
    });
    page.start();
    ASSERT_TRUE(
        waitUntil([&] { return tags->rowCount() == 1 && tags->index(0, 5).data().toInt() >= 3; }));
    page.stop();
    EXPECT_EQ(tags->index(0, 3).data().toString(), "04");
    EXPECT_EQ(tags->index(0, 6).data().toString(), "C3");
    EXPECT_EQ(tags->index(0, 7).data().toString(), "23.500000C");
}

}  // namespace
