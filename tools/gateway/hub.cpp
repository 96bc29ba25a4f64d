#include "hub.h"

namespace gateway {

Hub::Hub(std::vector<std::unique_ptr<Output>> outputs, std::chrono::milliseconds reportInterval)
    : outputs_(std::move(outputs)), aggregator_(reportInterval) {}

void Hub::sendAll(std::vector<TagMessage> messages) {
    for (TagMessage &message : messages) {
        message.sequence = ++sequence_;
        for (std::size_t i = 0; i < outputs_.size(); ++i) {
            outputs_[i]->send(i + 1 < outputs_.size() ? message : std::move(message));
        }
    }
}

void Hub::report(const std::vector<Sighting> &sightings) {
    ++reports_;
    const std::lock_guard lock(mutex_);
    sendAll(aggregator_.add(sightings, Clock::now()));
}

void Hub::setStatus(const std::string &reader, bool online) {
    const std::string json = statusJson(online, Clock::now());
    for (const auto &output : outputs_) output->readerStatus(reader, json);
}

void Hub::readerUp(const std::string &reader) {
    const std::lock_guard lock(mutex_);
    if (++sourcesOfReader_[reader] == 1) setStatus(reader, true);
}

void Hub::readerDown(const std::string &reader) {
    const std::lock_guard lock(mutex_);
    const auto found = sourcesOfReader_.find(reader);
    if (found == sourcesOfReader_.end()) return;
    if (--found->second == 0) {
        sourcesOfReader_.erase(found);
        setStatus(reader, false);
    }
}

void Hub::tick() {
    const std::lock_guard lock(mutex_);
    sendAll(aggregator_.due(Clock::now()));
}

void Hub::publishStats() {
    Stats stats;
    {
        const std::lock_guard lock(mutex_);
        stats.readers = sourcesOfReader_.size();
    }
    stats.reports = reports_;
    stats.ignored = ignored_;
    for (const auto &output : outputs_) output->stats(stats);
}

void Hub::finish(std::chrono::steady_clock::time_point deadline) {
    {
        const std::lock_guard lock(mutex_);
        sendAll(aggregator_.flush());
        for (const auto &[reader, sources] : sourcesOfReader_) setStatus(reader, false);
        sourcesOfReader_.clear();
    }
    publishStats();
    for (const auto &output : outputs_) output->finish(deadline);
}

}  // namespace gateway
