#include "kit/CButtonST.h"
#include "kit/CLanguageStore.h"
#include "shell/CPageFactory.h"
#include "shell/CTagDeskDlg.h"
#include "test_files.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

namespace {

const QString shippedData = QStringLiteral(TAGBENCH_SHIPPED_DATA_DIR);

// The tab control, whatever class the main window uses for it.
QTabWidget *tabsOf(const CTagDeskDlg &window) {
    return window.findChild<QTabWidget *>();
}

CLanguageStore shippedLanguage(const QString &name) {
    CLanguageStore language;
    language.load(shippedData + u'/' + CLanguageStore::relativeFilePath(name));
    return language;
}

// Every start runs in an empty working directory, so captions can only come from the data
// folder found next to the "executable" (here the source tree's data folder).
class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previousDirectory = QDir::currentPath();
        QDir::setCurrent(m_workingDirectory.path());
        qApp->setStyleSheet(QString());
    }
    void TearDown() override {
        QDir::setCurrent(m_previousDirectory);
        qApp->setStyleSheet(QString());
    }

    CAppPaths paths() const { return CAppPaths::forProgramDirectory(m_configDirectory.path()); }
    CDataFiles dataNextToExecutable() const {
        return CDataFiles(shippedData, m_workingDirectory.filePath(QStringLiteral("no-share")));
    }
    void writeConfig(const QByteArray &content) const {
        writeFile(m_configDirectory.filePath(QStringLiteral("SystemConfig.ini")), content);
    }

    QTemporaryDir m_configDirectory;
    QTemporaryDir m_workingDirectory;
    QString m_previousDirectory;
};

TEST_F(StartupTest, FirstStartComesUpInChineseWithTheDefaultSkin) {
    CTagDeskDlg window(paths(), dataNextToExecutable(), CPageFactory());
    window.show();
    const CLanguageStore chinese = shippedLanguage(QStringLiteral("Chinese"));

    EXPECT_EQ(window.windowTitle(), chinese.text(1000) + QStringLiteral(" 2.9"));
    ASSERT_EQ(tabsOf(window)->count(), 1);
    EXPECT_EQ(tabsOf(window)->tabText(0), chinese.text(1001));
    EXPECT_FALSE(tabsOf(window)->tabText(0).isEmpty());
    EXPECT_EQ(window.skinButton()->toolTip(), chinese.text(1004));
    EXPECT_EQ(window.languageList()->count(), 2);
    EXPECT_EQ(window.languageList()->currentText(), QStringLiteral("Chinese"));
    EXPECT_EQ(window.services().language().textCount(), chinese.textCount());
    EXPECT_GE(chinese.textCount(), 254);

    EXPECT_TRUE(QFileInfo::exists(m_configDirectory.filePath(QStringLiteral("SystemConfig.ini"))));
    EXPECT_TRUE(QFileInfo(m_configDirectory.filePath(QStringLiteral("Log"))).isDir());
    EXPECT_EQ(window.services().skinPath(), shippedData + QStringLiteral("/skin/red.skin"));
    EXPECT_EQ(qApp->styleSheet(),
              QString::fromUtf8(readFile(shippedData + QStringLiteral("/skin/red.skin"))));
}

