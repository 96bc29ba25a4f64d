#include "tags/export/CTagExportButton.h"

#include <QPushButton>

CTagExportButton::CTagExportButton(QWidget *page, QPushButton *button,
    IMainWindowServices &services, const QAbstractItemModel &list)
    : QObject(button)
    , m_busy(page)
    , m_export(page, services, m_busy)
{
    m_busy.addControl(button);
    connect(button, &QPushButton::clicked, this, [this, &list] { m_export.run(list); });
}
