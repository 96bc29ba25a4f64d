#include "tags/CTagChartWindow.h"

#include "kit/Accessible.h"
#include "kit/IMainWindowServices.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QItemSelectionModel>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace {

QChartView *viewOf(QChart *chart, QWidget *parent)
{
    auto *view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(chart->title());
    view->setMinimumSize(480, 200);
    return view;
}

// Seconds before now, the newest second at 0: the axis every chart of the window shares.
QValueAxis *addSecondsAxis(QChart *chart, const QString &title, int windowSeconds)
{
    auto *axis = new QValueAxis(chart);
    // Half a second beyond each end, so the bars of the first and last seconds show whole.
    axis->setRange(-windowSeconds + 0.5, 0.5);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(10);
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setTitleText(title);
    chart->addAxis(axis, Qt::AlignBottom);
    return axis;
}

void setUpperBound(QValueAxis *axis, double highest)
{
    axis->setRange(0, std::max(highest * 1.1, 1.0));
    axis->applyNiceNumbers();
}

} // namespace

CTagChartWindow::CTagChartWindow(
    IMainWindowServices &services, CTagListModel &model, QItemSelectionModel &selection)
    : QWidget(nullptr, Qt::Window)
    , m_services(services)
    , m_model(model)
{
    setObjectName(QStringLiteral("chartWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(services.text(Text::ChartButton));
    setAccessibleName(windowTitle());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(viewOf(buildSightingsChart(), this), 3);
    m_rssiChart = buildTagChart(Text::RssiChartTitle, m_rssiTime, m_rssiAxis);
    m_rssiAxis->setRange(0, 256);
    m_rssiAxis->setTickType(QValueAxis::TicksDynamic);
    m_rssiAxis->setTickAnchor(0);
    m_rssiAxis->setTickInterval(64);
    layout->addWidget(viewOf(m_rssiChart, this), 2);
    if (hasTemperature()) {
        m_temperatureChart
            = buildTagChart(Text::TemperatureChartTitle, m_temperatureTime, m_temperatureAxis);
        layout->addWidget(viewOf(m_temperatureChart, this), 2);
    }
    resize(640, hasTemperature() ? 720 : 560);

    m_redraw.setSingleShot(true);
    m_redraw.setInterval(redrawPeriod);
    connect(&m_redraw, &QTimer::timeout, this, &CTagChartWindow::redraw);
    connect(&model, &CTagListModel::sightingsAdded, this, &CTagChartWindow::take);
    connect(&model, &QAbstractItemModel::modelReset, this, &CTagChartWindow::reset);
    connect(&selection, &QItemSelectionModel::selectionChanged, this,
        [this](const QItemSelection &selected) { track(selected); });
    accessible::nameControls(this);
    m_clock.start();
    track(selection.selection());
    redraw();
}

bool CTagChartWindow::hasTemperature() const
{
    return m_model.kind() == CTagListModel::Kind::TemperatureInventory
        || m_model.kind() == CTagListModel::Kind::ActiveTemperature;
}

QChart *CTagChartWindow::buildSightingsChart()
{
    auto *chart = new QChart;
    chart->setTitle(m_services.text(Text::SightingsChartTitle));
    m_sightings = new QStackedBarSeries(chart);
    m_sightings->setBarWidth(1.0);
    chart->addSeries(m_sightings);
    m_distinct = new QLineSeries(chart);
    m_distinct->setName(m_services.text(Text::DistinctTagsSeries));
    chart->addSeries(m_distinct);

    // The bars stand on one category per second; a value axis beneath them names the
    // seconds (sixty category labels would not fit).
    auto *categories = new QBarCategoryAxis(chart);
    QStringList names;
    for (int position = 0; position < windowSeconds; ++position)
        names.append(QString::number(position));
    categories->setCategories(names);
    chart->addAxis(categories, Qt::AlignBottom);
    categories->setVisible(false);
    m_sightings->attachAxis(categories);
    m_sightingsTime = addSecondsAxis(chart, m_services.text(Text::SecondsAxis), windowSeconds);
    m_distinct->attachAxis(m_sightingsTime);
    m_sightingsAxis = new QValueAxis(chart);
    m_sightingsAxis->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(m_sightingsAxis, Qt::AlignLeft);
    m_sightings->attachAxis(m_sightingsAxis);
    m_distinctAxis = new QValueAxis(chart);
    m_distinctAxis->setLabelFormat(QStringLiteral("%d"));
    m_distinctAxis->setTitleText(m_distinct->name());
    chart->addAxis(m_distinctAxis, Qt::AlignRight);
    m_distinct->attachAxis(m_distinctAxis);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QChart *CTagChartWindow::buildTagChart(Text title, QValueAxis *&xAxis, QValueAxis *&yAxis)
{
    auto *chart = new QChart;
    chart->setTitle(m_services.text(title));
    xAxis = addSecondsAxis(chart, m_services.text(Text::SecondsAxis), windowSeconds);
    yAxis = new QValueAxis(chart);
    yAxis->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(yAxis, Qt::AlignLeft);
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

double CTagChartWindow::secondsNow() const
{
    return static_cast<double>(m_clock.elapsed()) / 1000.0;
}

void CTagChartWindow::take(const std::vector<CTagListModel::Sighting> &sightings)
{
    const std::int64_t second = m_clock.elapsed() / 1000;
    if (m_seconds.empty() || m_seconds.back().number != second)
        m_seconds.push_back(Second { second, {}, {} });
    Second &bin = m_seconds.back();
    for (const CTagListModel::Sighting &sighting : sightings) {
        ++bin.sightingsByAntenna[sighting.record.antenna];
        bin.tags.insert(sighting.tag);
    }
    if (m_trackedTags.size() < m_trackedEpcs.size())
        resolveTracked();
    if (!m_trackedTags.isEmpty())
        takeTagPoints(sightings, secondsNow());
    if (!m_redraw.isActive())
        m_redraw.start();
}

void CTagChartWindow::takeTagPoints(
    const std::vector<CTagListModel::Sighting> &sightings, double now)
{
    for (const CTagListModel::Sighting &sighting : sightings) {
        const auto tracked = m_trackedTags.constFind(sighting.tag);
        if (tracked == m_trackedTags.cend())
            continue;
        const TagLines &lines = m_lines[tracked.value()];
        m_points[lines.rssi].push_back(QPointF(now, sighting.record.rssi));
        if (lines.temperature && sighting.record.temperature)
            m_points[lines.temperature].push_back(
                QPointF(now, static_cast<double>(*sighting.record.temperature)));
    }
}

// Tracked EPCs the list did not show yet (or no longer, after a clear) find their tag.
void CTagChartWindow::resolveTracked()
{
    for (auto line = m_lines.cbegin(); line != m_lines.cend(); ++line) {
        const int tag = m_model.firstRowOf(line->epc);
        if (tag >= 0)
            m_trackedTags.insert(tag, line.key());
    }
}

void CTagChartWindow::track(const QItemSelection &selected)
{
    for (const QModelIndex &index : selected.indexes()) {
        const QString epc = m_model.cellText(index.row(), CTagListModel::Epc);
        if (index.column() != 0 || epc.isEmpty() || m_trackedEpcs.contains(epc))
            continue;
        if (m_trackedEpcs.size() == trackedCapacity) {
            const QString oldest = m_trackedEpcs.takeFirst();
            const TagLines lines = m_lines.take(oldest);
            for (QLineSeries *line : { lines.rssi, lines.temperature }) {
                if (!line)
                    continue;
                m_points.remove(line);
                line->chart()->removeSeries(line);
                delete line;
            }
            m_trackedTags.removeIf([&](const auto &entry) { return entry.value() == oldest; });
        }
        m_trackedEpcs.append(epc);
        TagLines lines;
        lines.epc = m_model.epcOf(index.row());
        lines.rssi = new QLineSeries(m_rssiChart);
        lines.rssi->setName(epc);
        m_rssiChart->addSeries(lines.rssi);
        lines.rssi->attachAxis(m_rssiTime);
        lines.rssi->attachAxis(m_rssiAxis);
        if (m_temperatureChart) {
            lines.temperature = new QLineSeries(m_temperatureChart);
            lines.temperature->setName(epc);
            m_temperatureChart->addSeries(lines.temperature);
            lines.temperature->attachAxis(m_temperatureTime);
            lines.temperature->attachAxis(m_temperatureAxis);
        }
        m_lines.insert(epc, lines);
        resolveTracked();
    }
}

void CTagChartWindow::reset()
{
    m_seconds.clear();
    m_trackedTags.clear();
    m_points.clear();
    for (const TagLines &lines : std::as_const(m_lines)) {
        for (QLineSeries *line : { lines.rssi, lines.temperature }) {
            if (line)
                line->clear();
        }
    }
    redraw();
}

void CTagChartWindow::redraw()
{
    ++m_redraws;
    const std::int64_t nowSecond = m_clock.elapsed() / 1000;
    while (!m_seconds.empty() && m_seconds.front().number <= nowSecond - windowSeconds)
        m_seconds.pop_front();
    redrawSightings(nowSecond);
    redrawTagLines(secondsNow());
}

QBarSet *CTagChartWindow::antennaSet(std::uint8_t antenna)
{
    QBarSet *&set = m_antennaSets[antenna];
    if (!set) {
        const QString number = QString::number(antenna, 16).toUpper().rightJustified(2, u'0');
        set = new QBarSet(
            m_services.text(Text::AntennaSeries).replace(QStringLiteral("%s"), number));
        m_sightings->append(set);
    }
    return set;
}

void CTagChartWindow::redrawSightings(std::int64_t nowSecond)
{
    std::map<std::uint8_t, QList<qreal>> values;
    QList<qreal> totals(windowSeconds, 0);
    QList<QPointF> distinct;
    for (int position = 0; position < windowSeconds; ++position)
        distinct.append(QPointF(position - windowSeconds + 1, 0));
    for (const Second &bin : m_seconds) {
        const auto position = static_cast<int>(bin.number - nowSecond) + windowSeconds - 1;
        for (const auto &[antenna, count] : bin.sightingsByAntenna) {
            QList<qreal> &series = values[antenna];
            series.resize(windowSeconds, 0);
            series[position] = count;
            totals[position] += count;
        }
        distinct[position].setY(static_cast<qreal>(bin.tags.size()));
    }
    for (auto &[antenna, set] : m_antennaSets)
        values[antenna].resize(windowSeconds, 0);
    for (const auto &[antenna, series] : values) {
        QBarSet *set = antennaSet(antenna);
        set->remove(0, set->count());
        set->append(series);
    }
    m_distinct->replace(distinct);
    setUpperBound(m_sightingsAxis, *std::max_element(totals.begin(), totals.end()));
    const auto highest = std::max_element(distinct.begin(), distinct.end(),
        [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
    setUpperBound(m_distinctAxis, highest->y());
}

void CTagChartWindow::redrawTagLines(double now)
{
    const double oldest = now - windowSeconds;
    double lowestTemperature = 0;
    double highestTemperature = 0;
    bool anyTemperature = false;
    for (const TagLines &lines : std::as_const(m_lines)) {
        for (QLineSeries *line : { lines.rssi, lines.temperature }) {
            if (!line)
                continue;
            std::deque<QPointF> &points = m_points[line];
            while (!points.empty() && points.front().x() < oldest)
                points.pop_front();
            // Drawn as seconds before now, as the sightings chart draws its bars.
            QList<QPointF> shown;
            shown.reserve(static_cast<qsizetype>(points.size()));
            for (const QPointF &point : points)
                shown.append(QPointF(point.x() - now, point.y()));
            line->replace(shown);
        }
        if (!lines.temperature)
            continue;
        for (const QPointF &point : m_points[lines.temperature]) {
            lowestTemperature = anyTemperature ? std::min(lowestTemperature, point.y()) : point.y();
            highestTemperature
                = anyTemperature ? std::max(highestTemperature, point.y()) : point.y();
            anyTemperature = true;
        }
    }
    if (m_temperatureAxis && anyTemperature) {
        m_temperatureAxis->setRange(lowestTemperature - 1, highestTemperature + 1);
        m_temperatureAxis->applyNiceNumbers();
    }
}

std::int64_t CTagChartWindow::sightingsShown(std::uint8_t antenna) const
{
    const auto found = m_antennaSets.find(antenna);
    if (found == m_antennaSets.end())
        return 0;
    std::int64_t sum = 0;
    for (int position = 0; position < found->second->count(); ++position)
        sum += static_cast<std::int64_t>(found->second->at(position));
    return sum;
}

QList<int> CTagChartWindow::distinctTagsShown() const
{
    QList<int> counts;
    for (const QPointF &point : m_distinct->points())
        counts.append(static_cast<int>(point.y()));
    return counts;
}

int CTagChartWindow::rssiPointCount(const QString &epc) const
{
    const auto found = m_lines.constFind(epc);
    return found == m_lines.cend() ? 0 : static_cast<int>(found->rssi->count());
}

QList<QPointF> CTagChartWindow::rssiPointsShown(const QString &epc) const
{
    const auto found = m_lines.constFind(epc);
    return found == m_lines.cend() ? QList<QPointF>() : found->rssi->points();
}

QList<QPointF> CTagChartWindow::temperaturePointsShown(const QString &epc) const
{
    const auto found = m_lines.constFind(epc);
    return found == m_lines.cend() || !found->temperature ? QList<QPointF>()
                                                          : found->temperature->points();
}

QList<QPointF> CTagChartWindow::timeAxisRanges() const
{
    QList<QPointF> ranges;
    for (const QValueAxis *axis : { m_sightingsTime, m_rssiTime, m_temperatureTime }) {
        if (axis)
            ranges.append(QPointF(axis->min(), axis->max()));
    }
    return ranges;
}

int CTagChartWindow::temperaturePointCount(const QString &epc) const
{
    const auto found = m_lines.constFind(epc);
    return found == m_lines.cend() || !found->temperature
        ? 0
        : static_cast<int>(found->temperature->count());
}
