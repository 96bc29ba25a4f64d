// The network, special and GPRS pages against a scripted reader: what they read and write,
// the restart and hand-over after a network write, failures, the enabling rules, input limits
// and the names of their controls.
#include "param_page_fixture.h"

#include "kit/Accessible.h"
#include "kit/CShellPrompts.h"
#include "param_records.h"
#include "params/CDlgGPRSTest.h"
#include "params/CDlgSpecialParam.h"
#include "params/CNetParamPage.h"

#include <QLabel>

#include <algorithm>
#include <iterator>

namespace paramtest {

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::ReaderCall;

constexpr std::uint8_t netLead = 0x02;
constexpr std::uint8_t specialLead = 0x03;
constexpr int failureText = 1022;
constexpr int successText = 1023;

// The network record's text fields.
std::vector<record::Field> textFields() {
    std::vector<record::Field> fields;
    std::copy_if(record::networkRecord.fields.begin(), record::networkRecord.fields.end(),
                 std::back_inserter(fields),
                 [](const record::Field &field) { return field.codec == record::Codec::Text; });
    return fields;
}

// A network record as a reader reports it: every byte non-zero where the plain page must
// write zeros.
Bytes networkReply() {
    Bytes reply(251, 0x11);
    reply[0] = netLead;
    const Bytes head{0x02, 0x1A, 0x86, 0x00, 0x00, 0x01, 192, 168, 1,   250,
                     255,  255,  255,  0,    192,  168,  1,   1,   192, 168,
                     1,    100,  0x60, 0xEA, 0x61, 0xEA, 0,   0,   6};
    std::copy(head.begin(), head.end(), reply.begin() + 1);
    for (const record::Field &field : textFields())
        reply[std::size_t(1 + field.offset + 4)] = 0;  // each text "\x11\x11\x11\x11"
    reply[1 + 125] = 1;
    reply[1 + 127] = 0;
    return reply;
}

class NetPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reader.answer("readRecord", networkReply());
        reader.answer("writeRecord", Bytes{});
        reader.answer("defaultRecord", Bytes{});
        reader.answer("reboot", Bytes{});
    }

    template <typename Page>
    std::unique_ptr<CNetParamPage> makeNetPage() {
        return std::make_unique<Page>(window, nullptr);
    }

    void readNow(CNetParamPage *page) {
        const int before = logCount(window, successText);
        page->readParameters();
        ASSERT_TRUE(waitForLogCount(window, successText, before + 1));
    }

    CScriptedReader reader;
    CFakeMainWindow window{reader};
    pagetest::CRecordingPrompts &prompts = window.dialogs;
};

std::vector<std::string> commands(const std::vector<ReaderCall> &calls) {
    std::vector<std::string> names;
    for (const ReaderCall &call : calls) names.push_back(call.command);
    return names;
}

TEST_F(NetPageTest, SetWritesItsLengthRestartsAndHandsOver) {
    struct Case {
        const char *name;
        std::function<std::unique_ptr<CNetParamPage>()> make;
        int length;
    };
    const std::vector<Case> cases{
        {"CDlgNetParam", [&] { return makeNetPage<CDlgNetParam>(); }, 160},
        {"CDlgFirNetParam", [&] { return makeNetPage<CDlgFirNetParam>(); }, 250},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.name);
        reader.clearCalls();
        window.connected = true;
        window.closeRequests = 0;
        const std::unique_ptr<CNetParamPage> page = each.make();
        readNow(page.get());
        EXPECT_EQ(reader.callsOf("readRecord").at(0).arguments,
                  (std::vector<int>{int(RecordKind::Network), 250}));
        EXPECT_EQ(edit(page.get(), "macEdit")->text(), QStringLiteral("021A86000001"));
        EXPECT_EQ(edit(page.get(), "localPortEdit")->text(), QStringLiteral("60000"));
        EXPECT_EQ(edit(page.get(), "domainEdit")->text(), QStringLiteral("\x11\x11\x11\x11"));

        edit(page.get(), "ipAddressEdit")->setText(QStringLiteral("10.1.2.3"));
        edit(page.get(), "localPortEdit")->setText(QStringLiteral("4001"));
        check(page.get(), "dnsCheck")->setChecked(true);
        EXPECT_FALSE(edit(page.get(), "remoteIpEdit")->isEnabled());
        const int before = logCount(window, successText);
        press(page.get(), "setButton");
        ASSERT_TRUE(pagetest::waitUntil([&] { return window.closeRequests == 1; }));
        EXPECT_EQ(logCount(window, successText), before + 1);
        EXPECT_EQ(window.networkAddress, QStringLiteral("10.1.2.3"));
        EXPECT_EQ(window.networkPort, QStringLiteral("4001"));
        EXPECT_FALSE(window.connected);
        EXPECT_EQ(commands(reader.calls()),
                  (std::vector<std::string>{"readRecord", "writeRecord", "reboot"}));

        const ReaderCall write = reader.callsOf("writeRecord").at(0);
        EXPECT_EQ(write.arguments, (std::vector<int>{int(RecordKind::Network), each.length}));
        Bytes expected = networkReply();
        expected.resize(std::size_t(each.length) + 1);
        // What was changed, and the texts' garbage after their zero is not sent back.
        const Bytes changed{10, 1, 2, 3};
        std::copy(changed.begin(), changed.end(), expected.begin() + 1 + 6);
        expected[1 + 22] = 4001 & 0xFF;
        expected[1 + 23] = 4001 >> 8;
        expected[1 + 27] = 1;
        for (const record::Field &field : textFields())
            std::fill_n(expected.begin() + 1 + field.offset + 4, field.width - 4, 0);
        std::fill(expected.begin() + 1 + (each.length == 160 ? 125 : 193), expected.end(), 0);
        EXPECT_EQ(write.bytes, expected);
    }
}

