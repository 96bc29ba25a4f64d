#include "shell/CAppPaths.h"

#include "kit/CMyFunc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString environmentFolder(const char *variable, const QString &homeRelativeDefault)
{
    const QString value = qEnvironmentVariable(variable);
    // XDG says relative values are invalid and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + u'/' + homeRelativeDefault;
}

bool isWritableFolder(const QString &folder)
{
    return QDir().mkpath(folder) && QFileInfo(folder).isWritable();
}

} // namespace

QString CAppPaths::xdgConfigFolder()
{
    return environmentFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/tagbench");
}

QString CAppPaths::xdgLogFolder()
{
    return environmentFolder("XDG_STATE_HOME", QStringLiteral(".local/state"))
        + QStringLiteral("/tagbench/Log");
}

CAppPaths CAppPaths::forProgramDirectory(const QString &programDirectory)
{
    CAppPaths paths;
    const QString folder = QDir::cleanPath(QDir(programDirectory).absolutePath());
    if (isWritableFolder(folder)) {
        paths.m_configDirectory = folder;
        paths.m_logFolder = folder + QStringLiteral("/Log");
    } else {
        paths.m_configDirectory = xdgConfigFolder();
        QDir().mkpath(paths.m_configDirectory);
        paths.m_logFolder = xdgLogFolder();
    }
    return paths;
}

CAppPaths CAppPaths::forRunningProgram(const QString &configDirOverride)
{
    return forProgramDirectory(configDirOverride.isEmpty()
                                   ? QCoreApplication::applicationDirPath()
                                   : configDirOverride);
}

CDataFiles::CDataFiles(QString executableDirectory, QString installedDataDirectory)
    : m_executableDirectory(std::move(executableDirectory))
    , m_installedDataDirectory(std::move(installedDataDirectory))
{
}

CDataFiles CDataFiles::forRunningProgram()
{
    return CDataFiles(QCoreApplication::applicationDirPath(),
                      QStringLiteral(TAGBENCH_INSTALLED_DATA_DIR));
}

QString CDataFiles::locate(const QString &relativePath) const
{
    const QString inWorkingDirectory = CMyFunc::makePath(relativePath);
    for (const QString &candidate :
         {inWorkingDirectory, m_executableDirectory + u'/' + relativePath,
          m_installedDataDirectory + u'/' + relativePath}) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return inWorkingDirectory;
}
