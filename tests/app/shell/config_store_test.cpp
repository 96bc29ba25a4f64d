#include "kit/CConfigStore.h"
#include "test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ConfigStoreTest : public ::testing::Test {
  protected:
    QString filePath() const { return m_folder.filePath(QStringLiteral("SystemConfig.ini")); }
    void writeConfig(const QByteArray &content) const { writeFile(filePath(), content); }

    QTemporaryDir m_folder;
};

const QByteArray firstStartFile(
    "[SystemConfig]\n"
    "Transport=0\n"
    "ComNum=0\n"
    "ComBaud=4\n"
    "UsbNum=0\n"
    "DevIP=192.168.1.250\n"
    "DevPort=60000\n"
    "SkinFile=red.skin\n"
    "FreqNum=2\n"
    "FreqType1=US Freq,902.75,927.25\n"
    "FreqType2=EU Freq,865.1,867.9\n"
    "ProtocolNum=3\n"
    "Protocol1=1,0x02 Head HexID 0x03 0x0D 0x0A end\n"
    "Protocol2=2,test1\n"
    "Protocol3=3,test2\n"
    "LanguageSelect=0\n"
    "LanguageNum=2\n"
    "Language1=Chinese\n"
    "Language2=English\n");

TEST_F(ConfigStoreTest, FirstStartWritesTheEighteenDefaultsInOrder) {
    CConfigStore config(m_folder.path());
    EXPECT_EQ(config.filePath(), filePath());
    EXPECT_EQ(readFile(filePath()), firstStartFile);

    config.load();
    EXPECT_EQ(config.transport(), Transport::Serial);
    EXPECT_EQ(config.comNum(), 0);
    EXPECT_EQ(config.comBaud(), 4) << "115200 is position 4 of the baud list";
    EXPECT_EQ(config.usbNum(), 0);
    EXPECT_EQ(config.devIp(), QStringLiteral("192.168.1.250"));
    EXPECT_EQ(config.devPort(), 60000);
    EXPECT_EQ(config.skinFile(), QStringLiteral("red.skin"));
    EXPECT_EQ(config.languagePosition(), 0);
    EXPECT_EQ(config.currentLanguageName(), QStringLiteral("Chinese"));
    EXPECT_EQ(config.languageNames(), (QStringList{"Chinese", "English"}));
    EXPECT_EQ(config.frequencyPresets(),
              (QStringList{"US Freq,902.75,927.25", "EU Freq,865.1,867.9"}));
    EXPECT_EQ(config.protocols(),
              (QStringList{"1,0x02 Head HexID 0x03 0x0D 0x0A end", "2,test1", "3,test2"}));
}

TEST_F(ConfigStoreTest, ExistingFileIsReadAsItIsAndNeverCompleted) {
    const QByteArray existing(
        "[SystemConfig]\n"
        "Transport=2\n"
        "ComBaud=1\n"
        "SkinFile=blue.skin\n"
        "LanguageNum=1\n"
        "Language1=English\n");
    writeConfig(existing);
    CConfigStore config(m_folder.path());
    config.load();
    EXPECT_EQ(readFile(filePath()), existing);
    EXPECT_EQ(config.transport(), Transport::Network);
    EXPECT_EQ(config.comBaud(), 1);
    EXPECT_EQ(config.comNum(), 0);
    EXPECT_EQ(config.devPort(), 0);
    EXPECT_EQ(config.devIp(), QStringLiteral("default"));
    EXPECT_EQ(config.skinFile(), QStringLiteral("blue.skin"));
    EXPECT_EQ(config.frequencyPresetCount(), 0);
    EXPECT_TRUE(config.protocols().isEmpty());
    EXPECT_EQ(config.currentLanguageName(), QStringLiteral("English"));
}

TEST_F(ConfigStoreTest, EmptyFileStaysEmpty) {
    writeConfig(QByteArray());
    CConfigStore config(m_folder.path());
    config.load();
    EXPECT_TRUE(readFile(filePath()).isEmpty());
    EXPECT_EQ(config.languageCount(), 0);
    EXPECT_EQ(config.currentLanguageName(), QString());
}

