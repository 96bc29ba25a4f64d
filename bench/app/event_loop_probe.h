// Measuring helpers of the program's benchmarks: how long the user-interface thread stalls
// and how much memory the process holds.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <vector>

// A 5 ms timer on the event loop; its lateness is the time the loop could not run.
class CEventLoopProbe {
  public:
    static constexpr double periodMs = 5.0;

    CEventLoopProbe() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_lateness.push_back(
                std::max(0.0, double(m_sinceTick.nsecsElapsed()) / 1e6 - periodMs));
            m_sinceTick.restart();
        });
    }

    void start() {
        m_sinceTick.start();
        m_timer.start(int(periodMs));
    }
    void stop() { m_timer.stop(); }

    // Lateness in milliseconds at the given share (0.5: median, 1: the worst).
    double stallMs(double share) const {
        if (m_lateness.empty()) return 0;
        std::vector<double> sorted = m_lateness;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, std::size_t(share * double(sorted.size())))];
    }

  private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    std::vector<double> m_lateness;
};

// A "Vm...:" field of /proc/self/status in KiB, -1 when it cannot be read.
inline long statusKilobytes(const QByteArray &field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

inline long residentKilobytes() {
    return statusKilobytes("VmRSS:");
}

// The most the process has held resident so far.
inline long peakResidentKilobytes() {
    return statusKilobytes("VmHWM:");
}
