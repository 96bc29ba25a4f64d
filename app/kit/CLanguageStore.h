#pragma once

#include "text_keys.h"

#include <QString>

#include <array>

// The text table: 500 slots filled from section [Language] of a language file. Key "999" holds
// the number of texts; slot k holds key 1000 + k. Every caption and message of the program is
// named by its key (Text, in text_keys.h). Loaded once at start-up on the user-interface
// thread; afterwards the table does not change, so any thread may read it.
class CLanguageStore {
public:
    static constexpr int firstKey = 1000;
    static constexpr int capacity = 500;
    static constexpr qsizetype maxTextLength = 1023;
    static inline const QString section = QStringLiteral("Language");
    static inline const QString countKey = QStringLiteral("999");

    // Empties the table, then loads the file's texts. A missing file loads none (all texts
    // empty); a text key missing from the file reads as "default". Returns the text count.
    int load(const QString &languageFilePath);

    const QString &filePath() const { return m_filePath; }
    int textCount() const { return m_textCount; }

    // Text of key 1000..1499; empty for any other key.
    QString text(int key) const;
    QString text(Text key) const { return text(keyNumber(key)); }
    // The text with its first "%s" replaced by argument and "%%" turned into "%"; any other
    // '%' sequence stays as it is.
    QString format(int key, const QString &argument) const;
    QString format(Text key, const QString &argument) const
    {
        return format(keyNumber(key), argument);
    }

    // Language files are "<folder>/<language name><suffix>" among the data files.
    static inline const QString folder = QStringLiteral("Language");
    static inline const QString fileSuffix = QStringLiteral(".ini");
    // Relative path of a language file: "Language/<name>.ini".
    static QString relativeFilePath(const QString &languageName);

private:
    QString m_filePath;
    int m_textCount = 0;
    std::array<QString, capacity> m_texts;
};
