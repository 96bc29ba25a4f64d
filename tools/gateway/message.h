// What the gateway sends: one tag message per sighting (or per aggregated run of sightings),
// reader and gateway statuses and statistics, all as versioned JSON text.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tag_record.h"
#include "tag_text.h"

namespace gateway {

using Clock = std::chrono::system_clock;

using tagtext::Sighting;

struct TagMessage {
    std::string reader;  // for the topic
    std::string json;
    std::uint64_t sequence = 0;  // order of arrival, kept by the queues
};

struct Stats {
    std::uint64_t readers = 0;  // readers online now
    std::uint64_t reports = 0;
    std::uint64_t published = 0;
    std::uint64_t dropped = 0;
    std::uint64_t queued = 0;
    std::uint64_t ignored = 0;  // frames that were not reports
};

// count 0: a single sighting, written without "count".
std::string tagJson(const Sighting &sighting, long count);
// Up to --mqtt-batch sightings of one reader in one message: {"v":1,"reader":…,"tags":[…]},
// each of `tags` a message of tagJson.
std::string batchJson(const std::string &reader, std::span<const std::string_view> tags);
// A reader's status names the gateway watching it (`gateway`); the gateway's own has none.
std::string statusJson(bool online, Clock::time_point since, const std::string &gateway = {});
std::string statsJson(const Stats &stats);

}  // namespace gateway
