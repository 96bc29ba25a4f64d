#include "kit/CConfigStore.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The first-start file, in the order the keys are written.
const std::pair<const char *, const char *> defaultKeys[] = {
    { "Transport", "0" },
    { "ComNum", "0" },
    { "ComBaud", "4" },
    { "UsbNum", "0" },
    { "DevIP", "192.168.1.250" },
    { "DevPort", "60000" },
    { "SkinFile", "red.skin" },
    { "FreqNum", "2" },
    { "FreqType1", "US Freq,902.75,927.25" },
    { "FreqType2", "EU Freq,865.1,867.9" },
    { "ProtocolNum", "3" },
    { "Protocol1", "1,0x02 Head HexID 0x03 0x0D 0x0A end" },
    { "Protocol2", "2,test1" },
    { "Protocol3", "3,test2" },
    { "LanguageSelect", "0" },
    { "LanguageNum", "2" },
    { "Language1", "Chinese" },
    { "Language2", "English" },
};

// Not among the first-start keys: the column is off until someone switches it on.
const QString gs1ColumnKey = QStringLiteral("Gs1Column");
const QString logMaxSizeKey = QStringLiteral("LogMaxSize");
const QString logKeepKey = QStringLiteral("LogKeep");
// A log size beyond this is taken as this (and as good as unbounded).
constexpr qint64 largestLogSize = qint64(1) << 50;
// More rotated files than this are not kept.
constexpr int largestLogKeep = 999;

// The leading decimal number of a value (numbers of more digits than fit read as the largest
// that does) and what follows it; nothing when the value does not start with a number (after
// blanks).
std::optional<std::pair<qint64, QString>> leadingNumber(const QString &value)
{
    constexpr qsizetype mostDigits = 15;
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d+)\\s*(.*)$"));
    const QRegularExpressionMatch match = pattern.match(value);
    if (!match.hasMatch())
        return std::nullopt;
    const QString digits = match.captured(1);
    const qint64 number
        = digits.size() > mostDigits ? QString(mostDigits, u'9').toLongLong() : digits.toLongLong();
    return std::pair { number, match.captured(2) };
}

// A size in bytes, or in KiB, MiB or GiB with a K, M or G after the number.
std::optional<qint64> parseSize(const QString &value)
{
    const auto number = leadingNumber(value);
    if (!number)
        return std::nullopt;
    const QChar unit = number->second.isEmpty() ? QChar() : number->second.front().toUpper();
    const int shift = unit == u'K' ? 10 : unit == u'M' ? 20 : unit == u'G' ? 30 : 0;
    return std::min(number->first, largestLogSize >> shift) << shift;
}

const QString languageSelectKey = QStringLiteral("LanguageSelect");

// Position of a language among the first-start language names ("Language1", ...).
std::optional<int> defaultLanguagePosition(const QString &language)
{
    const QString prefix = QStringLiteral("Language");
    for (const auto &[key, value] : defaultKeys) {
        const QString name = QString::fromLatin1(key);
        bool numbered = false;
        const int number
            = name.startsWith(prefix) ? name.sliced(prefix.size()).toInt(&numbered) : 0;
        if (numbered && language == QString::fromLatin1(value))
            return number - 1;
    }
    return std::nullopt;
}

} // namespace

CConfigStore::CConfigStore(const QString &configDirectory, const QString &firstStartLanguage)
    : m_file(QFile::encodeName(configDirectory + u'/' + fileName).toStdString())
{
    if (!m_file.exists())
        writeDefaults(firstStartLanguage);
}

QString CConfigStore::filePath() const
{
    return QFile::decodeName(QByteArray::fromStdString(m_file.path()));
}

void CConfigStore::writeDefaults(const QString &firstStartLanguage)
{
    const std::optional<int> chosen = defaultLanguagePosition(firstStartLanguage);
    for (const auto &[key, value] : defaultKeys) {
        const QString name = QString::fromLatin1(key);
        if (name == languageSelectKey && chosen)
            writeInt(name, *chosen);
        else
            writeText(name, QString::fromLatin1(value));
    }
}

int CConfigStore::readInt(const QString &key) const
{
    return m_file.readInt(section.toStdString(), key.toStdString());
}

QString CConfigStore::readText(const QString &key) const
{
    return QString::fromStdString(
        m_file.readText(section.toStdString(), key.toStdString(), maxTextLength));
}

bool CConfigStore::writeText(const QString &key, const QString &value)
{
    return m_file.writeText(section.toStdString(), key.toStdString(), value.toStdString());
}

bool CConfigStore::writeInt(const QString &key, int value)
{
    return writeText(key, QString::number(value));
}

qint64 CConfigStore::logMaxSize(qint64 defaultSize) const
{
    return parseSize(readText(logMaxSizeKey)).value_or(defaultSize);
}

