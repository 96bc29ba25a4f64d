#include "shell/CLogFile.h"

#include "kit/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

namespace {

constexpr mode_t ownerOnly = 0600;

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
    m_filePath = m_logFolder + u'/' + m_clock().toString(QStringLiteral("yyyyMMddHHmmss"))
        + QStringLiteral(".log");
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
