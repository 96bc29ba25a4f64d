#include "tags/CReadRate.h"

namespace {

constexpr std::chrono::seconds window { 1 };
constexpr std::chrono::milliseconds refreshPeriod { 250 };

} // namespace

void CReadRate::add(Clock::time_point when, int sightings, int newTags)
{
    m_batches.push_back({ when, sightings, newTags });
}

CReadRate::Rates CReadRate::rates(Clock::time_point now)
{
    while (!m_batches.empty() && now - m_batches.front().when > window)
        m_batches.pop_front();
    Rates rates;
    for (const Batch &batch : m_batches) {
        rates.sightings += batch.sightings;
        rates.newTags += batch.newTags;
    }
    return rates;
}

CReadRateLabel::CReadRateLabel(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("readRate"));
    setText(textOf({}));
    m_refresh.setInterval(refreshPeriod);
    connect(&m_refresh, &QTimer::timeout, this, &CReadRateLabel::refresh);
}

QString CReadRateLabel::textOf(const CReadRate::Rates &rates)
{
    return QStringLiteral("%1/s +%2/s")
        .arg(rates.sightings, 0, 'f', 1)
        .arg(rates.newTags, 0, 'f', 1);
}

void CReadRateLabel::setExplanation(const QString &explanation)
{
    // A screen reader speaks the figures (the label's text is its name) and then says what
    // they are; a pointer resting on them shows it.
    setAccessibleDescription(explanation);
    setToolTip(explanation);
}

void CReadRateLabel::add(int sightings, int newTags)
{
    m_rate.add(CReadRate::Clock::now(), sightings, newTags);
}

void CReadRateLabel::setRunning(bool running)
{
    m_rate.reset();
    if (running)
        m_refresh.start();
    else
        m_refresh.stop();
    refresh();
}

void CReadRateLabel::refresh()
{
    setText(textOf(m_rate.rates(CReadRate::Clock::now())));
}
