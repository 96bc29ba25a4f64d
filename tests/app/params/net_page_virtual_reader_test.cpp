// The network, special and GPRS pages end to end against a Fir virtual reader over TCP: a
// network write restarts the reader, and after the operator opens again the record holds the
// change; special records and the GPRS answers come from the reader itself.
#include "param_page_fixture.h"

#include "params/CDlgGPRSTest.h"
#include "params/CDlgSpecialParam.h"
#include "params/CNetParamPage.h"
#include "reader_model.h"

namespace paramtest {

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CVirtualReaderSession;

constexpr int successText = 1023;
constexpr std::uint8_t rebootCommand = 0x30;

class NetPagesVirtualReaderTest : public ::testing::Test {
  protected:
    NetPagesVirtualReaderTest() { window.type = 0x50; }

    void runAndSucceed(const std::function<void()> &operation) {
        const int before = logCount(window, successText);
        operation();
        ASSERT_TRUE(waitForLogCount(window, successText, before + 1));
    }

    bool rebootRequested() {
        for (const Bytes &request : session.virtualReader().requests())
            if (request.size() > 5 && request[5] == rebootCommand) return true;
        return false;
    }

    CVirtualReaderSession session{"fir"};
    CFakeMainWindow window{session.reader(), &session.facade()};
};

TEST_F(NetPagesVirtualReaderTest, AWrittenNetworkRecordSurvivesTheRestart) {
    ASSERT_TRUE(session.isOpen());
    CDlgFirNetParam page(window, nullptr);
    runAndSucceed([&] { page.readParameters(); });
    EXPECT_EQ(edit(&page, "ipAddressEdit")->text(), QStringLiteral("192.168.1.250"));
    EXPECT_EQ(edit(&page, "localPortEdit")->text(), QStringLiteral("60000"));
    EXPECT_EQ(edit(&page, "ssidEdit")->text(), QStringLiteral("TagBench"));
    EXPECT_TRUE(check(&page, "autoApnCheck")->isChecked());

    edit(&page, "ipAddressEdit")->setText(QStringLiteral("10.20.30.40"));
    edit(&page, "localPortEdit")->setText(QStringLiteral("4001"));
    edit(&page, "ssidEdit")->setText(QStringLiteral("Lager-\u00d6st"));
    check(&page, "autoApnCheck")->setChecked(false);
    edit(&page, "apnEdit")->setText(QStringLiteral("iot.example"));
    session.virtualReader().clearRequests();
    press(&page, "setButton");
    ASSERT_TRUE(pagetest::waitUntil([&] { return window.closeRequests == 1; }));
    EXPECT_TRUE(rebootRequested());
    EXPECT_EQ(window.networkAddress, QStringLiteral("10.20.30.40"));
    EXPECT_EQ(window.networkPort, QStringLiteral("4001"));

    // The operator opens again once the reader is back.
    ASSERT_TRUE(session.reopen());
    window.connected = true;
    edit(&page, "ipAddressEdit")->clear();
    edit(&page, "apnEdit")->clear();
    runAndSucceed([&] { press(&page, "readButton"); });
    EXPECT_EQ(edit(&page, "ipAddressEdit")->text(), QStringLiteral("10.20.30.40"));
    EXPECT_EQ(edit(&page, "localPortEdit")->text(), QStringLiteral("4001"));
    EXPECT_EQ(edit(&page, "ssidEdit")->text(), QStringLiteral("Lager-\u00d6st"));
    EXPECT_FALSE(check(&page, "autoApnCheck")->isChecked());
    EXPECT_EQ(edit(&page, "apnEdit")->text(), QStringLiteral("iot.example"));
    EXPECT_FALSE(window.logLines().contains(window.text(1022)));
}

TEST_F(NetPagesVirtualReaderTest, SpecialRecordAndGprsAnswersComeFromTheReader) {
    ASSERT_TRUE(session.isOpen());
    CDlgSpecialParam special(window, nullptr);
    runAndSucceed([&] { special.readParameters(); });
    EXPECT_EQ(edit(&special, "relayTimeEdit")->text(), QStringLiteral("1"));
    edit(&special, "maskDataEdit")->setText(QStringLiteral("E2003412"));
    check(&special, "cacheCheck")->setChecked(true);
    runAndSucceed([&] { press(&special, "setButton"); });
    bool cacheOn = false;
    session.virtualReader().withModel(
        [&](readersim::ReaderModel &model) { cacheOn = model.cacheEnabled(); });
    EXPECT_TRUE(cacheOn);
    edit(&special, "maskDataEdit")->clear();
    runAndSucceed([&] { press(&special, "readButton"); });
    EXPECT_EQ(edit(&special, "maskDataEdit")->text(), QStringLiteral("E2003412"));

    CDlgGPRSTest gprs(window, nullptr);
    press(&gprs, "simStateButton");
    ASSERT_TRUE(
        pagetest::waitUntil([&] { return !edit(&gprs, "simStateEdit")->text().isEmpty(); }));
    EXPECT_EQ(edit(&gprs, "simStateEdit")->text(), window.text(1231));
    press(&gprs, "signalButton");
    ASSERT_TRUE(pagetest::waitUntil([&] { return !edit(&gprs, "signalEdit")->text().isEmpty(); }));
    EXPECT_EQ(edit(&gprs, "signalEdit")->text(), QStringLiteral("CSQ:24"));
}

}  // namespace

}  // namespace paramtest
