#include "aggregator.h"

namespace gateway {

TagMessage Aggregator::emit(const Sighting &sighting, long count) {
    return {sighting.reader, tagJson(sighting, interval_.count() > 0 ? count : 0), 0};
}

std::vector<TagMessage> Aggregator::add(const std::vector<Sighting> &sightings,
                                        Clock::time_point now) {
    std::vector<TagMessage> messages;
    for (const Sighting &sighting : sightings) {
        if (interval_.count() == 0) {
            messages.push_back(emit(sighting, 0));
            continue;
        }
        const auto key = std::pair(sighting.reader, sighting.record.epc);
        const auto [found, inserted] = entries_.try_emplace(key, Entry{sighting, now, 0});
        Entry &entry = found->second;
        if (inserted || (entry.pending == 0 && now - entry.lastSent >= interval_)) {
            entry.lastSent = now;
            messages.push_back(emit(sighting, 1));
        } else {
            entry.latest = sighting;
            ++entry.pending;
        }
    }
    return messages;
}

std::vector<TagMessage> Aggregator::due(Clock::time_point now) {
    std::vector<TagMessage> messages;
    for (auto it = entries_.begin(); it != entries_.end();) {
        Entry &entry = it->second;
        if (now - entry.lastSent < interval_) {
            ++it;
        } else if (entry.pending > 0) {
            messages.push_back(emit(entry.latest, entry.pending));
            entry.pending = 0;
            entry.lastSent = now;
            ++it;
        } else {
            it = entries_.erase(it);  // the next sighting is a first one again
        }
    }
    return messages;
}

std::vector<TagMessage> Aggregator::flush() {
    std::vector<TagMessage> messages;
    for (auto &[key, entry] : entries_) {
        if (entry.pending > 0) messages.push_back(emit(entry.latest, entry.pending));
    }
    entries_.clear();
    return messages;
}

}  // namespace gateway
