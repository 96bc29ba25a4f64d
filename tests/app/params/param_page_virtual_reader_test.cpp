// Every family's parameter page end to end against the virtual reader over TCP: what is set is
// read back, and Default brings the factory record back.
#include "param_page_fixture.h"

namespace paramtest {

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CVirtualReaderSession;

class ParamPageVirtualReaderTest : public ::testing::TestWithParam<Family> {
  protected:
    const readerfamily::FamilyTraits &traits() const { return readerfamily::traitsOf(GetParam()); }

    // Runs an operation and waits for its success line.
    void runAndSucceed(const std::function<void()> &operation) {
        const int before = logCount(window, CDlgParamPage::successText);
        operation();
        ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, before + 1));
    }

    CVirtualReaderSession session{traits().name};
    CFakeMainWindow window{session.reader(), &session.facade()};
    std::unique_ptr<CDlgParamPage> page;
};

TEST_P(ParamPageVirtualReaderTest, SetIsReadBackAndDefaultRestores) {
    ASSERT_TRUE(session.isOpen());
    window.type = traits().defaultType;
    page = makePage(GetParam(), window);
    const int factoryPower = traits().maxPowerDbm - 4;

    runAndSucceed([&] { page->readParameters(); });
    EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), factoryPower);
    EXPECT_EQ(edit(page.get(), "filterTimeEdit")->text(), QStringLiteral("1"));
    EXPECT_EQ(list(page.get(), "regionList")->currentText(), QStringLiteral("US Freq"));

    list(page.get(), "powerList")->setCurrentIndex(5);
    edit(page.get(), "filterTimeEdit")->setText(QStringLiteral("9"));
    runAndSucceed([&] { press(page.get(), "setButton"); });
    list(page.get(), "powerList")->setCurrentIndex(0);
    edit(page.get(), "filterTimeEdit")->clear();

    runAndSucceed([&] { press(page.get(), "readButton"); });
    EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), 5);
    EXPECT_EQ(edit(page.get(), "filterTimeEdit")->text(), QStringLiteral("9"));
    EXPECT_EQ(list(page.get(), "regionList")->currentText(), QStringLiteral("US Freq"));

    // Default logs its own success, then the read's.
    const int before = logCount(window, CDlgParamPage::successText);
    press(page.get(), "defaultButton");
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, before + 2));
    EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), factoryPower);
    EXPECT_EQ(edit(page.get(), "filterTimeEdit")->text(), QStringLiteral("1"));
    EXPECT_FALSE(window.logLines().contains(window.text(CDlgParamPage::failureText)));
}

TEST(ParamPageVirtualReader, AlderNetworkTextsAreWrittenAndReadBack) {
    CVirtualReaderSession session{"alder"};
    CFakeMainWindow window{session.reader(), &session.facade()};
    window.type = readerfamily::traitsOf(Family::Alder).defaultType;
    const std::unique_ptr<CDlgParamPage> page = makePage(Family::Alder, window);
    page->readParameters();
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 1));
    EXPECT_EQ(edit(page.get(), "ssidEdit")->text(), QStringLiteral("TagBench"));
    EXPECT_EQ(edit(page.get(), "passwordEdit")->text(), QStringLiteral("tagbench-wifi"));
    EXPECT_EQ(edit(page.get(), "remotePortEdit")->text(), QStringLiteral("60000"));

    edit(page.get(), "passwordEdit")->setText(QStringLiteral("Kennwort-\u00e4"));
    edit(page.get(), "remoteIpEdit")->setText(QStringLiteral("10.1.2.3"));
    press(page.get(), "setButton");
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 2));
    edit(page.get(), "passwordEdit")->clear();
    press(page.get(), "readButton");
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 3));
    EXPECT_EQ(edit(page.get(), "passwordEdit")->text(), QStringLiteral("Kennwort-\u00e4"));
    EXPECT_EQ(edit(page.get(), "remoteIpEdit")->text(), QStringLiteral("10.1.2.3"));
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, ParamPageVirtualReaderTest,
                         ::testing::Values(Family::Alder, Family::Birch, Family::Birch2,
                                           Family::Cedar, Family::Cedar2, Family::Elm, Family::Fir,
                                           Family::Hazel),
                         [](const ::testing::TestParamInfo<Family> &info) {
                             return std::string(readerfamily::traitsOf(info.param).name);
                         });

}  // namespace

}  // namespace paramtest
