#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

// Sightings and new tags per second over the last second, for the rate beside a tag page's
// count fields. The page adds what each batch brought and samples a few times a second.
class CReadRate
{
public:
    using Clock = std::chrono::steady_clock;

    struct Rates
    {
        double sightings = 0;
        double newTags = 0;
    };

    void add(std::int64_t sightings, std::int64_t newTags);
    Rates sample(Clock::time_point now);
    void reset();

private:
    struct Sample
    {
        Clock::time_point time;
        std::int64_t sightings;
        std::int64_t newTags;
    };

    std::int64_t m_sightings = 0;
    std::int64_t m_newTags = 0;
    std::deque<Sample> m_samples;
};
