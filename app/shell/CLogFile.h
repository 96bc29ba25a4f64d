#pragma once

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>

// The run's log file: one UTF-16LE file per run in the Log folder, named after the local time it
// was started ("yyyyMMddhhmmss.log"), a new one once the size estimate reaches 4 MiB. Each line
// is "[Y-MM-DD hh:mm:ss] text\n"; the file is opened and closed per batch of lines, so a crash
// loses at most the batch being written. The folder, when created here, and the files are
// readable by their owner only, and a line is never written through a symbolic link. All
// functions are thread-safe.
class CLogFile {
public:
    using Clock = std::function<QDateTime()>;
    static constexpr qint64 rollOverSize = 4 * 1024 * 1024;

    // Starts the first file (creates the folder; writes nothing yet). The clock gives the
    // local time for file names and line prefixes.
    explicit CLogFile(QString logFolder, Clock clock = &QDateTime::currentDateTime);

    // Creates the folder (mode 0700; errors ignored) and names a new file after the current
    // time.
    void startNewFile();
    // A null text fails; an empty text succeeds without writing. Fails (line lost, estimate
    // unchanged) when the file cannot be opened or written.
    bool appendLine(const QString &text);
    // Appends the lines in order with one open of the file (two across a roll-over); empty
    // lines are skipped. Fails when a part could not be written (those lines are lost).
    bool appendLines(const QStringList &lines);

    QString currentFilePath() const;
    qint64 sizeEstimate() const;

private:
    void startNewFileLocked();
    bool writeLocked(const QByteArray &lines);

    mutable QMutex m_mutex;
    const QString m_logFolder;
    const Clock m_clock;
    QString m_filePath;
    qint64 m_sizeEstimate = 0;
};
