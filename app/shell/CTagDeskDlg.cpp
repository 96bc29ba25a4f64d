#include "shell/CTagDeskDlg.h"

#include "shell/CButtonST.h"
#include "shell/CTagDeskApp.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

CTagDeskDlg::CTagDeskDlg(const CAppPaths &paths, const CDataFiles &dataFiles, QWidget *parent)
    : QDialog(parent)
    , m_services(paths, dataFiles)
    , m_prompts(this)
    , m_preferences(m_services, m_prompts)
{
    buildLayout();
    m_services.loadConfiguration();
    m_services.loadLanguage();
    applyTexts();
    putConfigurationIntoPanel();
    setWindowTitle(CTagDeskApp::windowCaption(text(titleText)));
    m_services.attachSkin();
    connectActions();
}

void CTagDeskDlg::buildLayout()
{
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    m_connectionGroup = new QGroupBox(this);
    m_languageLabel = new QLabel(m_connectionGroup);
    m_languageList = new QComboBox(m_connectionGroup);
    m_skinButton = CButtonST::createSkinButton(QString(), m_connectionGroup);

    auto *languageRow = new QHBoxLayout;
    languageRow->addWidget(m_languageLabel);
    languageRow->addWidget(m_languageList, 1);
    languageRow->addWidget(m_skinButton);
    auto *panel = new QVBoxLayout(m_connectionGroup);
    panel->addStretch(1);
    panel->addLayout(languageRow);

    m_tabs = new QTabWidget(this);
    m_welcomePage = new QWidget(m_tabs);
    m_tabs->addTab(m_welcomePage, QString());

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_connectionGroup);
    layout->addWidget(m_tabs, 1);
    resize(1000, 640);
}

void CTagDeskDlg::applyTexts()
{
    m_connectionGroup->setTitle(text(connectionGroupText));
    m_languageLabel->setText(text(languageLabelText));
    m_skinButton->setToolTip(text(skinButtonTipText));
    m_tabs->setTabText(m_tabs->indexOf(m_welcomePage), text(welcomeTabText));
}

void CTagDeskDlg::putConfigurationIntoPanel()
{
    const CConfigStore &config = m_services.config();
    m_languageList->addItems(config.languageNames());
    // An out-of-range position selects nothing, as the list then has no entry for it.
    const int position = config.languagePosition();
    m_languageList->setCurrentIndex(position < m_languageList->count() ? position : -1);
}

void CTagDeskDlg::connectActions()
{
    // activated: only the operator's choice asks, not the selection made at start-up.
    connect(m_languageList, &QComboBox::activated, this,
            [this](int position) { m_preferences.changeLanguage(position); });
    connect(m_skinButton, &QToolButton::clicked, this, [this] { m_preferences.chooseSkin(); });
}
