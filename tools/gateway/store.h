// Where tag messages wait until every output has them: in memory (bounded by count) or in
// the durable spool (bounded by size). Messages are numbered in the order they came; each
// output reads them in that order from its own cursor and reports which it delivered; a
// message leaves once every output has it. Beyond the bound the oldest are dropped and
// counted. Safe from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "message.h"

namespace gateway {

// Which output a stored message still waits for: one bit each, kept in the spool, so the
// same output finds its messages again after a restart.
enum class OutputBit : unsigned { Stdout = 1, Mqtt = 2, Http = 4 };

struct StoredMessage {
    std::uint64_t id = 0;
    std::string reader;
    std::string json;
    Clock::time_point received;
};

struct StoreDepth {
    std::uint64_t messages = 0;
    std::uint64_t bytes = 0;
};

class Store {
  public:
    virtual ~Store() = default;

    // Called (from any thread, no lock held) when added messages can be taken: at once in
    // memory, after their group commit in the spool, so nothing leaves before it is durable.
    void onAvailable(std::function<void()> listener) {
        const std::lock_guard lock(listenerMutex_);
        available_ = std::move(listener);
    }

    // Numbers the messages (their `sequence`) and keeps them for every configured output.
    virtual void add(std::vector<TagMessage> &messages) = 0;
    // Up to `most` messages after `after` that `output` has not delivered, oldest first.
    virtual std::vector<StoredMessage> next(OutputBit output, std::uint64_t after,
                                            std::size_t most) = 0;
    // The spool writes adds and deliveries with its next group commit (sync: now).
    virtual void delivered(OutputBit output, std::span<const std::uint64_t> ids) = 0;
    // The output ends for good: nothing waits for it any more.
    virtual void abandon(OutputBit output) = 0;
    // Messages waiting for `output`.
    virtual std::uint64_t waiting(OutputBit output) = 0;
    virtual StoreDepth depth() = 0;
    virtual std::uint64_t dropped() = 0;
    // Messages found at start (replayed to the outputs).
    virtual std::uint64_t replayed() = 0;
    // Makes what was added so far durable (nothing for memory).
    virtual void sync() {}

  protected:
    void announce() {
        const std::lock_guard lock(listenerMutex_);
        if (available_) available_();
    }

  private:
    std::mutex listenerMutex_;
    std::function<void()> available_;
};

// The size a message counts for in the store's bound.
inline std::uint64_t storedSize(const std::string &reader, const std::string &json) {
    constexpr std::uint64_t kRowOverhead = 32;
    return reader.size() + json.size() + kRowOverhead;
}

}  // namespace gateway
