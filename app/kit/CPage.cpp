#include "kit/CPage.h"

#include "kit/Captions.h"
#include "kit/IMainWindowServices.h"

CPage::CPage(IMainWindowServices &services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
{
}

QString CPage::text(int key) const
{
    return m_services.text(key);
}

void CPage::log(int key)
{
    m_services.postLog(text(key));
}

QString CPage::caption(int key, const char *layoutCaption) const
{
    return captionOr(text(key), layoutCaption);
}

void CPage::log(Text key)
{
    m_services.postLog(text(key));
}

QString CPage::text(Text key) const
{
    return m_services.text(key);
}

QString CPage::caption(Text key, const char *layoutCaption) const
{
    return captionOr(text(key), layoutCaption);
}
