#include "shell/CLogFile.h"
#include "test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <ostream>
#include <thread>
#include <vector>

namespace {

QByteArray utf16(const QString &text) {
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

const QByteArray byteOrderMark("\xFF\xFE", 2);

class LogFileTest : public ::testing::Test {
  protected:
    QString logFolder() const { return m_base.filePath(QStringLiteral("Log")); }
    CLogFile::Clock clock() {
        return [this] { return m_now; };
    }

    QTemporaryDir m_base;
    QDateTime m_now{QDate(2017, 6, 8), QTime(14, 10, 7)};
};

TEST_F(LogFileTest, StartingCreatesTheFolderAndNamesTheFileWithoutWriting) {
    CLogFile log(logFolder(), clock());
    EXPECT_TRUE(QFileInfo(logFolder()).isDir());
    EXPECT_EQ(log.currentFilePath(), logFolder() + QStringLiteral("/20170608141007.log"));
    EXPECT_FALSE(QFileInfo::exists(log.currentFilePath()));
    EXPECT_EQ(log.sizeEstimate(), 0);
}

TEST_F(LogFileTest, FirstAndSecondLineBytes) {
    CLogFile log(logFolder(), clock());
    ASSERT_TRUE(log.appendLine(QStringLiteral("Open ok")));
    const QByteArray firstLine =
        byteOrderMark + utf16(QStringLiteral("[2017-06-08 14:10:07] Open ok\n"));
    EXPECT_EQ(readFile(log.currentFilePath()), firstLine);
    EXPECT_EQ(log.sizeEstimate(), 2 * 7 + 40);

    m_now = m_now.addSecs(3605);
    ASSERT_TRUE(log.appendLine(QStringLiteral("连接")));
    EXPECT_EQ(readFile(log.currentFilePath()),
              firstLine + utf16(QStringLiteral("[2017-06-08 15:10:12] 连接\n")))
        << "later lines go into the same file, without a second mark";
    EXPECT_EQ(log.currentFilePath(), logFolder() + QStringLiteral("/20170608141007.log"));
}

TEST_F(LogFileTest, NullTextFailsAndEmptyTextWritesNothing) {
    CLogFile log(logFolder(), clock());
    EXPECT_FALSE(log.appendLine(QString()));
    EXPECT_TRUE(log.appendLine(QStringLiteral("")));
    EXPECT_FALSE(QFileInfo::exists(log.currentFilePath()));
    EXPECT_EQ(log.sizeEstimate(), 0);
}

// A second run started within the same second finds the file of the first one: it continues
// it, without a byte-order mark in the middle.
TEST_F(LogFileTest, StartingAgainWithinTheSameSecondContinuesTheFile) {
    CLogFile log(logFolder(), clock());
    ASSERT_TRUE(log.appendLine(QStringLiteral("first run")));
    const qint64 sizeBefore = QFileInfo(log.currentFilePath()).size();

    log.startNewFile();
    ASSERT_TRUE(log.appendLine(QStringLiteral("same second")));
    EXPECT_EQ(log.currentFilePath(), logFolder() + QStringLiteral("/20170608141007.log"));
    const QByteArray content = readFile(log.currentFilePath());
    EXPECT_EQ(content.size(), sizeBefore + 2 * (22 + 11 + 1)) << "no byte-order mark mid-file";
    EXPECT_TRUE(content.endsWith(utf16(QStringLiteral("[2017-06-08 14:10:07] same second\n"))));
    EXPECT_EQ(log.sizeEstimate(), 2 * 11 + 40) << "the estimate starts again";
}

// The lines of one log file: it starts with a byte-order mark and holds whole lines only.
QStringList wholeLinesOf(const QString &path) {
    const QByteArray content = readFile(path);
    EXPECT_TRUE(content.startsWith(byteOrderMark)) << path.toStdString();
    EXPECT_EQ(content.size() % 2, 0);
    const QString text = QString::fromUtf16(
        reinterpret_cast<const char16_t *>(content.constData() + 2), (content.size() - 2) / 2);
    EXPECT_TRUE(text.endsWith(u'\n')) << path.toStdString();
    EXPECT_EQ(text.count(u'\uFEFF'), 0) << "no mark inside " << path.toStdString();
    return text.split(u'\n', Qt::SkipEmptyParts);
}

struct RotationCase {
    const char *name;
    CLogFile::Bound bound;
    int lines;
    int expectedRotated;
};

void PrintTo(const RotationCase &c, std::ostream *out) {
    *out << c.name;
}

class LogRotationTest : public LogFileTest, public ::testing::WithParamInterface<RotationCase> {};

// Lines of 100 characters (240 estimated bytes): a 1000-byte bound takes five per file.
TEST_P(LogRotationTest, KeepsTheBoundAndEveryKeptLineWhole) {
    const RotationCase &c = GetParam();
    CLogFile log(logFolder(), clock(), c.bound);
    QStringList written;
    for (int line = 0; line < c.lines; ++line)
        written.append(QStringLiteral("line %1 ").arg(line, 4, 10, QLatin1Char('0')) +
                       QString(90, u'x'));
    // Single lines and batches, which cross the bound too.
    for (qsizetype at = 0; at < written.size();) {
        ASSERT_TRUE(log.appendLine(written[at++]));
        const QStringList batch = written.mid(at, 6);
        ASSERT_TRUE(log.appendLines(batch));
        at += batch.size();
    }
    EXPECT_EQ(log.currentFilePath(), logFolder() + QStringLiteral("/20170608141007.log"));

    QStringList files = QDir(logFolder()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files.size(), 1 + c.expectedRotated) << files.join(u' ').toStdString();
    // Oldest first: the highest number, down to the current file.
    QStringList kept;
    for (int number = c.expectedRotated; number >= 1; --number) {
        const QString path = CLogFile::rotatedPath(log.currentFilePath(), number);
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        if (c.bound.maxSize > 0) {
            EXPECT_LE(QFileInfo(path).size(), c.bound.maxSize + 2 * (22 + 100 + 1) + 2);
        }
        kept += wholeLinesOf(path);
    }
    kept += wholeLinesOf(log.currentFilePath());
    ASSERT_FALSE(kept.isEmpty());
    // The kept lines are the newest ones, in order, each whole.
    const QStringList newest = written.mid(written.size() - kept.size());
    for (int line = 0; line < kept.size(); ++line)
        EXPECT_EQ(kept[line], QStringLiteral("[2017-06-08 14:10:07] ") + newest[line]) << line;
}

INSTANTIATE_TEST_SUITE_P(Bounds, LogRotationTest,
                         ::testing::Values(RotationCase{"five kept", {1000, 5}, 70, 5},
                                           RotationCase{"fewer files than kept", {1000, 5}, 12, 2},
                                           RotationCase{"one kept", {1000, 1}, 70, 1},
                                           RotationCase{"none kept", {1000, 0}, 70, 0},
                                           RotationCase{"unbounded", {0, 5}, 70, 0}));

mode_t modeOf(const QString &path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777
                                                                      : mode_t(-1);
}

// The lines hold every frame, passwords included: a folder the log creates (with its missing
// parents) and every log file are for their owner only, and no line goes through a link.
TEST_F(LogFileTest, FolderAndFilesAreForTheirOwnerOnly) {
    const QString folder = m_base.filePath(QStringLiteral("state/tagbench/Log"));
    CLogFile log(folder, clock());
    EXPECT_EQ(modeOf(folder), mode_t(0700));
    ASSERT_TRUE(log.appendLine(QStringLiteral("Open ok")));
    EXPECT_EQ(modeOf(log.currentFilePath()), mode_t(0600));

    // A file started in a folder that already exists.
    m_now = m_now.addSecs(1);
    log.startNewFile();
    ASSERT_TRUE(log.appendLine(QStringLiteral("next")));
    EXPECT_EQ(modeOf(log.currentFilePath()), mode_t(0600));

    const QString target = m_base.filePath(QStringLiteral("target"));
    writeFile(target, "kept");
    m_now = m_now.addSecs(1);
    log.startNewFile();
    ASSERT_TRUE(QFile::link(target, log.currentFilePath()));
    EXPECT_FALSE(log.appendLine(QStringLiteral("not through the link")));
    EXPECT_EQ(readFile(target), QByteArray("kept"));
}

TEST_F(LogFileTest, FolderThatCannotBeCreatedLosesTheLine) {
    const QString plainFile = m_base.filePath(QStringLiteral("not-a-folder"));
    writeFile(plainFile, "x");
    CLogFile log(plainFile + QStringLiteral("/Log"), clock());
    EXPECT_FALSE(log.appendLine(QStringLiteral("lost")));
    EXPECT_EQ(log.sizeEstimate(), 0);
}

TEST_F(LogFileTest, LinesFromSeveralThreadsStayWhole) {
    CLogFile log(logFolder());
    constexpr int threadCount = 4;
    constexpr int linesPerThread = 200;
    std::vector<std::thread> writers;
    for (int writer = 0; writer < threadCount; ++writer) {
        writers.emplace_back([&log, writer] {
            for (int line = 0; line < linesPerThread; ++line)
                log.appendLine(QStringLiteral("writer %1 line %2").arg(writer).arg(line));
        });
    }
    for (std::thread &writer : writers) writer.join();

    const QByteArray content = readFile(log.currentFilePath());
    ASSERT_TRUE(content.startsWith(byteOrderMark));
    const QString text = QString::fromUtf16(
        reinterpret_cast<const char16_t *>(content.constData() + 2), (content.size() - 2) / 2);
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), threadCount * linesPerThread);
    for (const QString &line : lines)
        EXPECT_TRUE(line.contains(QStringLiteral("] writer "))) << line.toStdString();
}