TEST_F(ConfigStoreTest, CountsAboveTheCapacityAreClamped) {
    QByteArray content("[SystemConfig]\nLanguageNum=100\nFreqNum=49\nProtocolNum=-3\n");
    for (int number = 1; number <= 60; ++number)
        content +=
            "Language" + QByteArray::number(number) + "=L" + QByteArray::number(number) + "\n";
    writeConfig(content);
    CConfigStore config(m_folder.path());
    config.load();
    EXPECT_EQ(config.languageCount(), 48);
    ASSERT_EQ(config.languageNames().size(), 48);
    EXPECT_EQ(config.languageNames().back(), QStringLiteral("L48"));
    EXPECT_EQ(config.frequencyPresetCount(), 48);
    EXPECT_EQ(config.frequencyPresets().back(), QStringLiteral("default")) << "FreqType48 missing";
    EXPECT_EQ(config.protocolCount(), 0) << "a negative count does not start with a digit";
}

TEST_F(ConfigStoreTest, LanguagePositionOutOfRangeFallsBackToTheFirstLanguage) {
    for (const char *position : {"2", "47", "48", "1000", "-1", "x"}) {
        writeConfig(QByteArray("[SystemConfig]\nLanguageSelect=") + position +
                    "\nLanguageNum=2\nLanguage1=Chinese\nLanguage2=English\n");
        CConfigStore config(m_folder.path());
        config.load();
        EXPECT_EQ(config.currentLanguageName(), QStringLiteral("Chinese")) << position;
    }
    writeConfig(
        "[SystemConfig]\nLanguageSelect=1\nLanguageNum=2\nLanguage1=Chinese\nLanguage2=English\n");
    CConfigStore config(m_folder.path());
    config.load();
    EXPECT_EQ(config.currentLanguageName(), QStringLiteral("English"));
}

TEST_F(ConfigStoreTest, LanguageNamesFoundReplaceTheListInMemoryOnly) {
    const QByteArray content("[SystemConfig]\nLanguageSelect=1\n");
    writeConfig(content);
    CConfigStore config(m_folder.path());
    config.load();
    QStringList found;
    for (int number = 1; number <= 60; ++number) found.append(QStringLiteral("L%1").arg(number));
    config.useLanguageNames(found);
    EXPECT_EQ(config.languageCount(), 48);
    EXPECT_EQ(config.languageNames(), found.first(48));
    EXPECT_EQ(config.currentLanguageName(), QStringLiteral("L2")) << "the position indexes them";
    config.useLanguageNames({QStringLiteral("Only")});
    EXPECT_EQ(config.languageNames(), QStringList{QStringLiteral("Only")});
    EXPECT_EQ(config.currentLanguageName(), QStringLiteral("Only"));
    EXPECT_EQ(readFile(filePath()), content);
}

