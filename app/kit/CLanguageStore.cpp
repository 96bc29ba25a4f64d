#include "kit/CLanguageStore.h"

#include "profile/CIniFile.h"

#include <QFile>

#include <algorithm>

int CLanguageStore::load(const QString &languageFilePath)
{
    m_filePath = languageFilePath;
    m_texts.fill(QString());
    // One parse for the whole table instead of one file read per key.
    QFile file(languageFilePath);
    const CIniDocument document = file.open(QIODevice::ReadOnly)
        ? CIniDocument::fromBytes(file.readAll().toStdString())
        : CIniDocument();
    const std::string sectionName = section.toStdString();
    const auto count = document.value(sectionName, countKey.toStdString());
    m_textCount = std::clamp(count ? CIniFile::leadingDecimal(*count) : 0, 0, capacity);
    for (int slot = 0; slot < m_textCount; ++slot) {
        m_texts[slot] = QString::fromStdString(CIniFile::textOf(
            document, sectionName, std::to_string(firstKey + slot), maxTextLength));
    }
    return m_textCount;
}

QString CLanguageStore::text(int key) const
{
    const int slot = key - firstKey;
    if (slot < 0 || slot >= capacity)
        return QString();
    return m_texts[slot];
}

QString CLanguageStore::format(int key, const QString &argument) const
{
    const QString pattern = text(key);
    QString result;
    bool argumentUsed = false;
    for (qsizetype index = 0; index < pattern.size(); ++index) {
        const QChar next = index + 1 < pattern.size() ? pattern[index + 1] : QChar();
        if (pattern[index] == u'%' && next == u'%') {
            result += u'%';
            ++index;
        } else if (pattern[index] == u'%' && next == u's' && !argumentUsed) {
            result += argument;
            argumentUsed = true;
            ++index;
        } else {
            result += pattern[index];
        }
    }
    return result;
}

QString CLanguageStore::relativeFilePath(const QString &languageName)
{
    return folder + u'/' + languageName + fileSuffix;
}
