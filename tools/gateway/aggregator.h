// --report-interval: per reader and EPC the first sighting goes out at once; later ones are
// counted and go out at most once per interval as one message carrying the count. Not
// thread-safe: the hub serialises it.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "message.h"

namespace gateway {

class Aggregator {
  public:
    // A zero interval passes every sighting through as its own message.
    explicit Aggregator(std::chrono::milliseconds interval) : interval_(interval) {}

    // The messages these sightings produce now.
    std::vector<TagMessage> add(const std::vector<Sighting> &sightings, Clock::time_point now);
    // Pending counts whose interval has ended by `now`; idle entries are forgotten.
    std::vector<TagMessage> due(Clock::time_point now);
    // Every pending count, whatever its interval (shutting down).
    std::vector<TagMessage> flush();

  private:
    struct Entry {
        Sighting latest;
        Clock::time_point lastSent;
        long pending = 0;
    };
    TagMessage emit(const Sighting &sighting, long count);

    std::chrono::milliseconds interval_;
    std::map<std::pair<std::string, tagrecord::Bytes>, Entry> entries_;
};

}  // namespace gateway
