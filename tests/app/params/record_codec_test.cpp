// The network and special records byte by byte, and the texts the GPRS page shows: what the
// controls' texts become in the record and what a record shows in them.
#include "params/CDlgGPRSTest.h"
#include "params/NetParamRecord.h"
#include "params/RecordText.h"
#include "params/SpecialParamRecord.h"
#include "reader_family.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using netparam::NetParamForm;
using specialparam::SpecialParamForm;

struct Expected {
    int at;
    Bytes bytes;
};

struct BuildCase {
    std::string name;
    std::function<Bytes()> build;
    std::size_t length;
    std::vector<Expected> expected;
};

NetParamForm networkForm()
{
    NetParamForm form;
    form.mac = QStringLiteral("0a1B2c3D4e5F");
    form.ipAddress = QStringLiteral("192.168.1.250");
    form.subnetMask = QStringLiteral("255.255.255.0");
    form.gateway = QStringLiteral("192.168.1.1");
    form.remoteIp = QStringLiteral("10.0.0.7");
    form.localPort = QStringLiteral("60000");
    form.remotePort = QStringLiteral("502");
    form.heartbeat = QStringLiteral("300");
    form.domain = QStringLiteral("reader.example.com");
    form.gps = true;
    form.gpsInterval = QStringLiteral("6");
    form.autoApn = true;
    form.apn = QStringLiteral("cmnet");
    return form;
}

SpecialParamForm specialForm(const QString &maskData)
{
    SpecialParamForm form;
    form.passwordEnable = true;
    form.password = QStringLiteral("0000abcd");
    form.maskStart = QStringLiteral("2");
    form.maskData = maskData;
    form.relay = true;
    form.relayTime = QStringLiteral("5");
    form.protocol = 2;
    form.condition = 1;
    return form;
}

Bytes zeros(std::size_t count)
{
    return Bytes(count, 0);
}

const std::vector<BuildCase> buildCases{
    {"networkFieldsAndLittleEndianPorts",
        [] { return netparam::buildRecord(networkForm(), false, 160); }, 160,
        {{0, {0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}}, {6, {192, 168, 1, 250}},
            {10, {255, 255, 255, 0}}, {14, {192, 168, 1, 1}}, {18, {10, 0, 0, 7}},
            {22, {0x60, 0xEA}}, {24, {0xF6, 0x01}}, {28, {300 & 0xFF}},
            {29, {'r', 'e', 'a', 'd', 'e', 'r', '.'}}, {47, {0}}}},
    {"dnsOnKeepsTheRemoteAddress",
        [] {
            NetParamForm form = networkForm();
            form.dns = true;
            return netparam::buildRecord(form, false, 160);
        },
        160, {{18, {10, 0, 0, 7}}, {26, {0, 1}}}},
    {"plainPageLeavesTheGprsFieldsZero",
        [] { return netparam::buildRecord(networkForm(), false, 160); }, 160,
        {{125, zeros(35)}}},
    {"firPageWritesTheGprsFields",
        [] { return netparam::buildRecord(networkForm(), true, 250); }, 250,
        {{125, {1, 6, 1, 'c', 'm', 'n', 'e', 't', 0}}, {193, zeros(57)}}},
    {"shortMacLeavesZeros",
        [] {
            NetParamForm form;
            form.mac = QStringLiteral("A1B2C");
            return netparam::buildRecord(form, false, 160);
        },
        160, {{0, {0xA1, 0xB2, 0, 0, 0, 0}}, {6, {0, 0, 0, 0}}}},
    {"textsStopAtTheirFieldWithoutSplittingACharacter",
        [] {
            NetParamForm form;
            form.ssid = QString(30, u'x') + QStringLiteral("\u00e4");
            form.apnUser = QString(25, u'u');
            return netparam::buildRecord(form, true, 250);
        },
        250, {{61 + 29, {'x', 0, 0}}, {153 + 18, {'u', 0}}, {173, {0}}}},
    {"maskOfEightDigits",
        [] { return specialparam::buildRecord(specialForm(QStringLiteral("E2003412")), 64); },
        64,
        {{0, {1, 0x00, 0x00, 0xAB, 0xCD, 0, 0x02, 0xE2, 0x00, 0x34, 0x12, 0}}, {19, {4}},
            {20, {1, 5, 0, 0, 2, 1}}, {26, zeros(38)}}},
    {"maskOfFiveDigitsWritesTwoBytes",
        [] { return specialparam::buildRecord(specialForm(QStringLiteral("E2003")), 64); }, 64,
        {{7, {0xE2, 0x00, 0x00}}, {19, {2}}}},
};