struct EarlierRunsCase {
    const char *name;
    int keep;
    // Files left by earlier runs, in any order, and those expected to remain.
    QStringList earlier;
    QStringList remaining;
};

void PrintTo(const EarlierRunsCase &c, std::ostream *out) {
    *out << c.name;
}

class EarlierRunsTest : public LogFileTest,
                        public ::testing::WithParamInterface<EarlierRunsCase> {};

// The current run's set (and a run started within the same second, which shares its name) and
// anything not named as the program names its logs are never touched, whatever the bound.
const QStringList currentSet{QStringLiteral("20170608141007.log"),
                             QStringLiteral("20170608141007.log.1"),
                             QStringLiteral("20170608141007.log.2")};
const QStringList foreignFiles{QStringLiteral("notes.txt"),
                               QStringLiteral("2017060814100.log"),
                               QStringLiteral("201706081410070.log"),
                               QStringLiteral("20170608141007.log.bak"),
                               QStringLiteral("20170608141007.log.0"),
                               QStringLiteral("20171308141007.log"),
                               QStringLiteral("20170608251007.log"),
                               QStringLiteral("x20170101000000.log"),
                               QStringLiteral("20170101000000.LOG"),
                               QStringLiteral("20170101000000.log.01")};

TEST_P(EarlierRunsTest, KeepsTheNewestFilesOfEarlierRunsAndNothingElseGoes) {
    const EarlierRunsCase &c = GetParam();
    CLogFile log(logFolder(), clock());
    for (const QStringList &names : {c.earlier, currentSet, foreignFiles})
        for (const QString &name : names) writeFile(logFolder() + u'/' + name, "x");
    // Links and folders named like logs are not the program's files either.
    const QString target = m_base.filePath(QStringLiteral("target"));
    writeFile(target, "kept");
    ASSERT_TRUE(QFile::link(target, logFolder() + QStringLiteral("/20100101000000.log")));
    ASSERT_TRUE(QDir(logFolder()).mkdir(QStringLiteral("20100101000001.log")));

    const int removed = CLogFile::removeEarlierRuns(logFolder(), log.currentFilePath(), c.keep);

    QStringList expected = c.remaining + currentSet + foreignFiles;
    expected += {QStringLiteral("20100101000000.log"), QStringLiteral("20100101000001.log")};
    expected.sort();
    const QStringList present =
        QDir(logFolder())
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(present.join(u' ').toStdString(), expected.join(u' ').toStdString());
    EXPECT_EQ(removed, c.earlier.size() - c.remaining.size());
    EXPECT_EQ(readFile(target), QByteArray("kept"));
}

