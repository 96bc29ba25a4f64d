#include "kit/CPage.h"

#include "kit/Captions.h"
#include "kit/IMainWindowServices.h"

CPage::CPage(IMainWindowServices &services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
{
}

void CPage::log(Text key)
{
    m_services.postLog(text(key));
}

QPushButton *CPage::addBusyButton(CBusyState &busy, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    busy.addControl(button);
    return button;
}

QString CPage::text(Text key) const
{
    return m_services.text(key);
}

QString CPage::caption(Text key, const char *layoutCaption) const
{
    return captionOr(text(key), layoutCaption);
}
