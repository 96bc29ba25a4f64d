#include "shell/CTab.h"

#include "kit/Accessible.h"
#include "kit/CPage.h"
#include "kit/IMainWindowServices.h"
#include "shell/CPageFactory.h"

CTab::CTab(QWidget *parent)
    : QTabWidget(parent)
{
    connect(this, &QTabWidget::currentChanged, this, &CTab::onSelectionChanged);
}

CTab::~CTab()
{
    // Removing the pages while the base classes are destroyed changes the selection; that is
    // no operator's choice and must not reach this object any more.
    disconnect(this, &QTabWidget::currentChanged, this, &CTab::onSelectionChanged);
}

void CTab::createPages(const CPageFactory &factory, IMainWindowServices &services)
{
    m_services = &services;
    for (int id = 0; id < readerfamily::pageCount; ++id) {
        CPage *created = factory.create(static_cast<readerfamily::PageId>(id), services, this);
        accessible::nameControls(created);
        created->hide();
        m_pages[static_cast<std::size_t>(id)] = created;
    }
    rebuildTabs();
    m_tabsBuilt = false;
}

CPage *CTab::page(readerfamily::PageId id) const
{
    return m_pages[static_cast<std::size_t>(id)];
}

void CTab::setDeviceType(std::uint8_t type)
{
    if (m_deviceType != 0 && m_deviceType != type) {
        m_tabsBuilt = false;
        m_selectFirstTab = true;
    }
    m_deviceType = type;
}

void CTab::setUpFamily()
{
    if (!m_tabsBuilt) {
        rebuildTabs();
        m_tabsBuilt = true;
    }
    if (const std::optional<readerfamily::PageId> parameterPage
        = readerfamily::parameterPageOf(m_deviceType))
        page(*parameterPage)->readParameters();
    if (m_selectFirstTab) {
        m_selectFirstTab = false;
        selectTab(0);
    }
}

void CTab::selectTab(int position)
{
    m_rebuilding = true;
    setCurrentIndex(position);
    m_rebuilding = false;
    handleSelection(position);
}

void CTab::stopAllWork()
{
    for (const readerfamily::PageId id : readerfamily::pagesStoppedAtClose())
        page(id)->stopWork();
}

void CTab::showWrittenRecord(RecordKind kind, const ParamRecord &record)
{
    for (CPage *each : m_pages)
        each->showWrittenRecord(kind, record);
}

void CTab::onSelectionChanged(int position)
{
    if (!m_rebuilding)
        handleSelection(position);
}

void CTab::handleSelection(int position)
{
    hideAllPages();
    const std::optional<readerfamily::PageId> id = readerfamily::pageAt(m_deviceType, position);
    if (!id)
        return;
    CPage *shown = page(*id);
    shown->setEnabled(true);
    shown->show();
    for (const readerfamily::PageId running : readerfamily::pagesToStop(m_deviceType, position))
        page(running)->stopWork();
    if (readerfamily::readsOnSelection(m_deviceType, *id))
        shown->readParameters();
}

void CTab::rebuildTabs()
{
    m_rebuilding = true;
    hideAllPages();
    clear();
    for (const readerfamily::Tab &tab : readerfamily::tabsOf(m_deviceType))
        addTab(page(tab.page), m_services->text(tab.captionText));
    setCurrentIndex(0);
    if (QWidget *shown = currentWidget()) {
        shown->setEnabled(true);
        shown->show();
    }
    m_rebuilding = false;
}

void CTab::hideAllPages()
{
    for (CPage *each : m_pages) {
        each->setEnabled(false);
        each->hide();
    }
}
