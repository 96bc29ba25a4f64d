#include "shell/CPreferenceActions.h"

#include "kit/CShellPrompts.h"
#include "shell/CShellServices.h"

#include <QFileInfo>

CPreferenceActions::CPreferenceActions(CShellServices &services, IShellPrompts &prompts)
    : m_services(services)
    , m_prompts(prompts)
{
}

bool CPreferenceActions::changeLanguage(int position)
{
    CConfigStore &config = m_services.config();
    config.setLanguagePosition(position);
    const QStringList names = config.languageNames();
    const QString name = position >= 0 && position < names.size() ? names[position] : QString();
    const QString caption = m_services.text(Text::MessageBoxCaption);
    if (!m_prompts.confirm(
            caption, m_services.language().format(Text::ConfirmLanguageChange, name)))
        return false;
    config.saveLanguagePosition();
    m_prompts.inform(caption, m_services.text(Text::LanguageSaved));
    return true;
}

bool CPreferenceActions::chooseSkin()
{
    // Skins are only loaded from a "skin" folder, so the chooser starts in the one in use.
    const QString skinFolder = m_services.dataFiles().locate(QStringLiteral("skin"));
    const QString chosen
        = m_prompts.chooseFileToOpen(skinFolder + u'/', QStringLiteral("Skin files (*.skin)"));
    if (chosen.isEmpty())
        return false;
    m_services.config().setSkinFile(QFileInfo(chosen).fileName());
    m_prompts.inform(m_services.text(Text::MessageBoxCaption), m_services.text(Text::SkinChosen));
    return true;
}