TEST_F(StartupTest, MissingSkinKeepsTheDefaultStyle) {
    writeConfig("[SystemConfig]\nLanguageNum=1\nLanguage1=English\nSkinFile=missing.skin\n");
    CTagDeskDlg window(paths(), dataNextToExecutable(), CPageFactory());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

// A configuration file as found at start-up, and the language list and captions it gives.
struct LanguageConfigCase {
    const char *name;
    const char *configuration;  // below [SystemConfig]
    QStringList listed;
    int selected;
    const char *captionLanguage;
};

void PrintTo(const LanguageConfigCase &c, std::ostream *out) {
    *out << c.name;
}

class LanguageConfigTest : public StartupTest,
                           public ::testing::WithParamInterface<LanguageConfigCase> {};

TEST_P(LanguageConfigTest, WindowNeverGoesWithoutCaptions) {
    const LanguageConfigCase &c = GetParam();
    const QByteArray configuration = QByteArray("[SystemConfig]\n") + c.configuration;
    writeConfig(configuration);
    CTagDeskDlg window(paths(), dataNextToExecutable(), CPageFactory());

    QStringList listed;
    for (int row = 0; row < window.languageList()->count(); ++row)
        listed.append(window.languageList()->itemText(row));
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(window.languageList()->currentIndex(), c.selected);
    const CLanguageStore expected = shippedLanguage(QString::fromLatin1(c.captionLanguage));
    EXPECT_FALSE(tabsOf(window)->tabText(0).isEmpty());
    EXPECT_EQ(tabsOf(window)->tabText(0), expected.text(1001));
    EXPECT_EQ(window.windowTitle(), expected.text(1000) + QStringLiteral(" 2.9"));
    EXPECT_EQ(readFile(m_configDirectory.filePath(QStringLiteral("SystemConfig.ini"))),
              configuration)
        << "an existing file is never completed";
}

const QStringList shippedNames{QStringLiteral("Chinese"), QStringLiteral("English")};

INSTANTIATE_TEST_SUITE_P(
    Files, LanguageConfigTest,
    ::testing::Values(
        // No list: the language files found are listed, and the position picks among them.
        LanguageConfigCase{"onlyLanguageSelect", "LanguageSelect=1\n", shippedNames, 1, "English"},
        LanguageConfigCase{"zeroLanguages", "LanguageNum=0\nLanguage1=English\n", shippedNames, 0,
                           "Chinese"},
        LanguageConfigCase{"listedFilesMissing",
                           "LanguageSelect=0\nLanguageNum=2\n"
                           "Language1=Klingon\nLanguage2=Elvish\n",
                           shippedNames, 0, "Chinese"},
        // A list with files: shown as configured.
        LanguageConfigCase{"validList",
                           "LanguageSelect=1\nLanguageNum=2\n"
                           "Language1=Chinese\nLanguage2=English\n",
                           shippedNames, 1, "English"},
        LanguageConfigCase{"positionOutOfRange",
                           "LanguageSelect=7\nLanguageNum=2\n"
                           "Language1=English\nLanguage2=Chinese\n",
                           {QStringLiteral("English"), QStringLiteral("Chinese")},
                           -1,
                           "English"},
        LanguageConfigCase{"selectedFileMissing",
                           "LanguageSelect=1\nLanguageNum=2\n"
                           "Language1=Chinese\nLanguage2=Klingon\n",
                           {QStringLiteral("Chinese"), QStringLiteral("Klingon")},
                           1,
                           "Chinese"}),
    [](const ::testing::TestParamInfo<LanguageConfigCase> &info) { return info.param.name; });

TEST_F(StartupTest, NetworkScanToolIsTakenFromBesideTheProgramOnly) {
    QTemporaryDir program;
    const QString tool = QStringLiteral("Seeker/Locator");
    for (const QString &folder : {m_workingDirectory.path(), program.path()})
        QDir(folder).mkpath(QStringLiteral("Seeker"));
    writeFile(m_workingDirectory.filePath(tool), "#!/bin/sh\n");
    const CDataFiles dataFiles(program.path(), program.filePath(QStringLiteral("share")));
    CTagDeskDlg window(paths(), dataFiles, CPageFactory());
    EXPECT_TRUE(window.networkScanToolPath().isEmpty()) << "never the working directory's file";

    writeFile(program.filePath(tool), "#!/bin/sh\n");
    EXPECT_EQ(window.networkScanToolPath(), program.filePath(tool));
}

TEST_F(StartupTest, MissingDataFilesLeaveAUsableWindow) {
    const QString nowhere = m_workingDirectory.filePath(QStringLiteral("nowhere"));
    CTagDeskDlg window(paths(), CDataFiles(nowhere, nowhere), CPageFactory());
    window.show();
    EXPECT_EQ(window.windowTitle(), QStringLiteral(" 2.9"));
    EXPECT_EQ(tabsOf(window)->count(), 1);
    EXPECT_TRUE(tabsOf(window)->tabText(0).isEmpty());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST(TagBenchProgram, AnswersVersionWithoutADisplay) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("DISPLAY"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(TAGBENCH_PROGRAM), {QStringLiteral("--version")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(program.readAllStandardOutput(), QByteArray("tagbench 2.9\n"));
}

}  // namespace
