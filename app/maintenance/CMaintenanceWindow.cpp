#include "maintenance/CMaintenanceWindow.h"

#include "kit/Accessible.h"
#include "maintenance/CFirmwareTab.h"
#include "maintenance/CTagCacheTab.h"
#include "maintenance/CWhiteListTab.h"
#include "reader/CReaderEvents.h"

#include <QTabWidget>
#include <QVBoxLayout>

CMaintenanceWindow::CMaintenanceWindow(
    IMainWindowServices &services, std::vector<std::pair<Text, CPage *>> hosted, QWidget *parent)
    : CPage(services, parent)
{
    setObjectName(QStringLiteral("CMaintenanceWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(text(Text::MaintenanceWindowTitle));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("maintenanceTabs"));
    m_tabs->setAccessibleName(text(Text::MaintenanceWindowTitle));
    m_firmware = new CFirmwareTab(services, m_tabs);
    m_whiteList = new CWhiteListTab(services, m_tabs);
    m_cache = new CTagCacheTab(services, m_tabs);
    m_tabs->addTab(m_firmware, text(Text::FirmwareTab));
    m_tabs->addTab(m_whiteList, text(Text::WhiteListTab));
    m_tabs->addTab(m_cache, text(Text::TagCacheTab));
    m_tabs->addTab(buildHostTab(std::move(hosted)), text(Text::GprsGpsTab));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    accessible::nameControls(this);
    resize(640, 480);

    connect(&services.events(), &CReaderEvents::connectionChanged, this,
        &CMaintenanceWindow::connectionChanged);
    connect(m_tabs, &QTabWidget::currentChanged, this, &CMaintenanceWindow::readCurrentHostedPage);
    connectionChanged(services.isConnected());
}

CMaintenanceWindow::~CMaintenanceWindow() = default;

QWidget *CMaintenanceWindow::buildHostTab(std::vector<std::pair<Text, CPage *>> hosted)
{
    m_hostTabs = new QTabWidget(m_tabs);
    m_hostTabs->setObjectName(QStringLiteral("gprsGpsTabs"));
    m_hostTabs->setAccessibleName(text(Text::GprsGpsTab));
    for (const auto &[caption, page] : hosted) {
        page->show();
        m_hostTabs->addTab(page, text(caption));
    }
    connect(
        m_hostTabs, &QTabWidget::currentChanged, this, &CMaintenanceWindow::readCurrentHostedPage);
    return m_hostTabs;
}

// A hosted page reads the reader when it comes into view, as on the main window's tabs.
void CMaintenanceWindow::readCurrentHostedPage()
{
    if (m_tabs->currentWidget() != m_hostTabs || !services().isConnected())
        return;
    if (auto *page = qobject_cast<CPage *>(m_hostTabs->currentWidget()))
        page->readParameters();
}

QList<CPage *> CMaintenanceWindow::hostedPages() const
{
    QList<CPage *> pages;
    for (int index = 0; index < m_hostTabs->count(); ++index) {
        if (auto *page = qobject_cast<CPage *>(m_hostTabs->widget(index)))
            pages.append(page);
    }
    return pages;
}

void CMaintenanceWindow::connectionChanged(bool open)
{
    if (!open)
        stopWork();
    m_firmware->setEnabled(open);
    m_whiteList->setEnabled(open);
    m_cache->setEnabled(open);
}

void CMaintenanceWindow::stopWork()
{
    m_firmware->stopWork();
    for (CPage *page : hostedPages())
        page->stopWork();
}

void CMaintenanceWindow::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    for (CPage *page : hostedPages())
        page->showWrittenRecord(kind, record);
}
