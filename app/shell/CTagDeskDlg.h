#pragma once

#include "shell/CPreferenceActions.h"
#include "shell/CShellPrompts.h"
#include "shell/CShellServices.h"

#include <QDialog>

class CButtonST;
class QComboBox;
class QLabel;
class QGroupBox;
class QTabWidget;

// The main window. This first version carries the start-up order, the language list, the skin
// button and the welcome tab; the connection panel, pages and message list build on it.
class CTagDeskDlg : public QDialog
{
    Q_OBJECT

public:
    // Constructs the shell services (creates SystemConfig.ini when missing, starts the log
    // file), then initialises the window: configuration, language, captions, tabs, skin.
    CTagDeskDlg(const CAppPaths &paths, const CDataFiles &dataFiles, QWidget *parent = nullptr);

    CShellServices &services() { return m_services; }
    QString text(int key) const { return m_services.text(key); }

    QTabWidget *tabs() const { return m_tabs; }
    QComboBox *languageList() const { return m_languageList; }
    CButtonST *skinButton() const { return m_skinButton; }

    // Key texts of the window.
    static constexpr int titleText = 1000;
    static constexpr int welcomeTabText = 1001;
    static constexpr int skinButtonTipText = 1004;
    static constexpr int connectionGroupText = 1037;
    static constexpr int languageLabelText = 1055;

private:
    void buildLayout();
    void applyTexts();
    void putConfigurationIntoPanel();
    void connectActions();

    CShellServices m_services;
    CWidgetPrompts m_prompts;
    CPreferenceActions m_preferences;

    QGroupBox *m_connectionGroup = nullptr;
    QLabel *m_languageLabel = nullptr;
    QComboBox *m_languageList = nullptr;
    CButtonST *m_skinButton = nullptr;
    QTabWidget *m_tabs = nullptr;
    QWidget *m_welcomePage = nullptr;
};
