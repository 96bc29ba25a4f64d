// The INI layer's private-profile semantics, on real files.
#include <gtest/gtest.h>

#include <climits>

#include "profile/CIniFile.h"
#include "test_folder.h"

namespace {

using std::string;

class IniFileTest : public ::testing::Test {
  protected:
    string path(const string &name = "test.ini") const { return m_folder.filePath(name); }

    TestFolder m_folder;
};

TEST_F(IniFileTest, MissingFileReadsZeroAndDefault) {
    const CIniFile ini(path());
    EXPECT_FALSE(ini.exists());
    EXPECT_EQ(ini.readInt("Section", "Key"), 0);
    EXPECT_EQ(ini.readText("Section", "Key", 259), "default");
}

TEST_F(IniFileTest, WriteCreatesFileSectionAndKey) {
    const CIniFile ini(path());
    ASSERT_TRUE(ini.writeText("Section", "Key", "7"));
    EXPECT_EQ(readFile(path()), "[Section]\nKey=7\n");
    ASSERT_TRUE(ini.writeText("Other", "A", "x"));
    EXPECT_EQ(readFile(path()), "[Section]\nKey=7\n[Other]\nA=x\n");
    EXPECT_EQ(ini.readInt("Section", "Key"), 7);
    EXPECT_EQ(ini.readText("Other", "A", 259), "x");
}

TEST_F(IniFileTest, WriteChangesOnlyItsOwnLine) {
    const string original =
        "; settings\r\n"
        "[First]\r\n"
        "  Alpha = 1   \r\n"
        "Beta=two ; not a comment\r\n"
        "\r\n"
        "; trailing comment of First\r\n"
        "[Second]\r\n"
        "Alpha=3\r\n";
    writeFile(path(), original);
    const CIniFile ini(path());

    ASSERT_TRUE(ini.writeText("Second", "Alpha", "9"));
    string expected = original;
    expected.replace(expected.find("Alpha=3"), 7, "Alpha=9");
    EXPECT_EQ(readFile(path()), expected);

    // A new key goes after the section's last key, before its blank line and comment.
    ASSERT_TRUE(ini.writeText("First", "Gamma", "g"));
    const string comment = "not a comment\r\n";
    expected.insert(expected.find(comment) + comment.size(), "Gamma=g\r\n");
    EXPECT_EQ(readFile(path()), expected);
}

TEST_F(IniFileTest, FileWithoutFinalLineBreakGetsOneWhenAppending) {
    writeFile(path(), "[S]\nA=1");
    const CIniFile ini(path());
    ASSERT_TRUE(ini.writeText("S", "B", "2"));
    EXPECT_EQ(readFile(path()), "[S]\nA=1\nB=2\n");
    ASSERT_TRUE(ini.writeText("T", "C", "3"));
    EXPECT_EQ(readFile(path()), "[S]\nA=1\nB=2\n[T]\nC=3\n");
}

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndValuesTrimmed) {
    writeFile(path(), "[SystemConfig]\n  devip =  10.0.0.1  \nName=\"quoted text\"\nOne='x'\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readText("SYSTEMCONFIG", "DevIP", 259), "10.0.0.1");
    EXPECT_EQ(ini.readText("systemconfig", "name", 259), "quoted text");
    EXPECT_EQ(ini.readText("SystemConfig", "One", 259), "x");
    ASSERT_TRUE(ini.writeText("systemconfig", "DEVIP", "1.2.3.4"));
    EXPECT_EQ(readFile(path()), "[SystemConfig]\nDEVIP=1.2.3.4\nName=\"quoted text\"\nOne='x'\n");
}

// Configuration and language texts are trimmed; a reader that asks keeps the blanks that end
// an unquoted value (not the line break), while a quoted value reads the same either way.
TEST_F(IniFileTest, TrailingBlanksAreKeptOnlyWhenAsked) {
    writeFile(path(),
              "[S]\r\nHex = 01 AB \r\nTab=x\t\r\nQuoted=  \"01 AB \"  \r\n"
              "Blank=   \r\nLast=end  ");
    const CIniFile ini(path());
    struct Case {
        const char *key;
        string trimmed;
        string kept;
    };
    const Case cases[] = {
        {"Hex", "01 AB", "01 AB "}, {"Tab", "x", "x\t"},      {"Quoted", "01 AB ", "01 AB "},
        {"Blank", "", ""},          {"Last", "end", "end  "}, {"Missing", "default", "default"},
    };
    for (const Case &each : cases) {
        SCOPED_TRACE(each.key);
        EXPECT_EQ(ini.readText("S", each.key, 259), each.trimmed);
        EXPECT_EQ(ini.readText("S", each.key, 259, CIniDocument::Trailing::Keep), each.kept);
    }
}

TEST_F(IniFileTest, IntegersReadLeadingDecimalDigits) {
    writeFile(path(),
              "[S]\nPlain=42\nSpaced=  17  \nMixed=12abc\nText=abc\nNegative=-5\n"
              "Hex=0x10\nHuge=99999999999999\nEmpty=\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readInt("S", "Plain"), 42);
    EXPECT_EQ(ini.readInt("S", "Spaced"), 17);
    EXPECT_EQ(ini.readInt("S", "Mixed"), 12);
    EXPECT_EQ(ini.readInt("S", "Text"), 0);
    EXPECT_EQ(ini.readInt("S", "Negative"), 0);
    EXPECT_EQ(ini.readInt("S", "Hex"), 0);
    EXPECT_EQ(ini.readInt("S", "Huge"), INT_MAX);
    EXPECT_EQ(ini.readInt("S", "Empty"), 0);
    EXPECT_EQ(ini.readInt("S", "Missing"), 0);
    EXPECT_EQ(ini.readText("S", "Empty", 259), "");
}

// Lengths count characters, and a cut never splits one.
TEST_F(IniFileTest, TextsAreCutToTheMaximumLength) {
    writeFile(path(),
              "[S]\nLong=" + string(300, 'x') + "\nWide=\xE6\xAC\xA2\xE8\xBF\x8E\xE6\xAC\xA2\n");
    EXPECT_EQ(CIniFile(path()).readText("S", "Long", 259), string(259, 'x'));
    EXPECT_EQ(CIniFile(path()).readText("S", "Wide", 2), "\xE6\xAC\xA2\xE8\xBF\x8E");
}

TEST_F(IniFileTest, LineBreaksInWrittenValuesBecomeSpaces) {
    const CIniFile ini(path());
    ASSERT_TRUE(ini.writeText("S", "K", "a\nb\r\nc"));
    EXPECT_EQ(ini.readText("S", "K", 259), "a b  c");
    EXPECT_EQ(ini.readText("S", "b", 259), "default");
}

TEST_F(IniFileTest, Utf8TextsRoundTrip) {
    writeFile(path(), "\xEF\xBB\xBF[Language]\n1001=\xE6\xAC\xA2\xE8\xBF\x8E\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readText("Language", "1001", 1023), "欢迎");
    ASSERT_TRUE(ini.writeText("Language", "1002", "时间"));
    EXPECT_EQ(readFile(path()),
              "\xEF\xBB\xBF[Language]\n1001=\xE6\xAC\xA2\xE8\xBF\x8E\n"
              "1002=\xE6\x97\xB6\xE9\x97\xB4\n");
}

// UTF-16 text with a byte-order mark, little-endian, from a string of 16-bit units.
string utf16LittleEndian(std::u16string_view text) {
    string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST_F(IniFileTest, Utf16FileKeepsItsEncoding) {
    // A letter outside the basic plane travels as a surrogate pair.
    writeFile(path(), utf16LittleEndian(u"[S]\r\nName=Zoë\U0001D11E\r\n"));
    const CIniFile ini(path());
    EXPECT_EQ(ini.readText("S", "Name", 259), "Zoë\U0001D11E");
    ASSERT_TRUE(ini.writeText("S", "Next", "1"));
    EXPECT_EQ(readFile(path()), utf16LittleEndian(u"[S]\r\nName=Zoë\U0001D11E\r\nNext=1\r\n"));
}

TEST_F(IniFileTest, BrokenFilesGiveDefinedResults) {
    static const char broken[] = "\x00\xFF\xC3[S\n=nokey\nnovalue\n[S]]\n  K = 5\n\xF0\x28";
    writeFile(path(), string(broken, sizeof broken - 1));
    const CIniFile ini(path());
    EXPECT_EQ(ini.readInt("S", "K"), 5) << "a header ends at its first ']'";
    EXPECT_EQ(ini.readText("S]", "K", 259), "default");
    EXPECT_EQ(ini.readText("S", "novalue", 259), "default");
    EXPECT_EQ(ini.readText("S", "", 259), "default") << "=nokey lies before [S]";
    EXPECT_TRUE(ini.writeText("S", "K", "1"));
    EXPECT_EQ(ini.readInt("S", "K"), 1);
    EXPECT_EQ(readFile(path()).substr(0, 6), string(broken, 6)) << "other bytes stay as they were";
    // Invalid UTF-8 reads as replacement characters, never as the raw bytes.
    writeFile(path(), "[S]\nK=a\xFF\xC3z\n");
    EXPECT_EQ(ini.readText("S", "K", 259), "a\xEF\xBF\xBD\xEF\xBF\xBDz");
}

TEST_F(IniFileTest, FirstOfDuplicateSectionsAndKeysWins) {
    writeFile(path(), "[S]\nK=1\nK=2\n[S]\nK=3\nL=4\n");
    const CIniFile ini(path());
    EXPECT_EQ(ini.readInt("S", "K"), 1);
    EXPECT_EQ(ini.readInt("S", "L"), 0);
}

TEST_F(IniFileTest, WriteIntoMissingFolderFails) {
    const CIniFile ini(path("no/such/folder/test.ini"));
    EXPECT_FALSE(ini.writeText("S", "K", "1"));
}

// A write replaces the file whole and keeps its permissions; a configuration file kept
// elsewhere behind a link is written where the link points, and the link stays.
TEST_F(IniFileTest, WritesKeepPermissionsAndFollowALink) {
    writeFile(path("real.ini"), "[S]\nK=1\n");
    std::filesystem::permissions(path("real.ini"), std::filesystem::perms(0640));
    std::filesystem::create_symlink(path("real.ini"), path("link.ini"));
    ASSERT_TRUE(CIniFile(path("link.ini")).writeText("S", "K", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.ini")));
    EXPECT_EQ(readFile(path("real.ini")), "[S]\nK=2\n");
    EXPECT_EQ(std::filesystem::status(path("real.ini")).permissions(),
              std::filesystem::perms(0640));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("")),
                            std::filesystem::directory_iterator()),
              2)
        << "no temporary file is left behind";
}

}  // namespace
