#include "message_queue.h"

#include <algorithm>

namespace gateway {

void MessageQueue::push(TagMessage message) {
    entries_.push_back({std::move(message), Steady::now()});
    trim();
}

std::vector<MessageQueue::Entry> MessageQueue::take(std::size_t most) {
    const std::size_t count = std::min(most, entries_.size());
    std::vector<Entry> taken(std::make_move_iterator(entries_.begin()),
                             std::make_move_iterator(entries_.begin() + std::ptrdiff_t(count)));
    entries_.erase(entries_.begin(), entries_.begin() + std::ptrdiff_t(count));
    return taken;
}

void MessageQueue::putBack(std::vector<Entry> entries) {
    entries_.insert(entries_.begin(), std::make_move_iterator(entries.begin()),
                    std::make_move_iterator(entries.end()));
    trim();
}

void MessageQueue::trim() {
    while (entries_.size() > limit_) {
        entries_.pop_front();
        ++dropped_;
    }
}

}  // namespace gateway
