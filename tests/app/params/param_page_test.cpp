// The parameter pages against a scripted reader: what each family reads and writes, its
// family rules, the baud follow-up, Default, and the names of its controls.
#include "param_page_fixture.h"

#include "kit/Accessible.h"

#include <QGroupBox>

#include <future>

namespace paramtest {

namespace {

using pagetest::CFakeMainWindow;
using pagetest::CScriptedReader;
using pagetest::ReaderCall;

constexpr std::uint8_t lead = 0x07;

struct FamilyCase {
    Family family;
    std::uint8_t type;
    int readLength;
    int writeLength;
    bool checksModule;
};

const std::vector<FamilyCase> familyCases{
    {Family::Alder, 0xE0, 128, 128, false}, {Family::Birch, 0xD2, 16, 16, false},
    {Family::Birch2, 0xD3, 16, 16, false},  {Family::Cedar, 0xD0, 100, 32, true},
    {Family::Cedar2, 0xD1, 100, 32, true},  {Family::Elm, 0xC3, 200, 32, true},
    {Family::Fir, 0x50, 64, 32, true},      {Family::Hazel, 0xC2, 64, 32, true},
};

// Leading byte, then bytes 0..24 with every field set; zeros after.
Bytes recordReply(std::uint8_t interface = 1, std::uint8_t baud = 2) {
    Bytes reply{lead, interface, 1, 0x21, 5,  10, 1, baud, 0x05, 0x85, 1,  0x02, 0x0C,
                7,    1,         1, 20,   30, 40, 0, 0x0F, 4,    2,    10, 1,    1};
    return reply;
}

class ParamPageTest : public ::testing::Test {
  protected:
    void open(Family family, std::uint8_t type, Bytes reply = recordReply()) {
        window.type = type;
        reader.answer("readRecord", std::move(reply));
        reader.answer("checkModule", Bytes{1});
        reader.answer("writeRecord", Bytes{});
        page = makePage(family, window);
    }

    void readNow() {
        const int before = logCount(window, CDlgParamPage::successText);
        page->readParameters();
        ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, before + 1));
    }

    Bytes setNow() {
        const int before = logCount(window, CDlgParamPage::successText);
        press(page.get(), "setButton");
        EXPECT_TRUE(waitForLogCount(window, CDlgParamPage::successText, before + 1));
        const std::vector<ReaderCall> writes = reader.callsOf("writeRecord");
        return writes.empty() ? Bytes{} : writes.back().bytes;
    }

    CScriptedReader reader;
    CFakeMainWindow window{reader};
    std::unique_ptr<CDlgParamPage> page;
};

TEST_F(ParamPageTest, EachFamilyReadsAndWritesItsLengths) {
    for (const FamilyCase &each : familyCases) {
        SCOPED_TRACE(readerfamily::traitsOf(each.family).name);
        reader.clearCalls();
        open(each.family, each.type);
        readNow();
        const std::vector<ReaderCall> reads = reader.callsOf("readRecord");
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0].arguments, (std::vector<int>{int(RecordKind::Device), each.readLength}));
        EXPECT_EQ(reader.callsOf("checkModule").size(), each.checksModule ? 1u : 0u);

        const Bytes written = setNow();
        const std::vector<ReaderCall> writes = reader.callsOf("writeRecord");
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].arguments,
                  (std::vector<int>{int(RecordKind::Device), each.writeLength}));
        ASSERT_EQ(int(written.size()), each.writeLength + 1);
        EXPECT_EQ(written[0], lead);
    }
}

