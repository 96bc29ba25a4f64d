#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its files. An installed program (running from the bin folder of the
// prefix it was built for) keeps the configuration in $XDG_CONFIG_HOME/tagbench and the logs in
// $XDG_STATE_HOME/tagbench/Log, whoever runs it, so nothing is ever written into /usr/bin. A
// build or unpacked program keeps SystemConfig.ini and the Log folder in its own folder (or
// the --config-dir folder), and moves to the XDG folders only when that folder is not writable.
class CAppPaths {
public:
    // configDirOverride empty: decided from the executable's folder. Needs a QCoreApplication.
    static CAppPaths forRunningProgram(const QString &configDirOverride);
    // Configuration and logs in this folder, or in the XDG folders when it is not writable.
    static CAppPaths forProgramDirectory(const QString &programDirectory);
    // Configuration and logs in the XDG folders (creates the configuration folder).
    static CAppPaths forXdgFolders();

    // Whether an executable in executableDirectory is the installed program: that folder is the
    // installed bin folder and the installed data folder exists. Symbolic links are resolved.
    static bool runsFromInstalledPrefix(const QString &executableDirectory,
        const QString &installedBinDirectory, const QString &installedDataDirectory);

    // Folder of SystemConfig.ini.
    const QString &configDirectory() const { return m_configDirectory; }
    // Folder of the log files; created by the log file object when it starts a file.
    const QString &logFolder() const { return m_logFolder; }

    static QString xdgConfigFolder();
    static QString xdgLogFolder();

private:
    QString m_configDirectory;
    QString m_logFolder;
};

// Read-only data files (Language/, skin/, logo/): looked up in the working directory first,
// then next to the executable, then in the installed share/tagbench, so a program started from
// another folder still finds its captions.
class CDataFiles {
public:
    CDataFiles(QString executableDirectory, QString installedDataDirectory);
    // Needs a QCoreApplication for the executable's folder.
    static CDataFiles forRunningProgram();

    // Full path of the first existing file; when none exists, the working-directory path
    // (so callers can still name the place where the file was expected).
    QString locate(const QString &relativePath) const;
    // Whether locate() finds the file somewhere.
    bool exists(const QString &relativePath) const;
    // Base names of the files "<relativeFolder>/*<suffix>" in the lookup order of locate():
    // folder by folder, each sorted by name, every name once.
    QStringList baseNames(const QString &relativeFolder, const QString &suffix) const;

    // A program file shipped with this one (the network scan tool): next to the executable,
    // then in the installed data folder; empty when neither holds it. Never the working
    // directory, which someone else may be able to write.
    QString locateBesideProgram(const QString &relativePath) const;

private:
    QStringList lookupFolders() const;

    QString m_executableDirectory;
    QString m_installedDataDirectory;
};