TEST(RecordCodecTest, ControlTextsBecomeTheirBytes)
{
    for (const BuildCase &each : buildCases) {
        SCOPED_TRACE(each.name);
        const Bytes record = each.build();
        ASSERT_EQ(record.size(), each.length);
        for (const Expected &expected : each.expected) {
            ASSERT_LE(expected.at + expected.bytes.size(), record.size());
            EXPECT_EQ(Bytes(record.begin() + expected.at,
                          record.begin() + expected.at + long(expected.bytes.size())),
                expected.bytes)
                << "at " << expected.at;
        }
    }
}

TEST(RecordCodecTest, RecordsShowInTheControls)
{
    const Bytes written = netparam::buildRecord(networkForm(), true, 250);
    const NetParamForm shown = netparam::showRecord(written);
    EXPECT_EQ(shown.mac, QStringLiteral("0A1B2C3D4E5F"));
    EXPECT_EQ(shown.ipAddress, QStringLiteral("192.168.1.250"));
    EXPECT_EQ(shown.remoteIp, QStringLiteral("10.0.0.7"));
    EXPECT_EQ(shown.localPort, QStringLiteral("60000"));
    EXPECT_EQ(shown.remotePort, QStringLiteral("502"));
    EXPECT_EQ(shown.heartbeat, QStringLiteral("44"));
    EXPECT_EQ(shown.domain, QStringLiteral("reader.example.com"));
    EXPECT_EQ(shown.apn, QStringLiteral("cmnet"));
    EXPECT_TRUE(shown.gps);
    EXPECT_TRUE(shown.autoApn);

    // A text field without its zero shows no more than the field holds; a short record reads
    // as zeros past its end.
    Bytes full(250, 'z');
    EXPECT_EQ(netparam::showRecord(full).ssid, QString(31, u'z'));
    EXPECT_EQ(netparam::showRecord(Bytes{1, 2}).ipAddress, QStringLiteral("0.0.0.0"));

    Bytes special = specialparam::buildRecord(specialForm(QStringLiteral("E2003412")), 64);
    SpecialParamForm read = specialparam::showRecord(special);
    EXPECT_EQ(read.password, QStringLiteral("0000ABCD"));
    EXPECT_EQ(read.maskStart, QStringLiteral("02"));
    EXPECT_EQ(read.maskData, QStringLiteral("E2003412"));
    EXPECT_EQ(read.relayTime, QStringLiteral("5"));
    EXPECT_EQ(read.protocol, 2);
    EXPECT_EQ(read.condition, 1);
    // A mask length beyond the record's room shows the twelve mask bytes.
    special[19] = 200;
    EXPECT_EQ(specialparam::showRecord(special).maskData.size(), 24);
}

TEST(RecordCodecTest, GprsAnswersAsText)
{
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(0), Text::SimStateNoCard);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(1), Text::SimStateReady);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(16), Text::SimStateSearching);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(17), Text::SimStateRegistered);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(18), Text::SimStateServerConnected);
    EXPECT_EQ(CDlgGPRSTest::simStateTextKey(2), std::nullopt);
    const std::array<std::uint8_t, 8> signal{'C', 'S', 'Q', ':', '2', '4', ',', '9'};
    EXPECT_EQ(recordtext::fromField(signal), QStringLiteral("CSQ:24,9"));
    const std::array<std::uint8_t, 4> invalid{0xFF, 'a', 0, 'b'};
    EXPECT_EQ(recordtext::fromField(invalid), QStringLiteral("\ufffda"));
}

} // namespace
