#include "kit/CShellPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

CWidgetPrompts::CWidgetPrompts(QWidget *parent)
    : m_parent(parent)
{
}

bool CWidgetPrompts::confirm(const QString &caption, const QString &body)
{
    return QMessageBox::warning(
               m_parent, caption, body, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
        == QMessageBox::Ok;
}

void CWidgetPrompts::inform(const QString &caption, const QString &body)
{
    QMessageBox::warning(m_parent, caption, body, QMessageBox::Ok);
}

QString CWidgetPrompts::chooseFileToOpen(const QString &initialPath, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, QString(), initialPath, filter);
}

QString CWidgetPrompts::chooseFileToSave(
    const QString &title, const QString &proposedPath, const QString &filter)
{
    return QFileDialog::getSaveFileName(m_parent, title, proposedPath, filter);
}