TEST_F(NetPageTest, DefaultReadsRestartsAndHandsOverTheDefaults) {
    const std::unique_ptr<CNetParamPage> page = makeNetPage<CDlgNetParam>();
    readNow(page.get());
    edit(page.get(), "ipAddressEdit")->setText(QStringLiteral("10.9.9.9"));
    reader.clearCalls();
    press(page.get(), "defaultButton");
    ASSERT_TRUE(pagetest::waitUntil([&] { return window.closeRequests == 1; }));
    EXPECT_EQ(commands(reader.calls()),
              (std::vector<std::string>{"defaultRecord", "readRecord", "reboot"}));
    EXPECT_EQ(edit(page.get(), "ipAddressEdit")->text(), QStringLiteral("192.168.1.250"));
    EXPECT_EQ(window.networkAddress, QStringLiteral("192.168.1.250"));
    EXPECT_EQ(window.networkPort, QStringLiteral("60000"));
    // The read's success line, then the default's.
    EXPECT_EQ(logCount(window, successText), 3);
}

TEST_F(NetPageTest, FailuresPostTheFailureTextAndDoNotRestart) {
    const std::unique_ptr<CNetParamPage> page = makeNetPage<CDlgNetParam>();
    readNow(page.get());
    reader.answer("writeRecord", std::nullopt);
    reader.answer("defaultRecord", std::nullopt);
    reader.clearCalls();
    press(page.get(), "setButton");
    ASSERT_TRUE(waitForLogCount(window, failureText, 1));
    press(page.get(), "defaultButton");
    ASSERT_TRUE(waitForLogCount(window, failureText, 2));
    reader.answer("readRecord", std::nullopt);
    press(page.get(), "readButton");
    ASSERT_TRUE(waitForLogCount(window, failureText, 3));
    EXPECT_EQ(commands(reader.calls()),
              (std::vector<std::string>{"writeRecord", "defaultRecord", "readRecord"}));
    EXPECT_EQ(window.closeRequests, 0);
    EXPECT_TRUE(window.connected);
    EXPECT_TRUE(window.networkAddress.isEmpty());
    // A failed read leaves the controls as they were.
    EXPECT_EQ(edit(page.get(), "localPortEdit")->text(), QStringLiteral("60000"));
}

