#include "kit/CMyFunc.h"
#include "test_files.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (const int value : values) result.append(static_cast<char>(value));
    return result;
}

TEST(CMyFuncHex, CompactHexEdgeCases) {
    EXPECT_EQ(CMyFunc::compactHexToBytes(u"1G"), bytes({0x00})) << "non-digit second character";
    EXPECT_EQ(CMyFunc::compactHexToBytes(u"G1"), bytes({0x01})) << "non-digit first character";
    EXPECT_EQ(CMyFunc::compactHexToBytes(u"ABC"), bytes({0xAB})) << "odd last character ignored";
    EXPECT_EQ(CMyFunc::compactHexToBytes(u"00ffA5c3"), bytes({0x00, 0xFF, 0xA5, 0xC3}));
    EXPECT_TRUE(CMyFunc::compactHexToBytes(u"").isEmpty());
    EXPECT_TRUE(CMyFunc::compactHexToBytes(u"F").isEmpty());
    EXPECT_EQ(CMyFunc::compactHexToBytes(u"欢迎"), bytes({0x00}));
}

TEST(CMyFuncHex, SpacedHexEdgeCases) {
    EXPECT_EQ(CMyFunc::spacedHexToBytes(u"01 AB"), bytes({0x01}))
        << "no final space: last byte lost";
    EXPECT_EQ(CMyFunc::spacedHexToBytes(u"01 AB "), bytes({0x01, 0xAB}));
    EXPECT_EQ(CMyFunc::spacedHexToBytes(u"01xABy"), bytes({0x01, 0xAB}))
        << "separator not looked at";
    EXPECT_EQ(CMyFunc::spacedHexToBytes(u"1G G1 "), bytes({0x00, 0x01}));
    EXPECT_TRUE(CMyFunc::spacedHexToBytes(u"01").isEmpty());
}

TEST(CMyFuncHex, ShortHexEdgeCases) {
    EXPECT_EQ(CMyFunc::shortHexToInt(u""), 0);
    EXPECT_EQ(CMyFunc::shortHexToInt(u"123"), 0);
    EXPECT_EQ(CMyFunc::shortHexToInt(u"f"), 15);
    EXPECT_EQ(CMyFunc::shortHexToInt(u"z"), 0);
    EXPECT_EQ(CMyFunc::shortHexToInt(u"1z"), 0);
    EXPECT_EQ(CMyFunc::shortHexToInt(u"z1"), 1);
    EXPECT_EQ(CMyFunc::shortHexToInt(u"FF"), 255);
    EXPECT_EQ(CMyFunc::shortHexToInt(u"0a"), 10);
}

TEST(CMyFuncHex, BytesToText) {
    EXPECT_EQ(CMyFunc::bytesToSpacedHex(bytes({0x00, 0xFF})), QStringLiteral("00 FF "));
    EXPECT_EQ(CMyFunc::bytesToSpacedHex(bytes({0x01, 0xAB})), QStringLiteral("01 AB "));
    EXPECT_EQ(CMyFunc::bytesToCompactHex(bytes({0x01, 0xAB})), QStringLiteral("01AB"));
    EXPECT_TRUE(CMyFunc::bytesToSpacedHex(QByteArray()).isEmpty());
    const std::uint8_t raw[] = {0x12, 0x34, 0x56};
    EXPECT_EQ(CMyFunc::bytesToSpacedHex(raw, 2), QStringLiteral("12 34 "));
    EXPECT_EQ(CMyFunc::bytesToCompactHex(raw, 0), QString());
    EXPECT_EQ(CMyFunc::bytesToCompactHex(nullptr, 5), QString());
}

TEST(CMyFuncHex, RoundTripsEveryByteValue) {
    QByteArray all;
    for (int value = 0; value < 256; ++value) all.append(static_cast<char>(value));
    EXPECT_EQ(CMyFunc::compactHexToBytes(CMyFunc::bytesToCompactHex(all)), all);
    EXPECT_EQ(CMyFunc::spacedHexToBytes(CMyFunc::bytesToSpacedHex(all)), all);
    EXPECT_EQ(CMyFunc::compactHexToBytes(CMyFunc::bytesToCompactHex(all).toLower()), all);
}

