#include "kit/CIniFile.h"
#include "test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>

namespace {

class IniFileTest : public ::testing::Test {
  protected:
    QString path(const QString &name = QStringLiteral("test.ini")) const {
        return m_folder.filePath(name);
    }

    QTemporaryDir m_folder;
};

TEST_F(IniFileTest, MissingFileReadsZeroAndDefault) {
    const CIniFile ini(path());
    EXPECT_FALSE(ini.exists());
    EXPECT_EQ(ini.readInt(u"Section", u"Key"), 0);
    EXPECT_EQ(ini.readText(u"Section", u"Key", 259), QStringLiteral("default"));
}

TEST_F(IniFileTest, WriteCreatesFileSectionAndKey) {
    const CIniFile ini(path());
    ASSERT_TRUE(
        ini.writeText(QStringLiteral("Section"), QStringLiteral("Key"), QStringLiteral("7")));
    EXPECT_EQ(readFile(path()), QByteArray("[Section]\nKey=7\n"));
    ASSERT_TRUE(ini.writeText(QStringLiteral("Other"), QStringLiteral("A"), QStringLiteral("x")));
    EXPECT_EQ(readFile(path()), QByteArray("[Section]\nKey=7\n[Other]\nA=x\n"));
    EXPECT_EQ(ini.readInt(u"Section", u"Key"), 7);
    EXPECT_EQ(ini.readText(u"Other", u"A", 259), QStringLiteral("x"));
}

TEST_F(IniFileTest, WriteChangesOnlyItsOwnLine) {
    const QByteArray original(
        "; settings\r\n"
        "[First]\r\n"
        "  Alpha = 1   \r\n"
        "Beta=two ; not a comment\r\n"
        "\r\n"
        "; trailing comment of First\r\n"
        "[Second]\r\n"
        "Alpha=3\r\n");
    writeFile(path(), original);
    const CIniFile ini(path());

    ASSERT_TRUE(
        ini.writeText(QStringLiteral("Second"), QStringLiteral("Alpha"), QStringLiteral("9")));
    QByteArray expected = original;
    expected.replace("[Second]\r\nAlpha=3", "[Second]\r\nAlpha=9");
    EXPECT_EQ(readFile(path()), expected);

    // A new key goes after the section's last key, before its blank line and comment.
    ASSERT_TRUE(
        ini.writeText(QStringLiteral("First"), QStringLiteral("Gamma"), QStringLiteral("g")));
    expected.replace("not a comment\r\n", "not a comment\r\nGamma=g\r\n");
    EXPECT_EQ(readFile(path()), expected);
}

TEST_F(IniFileTest, FileWithoutFinalLineBreakGetsOneWhenAppending) {
    writeFile(path(), "[S]\nA=1");
    const CIniFile ini(path());
    ASSERT_TRUE(ini.writeText(QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("2")));
    EXPECT_EQ(readFile(path()), QByteArray("[S]\nA=1\nB=2\n"));
    ASSERT_TRUE(ini.writeText(QStringLiteral("T"), QStringLiteral("C"), QStringLiteral("3")));
    EXPECT_EQ(readFile(path()), QByteArray("[S]\nA=1\nB=2\n[T]\nC=3\n"));
}

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndValuesTrimmed) {
    writeFile(path(), "[SystemConfig]\n  devip =  10.0.0.1  \nName=\"quoted text\"\nOne='x'\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readText(u"SYSTEMCONFIG", u"DevIP", 259), QStringLiteral("10.0.0.1"));
    EXPECT_EQ(ini.readText(u"systemconfig", u"name", 259), QStringLiteral("quoted text"));
    EXPECT_EQ(ini.readText(u"SystemConfig", u"One", 259), QStringLiteral("x"));
    ASSERT_TRUE(ini.writeText(QStringLiteral("systemconfig"), QStringLiteral("DEVIP"),
                              QStringLiteral("1.2.3.4")));
    EXPECT_EQ(readFile(path()),
              QByteArray("[SystemConfig]\nDEVIP=1.2.3.4\nName=\"quoted text\"\nOne='x'\n"));
}

// Configuration and language texts are trimmed; a reader that asks keeps the blanks that end
// an unquoted value (not the line break), while a quoted value reads the same either way.
TEST_F(IniFileTest, TrailingBlanksAreKeptOnlyWhenAsked) {
    writeFile(path(),
              "[S]\r\nHex = 01 AB \r\nTab=x\t\r\nQuoted=  \"01 AB \"  \r\n"
              "Blank=   \r\nLast=end  ");
    const CIniFile ini(path());
    struct Case {
        const char16_t *key;
        QString trimmed;
        QString kept;
    };
    const Case cases[] = {
        {u"Hex", QStringLiteral("01 AB"), QStringLiteral("01 AB ")},
        {u"Tab", QStringLiteral("x"), QStringLiteral("x\t")},
        {u"Quoted", QStringLiteral("01 AB "), QStringLiteral("01 AB ")},
        {u"Blank", QString(), QString()},
        {u"Last", QStringLiteral("end"), QStringLiteral("end  ")},
        {u"Missing", QStringLiteral("default"), QStringLiteral("default")},
    };
    for (const Case &each : cases) {
        const QStringView key(each.key);
        SCOPED_TRACE(key.toString().toStdString());
        EXPECT_EQ(ini.readText(u"S", key, 259), each.trimmed);
        EXPECT_EQ(ini.readText(u"S", key, 259, CIniDocument::Trailing::Keep), each.kept);
    }
}

TEST_F(IniFileTest, IntegersReadLeadingDecimalDigits) {
    writeFile(path(),
              "[S]\nPlain=42\nSpaced=  17  \nMixed=12abc\nText=abc\nNegative=-5\n"
              "Hex=0x10\nHuge=99999999999999\nEmpty=\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readInt(u"S", u"Plain"), 42);
    EXPECT_EQ(ini.readInt(u"S", u"Spaced"), 17);
    EXPECT_EQ(ini.readInt(u"S", u"Mixed"), 12);
    EXPECT_EQ(ini.readInt(u"S", u"Text"), 0);
    EXPECT_EQ(ini.readInt(u"S", u"Negative"), 0);
    EXPECT_EQ(ini.readInt(u"S", u"Hex"), 0);
    EXPECT_EQ(ini.readInt(u"S", u"Huge"), INT_MAX);
    EXPECT_EQ(ini.readInt(u"S", u"Empty"), 0);
    EXPECT_EQ(ini.readInt(u"S", u"Missing"), 0);
    EXPECT_EQ(ini.readText(u"S", u"Empty", 259), QString());
}

TEST_F(IniFileTest, TextsAreCutToTheMaximumLength) {
    writeFile(path(), "[S]\nLong=" + QByteArray(300, 'x') + "\n");
    EXPECT_EQ(CIniFile(path()).readText(u"S", u"Long", 259), QString(259, u'x'));
}

TEST_F(IniFileTest, LineBreaksInWrittenValuesBecomeSpaces) {
    const CIniFile ini(path());
    ASSERT_TRUE(
        ini.writeText(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("a\nb\r\nc")));
    EXPECT_EQ(ini.readText(u"S", u"K", 259), QStringLiteral("a b  c"));
    EXPECT_EQ(ini.readText(u"S", u"b", 259), QStringLiteral("default"));
}

TEST_F(IniFileTest, Utf8TextsRoundTrip) {
    writeFile(path(), "\xEF\xBB\xBF[Language]\n1001=\xE6\xAC\xA2\xE8\xBF\x8E\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readText(u"Language", u"1001", 1023), QStringLiteral("欢迎"));
    ASSERT_TRUE(
        ini.writeText(QStringLiteral("Language"), QStringLiteral("1002"), QStringLiteral("时间")));
    EXPECT_EQ(readFile(path()), QByteArray("\xEF\xBB\xBF[Language]\n1001=\xE6\xAC\xA2\xE8\xBF\x8E\n"
                                           "1002=\xE6\x97\xB6\xE9\x97\xB4\n"));
}

TEST_F(IniFileTest, Utf16FileKeepsItsEncoding) {
    const QString text = QStringLiteral("[S]\r\nName=Zoë\r\n");
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    writeFile(path(), bytes);
    const CIniFile ini(path());
    EXPECT_EQ(ini.readText(u"S", u"Name", 259), QStringLiteral("Zoë"));
    ASSERT_TRUE(ini.writeText(QStringLiteral("S"), QStringLiteral("Next"), QStringLiteral("1")));
    const QString expected = QStringLiteral("[S]\r\nName=Zoë\r\nNext=1\r\n");
    QByteArray expectedBytes("\xFF\xFE", 2);
    expectedBytes.append(reinterpret_cast<const char *>(expected.utf16()), expected.size() * 2);
    EXPECT_EQ(readFile(path()), expectedBytes);
}

TEST_F(IniFileTest, BrokenFilesGiveDefinedResults) {
    static const char broken[] = "\x00\xFF\xC3[S\n=nokey\nnovalue\n[S]]\n  K = 5\n\xF0\x28";
    writeFile(path(), QByteArray(broken, sizeof broken - 1));
    const CIniFile ini(path());
    EXPECT_EQ(ini.readInt(u"S", u"K"), 5) << "a header ends at its first ']'";
    EXPECT_EQ(ini.readText(u"S]", u"K", 259), QStringLiteral("default"));
    EXPECT_EQ(ini.readText(u"S", u"novalue", 259), QStringLiteral("default"));
    EXPECT_EQ(ini.readText(u"S", u"", 259), QStringLiteral("default")) << "=nokey lies before [S]";
    EXPECT_TRUE(ini.writeText(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("1")));
    EXPECT_EQ(ini.readInt(u"S", u"K"), 1);
    EXPECT_EQ(readFile(path()).left(6), QByteArray(broken, 6)) << "other bytes stay as they were";
}

TEST_F(IniFileTest, FirstOfDuplicateSectionsAndKeysWins) {
    writeFile(path(), "[S]\nK=1\nK=2\n[S]\nK=3\nL=4\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readInt(u"S", u"K"), 1);
    EXPECT_EQ(ini.readInt(u"S", u"L"), 0);
}

TEST_F(IniFileTest, WriteIntoMissingFolderFails) {
    const CIniFile ini(path(QStringLiteral("no/such/folder/test.ini")));
    EXPECT_FALSE(ini.writeText(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("1")));
}

}  // namespace