TEST_F(NetPageTest, RebootGpsAndNothingWhileClosed) {
    const std::unique_ptr<CNetParamPage> plain = makeNetPage<CDlgNetParam>();
    const auto *rebootButton = child<QPushButton>(plain.get(), "rebootButton");
    EXPECT_TRUE(rebootButton->isHidden());
    plain->reboot();
    ASSERT_TRUE(pagetest::waitUntil([&] { return window.closeRequests == 1; }));
    EXPECT_EQ(logCount(window, successText), 1);
    EXPECT_EQ(reader.callsOf("reboot").size(), 1u);

    window.connected = false;
    reader.clearCalls();
    plain->readParameters();
    press(plain.get(), "setButton");
    press(plain.get(), "defaultButton");
    plain->reboot();
    EXPECT_FALSE(window.worker().isBusy());
    EXPECT_TRUE(reader.calls().empty());

    window.connected = true;
    const std::unique_ptr<CNetParamPage> fir = makeNetPage<CDlgFirNetParam>();
    Bytes position(1024, 0);
    const std::string text = "$GPRMC,083559.00,A,2237.49000,N";
    std::copy(text.begin(), text.end(), position.begin());
    reader.answer("gps", position);
    press(fir.get(), "getGpsButton");
    ASSERT_TRUE(pagetest::waitUntil([&] { return !prompts.notices.isEmpty(); }));
    EXPECT_EQ(prompts.noticeBodies(), QStringList{QString::fromStdString(text)});
    EXPECT_EQ(prompts.notices.front().caption, window.text(1000));
    reader.answer("gps", std::nullopt);
    press(fir.get(), "getGpsButton");
    ASSERT_TRUE(waitForLogCount(window, failureText, 1));
    EXPECT_EQ(prompts.notices.size(), 1);
}

TEST_F(NetPageTest, EnablingRulesAndInputLimits) {
    const std::unique_ptr<CNetParamPage> page = makeNetPage<CDlgFirNetParam>();
    readNow(page.get());
    EXPECT_TRUE(edit(page.get(), "remoteIpEdit")->isEnabled());
    EXPECT_TRUE(edit(page.get(), "apnEdit")->isEnabled());
    check(page.get(), "autoApnCheck")->setChecked(true);
    for (const char *name : {"apnEdit", "apnUserEdit", "apnPasswordEdit"})
        EXPECT_FALSE(edit(page.get(), name)->isEnabled()) << name;
    check(page.get(), "dnsCheck")->click();
    EXPECT_FALSE(edit(page.get(), "remoteIpEdit")->isEnabled());

    // Typing stops at the field's limit: a character that does not fit (or is no digit where
    // digits go) is refused, the text before it stays.
    struct Typed {
        const char *name;
        QString keys;
        QString kept;
    };
    const std::vector<Typed> typed{
        {"macEdit", QStringLiteral("0123456789ABC"), QStringLiteral("0123456789AB")},
        {"macEdit", QStringLiteral("01G2"), QStringLiteral("012")},
        {"localPortEdit", QStringLiteral("655350"), QStringLiteral("65535")},
        {"heartbeatEdit", QStringLiteral("2550"), QStringLiteral("255")},
        {"ipAddressEdit", QStringLiteral("256.1.1.1"), QStringLiteral("25.1.1.1")},
        {"ssidEdit", QString(30, u's') + QStringLiteral("\u00e4t"), QString(30, u's') + u't'},
        {"apnEdit", QString(25, u'a'), QString(24, u'a')},
        {"apnUserEdit", QString(20, u'u'), QString(19, u'u')},
        {"apnPasswordEdit", QString(20, u'p'), QString(19, u'p')},
    };
    for (const Typed &each : typed) {
        QLineEdit *field = edit(page.get(), each.name);
        field->setEnabled(true);
        field->clear();
        for (const QChar key : each.keys) field->insert(QString(key));
        EXPECT_EQ(field->text(), each.kept) << each.name;
    }
}

TEST_F(NetPageTest, AWrittenRecordShowsAsIfRead) {
    const std::unique_ptr<CNetParamPage> page = makeNetPage<CDlgNetParam>();
    const Bytes reply = networkReply();
    page->showWrittenRecord(RecordKind::Special, ParamRecord{1, Bytes(64, 0)});
    EXPECT_TRUE(edit(page.get(), "macEdit")->text().isEmpty());
    page->showWrittenRecord(RecordKind::Network,
                            ParamRecord{0x09, Bytes(reply.begin() + 1, reply.end())});
    EXPECT_EQ(edit(page.get(), "ipAddressEdit")->text(), QStringLiteral("192.168.1.250"));
    EXPECT_EQ(edit(page.get(), "remotePortEdit")->text(), QStringLiteral("60001"));
    press(page.get(), "setButton");
    ASSERT_TRUE(pagetest::waitUntil([&] { return window.closeRequests == 1; }));
    EXPECT_EQ(reader.callsOf("writeRecord").at(0).bytes.at(0), 0x09);
}

