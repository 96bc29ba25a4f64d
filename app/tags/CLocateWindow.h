#pragma once

#include "tags/CTagListModel.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

class IMainWindowServices;
class QCheckBox;
class QLabel;
class QProgressBar;

// Finding one tag: its RSSI as a large bar and number, its reads per second, and on request
// a tick whose rate rises with the RSSI. It listens to the page's list while open and never
// touches the page's inventory; it is deleted on close.
class CLocateWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds redrawPeriod { 100 };

    CLocateWindow(IMainWindowServices &services, CTagListModel &model);

    void follow(const QString &epc);
    const QString &epc() const { return m_epc; }
    // What is shown: the last RSSI seen (none before the first read) and the reads per second.
    std::optional<int> rssiShown() const;
    double readsPerSecondShown() const { return m_readsPerSecond; }
    // The tick's pause at this RSSI: long when weak, short when strong.
    static std::chrono::milliseconds tickInterval(int rssi);
    bool isTicking() const { return m_tick.isActive(); }

private:
    void take(const std::vector<CTagListModel::Sighting> &sightings);
    void redraw();
    void retick();

    CTagListModel &m_model;
    QString m_epc;
    QLabel *m_epcLabel = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_rssi = nullptr;
    QLabel *m_rateLabel = nullptr;
    QLabel *m_rate = nullptr;
    QCheckBox *m_audible = nullptr;
    QElapsedTimer m_clock;
    QTimer m_redraw;
    QTimer m_tick;
    // Times (ms on m_clock) of the reads of the last second.
    std::deque<std::int64_t> m_reads;
    std::optional<int> m_lastRssi;
    double m_readsPerSecond = 0;
};
