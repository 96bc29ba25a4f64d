#pragma once

#include "tags/CTagListModel.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <vector>

class IMainWindowServices;
class QBarCategoryAxis;
class QBarSet;
class QChart;
class QItemSelection;
class QItemSelectionModel;
class QLineSeries;
class QStackedBarSeries;
class QValueAxis;

// A tag page's chart window, beside the page: sightings per second stacked by antenna and
// the distinct tags seen in each second over the last minute, the RSSI of the tags selected
// while it is open (the last eight) and, on the temperature pages, their temperatures. It
// learns from the list's batches and redraws at most ten times a second. It exists only
// while open (deleted on close), so a page without it does no chart work at all.
class CTagChartWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int windowSeconds = 60;
    static constexpr int trackedCapacity = 8;
    static constexpr std::chrono::milliseconds redrawPeriod { 100 };

    CTagChartWindow(
        IMainWindowServices &services, CTagListModel &model, QItemSelectionModel &selection);

    // What the charts show now: sightings of the antenna summed over the minute, the distinct
    // tags of each second, the EPCs of the tag lines, the points of one tag line.
    std::int64_t sightingsShown(std::uint8_t antenna) const;
    QList<int> distinctTagsShown() const;
    QStringList trackedEpcs() const { return m_trackedEpcs; }
    int rssiPointCount(const QString &epc) const;
    // The RSSI line of a tracked tag as drawn: (seconds before now, RSSI).
    QList<QPointF> rssiPointsShown(const QString &epc) const;
    QList<QPointF> temperaturePointsShown(const QString &epc) const;
    // The time axes' ranges, sightings chart first.
    QList<QPointF> timeAxisRanges() const;
    int temperaturePointCount(const QString &epc) const;
    int redrawCount() const { return m_redraws; }

private:
    struct Second {
        std::int64_t number = 0;
        std::map<std::uint8_t, int> sightingsByAntenna;
        std::set<int> tags;
    };
    struct TagLines {
        tagrecord::Bytes epc;
        QLineSeries *rssi = nullptr;
        QLineSeries *temperature = nullptr;
    };

    QChart *buildSightingsChart();
    QChart *buildTagChart(Text title, QValueAxis *&xAxis, QValueAxis *&yAxis);
    void take(const std::vector<CTagListModel::Sighting> &sightings);
    void takeTagPoints(const std::vector<CTagListModel::Sighting> &sightings, double now);
    void track(const QItemSelection &selected);
    void resolveTracked();
    void reset();
    void redraw();
    void redrawSightings(std::int64_t nowSecond);
    void redrawTagLines(double now);
    QBarSet *antennaSet(std::uint8_t antenna);
    double secondsNow() const;
    bool hasTemperature() const;

    IMainWindowServices &m_services;
    CTagListModel &m_model;
    QElapsedTimer m_clock;
    QTimer m_redraw;
    int m_redraws = 0;
    std::deque<Second> m_seconds;
    QStackedBarSeries *m_sightings = nullptr;
    std::map<std::uint8_t, QBarSet *> m_antennaSets;
    QLineSeries *m_distinct = nullptr;
    QValueAxis *m_sightingsTime = nullptr;
    QValueAxis *m_sightingsAxis = nullptr;
    QValueAxis *m_distinctAxis = nullptr;
    QChart *m_rssiChart = nullptr;
    QValueAxis *m_rssiTime = nullptr;
    QValueAxis *m_rssiAxis = nullptr;
    QChart *m_temperatureChart = nullptr;
    QValueAxis *m_temperatureTime = nullptr;
    QValueAxis *m_temperatureAxis = nullptr;
    // Tag lines in the order the tags were selected, and the tags (first rows) of those
    // EPCs the list shows now.
    QStringList m_trackedEpcs;
    QHash<QString, TagLines> m_lines;
    QHash<int, QString> m_trackedTags;
    // Each tag line's points of the last minute, at seconds since the window opened.
    QHash<QLineSeries *, std::deque<QPointF>> m_points;
};
