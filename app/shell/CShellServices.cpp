#include "shell/CShellServices.h"

#include <QApplication>
#include <QFile>

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

int CShellServices::loadLanguage()
{
    const QString relativePath = CLanguageStore::relativeFilePath(m_config.currentLanguageName());
    return m_language.load(m_dataFiles.locate(relativePath));
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
