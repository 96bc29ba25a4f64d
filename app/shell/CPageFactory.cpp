#include "shell/CPageFactory.h"

#include "shell/CPage.h"

CPageFactory CPageFactory::standard()
{
    // Each page registers here as it is built, e.g.
    // factory.registerPage(PageId::FirParam, makerOf<CDlgFirParam>());
    return CPageFactory();
}

void CPageFactory::registerPage(PageId page, Maker maker)
{
    m_makers[static_cast<std::size_t>(page)] = std::move(maker);
}

CPage *CPageFactory::create(PageId page, IMainWindowServices &services, QWidget *parent) const
{
    const Maker &maker = m_makers[static_cast<std::size_t>(page)];
    if (maker)
        return maker(services, parent);
    return new CPlaceholderPage(services, QString::fromLatin1(pageClassName(page)), parent);
}