// Three earlier runs, each with rotated files; oldest first: 20160101 (.2, .1, plain), then
// 20170101 (.1, plain), then 20170608120000 (plain).
const QStringList threeRuns{
    QStringLiteral("20170101000000.log.1"), QStringLiteral("20160101000000.log"),
    QStringLiteral("20170608120000.log"),   QStringLiteral("20160101000000.log.2"),
    QStringLiteral("20170101000000.log"),   QStringLiteral("20160101000000.log.1")};

INSTANTIATE_TEST_SUITE_P(
    Bounds, EarlierRunsTest,
    ::testing::Values(
        EarlierRunsCase{"fewer than kept", 5, threeRuns.mid(0, 3), threeRuns.mid(0, 3)},
        EarlierRunsCase{"as many as kept", 6, threeRuns, threeRuns},
        EarlierRunsCase{
            "oldest set and its oldest files go first",
            4,
            threeRuns,
            {QStringLiteral("20160101000000.log"), QStringLiteral("20170101000000.log.1"),
             QStringLiteral("20170101000000.log"), QStringLiteral("20170608120000.log")}},
        EarlierRunsCase{
            "a whole set and part of the next",
            2,
            threeRuns,
            {QStringLiteral("20170101000000.log"), QStringLiteral("20170608120000.log")}},
        EarlierRunsCase{"none kept", 0, threeRuns, {}},
        EarlierRunsCase{
            "rotation numbers compare as numbers",
            2,
            {QStringLiteral("20150101000000.log.10"), QStringLiteral("20150101000000.log.9"),
             QStringLiteral("20150101000000.log.2")},
            {QStringLiteral("20150101000000.log.9"), QStringLiteral("20150101000000.log.2")}}));

}  // namespace
