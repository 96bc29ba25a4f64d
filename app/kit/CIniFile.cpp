#include "kit/CIniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <limits>

namespace {

const QByteArray utf8Mark("\xEF\xBB\xBF", 3);
const QByteArray utf16LittleEndianMark("\xFF\xFE", 2);
const QByteArray utf16BigEndianMark("\xFE\xFF", 2);

bool isComment(QStringView trimmedLine)
{
    return trimmedLine.startsWith(u';') || trimmedLine.startsWith(u'#');
}

std::optional<QStringView> sectionName(QStringView line)
{
    const QStringView trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    QStringView name = trimmed.sliced(1);
    const qsizetype close = name.indexOf(u']');
    if (close >= 0)
        name = name.first(close);
    return name.trimmed();
}

struct KeyLine {
    QStringView key;
    QStringView value;
    // The value with the blanks that end it, short of the line break.
    QStringView untrimmedValue;
};

QStringView withoutLineBreak(QStringView line)
{
    return line.endsWith(u'\r') ? line.chopped(1) : line;
}

std::optional<KeyLine> keyLine(QStringView line)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || isComment(trimmed) || trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    const QStringView untrimmed = withoutLineBreak(line.sliced(line.indexOf(u'=') + 1));
    qsizetype leadingBlanks = 0;
    while (leadingBlanks < untrimmed.size() && untrimmed[leadingBlanks].isSpace())
        ++leadingBlanks;
    return KeyLine { trimmed.first(equals).trimmed(), trimmed.sliced(equals + 1).trimmed(),
        untrimmed.sliced(leadingBlanks) };
}

