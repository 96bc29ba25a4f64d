#pragma once

#include <QLabel>
#include <QTimer>

#include <chrono>
#include <deque>

// Sightings and new tags per second over the last second, from the batches a list took.
class CReadRate {
public:
    using Clock = std::chrono::steady_clock;
    struct Rates {
        double sightings = 0;
        double newTags = 0;
    };

    void add(Clock::time_point when, int sightings, int newTags);
    Rates rates(Clock::time_point now);
    void reset() { m_batches.clear(); }

private:
    struct Batch {
        Clock::time_point when;
        int sightings;
        int newTags;
    };
    std::deque<Batch> m_batches;
};

// The read rate beside a tag list's count field, "12.3/s +0.5/s" (sightings, new tags),
// refreshed a few times a second while the page's reading runs.
class CReadRateLabel : public QLabel {
    Q_OBJECT

public:
    explicit CReadRateLabel(QWidget *parent = nullptr);

    static QString textOf(const CReadRate::Rates &rates);
    // What the two figures are: the tool tip and the accessible description.
    void setExplanation(const QString &explanation);

    void add(int sightings, int newTags);
    void setRunning(bool running);

private:
    void refresh();

    CReadRate m_rate;
    QTimer m_refresh;
};
