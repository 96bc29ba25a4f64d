#pragma once

#include <QList>
#include <QStringList>
#include <QTableWidget>

// A read-only list with column titles, per-column alignment, whole-row selection, grid lines
// and rows coloured by parity (alternate row colour of the palette or style sheet).
class CMyListCtrl : public QTableWidget
{
    Q_OBJECT

public:
    struct Column
    {
        QString title;
        int width = 100;
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    explicit CMyListCtrl(QWidget *parent = nullptr);

    // Replaces all columns (and removes every row).
    void setColumns(const QList<Column> &columns);
    // Adds a row at the end; texts beyond the column count are dropped, missing ones are empty.
    // Returns the new row's index.
    int appendRow(const QStringList &texts);
    void setCellText(int row, int column, const QString &text);
    // Empty for a cell outside the list.
    QString cellText(int row, int column) const;

private:
    QList<Qt::Alignment> m_alignments;
};
