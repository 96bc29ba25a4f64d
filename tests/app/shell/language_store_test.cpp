#include "kit/CLanguageStore.h"
#include "test_files.h"
#include "text_keys.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString shippedLanguageFolder = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR "/Language");

class ShippedLanguageTest : public ::testing::TestWithParam<const char *> {
  protected:
    static QString path() {
        return shippedLanguageFolder + QStringLiteral("/") + QString::fromLatin1(GetParam()) +
               QStringLiteral(".ini");
    }
};

TEST_P(ShippedLanguageTest, LoadsAllTextsWithoutDefaults) {
    CLanguageStore language;
    // The specified keys, then the program's own above them, up to the highest named key.
    const int count = keyNumber(allTexts.back()) - 999;
    ASSERT_EQ(language.load(path()), count);
    EXPECT_EQ(language.filePath(), path());
    for (const Text named : allTexts)
        EXPECT_NE(language.text(keyNumber(named)), QStringLiteral("default")) << keyNumber(named);
    EXPECT_FALSE(language.text(1000).isEmpty());
    EXPECT_FALSE(language.text(1001).isEmpty());
    EXPECT_TRUE(language.text(1000 + count).isEmpty());
    const QString confirm = language.format(1020, QStringLiteral("English"));
    EXPECT_TRUE(confirm.contains(QStringLiteral("English"))) << confirm.toStdString();
    EXPECT_FALSE(confirm.contains(QStringLiteral("%s")));
}

static_assert(std::ranges::is_sorted(allTexts), "the named texts are listed in key order");

TEST_P(ShippedLanguageTest, HoldsEveryNamedText) {
    CLanguageStore language;
    language.load(path());
    for (const Text named : allTexts) {
        const QString text = language.text(keyNumber(named));
        EXPECT_FALSE(text.isEmpty() || text == QStringLiteral("default")) << keyNumber(named);
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedLanguageTest, ::testing::Values("English", "Chinese"));

class LanguageStoreTest : public ::testing::Test {
  protected:
    QString path() const { return m_folder.filePath(QStringLiteral("Test.ini")); }

    QTemporaryDir m_folder;
    CLanguageStore m_language;
};

TEST_F(LanguageStoreTest, MissingFileGivesEmptyTexts) {
    EXPECT_EQ(m_language.load(m_folder.filePath(QStringLiteral("Nowhere.ini"))), 0);
    EXPECT_EQ(m_language.textCount(), 0);
    EXPECT_TRUE(m_language.text(1001).isEmpty());
    EXPECT_TRUE(m_language.format(1020, QStringLiteral("English")).isEmpty());
}

TEST_F(LanguageStoreTest, ZeroCountLoadsNothing) {
    writeFile(path(), "[Language]\n999=0\n1000=Unused\n");
    EXPECT_EQ(m_language.load(path()), 0);
    EXPECT_TRUE(m_language.text(1000).isEmpty());
}

TEST_F(LanguageStoreTest, MissingKeyReadsDefault) {
    writeFile(path(), "[Language]\n999=3\n1000=Zero\n1002=Two\n");
    EXPECT_EQ(m_language.load(path()), 3);
    EXPECT_EQ(m_language.text(1000), QStringLiteral("Zero"));
    EXPECT_EQ(m_language.text(1001), QStringLiteral("default"));
    EXPECT_EQ(m_language.text(1002), QStringLiteral("Two"));
    EXPECT_TRUE(m_language.text(1003).isEmpty());
}

TEST_F(LanguageStoreTest, KeysOutsideTheTableAreEmpty) {
    writeFile(path(), "[Language]\n999=1\n1000=Zero\n");
    m_language.load(path());
    for (const int key : {-1, 0, 999, 1500, 100000})
        EXPECT_TRUE(m_language.text(key).isEmpty()) << key;
}

TEST_F(LanguageStoreTest, CountIsClampedToTheTable) {
    writeFile(path(), "[Language]\n999=100000\n1499=Last\n1500=Beyond\n");
    EXPECT_EQ(m_language.load(path()), 500);
    EXPECT_EQ(m_language.text(1499), QStringLiteral("Last"));
    EXPECT_TRUE(m_language.text(1500).isEmpty());
}

TEST_F(LanguageStoreTest, LongTextsAreCut) {
    writeFile(path(), "[Language]\n999=1\n1000=" + QByteArray(2000, 'w') + "\n");
    m_language.load(path());
    EXPECT_EQ(m_language.text(1000).size(), 1023);
}

TEST_F(LanguageStoreTest, ReloadReplacesTheTable) {
    writeFile(path(), "[Language]\n999=2\n1000=A\n1001=B\n");
    m_language.load(path());
    writeFile(path(), "[Language]\n999=1\n1000=C\n");
    m_language.load(path());
    EXPECT_EQ(m_language.text(1000), QStringLiteral("C"));
    EXPECT_TRUE(m_language.text(1001).isEmpty());
}

TEST_F(LanguageStoreTest, FormatFillsTheFirstTextArgument) {
    writeFile(path(),
              "[Language]\n999=4\n1000=Switch to %s?\n1001=100%% %s and %s\n"
              "1002=no argument\n1003=%d %x %\n");
    m_language.load(path());
    EXPECT_EQ(m_language.format(1000, QStringLiteral("English")),
              QStringLiteral("Switch to English?"));
    EXPECT_EQ(m_language.format(1001, QStringLiteral("a")), QStringLiteral("100% a and %s"));
    EXPECT_EQ(m_language.format(1002, QStringLiteral("a")), QStringLiteral("no argument"));
    EXPECT_EQ(m_language.format(1003, QStringLiteral("a")), QStringLiteral("%d %x %"));
}

TEST(LanguageStore, RelativeFilePathNamesTheLanguageFolder) {
    EXPECT_EQ(CLanguageStore::relativeFilePath(QStringLiteral("English")),
              QStringLiteral("Language/English.ini"));
}

}  // namespace
