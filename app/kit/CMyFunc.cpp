#include "kit/CMyFunc.h"

#include "hex_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

QByteArray CMyFunc::toNarrow(const QString &wide)
{
    return wide.toUtf8();
}

QString CMyFunc::toWide(const QByteArray &narrow)
{
    return QString::fromUtf8(narrow);
}

QString CMyFunc::toWide(const char *narrow)
{
    return narrow ? QString::fromUtf8(narrow) : QString();
}

int CMyFunc::hexDigitValue(QChar character)
{
    return hextext::digitValue(character.unicode());
}

std::uint8_t CMyFunc::hexPairToByte(QChar high, QChar low)
{
    return hextext::lenientPair(high.unicode(), low.unicode());
}

QByteArray CMyFunc::compactHexToBytes(QStringView text)
{
    QByteArray bytes(text.size() / 2, '\0');
    for (qsizetype index = 0; index < bytes.size(); ++index)
        bytes[index] = static_cast<char>(hexPairToByte(text[2 * index], text[2 * index + 1]));
    return bytes;
}

QByteArray CMyFunc::spacedHexToBytes(QStringView text)
{
    QByteArray bytes(text.size() / 3, '\0');
    for (qsizetype index = 0; index < bytes.size(); ++index)
        bytes[index] = static_cast<char>(hexPairToByte(text[3 * index], text[3 * index + 1]));
    return bytes;
}

int CMyFunc::shortHexToInt(QStringView text)
{
    if (text.size() == 1)
        return hexPairToByte(u'0', text[0]);
    if (text.size() == 2)
        return hexPairToByte(text[0], text[1]);
    return 0;
}

namespace {

QString bytesToHex(const std::uint8_t *bytes, std::uint16_t count, bool spaced)
{
    if (!bytes)
        return {};
    // Written in place: the network test page renders blocks of 20 000 bytes while it paints.
    QString text(count * (spaced ? 3 : 2), Qt::Uninitialized);
    QChar *next = text.data();
    for (std::uint16_t index = 0; index < count; ++index) {
        *next++ = QLatin1Char(hextext::highDigit(bytes[index]));
        *next++ = QLatin1Char(hextext::lowDigit(bytes[index]));
        if (spaced)
            *next++ = QChar(u' ');
    }
    return text;
}

std::uint16_t countOf(const QByteArray &bytes)
{
    return static_cast<std::uint16_t>(std::min<qsizetype>(bytes.size(), UINT16_MAX));
}

const std::uint8_t *dataOf(const QByteArray &bytes)
{
    return reinterpret_cast<const std::uint8_t *>(bytes.constData());
}

} // namespace

QString CMyFunc::bytesToSpacedHex(const std::uint8_t *bytes, std::uint16_t count)
{
    return bytesToHex(bytes, count, true);
}

QString CMyFunc::bytesToSpacedHex(const QByteArray &bytes)
{
    return bytesToHex(dataOf(bytes), countOf(bytes), true);
}

QString CMyFunc::bytesToCompactHex(const std::uint8_t *bytes, std::uint16_t count)
{
    return bytesToHex(bytes, count, false);
}

QString CMyFunc::bytesToCompactHex(const QByteArray &bytes)
{
    return bytesToHex(dataOf(bytes), countOf(bytes), false);
}

QString CMyFunc::makePath(const QString &relativePath)
{
    return QDir::currentPath() + u'/' + relativePath;
}

bool CMyFunc::fileExists(const QString &relativePath)
{
    QFile file(makePath(relativePath));
    return file.open(QIODevice::ReadOnly);
}

namespace {

// The run of digits starting at position, without its leading zeros (one zero stays).
QStringView numberAt(QStringView text, qsizetype position, qsizetype &runEnd)
{
    runEnd = position;
    while (runEnd < text.size() && text[runEnd].isDigit())
        ++runEnd;
    QStringView number = text.sliced(position, runEnd - position);
    while (number.size() > 1 && number.front() == u'0')
        number = number.sliced(1);
    return number;
}

// Negative, zero or positive; a longer number (without leading zeros) is the larger one.
int compareNumbers(QStringView left, QStringView right)
{
    if (left.size() != right.size())
        return left.size() < right.size() ? -1 : 1;
    return left.compare(right);
}

} // namespace

bool CMyFunc::lessByNaturalOrder(const QString &left, const QString &right)
{
    qsizetype l = 0;
    qsizetype r = 0;
    while (l < left.size() && r < right.size()) {
        if (left[l].isDigit() && right[r].isDigit()) {
            qsizetype leftEnd = 0;
            qsizetype rightEnd = 0;
            const int order
                = compareNumbers(numberAt(left, l, leftEnd), numberAt(right, r, rightEnd));
            if (order != 0)
                return order < 0;
            l = leftEnd;
            r = rightEnd;
        } else if (left[l] != right[r]) {
            return left[l] < right[r];
        } else {
            ++l;
            ++r;
        }
    }
    // One is a prefix of the other, or they differ only in leading zeros: the plain text
    // comparison keeps the order total.
    if (left.size() - l != right.size() - r)
        return left.size() - l < right.size() - r;
    return left < right;
}

bool CMyFunc::enumerateSerialPorts(QStringList &ports, const QString &sysfsClassTty)
{
    ports.clear();
    const QStringList entries
        = QDir(sysfsClassTty).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString &name : entries) {
        if (QFileInfo::exists(sysfsClassTty + u'/' + name + QStringLiteral("/device")))
            ports.append(name);
    }
    std::sort(ports.begin(), ports.end(), lessByNaturalOrder);
    return !ports.isEmpty();
}
