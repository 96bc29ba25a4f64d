#pragma once

#include <QList>
#include <QTableView>

// The view of every list of the program: read-only, whole-row selection, grid lines, rows
// coloured by parity (alternate row colour of the palette or style sheet), no row numbers at
// the side. Titles and alignments come from the model.
class CMyListCtrl : public QTableView {
    Q_OBJECT

public:
    explicit CMyListCtrl(QWidget *parent = nullptr);

    // Widths of the first columns, in order.
    void setColumnWidths(const QList<int> &widths);
    // The width the columns may share: the room a vertical scroll bar will take is left free,
    // so a list that fills up never needs a horizontal one.
    int widthForColumns() const;
};
