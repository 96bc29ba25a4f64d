// Messages an output has taken from the store wait here for their batch. A batch holds up to
// `most` messages (of one reader when `perReader`) and leaves when it is full or its oldest
// message has waited `linger` since it was received, whatever came before. Batches that were
// not delivered go back in front, so order per reader is kept. Not thread-safe: each output
// guards its own.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "store.h"

namespace gateway {

class Batcher {
  public:
    using Steady = std::chrono::steady_clock;

    Batcher(std::size_t most, std::chrono::milliseconds linger, bool perReader)
        : most_(most), linger_(linger), perReader_(perReader) {}

    // `now`: the steady and the wall-clock time, so a message received long ago (replayed)
    // is due at once while a clock step cannot make one wait longer than `linger`.
    void add(StoredMessage message, Steady::time_point now, Clock::time_point wallNow);
    // The next batch due at `now` (every non-empty one when `flushing`), oldest first; empty
    // when none is due.
    std::vector<StoredMessage> take(Steady::time_point now, bool flushing);
    void putBack(std::vector<StoredMessage> batch);
    // When the next batch falls due; max() when nothing waits.
    Steady::time_point nextDue() const;
    std::size_t size() const { return size_; }

  private:
    struct Waiting {
        StoredMessage message;
        Steady::time_point due;
    };
    using Group = std::deque<Waiting>;
    const std::string &keyOf(const StoredMessage &message) const;
    bool ready(const Group &group, Steady::time_point now, bool flushing) const;

    std::size_t most_;
    std::chrono::milliseconds linger_;
    bool perReader_;
    std::map<std::string, Group> groups_;
    std::size_t size_ = 0;
};

}  // namespace gateway
