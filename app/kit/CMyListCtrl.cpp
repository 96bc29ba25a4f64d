#include "kit/CMyListCtrl.h"

#include <QHeaderView>
#include <QScrollBar>

CMyListCtrl::CMyListCtrl(QWidget *parent)
    : QTableView(parent)
{
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(true);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    // Fixed row heights let the view lay out a hundred thousand rows without measuring them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

int CMyListCtrl::widthForColumns() const
{
    return viewport()->width() - verticalScrollBar()->sizeHint().width();
}

void CMyListCtrl::setColumnWidths(const QList<int> &widths)
{
    for (int column = 0; column < widths.size(); ++column)
        setColumnWidth(column, widths[column]);
}
