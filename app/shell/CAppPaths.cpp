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

// folder/relativePath of the first folder that holds it, or empty.
QString firstExisting(const QStringList &folders, const QString &relativePath)
{
    for (const QString &folder : folders) {
        const QString candidate = folder + u'/' + relativePath;
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QString();
}

} // namespace

QString CAppPaths::xdgConfigFolder()
{
    return environmentFolder("XDG_CONFIG_HOME", QStringLiteral(".config"))
        + QStringLiteral("/tagbench");
}

QString CAppPaths::xdgLogFolder()
{
    return environmentFolder("XDG_STATE_HOME", QStringLiteral(".local/state"))
        + QStringLiteral("/tagbench/Log");
}

CAppPaths CAppPaths::forProgramDirectory(const QString &programDirectory)
{
    const QString folder = QDir::cleanPath(QDir(programDirectory).absolutePath());
    if (!isWritableFolder(folder))
        return forXdgFolders();
    CAppPaths paths;
    paths.m_configDirectory = folder;
    paths.m_logFolder = folder + QStringLiteral("/Log");
    return paths;
}

CAppPaths CAppPaths::forXdgFolders()
{
    CAppPaths paths;
    paths.m_configDirectory = xdgConfigFolder();
    QDir().mkpath(paths.m_configDirectory);
    paths.m_logFolder = xdgLogFolder();
    return paths;
}

bool CAppPaths::runsFromInstalledPrefix(const QString &executableDirectory,
    const QString &installedBinDirectory, const QString &installedDataDirectory)
{
    // Canonical paths: /bin/tagbench on a merged-/usr system is the program in /usr/bin.
    const QString executableFolder = QFileInfo(executableDirectory).canonicalFilePath();
    return !executableFolder.isEmpty()
        && executableFolder == QFileInfo(installedBinDirectory).canonicalFilePath()
        && QFileInfo(installedDataDirectory).isDir();
}

CAppPaths CAppPaths::forRunningProgram(const QString &configDirOverride)
{
    if (!configDirOverride.isEmpty())
        return forProgramDirectory(configDirOverride);
    const QString executableFolder = QCoreApplication::applicationDirPath();
    if (runsFromInstalledPrefix(executableFolder, QStringLiteral(TAGBENCH_INSTALLED_BIN_DIR),
            QStringLiteral(TAGBENCH_INSTALLED_DATA_DIR)))
        return forXdgFolders();
    return forProgramDirectory(executableFolder);
}

CDataFiles::CDataFiles(QString executableDirectory, QString installedDataDirectory)
    : m_executableDirectory(std::move(executableDirectory))
    , m_installedDataDirectory(std::move(installedDataDirectory))
{
}

CDataFiles CDataFiles::forRunningProgram()
{
    return CDataFiles(
        QCoreApplication::applicationDirPath(), QStringLiteral(TAGBENCH_INSTALLED_DATA_DIR));
}

QStringList CDataFiles::lookupFolders() const
{
    // The working directory is queried at each use, as the program may change it.
    return { QDir::currentPath(), m_executableDirectory, m_installedDataDirectory };
}

QString CDataFiles::locate(const QString &relativePath) const
{
    if (const QString found = firstExisting(lookupFolders(), relativePath); !found.isEmpty())
        return found;
    return CMyFunc::makePath(relativePath);
}

bool CDataFiles::exists(const QString &relativePath) const
{
    return !firstExisting(lookupFolders(), relativePath).isEmpty();
}

QStringList CDataFiles::baseNames(const QString &relativeFolder, const QString &suffix) const
{
    QStringList names;
    for (const QString &folder : lookupFolders()) {
        const QStringList files = QDir(folder + u'/' + relativeFolder)
                                      .entryList({ u'*' + suffix }, QDir::Files, QDir::Name);
        for (const QString &file : files) {
            const QString name = file.chopped(suffix.size());
            if (!names.contains(name))
                names.append(name);
        }
    }
    return names;
}

QString CDataFiles::locateBesideProgram(const QString &relativePath) const
{
    return firstExisting({ m_executableDirectory, m_installedDataDirectory }, relativePath);
}
