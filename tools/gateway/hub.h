// Where every source's reports meet: sightings become messages (aggregated by the report
// interval), kept in the store in the order they came, and the outputs are woken to take
// them; readers going online and offline become retained statuses. Safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "aggregator.h"
#include "output.h"

namespace gateway {

class Hub {
  public:
    // `gatewayName` goes into every reader status: the gateway that watches the reader.
    Hub(Store &store, std::vector<std::unique_ptr<Output>> outputs,
        std::chrono::milliseconds reportInterval, std::string gatewayName);
    ~Hub();
    Hub(const Hub &) = delete;
    Hub &operator=(const Hub &) = delete;

    // One report (or inventory result) of a reader.
    void report(const std::vector<Sighting> &sightings);
    void ignoredFrame() { ++ignored_; }
    // A source of this reader came or went; the reader is online while any source of it is.
    void readerUp(const std::string &reader);
    void readerDown(const std::string &reader);

    // Sends the aggregated counts whose interval ended.
    void tick();
    void publishStats();
    // Sends what is pending, marks every reader offline and lets the outputs deliver until
    // the deadline.
    void finish(std::chrono::steady_clock::time_point deadline);
    // Every output ended by itself (stdout closed): nothing is left to do.
    bool outputsEnded() const;
    const std::vector<std::unique_ptr<Output>> &outputs() const { return outputs_; }
    std::uint64_t reports() const { return reports_; }
    std::uint64_t received() const { return received_; }
    std::uint64_t readersOnline();

  private:
    void sendAll(std::vector<TagMessage> messages);
    void setStatus(const std::string &reader, bool online);

    Store &store_;
    std::string gatewayName_;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::mutex mutex_;  // keeps the order of messages and statuses across sources
    Aggregator aggregator_;
    std::map<std::string, int> sourcesOfReader_;
    std::atomic<std::uint64_t> reports_{0};
    std::atomic<std::uint64_t> received_{0};  // tag messages kept in the store
    std::atomic<std::uint64_t> ignored_{0};
};

}  // namespace gateway
