#include "shell/CAppPaths.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <ostream>
#include <utility>

#include <gtest/gtest.h>

namespace {

TEST(CAppPaths, WritableProgramDirectoryHoldsConfigurationAndLog) {
    QTemporaryDir base;
    const QString program = base.filePath(QStringLiteral("new/program"));
    const CAppPaths paths = CAppPaths::forProgramDirectory(program);
    EXPECT_EQ(paths.configDirectory(), program);
    EXPECT_EQ(paths.logFolder(), program + QStringLiteral("/Log"));
    EXPECT_TRUE(QDir(program).exists()) << "a --config-dir folder is created";
}

TEST(CAppPaths, UnusableProgramDirectoryFallsBackToXdgFolders) {
    QTemporaryDir base;
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_CONFIG_HOME", base.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_STATE_HOME", base.filePath(QStringLiteral("state")).toUtf8());
    // A path below a plain file can never become a folder, whoever runs the test.
    const QString plainFile = base.filePath(QStringLiteral("file"));
    writeFile(plainFile, "x");

    const CAppPaths paths = CAppPaths::forProgramDirectory(plainFile + QStringLiteral("/program"));
    EXPECT_EQ(paths.configDirectory(), base.filePath(QStringLiteral("config/tagbench")));
    EXPECT_EQ(paths.logFolder(), base.filePath(QStringLiteral("state/tagbench/Log")));
    EXPECT_TRUE(QDir(paths.configDirectory()).exists());

    qputenv("XDG_CONFIG_HOME", savedConfig);
    qputenv("XDG_STATE_HOME", savedState);
}

TEST(CAppPaths, RelativeXdgValuesAreIgnored) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(CAppPaths::xdgConfigFolder(), QDir::homePath() + QStringLiteral("/.config/tagbench"));
    qputenv("XDG_CONFIG_HOME", saved);
}

// Folders of a fake prefix and a build tree, named relative to a temporary folder.
struct InstalledPrefixCase {
    const char *name;
    const char *executableDirectory;
    const char *binDirectory;
    const char *dataDirectory;
    bool installed;
};

void PrintTo(const InstalledPrefixCase &c, std::ostream *out) {
    *out << c.name;
}

class InstalledPrefixTest : public ::testing::TestWithParam<InstalledPrefixCase> {};

TEST_P(InstalledPrefixTest, DecidesFromTheExecutableFolderAndTheDataFolder) {
    QTemporaryDir base;
    const QDir root(base.path());
    for (const char *folder : {"usr/bin", "usr/share/tagbench", "build/bin", "bare/bin"})
        root.mkpath(QString::fromLatin1(folder));
    // A merged-/usr system: /bin is a link to /usr/bin.
    QFile::link(root.filePath(QStringLiteral("usr/bin")), root.filePath(QStringLiteral("bin")));
    const auto at = [&](const char *relative) {
        return root.filePath(QString::fromLatin1(relative));
    };

    const InstalledPrefixCase &c = GetParam();
    EXPECT_EQ(CAppPaths::runsFromInstalledPrefix(at(c.executableDirectory), at(c.binDirectory),
                                                 at(c.dataDirectory)),
              c.installed);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, InstalledPrefixTest,
    ::testing::Values(
        InstalledPrefixCase{"installed", "usr/bin", "usr/bin", "usr/share/tagbench", true},
        InstalledPrefixCase{"throughLink", "bin", "usr/bin", "usr/share/tagbench", true},
        InstalledPrefixCase{"unnormalised", "usr/bin/", "usr/share/../bin", "usr/share/tagbench",
                            true},
        InstalledPrefixCase{"buildFolder", "build/bin", "usr/bin", "usr/share/tagbench", false},
        InstalledPrefixCase{"noDataFolder", "bare/bin", "bare/bin", "bare/share/tagbench", false},
        InstalledPrefixCase{"prefixNotThere", "build/bin", "none/bin", "none/share/tagbench",
                            false},
        InstalledPrefixCase{"neitherThere", "gone/bin", "none/bin", "usr/share/tagbench", false}),
    [](const ::testing::TestParamInfo<InstalledPrefixCase> &info) { return info.param.name; });

class DataFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_previous = QDir::currentPath();
        for (const char *folder :
             {"work/skin", "work/Language", "work/Seeker", "exe/skin", "exe/Language", "exe/Seeker",
              "share/Language", "share/logo", "share/Seeker"})
            QDir(m_base.path()).mkpath(QString::fromLatin1(folder));
        QDir::setCurrent(m_base.filePath(QStringLiteral("work")));
    }
    void TearDown() override { QDir::setCurrent(m_previous); }

    QString at(const char *relative) const {
        return m_base.filePath(QString::fromLatin1(relative));
    }

    QTemporaryDir m_base;
    QString m_previous;
};

TEST_F(DataFilesTest, LooksInWorkingDirectoryThenExecutableThenInstalledData) {
    writeFile(at("work/skin/red.skin"), "w");
    writeFile(at("exe/skin/red.skin"), "e");
    writeFile(at("exe/Language/English.ini"), "e");
    writeFile(at("share/Language/English.ini"), "s");
    writeFile(at("share/logo/hello.bmp"), "s");
    const CDataFiles files(at("exe"), at("share"));
    const QString work = QDir::currentPath();
    EXPECT_EQ(files.locate(QStringLiteral("skin/red.skin")),
              work + QStringLiteral("/skin/red.skin"));
    EXPECT_EQ(files.locate(QStringLiteral("Language/English.ini")), at("exe/Language/English.ini"));
    EXPECT_EQ(files.locate(QStringLiteral("logo/hello.bmp")), at("share/logo/hello.bmp"));
}

TEST_F(DataFilesTest, MissingEverywhereNamesTheWorkingDirectoryPath) {
    const CDataFiles files(at("exe"), at("share"));
    EXPECT_EQ(files.locate(QStringLiteral("skin/none.skin")),
              QDir::currentPath() + QStringLiteral("/skin/none.skin"));
}

TEST_F(DataFilesTest, ListsBaseNamesInLookupOrderOnce) {
    writeFile(at("work/Language/Klingon.ini"), "w");
    writeFile(at("work/Language/notes.txt"), "w");
    writeFile(at("exe/Language/English.ini"), "e");
    writeFile(at("exe/Language/Chinese.ini"), "e");
    writeFile(at("share/Language/English.ini"), "s");
    writeFile(at("share/Language/Deutsch.ini"), "s");
    const CDataFiles files(at("exe"), at("share"));
    EXPECT_EQ(files.baseNames(QStringLiteral("Language"), QStringLiteral(".ini")),
              (QStringList{"Klingon", "Chinese", "English", "Deutsch"}));
    EXPECT_TRUE(files.exists(QStringLiteral("Language/Deutsch.ini")));
    EXPECT_FALSE(files.exists(QStringLiteral("Language/Elvish.ini")));
}

// Where the network scan tool is taken from, by the folders that hold one.
struct ProgramFileCase {
    const char *name;
    bool inWorkingDirectory;
    bool besideExecutable;
    bool inInstalledData;
    const char *expected;  // relative to the temporary folder; empty: not found
};

void PrintTo(const ProgramFileCase &c, std::ostream *out) {
    *out << c.name;
}

class ProgramFileTest : public DataFilesTest,
                        public ::testing::WithParamInterface<ProgramFileCase> {};

TEST_P(ProgramFileTest, ComesFromBesideTheProgramNeverFromTheWorkingDirectory) {
    const ProgramFileCase &c = GetParam();
    const std::pair<bool, const char *> places[] = {{c.inWorkingDirectory, "work/Seeker/Locator"},
                                                    {c.besideExecutable, "exe/Seeker/Locator"},
                                                    {c.inInstalledData, "share/Seeker/Locator"}};
    for (const auto &[present, path] : places) {
        if (present) writeFile(at(path), "#!/bin/sh\n");
    }
    const CDataFiles files(at("exe"), at("share"));
    const QString expected = *c.expected ? at(c.expected) : QString();
    EXPECT_EQ(files.locateBesideProgram(QStringLiteral("Seeker/Locator")), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Places, ProgramFileTest,
    ::testing::Values(ProgramFileCase{"workingDirectoryOnly", true, false, false, ""},
                      ProgramFileCase{"besideExecutable", true, true, false, "exe/Seeker/Locator"},
                      ProgramFileCase{"installedData", true, false, true, "share/Seeker/Locator"},
                      ProgramFileCase{"executableFirst", false, true, true, "exe/Seeker/Locator"},
                      ProgramFileCase{"nowhere", false, false, false, ""}),
    [](const ::testing::TestParamInfo<ProgramFileCase> &info) { return info.param.name; });

}  // namespace
