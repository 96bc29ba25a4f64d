#pragma once

#include <QDateTime>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>

// How large a log file grows before it is rotated, and how many rotated files are kept.
struct CLogBound {
    static constexpr qint64 defaultMaxSize = 16 * 1024 * 1024;
    static constexpr int defaultKeep = 5;
    // 0: the file is never rotated.
    qint64 maxSize = defaultMaxSize;
    // Rotated files kept beside the current one.
    int keep = defaultKeep;
};

// The run's log file: one UTF-16LE file per run in the Log folder, named after the local time it
// was started ("yyyyMMddhhmmss.log"). Each line is "[Y-MM-DD hh:mm:ss] text\n"; the file is
// opened and closed per batch of lines, so a crash loses at most the batch being written.
// The folder, when created here, and the files are readable by their owner only, and a line is
// never written through a symbolic link. All functions are thread-safe.
//
// A station left running must not fill its disk: once the size estimate of the file reaches
// the bound's maximum, the file is renamed "<name>.1" (older ones move up to ".2", ...; the one
// past the number kept is removed) and the same name starts again, with its byte-order mark.
// Lines are never split across files.
//
// Each run starts a set of its own (a new name), so a station restarted daily would still grow
// without bound: removeEarlierRuns() keeps at most the bound's number of files in total across
// the sets of earlier runs.
class CLogFile {
public:
    using Clock = std::function<QDateTime()>;

    using Bound = CLogBound;

    // Starts the first file (creates the folder; writes nothing yet). The clock gives the
    // local time for file names and line prefixes.
    explicit CLogFile(
        QString logFolder, Clock clock = &QDateTime::currentDateTime, Bound bound = Bound {});

    // Creates the folder (mode 0700; errors ignored) and names a new file after the current
    // time.
    void startNewFile();
    // A null text fails; an empty text succeeds without writing. Fails (line lost, estimate
    // unchanged) when the file cannot be opened or written.
    bool appendLine(const QString &text);
    // Appends the lines in order with one open of the file (one more per rotation); empty
    // lines are skipped. Fails when a part could not be written (those lines are lost).
    bool appendLines(const QStringList &lines);

    QString currentFilePath() const;
    qint64 sizeEstimate() const;
    Bound bound() const { return m_bound; }
    // Path of the rotated file number (1 = the newest).
    static QString rotatedPath(const QString &filePath, int number);
    // Removes the oldest log files of earlier runs in logFolder until at most keep remain
    // (a set's rotated files are older than its unnumbered one, higher numbers older still).
    // Only regular files named exactly as this class names them count; the set of
    // currentFilePath is never touched. Returns the number of files removed. Lists the whole
    // folder: call it off the user-interface thread.
    static int removeEarlierRuns(
        const QString &logFolder, const QString &currentFilePath, int keep);

private:
    void startNewFileLocked();
    void rotateLocked();
    bool writeLocked(const QByteArray &lines);

    mutable QMutex m_mutex;
    const QString m_logFolder;
    const Clock m_clock;
    const Bound m_bound;
    QString m_filePath;
    qint64 m_sizeEstimate = 0;
};
