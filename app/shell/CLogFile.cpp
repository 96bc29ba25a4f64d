#include "shell/CLogFile.h"

#include "kit/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

constexpr mode_t ownerOnly = 0600;

const QString fileNameTimeFormat = QStringLiteral("yyyyMMddHHmmss");

// A log file of some run, ordered by age: the set's start time, then its place in the set.
struct LogFileName {
    QString fileName;
    QString setName;
    // 0: the set's unnumbered file; n: its rotated file n (higher is older).
    int number = 0;

    bool isOlderThan(const LogFileName &other) const
    {
        if (setName != other.setName)
            return setName < other.setName;
        return number > other.number;
    }
};

// Parses names this class gives: "yyyyMMddHHmmss.log", optionally ".n" with n from 1; the time
// must be a real one. Anything else is not ours.
std::optional<LogFileName> parseLogFileName(const QString &fileName)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{14})\\.log(?:\\.([1-9][0-9]{0,5}))?$"));
    const QRegularExpressionMatch match = pattern.match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QString setName = match.captured(1);
    // Date and time apart: a name from a daylight-saving gap is still a real name.
    if (!QDate::fromString(setName.left(8), QStringLiteral("yyyyMMdd")).isValid()
        || !QTime::fromString(setName.mid(8), QStringLiteral("HHmmss")).isValid())
        return std::nullopt;
    const int number = match.hasCaptured(2) ? match.captured(2).toInt() : 0;
    return LogFileName { fileName, setName + QStringLiteral(".log"), number };
}

QByteArray utf16LittleEndian(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar character : text) {
        bytes.append(static_cast<char>(character.unicode() & 0xFF));
        bytes.append(static_cast<char>(character.unicode() >> 8));
    }
    return bytes;
}

QString linePrefix(const QDateTime &now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    return QStringLiteral("[%1-%2-%3 %4:%5:%6] ")
        .arg(date.year())
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'));
}

} // namespace

CLogFile::CLogFile(QString logFolder, Clock clock, Bound bound)
    : m_logFolder(std::move(logFolder))
    , m_clock(std::move(clock))
    , m_bound(bound)
{
    startNewFileLocked();
}

void CLogFile::startNewFile()
{
    QMutexLocker locker(&m_mutex);
    startNewFileLocked();
}

void CLogFile::startNewFileLocked()
{
    // The lines hold every frame, access passwords included: the folder we create and the
    // files in it are for their owner only.
    if (!QFileInfo::exists(m_logFolder)) {
        QDir().mkpath(QFileInfo(m_logFolder).absolutePath());
        QDir().mkdir(m_logFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    m_filePath
        = m_logFolder + u'/' + m_clock().toString(fileNameTimeFormat) + QStringLiteral(".log");
    m_sizeEstimate = 0;
}

bool CLogFile::appendLine(const QString &text)
{
    if (text.isNull())
        return false;
    return appendLines({ text });
}

bool CLogFile::appendLines(const QStringList &lines)
{
    QMutexLocker locker(&m_mutex);
    QByteArray pending;
    qint64 pendingEstimate = 0;
    bool written = true;
    for (const QString &text : lines) {
        if (text.isEmpty())
            continue;
        if (m_bound.maxSize > 0 && m_sizeEstimate + pendingEstimate >= m_bound.maxSize) {
            written = writeLocked(pending) && written;
            pending.clear();
            pendingEstimate = 0;
            rotateLocked();
        }
        pending.append(utf16LittleEndian(linePrefix(m_clock()) + text + u'\n'));
        pendingEstimate += 2 * text.size() + 40;
    }
    if (pending.isEmpty())
        return written;
    if (!writeLocked(pending))
        return false;
    m_sizeEstimate += pendingEstimate;
    return written;
}

QString CLogFile::rotatedPath(const QString &filePath, int number)
{
    return filePath + u'.' + QString::number(number);
}

int CLogFile::removeEarlierRuns(const QString &logFolder, const QString &currentFilePath, int keep)
{
    const QString currentSet = QFileInfo(currentFilePath).fileName();
    // Links are skipped: whatever a link named like a log points at is not ours to remove.
    QDir folder(logFolder);
    const QStringList entries = folder.entryList(QDir::Files | QDir::NoSymLinks | QDir::Hidden);
    std::vector<LogFileName> earlier;
    for (const QString &entry : entries) {
        std::optional<LogFileName> name = parseLogFileName(entry);
        if (name && name->setName != currentSet)
            earlier.push_back(std::move(*name));
    }
    const auto surplus = static_cast<qsizetype>(earlier.size()) - std::max(keep, 0);
    if (surplus <= 0)
        return 0;
    std::ranges::sort(earlier,
        [](const LogFileName &left, const LogFileName &right) { return left.isOlderThan(right); });
    int removed = 0;
    for (qsizetype index = 0; index < surplus; ++index)
        removed += folder.remove(earlier[index].fileName) ? 1 : 0;
    return removed;
}

void CLogFile::rotateLocked()
{
    m_sizeEstimate = 0;
    if (m_bound.keep <= 0) {
        QFile::remove(m_filePath);
        return;
    }
    // Renames leave the contents alone: a file (or a link put in its place) is only moved.
    QFile::remove(rotatedPath(m_filePath, m_bound.keep));
    for (int number = m_bound.keep - 1; number >= 1; --number)
        QFile::rename(rotatedPath(m_filePath, number), rotatedPath(m_filePath, number + 1));
    QFile::rename(m_filePath, rotatedPath(m_filePath, 1));
}

bool CLogFile::writeLocked(const QByteArray &lines)
{
    if (lines.isEmpty())
        return true;
    QFile file;
    if (!safefile::open(file, m_filePath, safefile::Opening::Append, ownerOnly).isEmpty())
        return false;
    // The byte-order mark only heads an empty file: a file continued by a second start within
    // the same second (same name) must not get a stray mark in the middle of its text.
    if (file.size() == 0 && file.write("\xFF\xFE", 2) != 2)
        return false;
    return file.write(lines) == lines.size() && file.flush();
}

QString CLogFile::currentFilePath() const
{
    QMutexLocker locker(&m_mutex);
    return m_filePath;
}

qint64 CLogFile::sizeEstimate() const
{
    QMutexLocker locker(&m_mutex);
    return m_sizeEstimate;
}
