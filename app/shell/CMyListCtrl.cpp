#include "shell/CMyListCtrl.h"

#include <QHeaderView>

CMyListCtrl::CMyListCtrl(QWidget *parent)
    : QTableWidget(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(true);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

void CMyListCtrl::setColumns(const QList<Column> &columns)
{
    setRowCount(0);
    setColumnCount(static_cast<int>(columns.size()));
    m_alignments.clear();
    for (int column = 0; column < columns.size(); ++column) {
        auto *header = new QTableWidgetItem(columns[column].title);
        header->setTextAlignment(columns[column].alignment | Qt::AlignVCenter);
        setHorizontalHeaderItem(column, header);
        setColumnWidth(column, columns[column].width);
        m_alignments.append(columns[column].alignment);
    }
}

int CMyListCtrl::appendRow(const QStringList &texts)
{
    const int row = rowCount();
    insertRow(row);
    for (int column = 0; column < columnCount(); ++column)
        setCellText(row, column, column < texts.size() ? texts[column] : QString());
    return row;
}

void CMyListCtrl::setCellText(int row, int column, const QString &text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    auto *cell = new QTableWidgetItem(text);
    cell->setTextAlignment(m_alignments.value(column, Qt::AlignLeft) | Qt::AlignVCenter);
    setItem(row, column, cell);
}

QString CMyListCtrl::cellText(int row, int column) const
{
    const QTableWidgetItem *cell = item(row, column);
    return cell ? cell->text() : QString();
}