int CConfigStore::logKeep(int defaultKeep) const
{
    const auto keep = leadingNumber(readText(logKeepKey));
    return keep ? static_cast<int>(std::min<qint64>(keep->first, largestLogKeep)) : defaultKeep;
}

int CConfigStore::readCount(const QString &key) const
{
    return std::clamp(readInt(key), 0, listCapacity);
}

void CConfigStore::readList(const QString &keyPrefix, int count, Slots &entries) const
{
    for (int slot = 0; slot < listCapacity; ++slot)
        entries[slot] = slot < count ? readText(keyPrefix + QString::number(slot + 1)) : QString();
}

void CConfigStore::load()
{
    m_transport = readertransport::fromStoredValue(readInt(QStringLiteral("Transport")));
    m_comNum = readInt(QStringLiteral("ComNum"));
    m_comBaud = readInt(QStringLiteral("ComBaud"));
    m_usbNum = readInt(QStringLiteral("UsbNum"));
    m_languageCount = readCount(QStringLiteral("LanguageNum"));
    m_devPort = readInt(QStringLiteral("DevPort"));
    m_devIp = readText(QStringLiteral("DevIP"));
    m_skinFile = readText(QStringLiteral("SkinFile"));
    m_gs1Column = readInt(gs1ColumnKey) != 0;
    readList(QStringLiteral("Language"), m_languageCount, m_languageNames);
    m_languagePosition = readInt(languageSelectKey);
    m_protocolCount = readCount(QStringLiteral("ProtocolNum"));
    m_frequencyPresetCount = readCount(QStringLiteral("FreqNum"));
    readList(QStringLiteral("Protocol"), m_protocolCount, m_protocols);
    readList(QStringLiteral("FreqType"), m_frequencyPresetCount, m_frequencyPresets);
}

void CConfigStore::setTransport(Transport transport)
{
    m_transport = transport;
    writeInt(QStringLiteral("Transport"), readertransport::storedValue(transport));
}

void CConfigStore::setComNum(int position)
{
    m_comNum = position;
    writeInt(QStringLiteral("ComNum"), position);
}

void CConfigStore::setComBaud(int position)
{
    m_comBaud = position;
    writeInt(QStringLiteral("ComBaud"), position);
}

void CConfigStore::setUsbNum(int position)
{
    m_usbNum = position;
    writeInt(QStringLiteral("UsbNum"), position);
}

void CConfigStore::setDevIp(const QString &address)
{
    m_devIp = address;
    writeText(QStringLiteral("DevIP"), address);
}

void CConfigStore::setDevPortText(const QString &portText)
{
    m_devPort = CIniFile::leadingDecimal(portText.toStdString());
    writeText(QStringLiteral("DevPort"), portText);
}

void CConfigStore::setSkinFile(const QString &fileName)
{
    m_skinFile = fileName;
    writeText(QStringLiteral("SkinFile"), fileName);
}

void CConfigStore::setGs1Column(bool shown)
{
    m_gs1Column = shown;
    writeInt(gs1ColumnKey, shown ? 1 : 0);
}

void CConfigStore::rememberSerialOpen(int comNum, int comBaud)
{
    setComNum(comNum);
    setComBaud(comBaud);
    setTransport(Transport::Serial);
}

void CConfigStore::rememberUsbOpen(int usbNum)
{
    setUsbNum(usbNum);
    setTransport(Transport::Usb);
}

void CConfigStore::rememberNetworkOpen(const QString &address, const QString &portText)
{
    setDevIp(address);
    setDevPortText(portText);
    setTransport(Transport::Network);
}

void CConfigStore::saveLanguagePosition()
{
    writeInt(languageSelectKey, m_languagePosition);
}

QString CConfigStore::currentLanguageName() const
{
    if (m_languagePosition >= 0 && m_languagePosition < m_languageCount)
        return m_languageNames[m_languagePosition];
    return m_languageNames.front();
}

QStringList CConfigStore::firstSlots(const Slots &entries, int count)
{
    return QStringList(entries.begin(), entries.begin() + count);
}

QStringList CConfigStore::languageNames() const
{
    return firstSlots(m_languageNames, m_languageCount);
}

void CConfigStore::useLanguageNames(const QStringList &names)
{
    m_languageCount = static_cast<int>(std::min<qsizetype>(names.size(), listCapacity));
    for (int slot = 0; slot < listCapacity; ++slot)
        m_languageNames[slot] = slot < m_languageCount ? names[slot] : QString();
}

QStringList CConfigStore::frequencyPresets() const
{
    return firstSlots(m_frequencyPresets, m_frequencyPresetCount);
}

QStringList CConfigStore::protocols() const
{
    return firstSlots(m_protocols, m_protocolCount);
}