// ---- Special parameters ------------------------------------------------------------------

Bytes specialReply(std::uint8_t maskLength = 4) {
    Bytes reply(201, 0);
    const Bytes head{specialLead, 1, 0x12, 0x34, 0x56, 0x78, 1, 0x20, 0xE2, 0x00, 0x34, 0x12};
    std::copy(head.begin(), head.end(), reply.begin());
    reply[1 + 19] = maskLength;
    reply[1 + 20] = 1;
    reply[1 + 21] = 7;
    reply[1 + 22] = 1;
    reply[1 + 23] = 1;
    reply[1 + 24] = 1;
    reply[1 + 25] = 1;
    std::fill(reply.begin() + 1 + 26, reply.end(), 0x5A);
    return reply;
}

class SpecialPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        reader.answer("readRecord", specialReply());
        reader.answer("writeRecord", Bytes{});
        page = std::make_unique<CDlgSpecialParam>(window, nullptr);
    }

    void readNow() {
        const int before = logCount(window, successText);
        page->readParameters();
        ASSERT_TRUE(waitForLogCount(window, successText, before + 1));
    }

    CScriptedReader reader;
    CFakeMainWindow window{reader};
    std::unique_ptr<CDlgSpecialParam> page;
};

TEST_F(SpecialPageTest, ReadsTwoHundredAndWritesSixtyFour) {
    readNow();
    EXPECT_EQ(reader.callsOf("readRecord").at(0).arguments,
              (std::vector<int>{int(RecordKind::Special), 200}));
    EXPECT_EQ(edit(page.get(), "passwordEdit")->text(), QStringLiteral("12345678"));
    EXPECT_EQ(edit(page.get(), "maskStartEdit")->text(), QStringLiteral("20"));
    EXPECT_EQ(edit(page.get(), "maskDataEdit")->text(), QStringLiteral("E2003412"));
    EXPECT_EQ(edit(page.get(), "relayTimeEdit")->text(), QStringLiteral("7"));
    EXPECT_EQ(list(page.get(), "protocolList")->currentText(), window.protocols().value(1));
    EXPECT_EQ(list(page.get(), "conditionList")->currentText(), window.text(1248));
    EXPECT_TRUE(check(page.get(), "cacheCheck")->isChecked());

    edit(page.get(), "maskDataEdit")->setText(QStringLiteral("E2003"));
    list(page.get(), "protocolList")->setCurrentIndex(2);
    press(page.get(), "setButton");
    ASSERT_TRUE(waitForLogCount(window, successText, 2));
    const ReaderCall write = reader.callsOf("writeRecord").at(0);
    EXPECT_EQ(write.arguments, (std::vector<int>{int(RecordKind::Special), 64}));
    Bytes expected = specialReply(2);
    expected.resize(65);
    expected[1 + 24] = 2;
    expected[1 + 9] = 0;
    expected[1 + 10] = 0;
    std::fill(expected.begin() + 1 + 26, expected.end(), 0);
    EXPECT_EQ(write.bytes, expected);

    reader.answer("writeRecord", std::nullopt);
    press(page.get(), "setButton");
    ASSERT_TRUE(waitForLogCount(window, failureText, 1));
}

TEST_F(SpecialPageTest, ACedarReaderHasNoRelayControls) {
    // Created before any reader: the controls are there to use.
    EXPECT_TRUE(check(page.get(), "relayCheck")->isEnabled());
    window.type = 0xD0;
    window.events().notifyConnection(true);
    EXPECT_FALSE(check(page.get(), "relayCheck")->isEnabled());
    EXPECT_FALSE(edit(page.get(), "relayTimeEdit")->isEnabled());
    EXPECT_FALSE(child<QLabel>(page.get(), "relayTimeLabel")->isEnabled());
    readNow();
    // Set still writes the values they show.
    press(page.get(), "setButton");
    ASSERT_TRUE(waitForLogCount(window, successText, 2));
    const Bytes written = reader.callsOf("writeRecord").at(0).bytes;
    EXPECT_EQ(written.at(1 + 20), 1);
    EXPECT_EQ(written.at(1 + 21), 7);

    // Another family's reader at the next read.
    window.type = 0x50;
    readNow();
    EXPECT_TRUE(check(page.get(), "relayCheck")->isEnabled());
}

