#pragma once

#include "kit/CConfigStore.h"
#include "kit/CLanguageStore.h"
#include "shell/CAppPaths.h"
#include "shell/CLogFile.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <thread>

// The shell's services, owned by the main window for the life of the program: folders, data
// file lookup, configuration, text table and log file. Construction creates the configuration
// file when missing, starts the log file and, on a thread of its own, removes the surplus log
// files of earlier runs; the main window's initialisation then calls
// loadConfiguration(), loadLanguage() and attachSkin() in that order.
class CShellServices {
public:
    // uiLanguages: the system's user-interface languages, most preferred first (as
    // QLocale::uiLanguages() names them); a first start selects the first of them that has a
    // language file.
    CShellServices(const CAppPaths &paths, const CDataFiles &dataFiles,
        const QStringList &uiLanguages = QLocale::system().uiLanguages());

    const CAppPaths &paths() const { return m_paths; }
    const CDataFiles &dataFiles() const { return m_dataFiles; }
    CConfigStore &config() { return m_config; }
    const CConfigStore &config() const { return m_config; }
    const CLanguageStore &language() const { return m_language; }
    CLogFile &logFile() { return m_logFile; }

    // Shorthand for language().text(key).
    QString text(Text key) const { return m_language.text(key); }
    QString text(int key) const { return m_language.text(key); }

    void loadConfiguration();
    // Loads the language file of the configured language; returns the number of texts. When
    // its file is missing, the first listed language that has one; when the list names no
    // existing file, the language files found are listed instead (the position then indexes
    // them), so the captions are never empty while a language file can be found.
    int loadLanguage();
    // Applies the configured skin (a Qt style sheet) to the application; a missing or
    // unreadable file leaves the default style. Returns whether a skin was applied.
    bool attachSkin();
    // Where the configured skin was looked for.
    const QString &skinPath() const { return m_skinPath; }

    // The language file name of the first of the languages that has a language file ("C"
    // counts as English); empty when none has.
    QString shippedLanguageFor(const QStringList &uiLanguages) const;

private:
    bool languageFileExists(const QString &languageName) const;
    // The language to load when the configured one has no file.
    QString fallbackLanguage();

    CAppPaths m_paths;
    CDataFiles m_dataFiles;
    CConfigStore m_config;
    CLanguageStore m_language;
    CLogFile m_logFile;
    QString m_skinPath;
    // Joined on destruction: a folder full of old logs never holds up the window, only exit.
    std::jthread m_earlierLogsRemoval;
};
