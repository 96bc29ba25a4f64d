// The bounded queue in front of an output: while the output cannot deliver, messages wait
// here; beyond the limit the oldest are dropped and counted. Not thread-safe: each output
// guards its queue with its own lock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "message.h"

namespace gateway {

class MessageQueue {
  public:
    using Steady = std::chrono::steady_clock;
    struct Entry {
        TagMessage message;
        Steady::time_point queuedAt;
    };

    explicit MessageQueue(std::size_t limit) : limit_(limit) {}

    void push(TagMessage message);
    // Up to `most` entries from the front.
    std::vector<Entry> take(std::size_t most);
    // Entries taken but not delivered go back to the front, in their order.
    void putBack(std::vector<Entry> entries);

    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    Steady::time_point oldest() const { return entries_.front().queuedAt; }
    std::uint64_t dropped() const { return dropped_; }

  private:
    void trim();

    std::size_t limit_;
    std::deque<Entry> entries_;
    std::uint64_t dropped_ = 0;
};

}  // namespace gateway