TEST_F(ParamPageTest, ControlValuesGiveTheirBytes) {
    open(Family::Cedar, 0xD0);
    readNow();
    list(page.get(), "interfaceList")->setCurrentIndex(2);
    list(page.get(), "workModeList")->setCurrentIndex(2);
    edit(page.get(), "addressEdit")->setText(QStringLiteral("fe"));
    edit(page.get(), "filterTimeEdit")->setText(QStringLiteral("300"));
    list(page.get(), "powerList")->setCurrentIndex(33);
    check(page.get(), "beeperCheck")->setChecked(false);
    list(page.get(), "baudList")->setCurrentIndex(4);
    list(page.get(), "areaList")->setCurrentIndex(0);
    edit(page.get(), "startAddressEdit")->setText(QStringLiteral("1"));
    edit(page.get(), "byteLengthEdit")->setText(QString());
    edit(page.get(), "byte12Edit")->setText(QStringLiteral("9"));
    list(page.get(), "wiegandFormatList")->setCurrentIndex(0);
    list(page.get(), "wiegandOrderList")->setCurrentIndex(0);
    edit(page.get(), "outputIntervalEdit")->setText(QStringLiteral("255"));
    edit(page.get(), "pulseWidthEdit")->setText(QStringLiteral("256"));
    edit(page.get(), "pulseIntervalEdit")->setText(QStringLiteral("3"));
    list(page.get(), "qList")->setCurrentIndex(15);
    list(page.get(), "sessionList")->setCurrentIndex(3);
    edit(page.get(), "responseTimeEdit")->setText(QStringLiteral("12"));
    list(page.get(), "targetList")->setCurrentIndex(2);
    check(page.get(), "denseCheck")->setChecked(false);

    const Bytes written = setNow();
    const Bytes expected{lead, 2, 2, 0xFE, 44, 33, 0, 4, 0x05, 0x85, 0,  0x01, 0,
                         9,    0, 0, 255,  0,  3,  0, 0, 15,   3,    12, 2,    0};
    ASSERT_EQ(written.size(), 33u);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 26), expected);
    EXPECT_EQ(Bytes(written.begin() + 26, written.end()), Bytes(7, 0));
}

TEST_F(ParamPageTest, AlderInventoryTimeAndNetworkTexts) {
    open(Family::Alder, 0xE0, recordReply(0));
    readNow();
    EXPECT_TRUE(child<QGroupBox>(page.get(), "wifiGroup")->isHidden());
    list(page.get(), "interfaceList")->setCurrentIndex(1);
    EXPECT_FALSE(child<QGroupBox>(page.get(), "wifiGroup")->isHidden());
    edit(page.get(), "byte12Edit")->setText(QStringLiteral("100"));
    edit(page.get(), "ssidEdit")->setText(QStringLiteral("Shop"));
    edit(page.get(), "remotePortEdit")->setText(QStringLiteral("60001"));
    EXPECT_EQ(edit(page.get(), "passwordEdit")->maxLength(), 31);

    const Bytes written = setNow();
    ASSERT_EQ(written.size(), 129u);
    EXPECT_EQ(written[1 + 0], 1);
    EXPECT_EQ(written[1 + 12], 100);
    EXPECT_EQ(std::string(written.begin() + 1 + 45, written.begin() + 1 + 50),
              std::string("Shop\0", 5));
    EXPECT_EQ(written[1 + 109], 60001 & 0xFF);
    EXPECT_EQ(written[1 + 110], 60001 >> 8);
}

TEST_F(ParamPageTest, AlderReadShowsTheWifiGroupForInterfaceWifi) {
    open(Family::Alder, 0xE0, recordReply(1));
    readNow();
    EXPECT_FALSE(child<QGroupBox>(page.get(), "wifiGroup")->isHidden());
}

TEST_F(ParamPageTest, Birch2SendsNoAddressAndItsOutputFormat) {
    open(Family::Birch2, 0xD3);
    readNow();
    EXPECT_EQ(page->findChild<QLineEdit *>(QStringLiteral("addressEdit")), nullptr);
    EXPECT_EQ(page->findChild<QComboBox *>(QStringLiteral("baudList")), nullptr);
    list(page.get(), "outputFormatList")->setCurrentIndex(4);
    check(page.get(), "enterKeyCheck")->setChecked(true);
    window.transportInUse = Transport::Serial;

    const Bytes written = setNow();
    EXPECT_EQ(written[1 + 2], 0);
    EXPECT_EQ(written[1 + 6], 4);
    EXPECT_EQ(written[1 + 13], 1);
    EXPECT_EQ(window.closeRequests, 0);
}

TEST_F(ParamPageTest, ElmWeigandInterfaceDisablesTheByteLength) {
    open(Family::Elm, 0xC3, recordReply(4));
    readNow();
    EXPECT_FALSE(edit(page.get(), "byteLengthEdit")->isEnabled());
    list(page.get(), "interfaceList")->setCurrentIndex(0);
    EXPECT_TRUE(edit(page.get(), "byteLengthEdit")->isEnabled());
}

