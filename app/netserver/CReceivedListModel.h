#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTime>

#include <cstdint>
#include <deque>

// The texts the network test page's lists show for a server event.
namespace netlist {

QString rowNumber(qint64 number);
QString timeText(QTime time);
// The peer's IPv4 address (network byte order) in dotted form.
QString addressText(std::uint32_t peer);
// The connection number followed by one space.
QString socketText(std::int32_t connection);

} // namespace netlist

// The network test page's data list: every block of bytes a peer sent, kept as the bytes
// themselves and turned into hex or text only when a view asks for the row, in the form the
// page chose when the block came. Only the newest rows stay: at most a number of rows and a
// number of received bytes, whichever bound comes first (the newest row always stays). Rows
// are numbered on from the first block since the last clear, so the numbers tell how many came.
// Changes only on the user-interface thread.
class CReceivedListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum class Form { Hex, Text };
    struct Block {
        std::uint32_t peer = 0; // IPv4, network byte order
        std::int32_t connection = 0;
        QByteArray bytes;
    };
    enum Column { NumberColumn, TimeColumn, SourceColumn, BytesColumn, ColumnCount };

    CReceivedListModel(int maxRows, qint64 maxBytes, QObject *parent = nullptr);

    // Titles of the time, source and bytes columns; the first column has none.
    void setColumnTitles(const QString &time, const QString &source, const QString &bytes);
    // One insertion for the whole batch, then the oldest rows beyond the bounds go.
    void append(QList<Block> blocks, Form form, QTime time);
    void clear();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        qint64 number = 0;
        QTime time;
        Form form = Form::Hex;
        std::uint32_t peer = 0;
        std::int32_t connection = 0;
        QByteArray bytes;
    };

    qsizetype firstKept(const QList<Block> &blocks) const;
    void dropOldestFor(int rows, qint64 bytes);
    static QString cellText(const Row &row, int column);
    static QString bytesText(const QByteArray &bytes, Form form);

    const int m_maxRows;
    const qint64 m_maxBytes;
    QStringList m_titles;
    std::deque<Row> m_rows;
    qint64 m_bytes = 0;
    qint64 m_appended = 0;
};
