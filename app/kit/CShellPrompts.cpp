#include "kit/CShellPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

CWidgetPrompts::CWidgetPrompts(QWidget *parent)
    : m_parent(parent)
{
}

QWidget *CWidgetPrompts::owner() const
{
    QWidget *active = QApplication::activeWindow();
    return active ? active : m_parent;
}

bool CWidgetPrompts::confirm(const QString &caption, const QString &body)
{
    return QMessageBox::warning(
               owner(), caption, body, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok)
        == QMessageBox::Ok;
}

void CWidgetPrompts::inform(const QString &caption, const QString &body)
{
    QMessageBox::warning(owner(), caption, body, QMessageBox::Ok);
}

QString CWidgetPrompts::chooseFileToOpen(const QString &initialPath, const QString &filter)
{
    return QFileDialog::getOpenFileName(owner(), QString(), initialPath, filter);
}

QString CWidgetPrompts::chooseFileToSave(
    const QString &title, const QString &proposedPath, const QString &filter)
{
    return QFileDialog::getSaveFileName(owner(), title, proposedPath, filter);
}
