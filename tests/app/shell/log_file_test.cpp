#include "shell/CLogFile.h"
#include "test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

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

TEST_F(LogFileTest, RollsOverIntoANewFileAfterFourMebibytes) {
    CLogFile log(logFolder(), clock());
    const QString bigLine(1000000, u'x');
    for (int line = 0; line < 3; ++line) ASSERT_TRUE(log.appendLine(bigLine));
    EXPECT_EQ(log.sizeEstimate(), 3 * (2 * 1000000 + 40));
    const QString firstFile = log.currentFilePath();

    m_now = m_now.addSecs(1);
    ASSERT_TRUE(log.appendLine(QStringLiteral("next")));
    EXPECT_EQ(log.currentFilePath(), logFolder() + QStringLiteral("/20170608141008.log"));
    EXPECT_EQ(readFile(log.currentFilePath()),
              byteOrderMark + utf16(QStringLiteral("[2017-06-08 14:10:08] next\n")));
    EXPECT_EQ(QFileInfo(firstFile).size(), 2 + 3 * 2 * (22 + 1000000 + 1));
    EXPECT_EQ(log.sizeEstimate(), 2 * 4 + 40);
}

TEST_F(LogFileTest, RollOverWithinTheSameSecondContinuesTheFile) {
    CLogFile log(logFolder(), clock());
    const QString bigLine(1000000, u'y');
    for (int line = 0; line < 3; ++line) ASSERT_TRUE(log.appendLine(bigLine));
    const qint64 sizeBefore = QFileInfo(log.currentFilePath()).size();

    ASSERT_TRUE(log.appendLine(QStringLiteral("same second")));
    EXPECT_EQ(log.currentFilePath(), logFolder() + QStringLiteral("/20170608141007.log"));
    const QByteArray content = readFile(log.currentFilePath());
    EXPECT_EQ(content.size(), sizeBefore + 2 * (22 + 11 + 1)) << "no byte-order mark mid-file";
    EXPECT_TRUE(content.endsWith(utf16(QStringLiteral("[2017-06-08 14:10:07] same second\n"))));
    EXPECT_EQ(log.sizeEstimate(), 2 * 11 + 40) << "the estimate starts again";
}

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

}  // namespace
