#include "tags/CTagListModel.h"

#include "gs1_epc.h"
#include "hex_text.h"

#include <QColor>
#include <QMetaMethod>

#include <algorithm>

namespace {

const QColor evenRowColour(191, 239, 255);
const QColor oddRowColour(Qt::white);
const QString timeFormat = QStringLiteral("HH:mm:ss");
constexpr int plainColumns = 7;
constexpr int temperatureColumns = 8;
// Narrow lists still show every column.
constexpr int narrowestColumn = 24;

QString twoHexDigits(unsigned value)
{
    return QString::number(value, 16).toUpper().rightJustified(2, u'0');
}

QString epcText(const tagrecord::Bytes &epc)
{
    return QString::fromStdString(hextext::compact(epc));
}

// "%fC" (23.500000C), empty without a reading.
QString temperatureText(const std::optional<float> &celsius)
{
    return celsius ? QString::asprintf("%fC", static_cast<double>(*celsius)) : QString();
}

// Decoded when shown rather than stored: only the rows in view ask.
QString gs1UriOf(const tagrecord::Bytes &epc)
{
    const std::optional<gs1::Identity> identity = gs1::decode(epc);
    return identity ? QString::fromStdString(identity->uri) : QString();
}

// The index key of an EPC, borrowing the bytes for lookups.
QByteArray borrowedKey(const tagrecord::Bytes &epc)
{
    return QByteArray::fromRawData(
        reinterpret_cast<const char *>(epc.data()), static_cast<qsizetype>(epc.size()));
}

QByteArray ownKey(const tagrecord::Bytes &epc)
{
    return QByteArray(
        reinterpret_cast<const char *>(epc.data()), static_cast<qsizetype>(epc.size()));
}

} // namespace

CTagListModel::CTagListModel(Kind kind, QObject *parent)
    : QAbstractTableModel(parent)
    , m_kind(kind)
{
    if (isActive())
        m_rows.reserve(activeCapacity);
}

bool CTagListModel::isActive() const
{
    return m_kind == Kind::ActiveRead || m_kind == Kind::ActiveTemperature;
}

bool CTagListModel::hasTemperatureColumn() const
{
    return m_kind == Kind::TemperatureInventory || m_kind == Kind::ActiveTemperature;
}

const tagrecord::RecordRules &CTagListModel::rules() const
{
    switch (m_kind) {
    case Kind::AnswerMode:
        return tagrecord::plainRules;
    case Kind::TemperatureInventory:
        return tagrecord::temperatureRules;
    case Kind::ActiveRead:
    case Kind::ActiveTemperature:
        break;
    }
    return tagrecord::activeRules;
}

QStringList CTagListModel::columnTitles(const std::function<QString(Text)> &text)
{
    QStringList titles;
    for (const Text title : leadingTitleTexts)
        titles.append(text(title));
    titles.append(QStringLiteral("RSSI"));
    titles.append(text(Text::TemperatureColumn));
    titles.append(text(Text::Gs1Column));
    return titles;
}

void CTagListModel::setColumnTitles(const QStringList &titles)
{
    m_titles = titles.mid(0, fixedColumnCount());
    m_gs1Title = titles.size() > Temperature + 1 ? titles.last() : QString();
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int CTagListModel::fixedColumnCount() const
{
    return hasTemperatureColumn() ? temperatureColumns : plainColumns;
}

void CTagListModel::setGs1Shown(bool shown)
{
    if (shown == m_gs1Shown)
        return;
    const int column = gs1Column();
    if (shown) {
        beginInsertColumns(QModelIndex(), column, column);
        m_gs1Shown = true;
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), column, column);
        m_gs1Shown = false;
        endRemoveColumns();
    }
}

bool CTagListModel::isWatched() const
{
    static const QMetaMethod watched = QMetaMethod::fromSignal(&CTagListModel::sightingsAdded);
    return isSignalConnected(watched);
}

QList<int> CTagListModel::columnWidths(Kind kind, int listWidth)
{
    QList<int> widths;
    if (kind == Kind::AnswerMode || kind == Kind::ActiveRead) {
        const int u = listWidth / plainColumns;
        widths = { u - 30, u, u + 120, u - 30, u - 30, u - 30, u };
    } else {
        const int u = listWidth / temperatureColumns;
        const int epc = kind == Kind::TemperatureInventory ? u + 100 : u + 120;
        widths = { u - 30, u, epc, u - 30, u - 30, u - 30, u - 30, u + 30 };
    }
    for (int &width : widths)
        width = std::max(width, narrowestColumn);
    return widths;
}

void CTagListModel::setMerging(bool merging)
{
    m_merging = merging;
}

