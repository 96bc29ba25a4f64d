#include "shell/CPageFactory.h"

#include "kit/CPage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

// Stands in for a page that is not part of this build: says so, and does nothing else.
class CPlaceholderPage final : public CPage {
public:
    CPlaceholderPage(IMainWindowServices &services, const QString &pageName, QWidget *parent)
        : CPage(services, parent)
    {
        setObjectName(pageName);
        // No language key exists for this notice.
        auto *notice
            = new QLabel(QStringLiteral("%1: this page is not available yet.").arg(pageName), this);
        notice->setAlignment(Qt::AlignCenter);
        notice->setWordWrap(true);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(notice);
    }
};

} // namespace

void CPageFactory::registerPage(readerfamily::PageId page, Maker maker)
{
    m_makers[static_cast<std::size_t>(page)] = std::move(maker);
}

void CPageFactory::registerMaintenanceWindow(WindowMaker maker)
{
    m_maintenanceMaker = std::move(maker);
}

CPage *CPageFactory::createMaintenanceWindow(IMainWindowServices &services, QWidget *parent) const
{
    if (!m_maintenanceMaker)
        return nullptr;
    HostedPages hosted;
    for (const readerfamily::Tab &tab : readerfamily::maintenanceTabs())
        hosted.emplace_back(tab.captionText, create(tab.page, services, nullptr));
    return m_maintenanceMaker(services, std::move(hosted), parent);
}

CPage *CPageFactory::create(
    readerfamily::PageId page, IMainWindowServices &services, QWidget *parent) const
{
    const Maker &maker = m_makers[static_cast<std::size_t>(page)];
    if (maker)
        return maker(services, parent);
    return new CPlaceholderPage(
        services, QString::fromLatin1(readerfamily::pageClassName(page)), parent);
}
