#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// INI files with private-profile semantics: named sections, case-insensitive section and key
// names, a default for a missing key, and writes that create the file, section or key as needed.
//
// This is our own small class rather than SimpleIni: SimpleIni saves by re-serialising the
// whole document (it normalises spacing around '=', re-emits comments its own way and drops
// lines it does not understand), so a single write would disturb the rest of a hand-edited
// file. Here a write edits exactly one line and every other byte of the file stays as it was.

// The text of one INI file, kept line by line so it can be written back unchanged.
// Reading: the first section and the first key of a name count; lines starting with ';' or '#'
// are comments; names and values are trimmed, and a value in matching quotes loses them.
class CIniDocument {
public:
    // What a read does with the blanks that end an unquoted value. Trimming is the profile
    // reading of configuration and language texts; a text whose final space carries meaning
    // (a spaced-hex record) is read with its trailing blanks kept.
    enum class Trailing { Trim, Keep };

    // Decodes UTF-8 (with or without byte-order mark) or UTF-16 with a byte-order mark.
    // Invalid byte sequences decode to replacement characters; parsing never fails.
    static CIniDocument fromBytes(const QByteArray &bytes);
    // Encodes in the encoding the document was read in (UTF-8 without mark for a new file).
    QByteArray toBytes() const;

    // With Trailing::Keep only the blanks after '=' and the line break go; a value in matching
    // quotes still loses them and whatever blanks stand outside them.
    std::optional<QString> value(
        QStringView section, QStringView key, Trailing trailing = Trailing::Trim) const;
    // Replaces the key's line, or adds the key at the end of its section, or adds the section
    // at the end of the document. Line breaks inside the value become spaces.
    void setValue(const QString &section, const QString &key, const QString &value);

private:
    enum class Encoding { Utf8, Utf8WithMark, Utf16LittleEndian, Utf16BigEndian };

    qsizetype findSectionHeader(QStringView section) const;
    qsizetype sectionEnd(qsizetype headerLine) const;
    qsizetype findKey(qsizetype headerLine, QStringView key) const;
    QString lineWithEnding(const QString &content) const;
    void insertLines(qsizetype at, const QStringList &lines);

    struct Line {
        QString text;
        // The line's bytes as read from a UTF-8 file, so that an untouched line is written back
        // byte for byte even when it holds invalid UTF-8; empty for new or changed lines.
        QByteArray originalUtf8;
    };

    // Lines split at '\n'; a '\r' before the '\n' stays part of the line.
    QList<Line> m_lines { Line() };
    bool m_crLf = false;
    Encoding m_encoding = Encoding::Utf8;
};

// One INI file on disk, read at every call and written at every write, as private-profile
// functions do; nothing is cached, so the file is always the truth.
class CIniFile {
public:
    explicit CIniFile(QString path);

    const QString &path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }
    bool exists() const;

    // Leading decimal digits of the value; 0 when the key is missing or the value does not
    // start with a digit. Values beyond the int range saturate.
    int readInt(QStringView section, QStringView key) const;
    // The value cut to maxLength characters; the literal "default" when the key is missing.
    QString readText(QStringView section, QStringView key, qsizetype maxLength,
        CIniDocument::Trailing trailing = CIniDocument::Trailing::Trim) const;
    bool writeText(const QString &section, const QString &key, const QString &value) const;
    // The file as it is on disk now; an empty document when it cannot be read. Several keys
    // read from one load come from the same version of the file.
    CIniDocument load() const;

    // readText's answer from a loaded document.
    static QString textOf(const CIniDocument &document, QStringView section, QStringView key,
        qsizetype maxLength, CIniDocument::Trailing trailing = CIniDocument::Trailing::Trim);
    static int leadingDecimal(QStringView text);
    static inline const QString missingText = QStringLiteral("default");

private:
    QString m_path;
};