CTagListModel::Row CTagListModel::rowOf(const tagrecord::TagRecord &record, const QTime &time)
{
    Row row;
    row.time = time;
    row.epc = record.epc;
    row.antenna = record.antenna;
    row.rssi = record.rssi;
    row.temperature = record.temperature;
    return row;
}

void CTagListModel::merge(Row &row, const Row &sighting) const
{
    ++row.count;
    row.time = sighting.time;
    row.antenna = sighting.antenna;
    row.rssi = sighting.rssi;
    // The temperature inventory keeps the last valid reading; the active pages show the
    // latest report as it is.
    if (isActive() || sighting.temperature)
        row.temperature = sighting.temperature;
}

CTagListModel::BatchResult CTagListModel::addRecords(
    const std::vector<tagrecord::Bytes> &bodies, const QTime &time)
{
    BatchResult result;
    m_reportCount += static_cast<std::int64_t>(bodies.size());
    const bool merges = m_merging || isActive();
    const bool watched = isWatched();
    std::vector<Sighting> sightings;
    std::vector<Row> fresh;
    int firstChanged = rowCount();
    int lastChanged = -1;
    for (const tagrecord::Bytes &body : bodies) {
        std::optional<tagrecord::TagRecord> record = tagrecord::decode(body, rules());
        if (!record)
            continue;
        Row sighting = rowOf(*record, time);
        const auto found
            = merges ? m_firstRowOf.constFind(borrowedKey(sighting.epc)) : m_firstRowOf.cend();
        if (found != m_firstRowOf.cend()) {
            const auto row = static_cast<std::size_t>(found.value());
            if (row < m_rows.size()) {
                merge(m_rows[row], sighting);
                firstChanged = std::min(firstChanged, found.value());
                lastChanged = std::max(lastChanged, found.value());
            } else {
                merge(fresh[row - m_rows.size()], sighting);
            }
            if (watched)
                sightings.push_back({ found.value(), found.value(), std::move(*record) });
            ++result.sightings;
            continue;
        }
        // A full active table grows: no tag is dropped.
        const int row = static_cast<int>(m_rows.size() + fresh.size());
        sighting.number = row + 1;
        auto first = m_firstRowOf.find(borrowedKey(sighting.epc));
        if (first == m_firstRowOf.end())
            first = m_firstRowOf.insert(ownKey(sighting.epc), row);
        if (watched)
            sightings.push_back({ row, first.value(), std::move(*record) });
        fresh.push_back(std::move(sighting));
        ++result.sightings;
    }
    if (lastChanged >= 0)
        emit dataChanged(index(firstChanged, Time), index(lastChanged, columnCount() - 1));
    if (!fresh.empty()) {
        const int first = rowCount();
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.size()) - 1);
        std::move(fresh.begin(), fresh.end(), std::back_inserter(m_rows));
        endInsertRows();
        result.newRows = static_cast<int>(fresh.size());
        result.lastNewRow = rowCount() - 1;
    }
    if (!sightings.empty())
        emit sightingsAdded(sightings);
    return result;
}

void CTagListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_firstRowOf.clear();
    m_reportCount = 0;
    endResetModel();
}

QString CTagListModel::cellText(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    const Row &cells = m_rows[static_cast<std::size_t>(row)];
    switch (column) {
    case Number:
        return QString::number(cells.number).rightJustified(3, u'0');
    case Time:
        return cells.time.toString(timeFormat);
    case Epc:
        return epcText(cells.epc);
    case Length:
        return twoHexDigits(static_cast<unsigned>(cells.epc.size()));
    case Antenna:
        return twoHexDigits(cells.antenna);
    case Count:
        return QString::number(cells.count);
    case Rssi:
        return twoHexDigits(cells.rssi);
    case Temperature:
        if (hasTemperatureColumn())
            return temperatureText(cells.temperature);
        break;
    default:
        break;
    }
    return gs1UriOf(cells.epc);
}

const tagrecord::Bytes &CTagListModel::epcOf(int row) const
{
    static const tagrecord::Bytes none;
    return row >= 0 && row < rowCount() ? m_rows[static_cast<std::size_t>(row)].epc : none;
}

int CTagListModel::firstRowOf(const tagrecord::Bytes &epc) const
{
    return m_firstRowOf.value(borrowedKey(epc), -1);
}

int CTagListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CTagListModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return fixedColumnCount() + (m_gs1Shown ? 1 : 0);
}

QVariant CTagListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::BackgroundRole:
        return index.row() % 2 == 0 ? evenRowColour : oddRowColour;
    case Qt::ForegroundRole:
        return QColor(Qt::black);
    default:
        return {};
    }
}

QVariant CTagListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= columnCount())
        return {};
    return section == gs1Column() ? m_gs1Title : m_titles.value(section);
}
