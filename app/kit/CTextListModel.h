#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

#include <deque>

// A list of text rows under fixed column titles: rows are appended in batches (one insertion
// per batch) and, with a capacity, only the newest rows are kept. Changes only on the
// user-interface thread.
class CTextListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    struct Column {
        QString title;
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    // capacity 0: every row is kept.
    explicit CTextListModel(QList<Column> columns, int capacity = 0, QObject *parent = nullptr);

    void setColumnTitles(const QStringList &titles);
    // Appends the rows in order (texts beyond the column count are dropped, missing ones are
    // empty), then drops the oldest rows beyond the capacity.
    void appendRows(const QList<QStringList> &rows);
    // As appendRows, but rows handed over during one pass of the event loop are inserted
    // together when it ends: a burst of small batches reaches views and assistive tools as one
    // insertion.
    void appendRowsThisTurn(const QList<QStringList> &rows);
    struct CellChange {
        int row = 0;
        int column = 0;
        QString text;
    };
    void setCellText(int row, int column, const QString &text);
    // Changes the cells and tells views once, for the rectangle that holds them all.
    void setCellTexts(const QList<CellChange> &changes);
    // Empty for a cell outside the list.
    QString cellText(int row, int column) const;
    void clear();
    int capacity() const { return m_capacity; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void dropOldest(int count);
    void appendWaitingRows();

    QList<Column> m_columns;
    int m_capacity;
    std::deque<QStringList> m_rows;
    QList<QStringList> m_waitingRows;
};