TEST_F(SpecialPageTest, AnOverlongMaskShowsTwelveBytesAndAWrittenRecordShows) {
    reader.answer("readRecord", specialReply(13));
    readNow();
    EXPECT_EQ(edit(page.get(), "maskDataEdit")->text(),
              QStringLiteral("E2003412") + QString(16, u'0'));

    Bytes record(64, 0);
    record[19] = 1;
    record[7] = 0xAB;
    page->showWrittenRecord(RecordKind::Network, ParamRecord{1, Bytes(250, 0x33)});
    EXPECT_EQ(edit(page.get(), "passwordEdit")->text(), QStringLiteral("12345678"));
    page->showWrittenRecord(RecordKind::Special, ParamRecord{0x44, record});
    EXPECT_EQ(edit(page.get(), "maskDataEdit")->text(), QStringLiteral("AB"));
    EXPECT_EQ(edit(page.get(), "passwordEdit")->text(), QStringLiteral("00000000"));
    press(page.get(), "setButton");
    ASSERT_TRUE(waitForLogCount(window, successText, 2));
    EXPECT_EQ(reader.callsOf("writeRecord").at(0).bytes.at(0), 0x44);
}

// ---- GPRS test ---------------------------------------------------------------------------

TEST(GprsPageTest, QueriesShowTheirAnswers) {
    CScriptedReader reader;
    CFakeMainWindow window{reader};
    CDlgGPRSTest page(window, nullptr);
    // One query at a time: the buttons wait while one runs.
    const auto query = [&](const char *button, const char *shown, const QString &expected) {
        edit(&page, shown)->setText(QStringLiteral("?"));
        press(&page, button);
        EXPECT_TRUE(pagetest::waitUntil([&] { return edit(&page, shown)->text() != u'?'; }));
        EXPECT_EQ(edit(&page, shown)->text(), expected) << button;
    };
    reader.answer("simState", Bytes{17});
    query("simStateButton", "simStateEdit", window.text(1233));
    reader.answer("simState", Bytes{2});
    query("simStateButton", "simStateEdit", QString());
    reader.answer("gprsSignal", Bytes{'+', 'C', 'S', 'Q', ':', '2', '4', '9'});
    query("signalButton", "signalEdit", QStringLiteral("+CSQ:249"));
    Bytes location(64, 0);
    const std::string cell = "0,460,00,1A2B,00C3D4,12,34,-71";
    std::copy(cell.begin(), cell.end(), location.begin());
    reader.answer("cellLocation", location);
    query("cellLocationButton", "cellLocationEdit", QString::fromStdString(cell));
    EXPECT_TRUE(window.logLines().isEmpty());

    int failures = 0;
    for (const auto &[command, button] : std::vector<std::pair<std::string, const char *>>{
             {"simState", "simStateButton"},
             {"gprsSignal", "signalButton"},
             {"cellLocation", "cellLocationButton"}}) {
        reader.answer(command, std::nullopt);
        press(&page, button);
        EXPECT_TRUE(waitForLogCount(window, failureText, ++failures)) << button;
    }
    EXPECT_EQ(edit(&page, "signalEdit")->text(), QStringLiteral("+CSQ:249"));
}

// ---- Every control named -----------------------------------------------------------------

TEST(NetSpecialGprsPages, EveryControlHasAName) {
    CScriptedReader reader;
    CFakeMainWindow window{reader};
    std::vector<std::unique_ptr<QWidget>> pages;
    pages.push_back(std::make_unique<CDlgNetParam>(window, nullptr));
    pages.push_back(std::make_unique<CDlgFirNetParam>(window, nullptr));
    pages.push_back(std::make_unique<CDlgSpecialParam>(window, nullptr));
    pages.push_back(std::make_unique<CDlgGPRSTest>(window, nullptr));
    for (const std::unique_ptr<QWidget> &page : pages) {
        SCOPED_TRACE(page->objectName().toStdString());
        accessible::nameControls(page.get());
        for (const QWidget *unnamed : accessible::unnamedControls(page.get()))
            ADD_FAILURE() << unnamed->metaObject()->className() << " "
                          << unnamed->objectName().toStdString();
    }
    EXPECT_EQ(pages[0]->findChild<QLineEdit *>(QStringLiteral("macEdit"))->accessibleName(),
              window.text(1103));
}

}  // namespace

}  // namespace paramtest
