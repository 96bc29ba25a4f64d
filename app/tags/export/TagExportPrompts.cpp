#include "tags/export/TagExportPrompts.h"

#include "kit/CShellPrompts.h"

#include <QFileDialog>

CWidgetExportPrompts::CWidgetExportPrompts(QWidget *parent)
    : m_parent(parent)
{
}

std::optional<ITagExportPrompts::Choice> CWidgetExportPrompts::chooseFile(
    const QString &title, const QString &initialPath, const QStringList &filters)
{
    QFileDialog dialog(m_parent, title, initialPath);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // An open chooser that also takes a new name.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.selectFile(initialPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Choice { dialog.selectedFiles().constFirst(),
        std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter()))) };
}

bool CWidgetExportPrompts::confirm(const QString &caption, const QString &body)
{
    return CWidgetPrompts(m_parent).confirm(caption, body);
}

void CWidgetExportPrompts::showFailure(const QString &caption, const QString &body)
{
    CWidgetPrompts(m_parent).inform(caption, body);
}
