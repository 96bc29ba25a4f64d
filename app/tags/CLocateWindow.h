#pragma once

#include "tags/CReadRate.h"
#include "tags/CTagListModel.h"

#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
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

    void follow(const tagrecord::Bytes &epc);
    const QString &epc() const { return m_epc; }
    // What is shown: the last RSSI seen (none before the first read) and the reads per second.
    std::optional<int> rssiShown() const { return m_lastRssi; }
    // The RSSI as shown: decimal with the list's hex beside it ("208 (D0)"), "--" for none.
    static QString rssiText(std::optional<int> rssi);
    QString rssiTextShown() const;
    double readsPerSecondShown() const { return m_readsPerSecond; }
    // The tick's pause at this RSSI: long when weak, short when strong.
    static std::chrono::milliseconds tickInterval(int rssi);
    bool isTicking() const { return m_tick.isActive(); }

private:
    void take(const std::vector<CTagListModel::Sighting> &sightings);
    void redraw();
    void retick();

    QString m_epc;
    QLabel *m_epcLabel = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_rssi = nullptr;
    QLabel *m_rateLabel = nullptr;
    QLabel *m_rateValue = nullptr;
    QCheckBox *m_audible = nullptr;
    QTimer m_redraw;
    QTimer m_tick;
    CReadRate m_rate;
    // The followed EPC's bytes, as sightings carry them.
    tagrecord::Bytes m_epcBytes;
    std::optional<int> m_lastRssi;
    double m_readsPerSecond = 0;
};
