#include "shell/CShellServices.h"

#include <QApplication>
#include <QFile>
#include <QLoggingCategory>

#include <algorithm>

namespace {

// Where the program found and keeps its files, for packagers and support:
// QT_LOGGING_RULES="tagbench.startup.info=true" prints it on standard error.
Q_LOGGING_CATEGORY(startupLog, "tagbench.startup", QtWarningMsg)

} // namespace

CShellServices::CShellServices(
    const CAppPaths &paths, const CDataFiles &dataFiles, const QStringList &uiLanguages)
    : m_paths(paths)
    , m_dataFiles(dataFiles)
    , m_config(paths.configDirectory(), shippedLanguageFor(uiLanguages))
    , m_logFile(paths.logFolder(), &QDateTime::currentDateTime,
          CLogFile::Bound { m_config.logMaxSize(CLogFile::Bound::defaultMaxSize),
              m_config.logKeep(CLogFile::Bound::defaultKeep) })
{
    qCInfo(startupLog, "configuration %s, logs in %s", qUtf8Printable(m_config.filePath()),
        qUtf8Printable(paths.logFolder()));
    m_earlierLogsRemoval = std::jthread(
        [folder = paths.logFolder(), current = m_logFile.currentFilePath(),
            keep = m_logFile.bound().keep] { CLogFile::removeEarlierRuns(folder, current, keep); });
}

void CShellServices::loadConfiguration()
{
    m_config.load();
}

QString CShellServices::shippedLanguageFor(const QStringList &uiLanguages) const
{
    for (const QString &uiLanguage : uiLanguages) {
        // Language files are named after the language in English; the untranslated "C"
        // locale speaks English, a name Qt does not know speaks nothing we ship.
        const bool untranslated = uiLanguage == u"C" || uiLanguage == u"POSIX";
        const QLocale::Language language
            = untranslated ? QLocale::English : QLocale(uiLanguage).language();
        const QString name = QLocale::languageToString(language);
        if (language != QLocale::C && languageFileExists(name))
            return name;
    }
    return QString();
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
    const int textCount
        = m_language.load(m_dataFiles.locate(CLanguageStore::relativeFilePath(name)));
    qCInfo(
        startupLog, "language file %s: %d texts", qUtf8Printable(m_language.filePath()), textCount);
    return textCount;
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