TEST_F(ConfigStoreTest, SettersWriteAtOnceAndKeepTheRestOfTheFile) {
    CConfigStore config(m_folder.path());
    config.load();
    config.rememberNetworkOpen(QStringLiteral("10.1.2.3"), QStringLiteral("8080"));
    EXPECT_EQ(config.transport(), Transport::Network);
    EXPECT_EQ(config.devPort(), 8080);
    config.rememberSerialOpen(3, 1);
    config.rememberUsbOpen(2);
    config.setSkinFile(QStringLiteral("dark.skin"));

    QByteArray expected = firstStartFile;
    expected.replace("DevIP=192.168.1.250", "DevIP=10.1.2.3")
        .replace("DevPort=60000", "DevPort=8080")
        .replace("ComNum=0", "ComNum=3")
        .replace("ComBaud=4", "ComBaud=1")
        .replace("UsbNum=0", "UsbNum=2")
        .replace("Transport=0", "Transport=1")
        .replace("SkinFile=red.skin", "SkinFile=dark.skin");
    EXPECT_EQ(readFile(filePath()), expected);

    CConfigStore reread(m_folder.path());
    reread.load();
    EXPECT_EQ(reread.devIp(), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(reread.transport(), Transport::Usb);
}

// Off on first start (not one of the first-start keys), remembered once switched.
TEST_F(ConfigStoreTest, Gs1ColumnIsOffUntilSwitchedAndThenRemembered) {
    CConfigStore config(m_folder.path());
    config.load();
    EXPECT_FALSE(config.gs1Column());
    EXPECT_EQ(readFile(filePath()), firstStartFile);
    for (const bool shown : {true, false}) {
        config.setGs1Column(shown);
        EXPECT_EQ(config.gs1Column(), shown);
        CConfigStore reread(m_folder.path());
        reread.load();
        EXPECT_EQ(reread.gs1Column(), shown);
        EXPECT_EQ(reread.readText(QStringLiteral("Gs1Column")), shown ? "1" : "0");
    }
}

TEST_F(ConfigStoreTest, StoredTransportNumbersReadAsTransportsAndAreWrittenBack) {
    struct Case {
        QByteArray stored;
        Transport read;
        QString written;
    };
    // Any number but 1 and 2 (and no number at all) is serial, the button the panel shows.
    const Case cases[] = {
        {"0", Transport::Serial, QStringLiteral("0")},
        {"1", Transport::Usb, QStringLiteral("1")},
        {"2", Transport::Network, QStringLiteral("2")},
        {"3", Transport::Serial, QStringLiteral("0")},
        {"-1", Transport::Serial, QStringLiteral("0")},
        {"2147483647", Transport::Serial, QStringLiteral("0")},
        {"usb", Transport::Serial, QStringLiteral("0")},
    };
    for (const Case &each : cases) {
        writeConfig("[SystemConfig]\nTransport=" + each.stored + "\n");
        CConfigStore config(m_folder.path());
        config.load();
        EXPECT_EQ(config.transport(), each.read) << each.stored.constData();
        config.setTransport(config.transport());
        EXPECT_EQ(config.readText(QStringLiteral("Transport")), each.written)
            << each.stored.constData();
    }
}

TEST_F(ConfigStoreTest, PortIsStoredAsTyped) {
    CConfigStore config(m_folder.path());
    config.setDevPortText(QStringLiteral("0815"));
    EXPECT_EQ(config.readText(QStringLiteral("DevPort")), QStringLiteral("0815"));
    EXPECT_EQ(config.devPort(), 815);
}

TEST_F(ConfigStoreTest, LanguagePositionIsWrittenOnlyWhenSaved) {
    CConfigStore config(m_folder.path());
    config.load();
    config.setLanguagePosition(1);
    EXPECT_EQ(config.languagePosition(), 1);
    EXPECT_EQ(config.readInt(QStringLiteral("LanguageSelect")), 0);
    config.saveLanguagePosition();
    EXPECT_EQ(config.readInt(QStringLiteral("LanguageSelect")), 1);
}

}  // namespace

namespace {

// A first start selects the language asked for when it is one of the listed ones; the file
// keeps the eighteen keys in their order either way.
TEST_F(ConfigStoreTest, FirstStartSelectsTheLanguageAskedFor) {
    const std::pair<const char *, int> cases[] = {
        {"English", 1}, {"Chinese", 0}, {"Klingon", 0}, {"", 0}};
    for (const auto &[language, position] : cases) {
        QFile::remove(filePath());
        CConfigStore config(m_folder.path(), QString::fromLatin1(language));
        QByteArray expected = firstStartFile;
        expected.replace("LanguageSelect=0", "LanguageSelect=" + QByteArray::number(position));
        EXPECT_EQ(readFile(filePath()), expected) << language;
        config.load();
        EXPECT_EQ(config.languagePosition(), position) << language;
    }
    writeConfig("[SystemConfig]\nLanguageSelect=0\n");
    CConfigStore existing(m_folder.path(), QStringLiteral("English"));
    EXPECT_EQ(readFile(filePath()), QByteArray("[SystemConfig]\nLanguageSelect=0\n"))
        << "an existing file is left alone";
}

TEST_F(ConfigStoreTest, LogBoundKeys) {
    struct Case {
        const char *lines;
        qint64 maxSize;
        int keep;
    };
    const Case cases[] = {
        {"", 16 << 20, 5},  // missing keys: the defaults
        {"LogMaxSize=0\nLogKeep=0\n", 0, 0},
        {"LogMaxSize=65536\nLogKeep=3\n", 65536, 3},
        {"LogMaxSize=64K\nLogKeep= 12 \n", 64 << 10, 12},
        {"LogMaxSize=2m\n", 2 << 20, 5},
        {"LogMaxSize=1 G\n", qint64(1) << 30, 5},
        {"LogMaxSize=lots\nLogKeep=many\n", 16 << 20, 5},  // not a number: the defaults
        {"LogMaxSize=99999999999999999999G\nLogKeep=1000000\n", qint64(1) << 50, 999},
    };
    for (const Case &c : cases) {
        writeConfig(QByteArray("[SystemConfig]\n") + c.lines);
        const CConfigStore config(m_folder.path());
        EXPECT_EQ(config.logMaxSize(16 << 20), c.maxSize) << c.lines;
        EXPECT_EQ(config.logKeep(5), c.keep) << c.lines;
    }
}

}  // namespace
