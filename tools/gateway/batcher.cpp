#include "batcher.h"

#include <algorithm>

namespace gateway {

namespace {

const std::string kOneGroup;

}  // namespace

const std::string &Batcher::keyOf(const StoredMessage &message) const {
    return perReader_ ? message.reader : kOneGroup;
}

void Batcher::add(StoredMessage message, Steady::time_point now, Clock::time_point wallNow) {
    const auto waited =
        std::clamp<Clock::duration>(wallNow - message.received, Clock::duration::zero(), linger_);
    const auto due = now + std::chrono::duration_cast<Steady::duration>(linger_ - waited);
    Group &group = groups_[keyOf(message)];
    group.push_back({std::move(message), due});
    ++size_;
}

bool Batcher::ready(const Group &group, Steady::time_point now, bool flushing) const {
    return !group.empty() && (flushing || group.size() >= most_ || group.front().due <= now);
}

std::vector<StoredMessage> Batcher::take(Steady::time_point now, bool flushing) {
    // Of the groups due, the one holding the oldest message, so no reader starves.
    auto chosen = groups_.end();
    for (auto group = groups_.begin(); group != groups_.end(); ++group) {
        if (ready(group->second, now, flushing) &&
            (chosen == groups_.end() ||
             group->second.front().message.id < chosen->second.front().message.id)) {
            chosen = group;
        }
    }
    std::vector<StoredMessage> batch;
    if (chosen == groups_.end()) return batch;
    Group &group = chosen->second;
    while (!group.empty() && batch.size() < most_) {
        batch.push_back(std::move(group.front().message));
        group.pop_front();
    }
    size_ -= batch.size();
    if (group.empty()) groups_.erase(chosen);
    return batch;
}

void Batcher::putBack(std::vector<StoredMessage> batch) {
    if (batch.empty()) return;
    Group &group = groups_[keyOf(batch.front())];
    size_ += batch.size();
    // Due at once: they waited their turn already.
    for (auto message = batch.rbegin(); message != batch.rend(); ++message) {
        group.push_front({std::move(*message), Steady::time_point::min()});
    }
}

Batcher::Steady::time_point Batcher::nextDue() const {
    auto due = Steady::time_point::max();
    for (const auto &[key, group] : groups_) {
        if (group.size() >= most_) return Steady::time_point::min();
        due = std::min(due, group.front().due);
    }
    return due;
}

}  // namespace gateway
