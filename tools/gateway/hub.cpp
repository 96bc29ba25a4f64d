#include "hub.h"

#include <algorithm>

namespace gateway {

Hub::Hub(Store &store, std::vector<std::unique_ptr<Output>> outputs,
         std::chrono::milliseconds reportInterval, std::string gatewayName)
    : store_(store),
      gatewayName_(std::move(gatewayName)),
      outputs_(std::move(outputs)),
      aggregator_(reportInterval) {
    store_.onAvailable([this] {
        for (const auto &output : outputs_) output->wake();
    });
}

Hub::~Hub() {
    store_.onAvailable(nullptr);
}

void Hub::sendAll(std::vector<TagMessage> messages) {
    if (messages.empty()) return;
    store_.add(messages);
    received_ += messages.size();
}

void Hub::report(const std::vector<Sighting> &sightings) {
    ++reports_;
    const std::lock_guard lock(mutex_);
    sendAll(aggregator_.add(sightings, Clock::now()));
}

void Hub::setStatus(const std::string &reader, bool online) {
    const std::string json = statusJson(online, Clock::now(), gatewayName_);
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

std::uint64_t Hub::readersOnline() {
    const std::lock_guard lock(mutex_);
    return sourcesOfReader_.size();
}

bool Hub::outputsEnded() const {
    return std::all_of(outputs_.begin(), outputs_.end(),
                       [](const auto &output) { return output->ended(); });
}

void Hub::publishStats() {
    Stats stats;
    stats.readers = readersOnline();
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
