#include "shell/CPreferenceActions.h"

#include "kit/CLanguageStore.h"
#include "kit/CShellPrompts.h"
#include "kit/IMainWindowServices.h"
#include "shell/CShellServices.h"

#include <QFileInfo>

CPreferenceActions::CPreferenceActions(CShellServices &services, IMainWindowServices &window)
    : m_services(services)
    , m_window(window)
{
}

bool CPreferenceActions::changeLanguage(int position)
{
    CConfigStore &config = m_services.config();
    config.setLanguagePosition(position);
    const QStringList names = config.languageNames();
    const QString name = position >= 0 && position < names.size() ? names[position] : QString();
    const QString caption = m_services.text(Text::MessageBoxCaption);
    if (!m_window.prompts().confirm(
            caption, m_services.language().format(Text::ConfirmLanguageChange, name)))
        return false;
    config.saveLanguagePosition();
    // The notice speaks the language just chosen: whoever chose it may not read the old one.
    const QString chosenFile
        = m_services.dataFiles().locate(CLanguageStore::relativeFilePath(name));
    CLanguageStore chosen;
    if (name.isEmpty() || chosen.load(chosenFile) == 0)
        chosen = m_services.language();
    m_window.prompts().inform(
        chosen.text(Text::MessageBoxCaption), chosen.text(Text::LanguageSaved));
    return true;
}

bool CPreferenceActions::chooseSkin()
{
    // Skins are only loaded from a "skin" folder, so the chooser starts in the one in use.
    const QString skinFolder = m_services.dataFiles().locate(QStringLiteral("skin"));
    const QString chosen = m_window.prompts().chooseFileToOpen(
        skinFolder + u'/', QStringLiteral("Skin files (*.skin)"));
    if (chosen.isEmpty())
        return false;
    m_services.config().setSkinFile(QFileInfo(chosen).fileName());
    m_window.prompts().inform(
        m_services.text(Text::MessageBoxCaption), m_services.text(Text::SkinChosen));
    return true;
}
