#include "shell/CPage.h"

#include <QLabel>
#include <QVBoxLayout>

CPage::CPage(IMainWindowServices &services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
{
}

CPlaceholderPage::CPlaceholderPage(IMainWindowServices &services, const QString &pageName,
                                   QWidget *parent)
    : CPage(services, parent)
{
    setObjectName(pageName);
    // No language key exists for this notice: it goes once every page is built.
    auto *notice = new QLabel(tr("%1: this page is not available yet.").arg(pageName), this);
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(notice);
}