QStringView withoutQuotes(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
        && value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

CIniDocument CIniDocument::fromBytes(const QByteArray &bytes)
{
    CIniDocument document;
    if (bytes.startsWith(utf16LittleEndianMark) || bytes.startsWith(utf16BigEndianMark)) {
        const bool littleEndian = bytes.startsWith(utf16LittleEndianMark);
        document.m_encoding = littleEndian ? Encoding::Utf16LittleEndian : Encoding::Utf16BigEndian;
        const QString text = QStringDecoder(
            littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE)(bytes.sliced(2));
        document.m_crLf = text.contains(QLatin1String("\r\n"));
        document.m_lines.clear();
        for (const QString &line : text.split(u'\n'))
            document.m_lines.append(Line { line, {} });
    } else {
        const bool marked = bytes.startsWith(utf8Mark);
        document.m_encoding = marked ? Encoding::Utf8WithMark : Encoding::Utf8;
        document.m_crLf = bytes.contains("\r\n");
        document.m_lines.clear();
        for (const QByteArray &line : (marked ? bytes.sliced(3) : bytes).split('\n'))
            document.m_lines.append(Line { QString::fromUtf8(line), line });
    }
    return document;
}

QByteArray CIniDocument::toBytes() const
{
    if (m_encoding == Encoding::Utf8 || m_encoding == Encoding::Utf8WithMark) {
        QByteArray bytes = m_encoding == Encoding::Utf8WithMark ? utf8Mark : QByteArray();
        for (qsizetype index = 0; index < m_lines.size(); ++index) {
            if (index > 0)
                bytes.append('\n');
            const Line &line = m_lines[index];
            bytes.append(line.originalUtf8.isNull() ? line.text.toUtf8() : line.originalUtf8);
        }
        return bytes;
    }
    QString text;
    for (qsizetype index = 0; index < m_lines.size(); ++index)
        text += (index > 0 ? QStringLiteral("\n") : QString()) + m_lines[index].text;
    const bool littleEndian = m_encoding == Encoding::Utf16LittleEndian;
    QStringEncoder encoder(littleEndian ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    return (littleEndian ? utf16LittleEndianMark : utf16BigEndianMark) + QByteArray(encoder(text));
}

qsizetype CIniDocument::findSectionHeader(QStringView section) const
{
    for (qsizetype line = 0; line < m_lines.size(); ++line) {
        const auto name = sectionName(m_lines[line].text);
        if (name && sameName(*name, section))
            return line;
    }
    return -1;
}

qsizetype CIniDocument::sectionEnd(qsizetype headerLine) const
{
    qsizetype line = headerLine + 1;
    while (line < m_lines.size() && !sectionName(m_lines[line].text))
        ++line;
    return line;
}

qsizetype CIniDocument::findKey(qsizetype headerLine, QStringView key) const
{
    const qsizetype end = sectionEnd(headerLine);
    for (qsizetype line = headerLine + 1; line < end; ++line) {
        const auto entry = keyLine(m_lines[line].text);
        if (entry && sameName(entry->key, key))
            return line;
    }
    return -1;
}

std::optional<QString> CIniDocument::value(
    QStringView section, QStringView key, Trailing trailing) const
{
    const qsizetype header = findSectionHeader(section);
    if (header < 0)
        return std::nullopt;
    const qsizetype line = findKey(header, key);
    if (line < 0)
        return std::nullopt;
    const KeyLine entry = *keyLine(m_lines[line].text);
    const QStringView unquoted = withoutQuotes(entry.value);
    if (trailing == Trailing::Keep && unquoted.size() == entry.value.size())
        return entry.untrimmedValue.toString();
    return unquoted.toString();
}

QString CIniDocument::lineWithEnding(const QString &content) const
{
    return m_crLf ? content + u'\r' : content;
}

void CIniDocument::insertLines(qsizetype at, const QStringList &lines)
{
    // Appending after a last line without a line break: end the document with one again.
    const bool appendingAfterOpenLine = at == m_lines.size();
    for (qsizetype index = 0; index < lines.size(); ++index)
        m_lines.insert(at + index, Line { lines[index], {} });
    if (appendingAfterOpenLine)
        m_lines.append(Line {});
}

void CIniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    QString singleLineValue = value;
    singleLineValue.replace(u'\r', u' ').replace(u'\n', u' ');
    const QString entry = lineWithEnding(key + u'=' + singleLineValue);

    const qsizetype header = findSectionHeader(section);
    if (header < 0) {
        // A document that ends with a line break has an empty last element; keep it last.
        const qsizetype at = m_lines.back().text.isEmpty() ? m_lines.size() - 1 : m_lines.size();
        insertLines(at, { lineWithEnding(u'[' + section + u']'), entry });
        return;
    }
    const qsizetype existing = findKey(header, key);
    if (existing >= 0) {
        m_lines[existing] = Line { entry, {} };
        return;
    }
    // New keys go after the section's last key, so blank lines and comments that separate it
    // from the next section stay where they are.
    qsizetype insertAfter = header;
    const qsizetype end = sectionEnd(header);
    for (qsizetype line = header + 1; line < end; ++line) {
        if (keyLine(m_lines[line].text))
            insertAfter = line;
    }
    insertLines(insertAfter + 1, { entry });
}

CIniFile::CIniFile(QString path)
    : m_path(std::move(path))
{
}

bool CIniFile::exists() const
{
    return QFile::exists(m_path);
}

CIniDocument CIniFile::load() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return CIniDocument();
    return CIniDocument::fromBytes(file.readAll());
}

int CIniFile::leadingDecimal(QStringView text)
{
    long long number = 0;
    for (const QChar character : text.trimmed()) {
        if (character < u'0' || character > u'9')
            break;
        number = number * 10 + (character.unicode() - u'0');
        if (number > std::numeric_limits<int>::max())
            return std::numeric_limits<int>::max();
    }
    return static_cast<int>(number);
}

int CIniFile::readInt(QStringView section, QStringView key) const
{
    const auto value = load().value(section, key);
    return value ? leadingDecimal(*value) : 0;
}

QString CIniFile::readText(QStringView section, QStringView key, qsizetype maxLength,
    CIniDocument::Trailing trailing) const
{
    return textOf(load(), section, key, maxLength, trailing);
}

QString CIniFile::textOf(const CIniDocument &document, QStringView section, QStringView key,
    qsizetype maxLength, CIniDocument::Trailing trailing)
{
    const auto value = document.value(section, key, trailing);
    return value ? value->left(maxLength) : missingText;
}

bool CIniFile::writeText(const QString &section, const QString &key, const QString &value) const
{
    CIniDocument document = load();
    document.setValue(section, key, value);
    QSaveFile file(m_path);
    // A folder we may not create files in can still hold a writable configuration file.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(document.toBytes());
    return file.commit();
}
