#include "kit/CTextListModel.h"

#include <algorithm>
#include <utility>

CTextListModel::CTextListModel(QList<Column> columns, int capacity, QObject *parent)
    : QAbstractTableModel(parent)
    , m_columns(std::move(columns))
    , m_capacity(capacity)
{
}

void CTextListModel::setColumnTitles(const QStringList &titles)
{
    for (int column = 0; column < std::min<int>(titles.size(), m_columns.size()); ++column)
        m_columns[column].title = titles[column];
    emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_columns.size()) - 1);
}

void CTextListModel::appendRows(const QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    // Rows that would be dropped at once are never inserted.
    qsizetype first = 0;
    if (m_capacity > 0 && rows.size() > m_capacity)
        first = rows.size() - m_capacity;
    const int incoming = static_cast<int>(rows.size() - first);
    if (m_capacity > 0) {
        const int excess = rowCount() + incoming - m_capacity;
        if (excess > 0)
            dropOldest(excess);
    }
    const int start = rowCount();
    beginInsertRows(QModelIndex(), start, start + incoming - 1);
    for (qsizetype index = first; index < rows.size(); ++index) {
        QStringList row = rows[index].mid(0, m_columns.size());
        while (row.size() < m_columns.size())
            row.append(QString());
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
}

void CTextListModel::appendRowsThisTurn(const QList<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    // A call queued now runs after everything already waiting in this pass.
    if (m_waitingRows.isEmpty())
        QMetaObject::invokeMethod(this, &CTextListModel::appendWaitingRows, Qt::QueuedConnection);
    m_waitingRows.append(rows);
}

void CTextListModel::appendWaitingRows()
{
    const QList<QStringList> rows = std::exchange(m_waitingRows, {});
    appendRows(rows);
}

void CTextListModel::setCellText(int row, int column, const QString &text)
{
    setCellTexts({ { row, column, text } });
}

void CTextListModel::setCellTexts(const QList<CellChange> &changes)
{
    int top = rowCount();
    int bottom = -1;
    int left = columnCount();
    int right = -1;
    for (const CellChange &change : changes) {
        if (change.row < 0 || change.row >= rowCount() || change.column < 0
            || change.column >= columnCount())
            continue;
        m_rows[static_cast<std::size_t>(change.row)][change.column] = change.text;
        top = std::min(top, change.row);
        bottom = std::max(bottom, change.row);
        left = std::min(left, change.column);
        right = std::max(right, change.column);
    }
    if (bottom >= 0)
        emit dataChanged(index(top, left), index(bottom, right), { Qt::DisplayRole });
}

QString CTextListModel::cellText(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return m_rows[static_cast<std::size_t>(row)][column];
}

void CTextListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_waitingRows.clear();
    endResetModel();
}

int CTextListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CTextListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CTextListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_rows[static_cast<std::size_t>(index.row())][index.column()];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[index.column()].alignment | Qt::AlignVCenter);
    return {};
}

QVariant CTextListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[section].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[section].alignment | Qt::AlignVCenter);
    return {};
}

void CTextListModel::dropOldest(int count)
{
    count = std::min(count, rowCount());
    if (count <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, count - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + count);
    endRemoveRows();
}