TEST(CMyFuncText, NarrowIsUtf8) {
    const QString wide = QStringLiteral("COM3 端口");
    EXPECT_EQ(CMyFunc::toNarrow(wide), QByteArray("COM3 \xE7\xAB\xAF\xE5\x8F\xA3"));
    EXPECT_EQ(CMyFunc::toWide(CMyFunc::toNarrow(wide)), wide);
    EXPECT_EQ(CMyFunc::toWide(static_cast<const char *>(nullptr)), QString());
}

TEST(CMyFuncFiles, PathsAreRelativeToTheWorkingDirectory) {
    QTemporaryDir folder;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    writeFile(folder.filePath(QStringLiteral("present.txt")), "x");
    EXPECT_EQ(CMyFunc::makePath(QStringLiteral("skin/red.skin")),
              QDir::currentPath() + QStringLiteral("/skin/red.skin"));
    EXPECT_TRUE(CMyFunc::fileExists(QStringLiteral("present.txt")));
    EXPECT_FALSE(CMyFunc::fileExists(QStringLiteral("absent.txt")));
    QDir::setCurrent(previous);
}

class SerialPortsTest : public ::testing::Test {
  protected:
    void addTty(const QString &name, bool withDevice) const {
        QDir(m_root.path()).mkpath(withDevice ? name + QStringLiteral("/device") : name);
    }

    QTemporaryDir m_root;
};

TEST_F(SerialPortsTest, ListsPortsWithADeviceSortedByName) {
    for (const char *name : {"ttyUSB0", "ttyS10", "ttyS2", "ttyACM0", "ttyS0", "ttyUSB1"})
        addTty(QString::fromLatin1(name), true);
    for (const char *name : {"tty0", "console", "ptmx"}) addTty(QString::fromLatin1(name), false);
    QStringList ports{QStringLiteral("stale")};
    EXPECT_TRUE(CMyFunc::enumerateSerialPorts(ports, m_root.path()));
    EXPECT_EQ(ports, (QStringList{"ttyACM0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1"}));

    QStringList again;
    CMyFunc::enumerateSerialPorts(again, m_root.path());
    EXPECT_EQ(again, ports);
}

TEST_F(SerialPortsTest, NoPortsOrNoFolderGiveAnEmptyList) {
    addTty(QStringLiteral("tty1"), false);
    QStringList ports{QStringLiteral("stale")};
    EXPECT_FALSE(CMyFunc::enumerateSerialPorts(ports, m_root.path()));
    EXPECT_TRUE(ports.isEmpty());
    EXPECT_FALSE(CMyFunc::enumerateSerialPorts(ports, m_root.filePath(QStringLiteral("missing"))));
}

TEST(CMyFuncOrder, NaturalOrderComparesNumbersAsNumbers) {
    EXPECT_TRUE(CMyFunc::lessByNaturalOrder(QStringLiteral("ttyS2"), QStringLiteral("ttyS10")));
    EXPECT_FALSE(CMyFunc::lessByNaturalOrder(QStringLiteral("ttyS10"), QStringLiteral("ttyS2")));
    EXPECT_TRUE(CMyFunc::lessByNaturalOrder(QStringLiteral("ttyS"), QStringLiteral("ttyS0")));
    EXPECT_TRUE(CMyFunc::lessByNaturalOrder(QStringLiteral("ttyS9"), QStringLiteral("ttyUSB0")));
    EXPECT_TRUE(CMyFunc::lessByNaturalOrder(QStringLiteral("a01"), QStringLiteral("a1")))
        << "equal numbers fall back to the text, so the order stays total";
    EXPECT_FALSE(CMyFunc::lessByNaturalOrder(QStringLiteral("a1"), QStringLiteral("a1")));
}

}  // namespace