TEST_F(ParamPageTest, HazelTwoAntennaReaderReportsTwoAntennas) {
    open(Family::Hazel, 0xC2);
    reader.answer("checkAntennas", Bytes{0x00, 0x03});
    readNow();
    EXPECT_FALSE(check(page.get(), "ant2")->isHidden());
    EXPECT_TRUE(check(page.get(), "ant3")->isHidden());
    press(page.get(), "checkButton");
    EXPECT_TRUE(window.waitForLog(QStringLiteral("Ant1: 1, Ant2: 1")));
}

TEST_F(ParamPageTest, FirFourPortReaderReportsFourAntennas) {
    open(Family::Fir, 0x50);
    reader.answer("checkAntennas", Bytes{0x00, 0xFF});
    EXPECT_TRUE(check(page.get(), "ant5")->isHidden());
    readNow();
    EXPECT_TRUE(check(page.get(), "ant4")->isChecked());
    EXPECT_FALSE(check(page.get(), "ant5")->isChecked());
    press(page.get(), "checkButton");
    EXPECT_TRUE(window.waitForLog(QStringLiteral("Ant1: 1, Ant2: 1, Ant3: 1, Ant4: 1")));
}

TEST_F(ParamPageTest, FirEightPortTypeShowsEightAntennasAtRead) {
    open(Family::Fir, 0x51);
    readNow();
    EXPECT_FALSE(check(page.get(), "ant8")->isHidden());
}

TEST_F(ParamPageTest, FirSynchronisesAndReadsTheDeviceTime) {
    open(Family::Fir, 0x50);
    reader.answer("setTime", Bytes{});
    reader.answer("readTime", Bytes{26, 12, 8, 16, 5, 9});
    page->setClock([] { return QDateTime(QDate(2031, 3, 7), QTime(9, 5, 1)); });
    press(page.get(), "synchroniseButton");
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 1));
    ASSERT_EQ(reader.callsOf("setTime").size(), 1u);
    EXPECT_EQ(reader.callsOf("setTime")[0].bytes, (Bytes{31, 3, 7, 9, 5, 1}));

    press(page.get(), "deviceTimeButton");
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 2));
    EXPECT_EQ(edit(page.get(), "deviceTimeEdit")->text(), QStringLiteral("2026-12-08 16:05:09"));
}

TEST_F(ParamPageTest, ChangedBaudOverSerialClosesAndMovesTheMainWindowList) {
    open(Family::Fir, 0x50, recordReply(1, 4));
    window.transportInUse = Transport::Serial;
    readNow();
    list(page.get(), "baudList")->setCurrentIndex(0);
    setNow();
    EXPECT_EQ(window.closeRequests, 1);
    ASSERT_TRUE(window.serialMove);
    EXPECT_EQ(window.serialMove->baudRate, 9600);
}

TEST_F(ParamPageTest, ChangedBaudOverUsbClosesNothing) {
    open(Family::Fir, 0x50, recordReply(1, 4));
    window.transportInUse = Transport::Usb;
    readNow();
    list(page.get(), "baudList")->setCurrentIndex(0);
    setNow();
    EXPECT_EQ(window.closeRequests, 0);
    EXPECT_FALSE(window.serialMove);
}

TEST_F(ParamPageTest, FailedDefaultDoesNotRead) {
    open(Family::Fir, 0x50);
    press(page.get(), "defaultButton");
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::failureText, 1));
    EXPECT_EQ(reader.callsOf("defaultRecord").size(), 1u);
    EXPECT_TRUE(reader.callsOf("readRecord").empty());
}

TEST_F(ParamPageTest, DefaultReadsTheRestoredRecord) {
    open(Family::Fir, 0x50);
    reader.answer("defaultRecord", Bytes{});
    press(page.get(), "defaultButton");
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 2));
    EXPECT_EQ(reader.callsOf("readRecord").size(), 1u);
    EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), 10);
}

TEST_F(ParamPageTest, ModuleFaultIsLoggedBeforeTheRecordIsShown) {
    open(Family::Hazel, 0xC4);
    reader.answer("checkModule", Bytes{0});
    readNow();
    const QStringList lines = window.logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], window.text(CDlgParamPage::moduleFaultText));
    EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), 10);
}

TEST_F(ParamPageTest, FailedReadKeepsTheControls) {
    open(Family::Birch, 0xD2);
    readNow();
    reader.answer("readRecord", std::nullopt);
    page->read();
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::failureText, 1));
    EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), 10);
}

