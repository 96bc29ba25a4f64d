#include "shell/CShellServices.h"

#include <QApplication>
#include <QFile>

#include <algorithm>

CShellServices::CShellServices(const CAppPaths &paths, const CDataFiles &dataFiles)
    : m_paths(paths)
    , m_dataFiles(dataFiles)
    , m_config(paths.configDirectory())
    , m_logFile(paths.logFolder())
{
}

void CShellServices::loadConfiguration()
{
    m_config.load();
}

bool CShellServices::languageFileExists(const QString &languageName) const
{
    return m_dataFiles.exists(CLanguageStore::relativeFilePath(languageName));
}

int CShellServices::loadLanguage()
{
    QString name = m_config.currentLanguageName();
    if (!languageFileExists(name))
        name = fallbackLanguage();
    return m_language.load(m_dataFiles.locate(CLanguageStore::relativeFilePath(name)));
}

QString CShellServices::fallbackLanguage()
{
    // Captions are never left empty while a language file can be found.
    const QStringList listed = m_config.languageNames();
    const auto withFile = std::ranges::find_if(
        listed, [this](const QString &name) { return languageFileExists(name); });
    if (withFile != listed.end())
        return *withFile;
    // The list names no existing file (its keys missing, its files gone): the language files
    // found take its place.
    const QStringList found
        = m_dataFiles.baseNames(CLanguageStore::folder, CLanguageStore::fileSuffix);
    if (!found.isEmpty())
        m_config.useLanguageNames(found);
    return m_config.currentLanguageName();
}

bool CShellServices::attachSkin()
{
    m_skinPath = m_dataFiles.locate(QStringLiteral("skin/") + m_config.skinFile());
    QFile file(m_skinPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
    return true;
}
