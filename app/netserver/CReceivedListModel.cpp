#include "CReceivedListModel.h"

#include "kit/CMyFunc.h"

#include <arpa/inet.h>

#include <algorithm>

namespace netlist {

QString rowNumber(qint64 number)
{
    return QString::asprintf("%.3lld", static_cast<long long>(number));
}

QString timeText(QTime time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString addressText(std::uint32_t peer)
{
    in_addr address {};
    address.s_addr = peer;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

QString socketText(std::int32_t connection)
{
    return QString::asprintf("%d ", connection);
}

} // namespace netlist

namespace {

const Qt::Alignment columnAlignments[]
    = { Qt::AlignCenter, Qt::AlignCenter, Qt::AlignLeft, Qt::AlignLeft };

} // namespace

CReceivedListModel::CReceivedListModel(int maxRows, qint64 maxBytes, QObject *parent)
    : QAbstractTableModel(parent)
    , m_maxRows(std::max(1, maxRows))
    , m_maxBytes(maxBytes)
    , m_titles { QStringLiteral("   "), QString(), QString(), QString() }
{
}

void CReceivedListModel::setColumnTitles(
    const QString &time, const QString &source, const QString &bytes)
{
    m_titles = { m_titles.front(), time, source, bytes };
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void CReceivedListModel::append(QList<Block> blocks, Form form, QTime time)
{
    if (blocks.isEmpty())
        return;
    // Blocks that would go at once are never inserted; they still take their numbers.
    const qsizetype first = firstKept(blocks);
    const int incoming = static_cast<int>(blocks.size() - first);
    qint64 incomingBytes = 0;
    for (qsizetype index = first; index < blocks.size(); ++index)
        incomingBytes += blocks[index].bytes.size();
    dropOldestFor(incoming, incomingBytes);

    const int start = rowCount();
    beginInsertRows(QModelIndex(), start, start + incoming - 1);
    for (qsizetype index = first; index < blocks.size(); ++index) {
        Block &block = blocks[index];
        m_rows.push_back({ m_appended + index + 1, time, form, block.peer, block.connection,
            std::move(block.bytes) });
    }
    m_bytes += incomingBytes;
    m_appended += blocks.size();
    endInsertRows();
}

void CReceivedListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_bytes = 0;
    m_appended = 0;
    endResetModel();
}

int CReceivedListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CReceivedListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CReceivedListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return cellText(m_rows[static_cast<std::size_t>(index.row())], index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columnAlignments[index.column()] | Qt::AlignVCenter);
    return {};
}

QVariant CReceivedListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return m_titles[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columnAlignments[section] | Qt::AlignVCenter);
    return {};
}

// The newest blocks that fit the bounds together; the newest one always fits.
qsizetype CReceivedListModel::firstKept(const QList<Block> &blocks) const
{
    qsizetype first = blocks.size() - 1;
    qint64 bytes = blocks.back().bytes.size();
    while (first > 0 && blocks.size() - first < m_maxRows
        && bytes + blocks[first - 1].bytes.size() <= m_maxBytes) {
        --first;
        bytes += blocks[first].bytes.size();
    }
    return first;
}

// Makes room for rows and bytes about to come, which fit the bounds by themselves.
void CReceivedListModel::dropOldestFor(int rows, qint64 bytes)
{
    int count = 0;
    qint64 dropped = 0;
    while (count < rowCount()
        && (rowCount() - count + rows > m_maxRows || m_bytes - dropped + bytes > m_maxBytes)) {
        dropped += m_rows[static_cast<std::size_t>(count)].bytes.size();
        ++count;
    }
    if (count == 0)
        return;
    beginRemoveRows(QModelIndex(), 0, count - 1);
    m_rows.erase(m_rows.begin(), m_rows.begin() + count);
    m_bytes -= dropped;
    endRemoveRows();
}

QString CReceivedListModel::cellText(const Row &row, int column)
{
    switch (column) {
    case NumberColumn:
        return netlist::rowNumber(row.number);
    case TimeColumn:
        return netlist::timeText(row.time);
    case SourceColumn:
        return netlist::addressText(row.peer) + u':' + netlist::socketText(row.connection);
    default:
        return bytesText(row.bytes, row.form);
    }
}

QString CReceivedListModel::bytesText(const QByteArray &bytes, Form form)
{
    if (form == Form::Hex)
        return CMyFunc::bytesToSpacedHex(bytes);
    // The bytes as narrow text: up to the first zero, invalid sequences replaced.
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromUtf8(end < 0 ? bytes : bytes.left(end));
}