TEST_F(ParamPageTest, NotConnectedDoesNothing) {
    open(Family::Fir, 0x50);
    window.connected = false;
    for (const char *button : {"readButton", "setButton", "defaultButton", "checkButton",
                               "deviceTimeButton", "synchroniseButton"})
        press(page.get(), button);
    page->readParameters();
    EXPECT_TRUE(reader.calls().empty());
}

TEST_F(ParamPageTest, IndexOutsideAListShowsNoSelectionAndIsWrittenBack) {
    Bytes reply = recordReply();
    reply[1 + 4] = 40;  // beyond Birch's 17 dBm
    open(Family::Birch, 0xD2, reply);
    readNow();
    EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), -1);
    EXPECT_EQ(setNow()[1 + 4], 40);
}

TEST_F(ParamPageTest, RegionChoiceListsThePresetsChannels) {
    open(Family::Fir, 0x50, recordReply());
    readNow();
    QComboBox *region = list(page.get(), "regionList");
    EXPECT_EQ(region->currentIndex(), -1);
    EXPECT_TRUE(check(page.get(), "singleCheck")->isChecked());
    EXPECT_EQ(list(page.get(), "channelList")->currentText(), QStringLiteral("905.25MHz"));
    region->setCurrentIndex(1);
    emit region->activated(1);
    EXPECT_EQ(list(page.get(), "channelList")->count(), 15);
    check(page.get(), "singleCheck")->setChecked(false);
    const Bytes written = setNow();
    EXPECT_EQ(written[1 + 7], 0x4E);
    EXPECT_EQ(written[1 + 8], 0x00);
}

TEST_F(ParamPageTest, ButtonsWaitWhileTheReaderWorks) {
    open(Family::Fir, 0x50);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    reader.answerWith("readRecord", [released](const ReaderCall &) {
        released.wait();
        return std::optional<Bytes>(recordReply());
    });
    page->readParameters();
    for (const char *button : {"readButton", "setButton", "defaultButton", "checkButton"})
        EXPECT_FALSE(child<QPushButton>(page.get(), button)->isEnabled()) << button;
    release.set_value();
    ASSERT_TRUE(waitForLogCount(window, CDlgParamPage::successText, 1));
    for (const char *button : {"readButton", "setButton", "defaultButton", "checkButton"})
        EXPECT_TRUE(child<QPushButton>(page.get(), button)->isEnabled()) << button;
}

TEST_F(ParamPageTest, EveryControlOfEveryPageHasAName) {
    for (const FamilyCase &each : familyCases) {
        open(each.family, each.type);
        EXPECT_TRUE(accessible::unnamedControls(page.get()).isEmpty())
            << readerfamily::traitsOf(each.family).name;
    }
}

// A profile import hands the device record it wrote to every page: the Elm, Fir and Hazel pages
// show it as if read (without asking the reader), the other families keep what they showed.
// The page's next write still carries the leading byte of its own last read.
TEST_F(ParamPageTest, ImportedDeviceRecordShowsOnTheElmFirAndHazelPages) {
    for (const FamilyCase &each : familyCases) {
        SCOPED_TRACE(readerfamily::traitsOf(each.family).name);
        open(each.family, each.type);
        readNow();
        reader.clearCalls();
        Bytes imported(200, 0);
        imported[3] = 42;  // filter time
        imported[4] = 3;   // RF power
        imported[7] = 0x05;
        imported[8] = 0x85;
        page->showWrittenRecord(RecordKind::Network, ParamRecord{0x99, Bytes(200, 0x11)});
        EXPECT_EQ(edit(page.get(), "filterTimeEdit")->text(), QStringLiteral("5"));
        page->showWrittenRecord(RecordKind::Device, ParamRecord{0x99, imported});
        const bool shows = each.family == Family::Elm || each.family == Family::Fir ||
                           each.family == Family::Hazel;
        EXPECT_EQ(edit(page.get(), "filterTimeEdit")->text(),
                  shows ? QStringLiteral("42") : QStringLiteral("5"));
        EXPECT_EQ(list(page.get(), "powerList")->currentIndex(), shows ? 3 : 10);
        EXPECT_TRUE(reader.callsOf("readRecord").empty());

        const Bytes written = setNow();
        ASSERT_GT(written.size(), 5u);
        EXPECT_EQ(written[0], lead);
        EXPECT_EQ(written[1 + 4], shows ? 3 : 10);
    }
}

}  // namespace

}  // namespace paramtest
