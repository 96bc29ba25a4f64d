#include "tags/CReadRate.h"

namespace {

constexpr std::chrono::seconds window{1};

} // namespace

void CReadRate::add(std::int64_t sightings, std::int64_t newTags)
{
    m_sightings += sightings;
    m_newTags += newTags;
}

CReadRate::Rates CReadRate::sample(Clock::time_point now)
{
    m_samples.push_back({now, m_sightings, m_newTags});
    // Keep the newest sample that is at least a window old as the base.
    while (m_samples.size() > 2 && m_samples[1].time <= now - window)
        m_samples.pop_front();
    const Sample &base = m_samples.front();
    const double seconds = std::chrono::duration<double>(now - base.time).count();
    if (seconds <= 0)
        return {};
    return {double(m_sightings - base.sightings) / seconds,
            double(m_newTags - base.newTags) / seconds};
}

void CReadRate::reset()
{
    m_sightings = 0;
    m_newTags = 0;
    m_samples.clear();
}
