// The writer page against a scripted reader: the EPC sequence, both automatic modes and their
// control states, the relay, the checks while a mode runs, and the password lock.
#include "kit/Accessible.h"
#include "page_test_kit.h"
#include "tags/CDlgWriter.h"
#include "tags/CTagAccess.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::ReaderCall;
using pagetest::waitUntil;
using Mode = CDlgWriter::Mode;

TEST(WriterEpcIncrement, CountsUpBigEndianInWholeBytes) {
    const std::pair<const char *, const char *> cases[] = {
        {"00112233445566778899AABB", "00112233445566778899AABC"},
        {"00FF", "0100"},
        {"FFFF", "0000"},
        {"12FF5", "1300"},  // the odd last digit is dropped
        {"", ""},
    };
    for (const auto &[epc, next] : cases)
        EXPECT_EQ(CDlgWriter::nextEpc(QString::fromLatin1(epc)), QString::fromLatin1(next)) << epc;
}

Bytes bytesOfHex(const QString &hex) {
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    return Bytes(bytes.begin(), bytes.end());
}

// The bytes of a write call: the zero password, then the hex text's bytes.
Bytes afterZeroPassword(const char *hex) {
    Bytes bytes(4, 0);
    const Bytes data = bytesOfHex(QString::fromLatin1(hex));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

// One tag in the field (or none) that answers inventories, reads and writes as a tag would.
class Field {
  public:
    explicit Field(CScriptedReader &reader) {
        reader.answerWith("inventory", [this](const ReaderCall &) -> std::optional<Bytes> {
            std::lock_guard lock(m_mutex);
            if (!m_epc) return std::nullopt;
            Bytes reply{1, static_cast<std::uint8_t>(m_epc->size() + 3), 1, 1};
            reply.insert(reply.end(), m_epc->begin(), m_epc->end());
            reply.push_back(0xC0);
            return reply;
        });
        reader.answerWith("writeEpc", [this](const ReaderCall &call) -> std::optional<Bytes> {
            std::lock_guard lock(m_mutex);
            if (!m_epc) return std::nullopt;
            m_epc = Bytes(call.bytes.begin() + 4, call.bytes.end());
            return Bytes{};
        });
        reader.answerWith("readTag", [this](const ReaderCall &) -> std::optional<Bytes> {
            std::lock_guard lock(m_mutex);
            return m_epc ? std::optional<Bytes>(m_memory) : std::nullopt;
        });
        reader.answerWith("writeTag", [this](const ReaderCall &call) -> std::optional<Bytes> {
            std::lock_guard lock(m_mutex);
            if (!m_epc) return std::nullopt;
            m_memory = Bytes(call.bytes.begin() + 4, call.bytes.end());
            return Bytes{};
        });
    }

    void enter(const Bytes &epc, const Bytes &memory = {}) {
        std::lock_guard lock(m_mutex);
        m_epc = epc;
        m_memory = memory;
    }

  private:
    std::mutex m_mutex;
    std::optional<Bytes> m_epc;
    Bytes m_memory;
};

class WriterPageTest : public testing::Test {
  protected:
    template <typename Widget>
    Widget *child(const char *name) const {
        return m_page->findChild<Widget *>(QString::fromLatin1(name));
    }
    void click(const char *name) { child<QAbstractButton>(name)->click(); }
    bool enabled(const char *name) const { return child<QWidget>(name)->isEnabled(); }
    QString field(const char *name) const { return child<QLineEdit>(name)->text(); }
    void setField(const char *name, const QString &value) {
        child<QLineEdit>(name)->setText(value);
    }
    QString text(int key) const { return m_window.text(key); }
    std::size_t callsOf(const char *command) const { return m_reader.callsOf(command).size(); }
    // Whether the mode ended and the worker has nothing left (results may still be on their
    // way to the page).
    bool idle() { return m_page->mode() == Mode::Idle && !m_window.worker().isBusy(); }
    // Lets the mode run a few more steps.
    bool stepsPass(const char *command, std::size_t steps = 3) {
        const std::size_t before = callsOf(command);
        return waitUntil([&] { return callsOf(command) >= before + steps; });
    }
    int logCount(int key) const { return int(m_window.logLines().count(text(key))); }

    CScriptedReader m_reader;
    Field m_field{m_reader};
    CFakeMainWindow m_window{m_reader};
    std::unique_ptr<CDlgWriter> m_page = std::make_unique<CDlgWriter>(m_window, nullptr);
    std::vector<QString> m_notices;

    void SetUp() override {
        m_page->tagAccess().setNotice(
            [this](const QString &, const QString &body) { m_notices.push_back(body); });
    }
};

TEST_F(WriterPageTest, StartsWithTheInventoryPageAndItsOwnBoxes) {
    for (const char *name : {"epcAuto", "increment", "dataAuto", "autoLockPass"})
        EXPECT_FALSE(child<QCheckBox>(name)->isChecked()) << name;
    EXPECT_EQ(child<QCheckBox>("epcAuto")->text(), "Auto");
    EXPECT_EQ(child<QCheckBox>("increment")->text(), "Increment");
    EXPECT_EQ(child<QCheckBox>("dataAuto")->text(), "Auto");
    EXPECT_EQ(child<QCheckBox>("autoLockPass")->text(), "AutoLockPass");
    EXPECT_TRUE(enabled("autoLockPass"));  // at first, although the bank is EPC
    EXPECT_EQ(field("quickEpc"), "00112233445566778899AABB");
    EXPECT_EQ(child<QPushButton>("writeEpcButton")->text(), text(1148));
    EXPECT_EQ(child<QPushButton>("writeButton")->text(), text(1149));
    EXPECT_TRUE(enabled("exportButton"));
    accessible::nameControls(m_page.get());
    EXPECT_TRUE(accessible::unnamedControls(m_page.get()).isEmpty());

    // Ticking EPC Auto ticks Increment; unticking it leaves Increment alone.
    click("epcAuto");
    EXPECT_TRUE(child<QCheckBox>("increment")->isChecked());
    EXPECT_TRUE(m_page->increments());
    click("epcAuto");
    EXPECT_TRUE(m_page->increments());

    auto *bank = child<QComboBox>("bank");
    bank->setCurrentIndex(2);
    EXPECT_FALSE(enabled("autoLockPass"));
    bank->setCurrentIndex(0);
    EXPECT_TRUE(enabled("autoLockPass"));
}

TEST_F(WriterPageTest, EachNewTagGetsTheNextEpc) {
    m_field.enter({0xE2, 0x00, 0x00, 0x01});
    click("epcAuto");
    click("writeEpcButton");
    EXPECT_EQ(m_page->mode(), Mode::Epc);
    ASSERT_TRUE(waitUntil([&] { return field("quickEpc").endsWith(QStringLiteral("AABC")); }));
    ASSERT_EQ(callsOf("writeEpc"), 1u);
    EXPECT_EQ(m_reader.callsOf("writeEpc")[0].arguments, (std::vector<int>{6}));
    EXPECT_EQ(m_reader.callsOf("writeEpc")[0].bytes, afterZeroPassword("00112233445566778899AABB"));
    EXPECT_EQ(field("quickEpc"), "00112233445566778899AABC");
    EXPECT_TRUE(m_window.waitForLog(text(1023)));

    // The tag written last stays in the field and is left alone.
    ASSERT_TRUE(stepsPass("inventory"));
    EXPECT_EQ(callsOf("writeEpc"), 1u);

    m_field.enter({0xE2, 0x00, 0x00, 0x02});
    ASSERT_TRUE(waitUntil([&] { return callsOf("writeEpc") == 2; }));
    EXPECT_EQ(m_reader.callsOf("writeEpc")[1].bytes, afterZeroPassword("00112233445566778899AABC"));
    ASSERT_TRUE(waitUntil([&] { return field("quickEpc") == "00112233445566778899AABD"; }));

    // Ending the mode with the button switches the relay back on; it went off at the start,
    // before the first step, and neither answer mattered.
    click("writeEpcButton");
    EXPECT_EQ(m_page->mode(), Mode::Idle);
    ASSERT_TRUE(waitUntil([&] { return callsOf("relayOn") == 1 && idle(); }));
    const std::vector<ReaderCall> calls = m_reader.calls();
    EXPECT_EQ(calls.front().command, "relayOff");
    EXPECT_EQ(calls.back().command, "relayOn");
    EXPECT_EQ(callsOf("relayOff"), 1u);
    EXPECT_EQ(child<QPushButton>("writeEpcButton")->text(), text(1148));
}

TEST_F(WriterPageTest, WithoutIncrementTheSameTagIsWrittenEveryStep) {
    m_field.enter({0xE2, 0x00, 0x00, 0x01});
    click("epcAuto");
    click("increment");
    ASSERT_FALSE(m_page->increments());
    click("writeEpcButton");
    ASSERT_TRUE(waitUntil([&] { return callsOf("writeEpc") >= 3 && logCount(1023) >= 3; }));
    m_page->stopWork();
    for (const ReaderCall &call : m_reader.callsOf("writeEpc"))
        EXPECT_EQ(call.bytes, afterZeroPassword("00112233445566778899AABB"));
    EXPECT_EQ(field("quickEpc"), "00112233445566778899AABB");
}

TEST_F(WriterPageTest, DataAutoWritesOnlyTagsThatLackTheData) {
    const Bytes data = bytesOfHex(QStringLiteral("AABB00112233445566778899"));
    m_field.enter({0xE2, 0x01}, data);
    click("dataAuto");
    click("writeButton");
    EXPECT_EQ(m_page->mode(), Mode::Data);
    ASSERT_TRUE(stepsPass("readTag"));
    EXPECT_EQ(callsOf("writeTag"), 0u);
    EXPECT_TRUE(m_window.logLines().isEmpty());
    EXPECT_EQ(m_reader.callsOf("readTag")[0].arguments, (std::vector<int>{1, 2, 6}));

    m_field.enter({0xE2, 0x02}, Bytes(12, 0));
    ASSERT_TRUE(m_window.waitForLog(text(1023)));
    ASSERT_TRUE(stepsPass("readTag"));
    ASSERT_EQ(callsOf("writeTag"), 1u);
    EXPECT_EQ(m_reader.callsOf("writeTag")[0].arguments, (std::vector<int>{1, 2, 6}));
    EXPECT_EQ(m_reader.callsOf("writeTag")[0].bytes, afterZeroPassword("AABB00112233445566778899"));

    // The bank is the one selected at each step.
    child<QComboBox>("bank")->setCurrentIndex(3);
    ASSERT_TRUE(waitUntil([&] { return m_reader.callsOf("readTag").back().arguments[0] == 3; }));
    click("writeButton");
    EXPECT_EQ(m_page->mode(), Mode::Idle);
}

TEST_F(WriterPageTest, EachModeDisablesTheOtherControls) {
    struct Case {
        const char *autoBox;
        const char *button;
        Mode mode;
        const char *stillEnabled;
    };
    const char *controls[] = {"stopButton",     "startButton", "readButton", "writeButton",
                              "writeEpcButton", "epcAuto",     "dataAuto",   "increment"};
    for (const Case &mode : {Case{"epcAuto", "writeEpcButton", Mode::Epc, "writeEpcButton"},
                             Case{"dataAuto", "writeButton", Mode::Data, "writeButton"}}) {
        SCOPED_TRACE(mode.button);
        click(mode.autoBox);
        click(mode.button);
        ASSERT_EQ(m_page->mode(), mode.mode);
        for (const char *control : controls)
            EXPECT_EQ(enabled(control), std::string(control) == mode.stillEnabled) << control;
        EXPECT_EQ(child<QPushButton>(mode.button)->text(), text(1145));
        click(mode.button);
        ASSERT_EQ(m_page->mode(), Mode::Idle);
        for (const char *control : controls)
            EXPECT_TRUE(enabled(control)) << control;  // the stop button too, as the mode ends
        click(mode.autoBox);
    }
    EXPECT_EQ(child<QPushButton>("writeEpcButton")->text(), text(1148));
    EXPECT_EQ(child<QPushButton>("writeButton")->text(), text(1149));
}

TEST_F(WriterPageTest, BadInputIsCheckedAlsoWhenEndingAMode) {
    m_field.enter({0xE2, 0x00, 0x00, 0x01});
    click("epcAuto");
    click("writeEpcButton");
    ASSERT_TRUE(waitUntil([&] { return field("quickEpc") == "00112233445566778899AABC"; }));
    setField("quickEpc", QStringLiteral("AABBC"));
    click("writeEpcButton");
    EXPECT_EQ(m_notices, (std::vector<QString>{text(1030)}));
    EXPECT_EQ(m_page->mode(), Mode::Epc);
    // The mode keeps running, but a broken EPC goes into no tag (once the steps that took
    // the field before the edit are done).
    ASSERT_TRUE(stepsPass("inventory", 2));
    m_field.enter({0xE2, 0x00, 0x00, 0x02});
    ASSERT_TRUE(stepsPass("inventory"));
    EXPECT_EQ(callsOf("writeEpc"), 1u);
    setField("quickEpc", QString());
    click("writeEpcButton");
    EXPECT_EQ(m_notices.back(), text(1029));
    EXPECT_EQ(m_page->mode(), Mode::Epc);
    setField("quickEpc", QStringLiteral("AABB"));
    click("writeEpcButton");
    EXPECT_EQ(m_page->mode(), Mode::Idle);

    setField("writeData", QStringLiteral("AABBCC"));
    click("dataAuto");
    click("writeButton");
    EXPECT_EQ(m_notices.back(), text(1030));
    EXPECT_EQ(m_page->mode(), Mode::Idle);
}

TEST_F(WriterPageTest, StopFromTheMainWindowEndsAModeWithoutTheRelay) {
    auto *bank = child<QComboBox>("bank");
    bank->setCurrentIndex(0);
    click("autoLockPass");
    ASSERT_TRUE(m_page->locksPassword());
    m_field.enter({0xE2, 0x00, 0x00, 0x01});
    click("epcAuto");
    click("writeEpcButton");
    ASSERT_TRUE(stepsPass("inventory"));
    m_page->stopWork();
    EXPECT_EQ(m_page->mode(), Mode::Idle);
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_EQ(callsOf("relayOn"), 0u);
    EXPECT_EQ(child<QPushButton>("writeEpcButton")->text(), text(1148));
    EXPECT_FALSE(enabled("stopButton"));
    for (const char *control : {"startButton", "readButton", "writeButton", "writeEpcButton",
                                "epcAuto", "dataAuto", "increment"})
        EXPECT_TRUE(enabled(control)) << control;
    // The lock flag is cleared while the tick stays; the box waits for a bank change.
    EXPECT_FALSE(m_page->locksPassword());
    EXPECT_TRUE(child<QCheckBox>("autoLockPass")->isChecked());
    EXPECT_FALSE(enabled("autoLockPass"));
    bank->setCurrentIndex(1);
    bank->setCurrentIndex(0);
    click("autoLockPass");  // takes the tick away: the flag stays off
    EXPECT_FALSE(m_page->locksPassword());
    click("autoLockPass");
    EXPECT_TRUE(m_page->locksPassword());
}

// However a box changes (a click, the space key, an assistive tool's toggle action), the page
// follows it exactly as it follows a click.
class WriterBoxToggle : public WriterPageTest,
                        public testing::WithParamInterface<pagetest::ToggleWay> {
  protected:
    void toggle(const char *name) { pagetest::toggleBy(child<QAbstractButton>(name), GetParam()); }
    void endMode() {
        m_page->stopWork();
        ASSERT_TRUE(waitUntil([&] { return idle(); }));
    }
};

TEST_P(WriterBoxToggle, DrivesThePageAsAClickDoes) {
    toggle("epcAuto");
    EXPECT_TRUE(child<QCheckBox>("increment")->isChecked());
    EXPECT_TRUE(m_page->increments());
    toggle("increment");
    EXPECT_FALSE(m_page->increments());
    toggle("increment");

    m_field.enter({0xE2, 0x00, 0x00, 0x01});
    click("writeEpcButton");
    EXPECT_EQ(m_page->mode(), Mode::Epc);
    ASSERT_TRUE(stepsPass("inventory"));
    endMode();
    toggle("epcAuto");

    setField("writeData", QStringLiteral("1234"));
    toggle("dataAuto");
    click("writeButton");
    EXPECT_EQ(m_page->mode(), Mode::Data);
    endMode();
    toggle("dataAuto");

    auto *bank = child<QComboBox>("bank");
    bank->setCurrentIndex(0);
    toggle("autoLockPass");
    EXPECT_TRUE(m_page->locksPassword());
    m_page->stopWork();
    EXPECT_FALSE(m_page->locksPassword());
    EXPECT_TRUE(child<QCheckBox>("autoLockPass")->isChecked());
    bank->setCurrentIndex(1);
    bank->setCurrentIndex(0);
    toggle("autoLockPass");
    EXPECT_FALSE(m_page->locksPassword());
    toggle("autoLockPass");
    ASSERT_TRUE(m_page->locksPassword());

    m_reader.answer("writeTag", Bytes{});
    m_reader.answer("lockTag", Bytes{});
    setField("accessPassword", QStringLiteral("00000000"));
    setField("writeData", QStringLiteral("12345678"));
    click("writeButton");
    ASSERT_TRUE(waitUntil([&] { return callsOf("lockTag") == 1 && idle(); }));
}

INSTANTIATE_TEST_SUITE_P(Ways, WriterBoxToggle,
                         testing::Values(pagetest::ToggleWay::Click, pagetest::ToggleWay::Keyboard,
                                         pagetest::ToggleWay::Accessibility),
                         [](const auto &info) { return pagetest::nameOf(info.param); });

struct LockCase {
    const char *name;
    int bank;
    const char *password;
    const char *data;
    bool lockTicked;
    bool writeSucceeds;
    bool lockSucceeds;
    bool locks;
    int logged;
};

class WriterLock : public WriterPageTest, public testing::WithParamInterface<LockCase> {};

TEST_P(WriterLock, LocksANewPasswordOnlyWhenAllRulesHold) {
    const LockCase &rule = GetParam();
    m_reader.answer("writeTag", rule.writeSucceeds ? std::optional<Bytes>(Bytes{}) : std::nullopt);
    m_reader.answer("lockTag", rule.lockSucceeds ? std::optional<Bytes>(Bytes{}) : std::nullopt);
    child<QComboBox>("bank")->setCurrentIndex(rule.bank);
    if (rule.lockTicked) click("autoLockPass");
    setField("accessPassword", QString::fromLatin1(rule.password));
    setField("writeData", QString::fromLatin1(rule.data));
    click("writeButton");
    ASSERT_TRUE(m_window.waitForLog(text(rule.logged)));
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_EQ(m_window.logLines().size(), 1);
    const auto writes = m_reader.callsOf("writeTag");
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].arguments, (std::vector<int>{rule.bank, 2, int(strlen(rule.data) / 4)}));
    const auto locks = m_reader.callsOf("lockTag");
    ASSERT_EQ(locks.size(), rule.locks ? 1u : 0u);
    if (rule.locks) {
        EXPECT_EQ(locks[0].arguments, (std::vector<int>{3}));
        EXPECT_EQ(locks[0].bytes, bytesOfHex(QString::fromLatin1(rule.data)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WriterLock,
    testing::Values(
        LockCase{"EightDigits", 0, "00000000", "12345678", true, true, true, true, 1023},
        LockCase{"SixteenDigits", 0, "00000000", "1234567812345678", true, true, true, false, 1023},
        LockCase{"NotTicked", 0, "00000000", "12345678", false, true, true, false, 1023},
        LockCase{"OtherBank", 3, "00000000", "12345678", true, true, true, false, 1023},
        LockCase{"PasswordGiven", 0, "00000001", "12345678", true, true, true, false, 1023},
        LockCase{"ShortPasswordField", 0, "0000", "12345678", true, true, true, false, 1023},
        LockCase{"LockFails", 0, "00000000", "12345678", true, true, false, true, 1022},
        LockCase{"WriteFails", 0, "00000000", "12345678", true, false, true, false, 1022}),
    [](const testing::TestParamInfo<LockCase> &info) { return std::string(info.param.name); });

TEST_F(WriterPageTest, ASingleEpcWriteAdvancesTheFieldWithIncrement) {
    m_field.enter({0xE2, 0x00, 0x00, 0x01});
    click("increment");
    setField("quickEpc", QStringLiteral("00FF"));
    click("writeEpcButton");
    ASSERT_TRUE(m_window.waitForLog(text(1023)));
    ASSERT_TRUE(waitUntil([&] { return field("quickEpc") == "0100"; }));
    EXPECT_EQ(m_page->mode(), Mode::Idle);
    EXPECT_EQ(callsOf("relayOff"), 0u);

    m_reader.answer("writeEpc", std::nullopt);  // no tag: the write fails, the field stays
    click("writeEpcButton");
    ASSERT_TRUE(m_window.waitForLog(text(1022)));
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_EQ(field("quickEpc"), "0100");

    // An EPC typed while the write is on its way is not replaced by the sequence.
    std::atomic<bool> release{false};
    m_reader.answerWith("writeEpc", [&](const ReaderCall &) -> std::optional<Bytes> {
        while (!release) std::this_thread::yield();
        return Bytes{};
    });
    click("writeEpcButton");
    ASSERT_TRUE(waitUntil([&] { return callsOf("writeEpc") == 3; }));
    setField("quickEpc", QStringLiteral("AAAA"));
    release = true;
    ASSERT_TRUE(waitUntil([&] { return logCount(1023) == 2; }));
    EXPECT_EQ(field("quickEpc"), "AAAA");
}

}  // namespace
