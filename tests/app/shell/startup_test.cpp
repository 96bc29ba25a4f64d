#include "kit/CButtonST.h"
#include "kit/CLanguageStore.h"
#include "page_test_kit.h"
#include "shell/CPageFactory.h"
#include "shell/CShellServices.h"
#include "shell/CTagDeskDlg.h"
#include "test_files.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <utility>

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

// The language of a first start is the system's (here whatever the test runs under), else
// Chinese; the per-language cases are below.
TEST_F(StartupTest, FirstStartComesUpInTheSystemLanguageWithTheDefaultSkin) {
    CTagDeskDlg window(paths(), dataNextToExecutable(), CPageFactory());
    window.show();
    QString systemLanguage = window.services().shippedLanguageFor(QLocale::system().uiLanguages());
    if (systemLanguage.isEmpty()) systemLanguage = QStringLiteral("Chinese");
    const CLanguageStore chinese = shippedLanguage(systemLanguage);

    EXPECT_EQ(window.windowTitle(), chinese.text(1000) + QStringLiteral(" 2.9"));
    ASSERT_EQ(tabsOf(window)->count(), 1);
    EXPECT_EQ(tabsOf(window)->tabText(0), chinese.text(1001));
    EXPECT_FALSE(tabsOf(window)->tabText(0).isEmpty());
    EXPECT_EQ(window.skinButton()->toolTip(), chinese.text(1004));
    EXPECT_EQ(window.languageList()->count(), 2);
    EXPECT_EQ(window.languageList()->currentText(), systemLanguage);
    EXPECT_EQ(window.services().language().textCount(), chinese.textCount());
    EXPECT_GE(chinese.textCount(), 254);

    EXPECT_TRUE(QFileInfo::exists(m_configDirectory.filePath(QStringLiteral("SystemConfig.ini"))));
    EXPECT_TRUE(QFileInfo(m_configDirectory.filePath(QStringLiteral("Log"))).isDir());
    EXPECT_EQ(window.services().skinPath(), shippedData + QStringLiteral("/skin/red.skin"));
    EXPECT_EQ(qApp->styleSheet(),
              QString::fromUtf8(readFile(shippedData + QStringLiteral("/skin/red.skin"))));
}

struct FirstStartCase {
    QStringList uiLanguages;
    int languageSelect;
    const char *language;
};

void PrintTo(const FirstStartCase &c, std::ostream *out) {
    *out << c.uiLanguages.join(u',').toStdString();
}

class FirstStartLanguageTest : public StartupTest,
                               public ::testing::WithParamInterface<FirstStartCase> {};

// The system's languages in order of preference: the first one with a language file wins;
// none with a file leaves the default, Chinese. The choice is in the file written at once.
TEST_P(FirstStartLanguageTest, FollowsTheSystemLanguage) {
    const FirstStartCase &c = GetParam();
    CShellServices services(paths(), dataNextToExecutable(), c.uiLanguages);
    const QByteArray file =
        readFile(m_configDirectory.filePath(QStringLiteral("SystemConfig.ini")));
    EXPECT_TRUE(file.contains("\nLanguageSelect=" + QByteArray::number(c.languageSelect) +
                              "\nLanguageNum=2\n"))
        << file.toStdString();
    services.loadConfiguration();
    services.loadLanguage();
    EXPECT_EQ(services.language().text(1001),
              shippedLanguage(QString::fromLatin1(c.language)).text(1001));
}

INSTANTIATE_TEST_SUITE_P(
    SystemLanguages, FirstStartLanguageTest,
    ::testing::Values(FirstStartCase{{QStringLiteral("en-US"), QStringLiteral("en")}, 1, "English"},
                      FirstStartCase{{QStringLiteral("C")}, 1, "English"},
                      FirstStartCase{{QStringLiteral("zh-CN"), QStringLiteral("zh")}, 0, "Chinese"},
                      FirstStartCase{{QStringLiteral("zh-TW"), QStringLiteral("en")}, 0, "Chinese"},
                      FirstStartCase{{QStringLiteral("de-DE")}, 0, "Chinese"},
                      FirstStartCase{
                          {QStringLiteral("de-DE"), QStringLiteral("en-GB")}, 1, "English"},
                      FirstStartCase{{QStringLiteral("tlh")}, 0, "Chinese"},
                      FirstStartCase{{}, 0, "Chinese"}));

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

// The program itself, started for the first time under a system locale (the environment,
// as a desktop session sets it), writes that language into its new configuration file.
TEST(TagBenchProgram, FirstStartTakesTheLanguageOfTheLocale) {
    const std::pair<const char *, const char *> cases[] = {
        {"en_US.UTF-8", "LanguageSelect=1"},
        {"C.UTF-8", "LanguageSelect=1"},
        {"zh_CN.UTF-8", "LanguageSelect=0"},
    };
    for (const auto &[locale, selected] : cases) {
        QTemporaryDir configDirectory;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_NUMERIC"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(QStringLiteral("LANG"), QString::fromLatin1(locale));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(TAGBENCH_PROGRAM),
                      {QStringLiteral("--config-dir"), configDirectory.path()});
        ASSERT_TRUE(program.waitForStarted(30000));
        const QString configFile = configDirectory.filePath(QStringLiteral("SystemConfig.ini"));
        // The defaults are written one key at a time; the language names come last.
        const bool written = pagetest::waitUntil(
            [&] { return readFile(configFile).contains("Language2=English\n"); });
        program.kill();
        program.waitForFinished(30000);
        ASSERT_TRUE(written) << locale;
        EXPECT_TRUE(readFile(configFile).contains(QByteArray("\n") + selected + "\n")) << locale;
    }
}

}  // namespace
