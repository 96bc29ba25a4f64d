// The tags an inventory or a watch sees: each sighting printed as it arrives (ndjson), or
// merged into one row per EPC and printed at the end (table, csv). Ctrl-C ends a stream
// cleanly: the stream waits for SIGINT instead of dying of it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "output.h"
#include "tag_record.h"

namespace cli {

using Clock = std::chrono::system_clock;

using tagtext::Sighting;

class TagSink {
  public:
    explicit TagSink(Format format);
    // Writes the lines already queued; the merged list only comes from finish().
    ~TagSink();
    TagSink(const TagSink &) = delete;
    TagSink &operator=(const TagSink &) = delete;

    // Safe from any thread. ndjson lines are written by a thread of their own, so the next
    // inventory round is not kept waiting for the pipe; a reader of the pipe that falls far
    // behind holds add() back rather than letting the sightings pile up.
    void add(std::vector<Sighting> sightings);
    // Writes what is left: the lines still queued, or the merged list (table, csv).
    void finish();

  private:
    struct Row {
        Sighting latest;
        Clock::time_point firstSeen;
        long count = 0;
    };
    void merge(const Sighting &sighting);
    void writeLines();
    void stopWriter();

    Format format_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Sighting>> pending_;
    bool finishing_ = false;
    std::thread writer_;
    std::vector<Row> rows_;
    std::unordered_map<std::string, std::size_t> rowOfEpc_;
};

// Blocks SIGINT in the calling thread from now on and takes it as a request to stop: the
// stream ends and its output is completed.
class InterruptWatch {
  public:
    InterruptWatch();
    InterruptWatch(const InterruptWatch &) = delete;
    InterruptWatch &operator=(const InterruptWatch &) = delete;

    // Waits up to `timeout` (zero: only looks); true once SIGINT has come.
    bool waitFor(std::chrono::milliseconds timeout);

  private:
    bool interrupted_ = false;
};

// When a stream of --duration SECONDS ends (far away without one).
Clock::time_point streamEnd(double seconds);
// The time left until `end`, never negative.
std::chrono::milliseconds timeLeft(Clock::time_point end);

}  // namespace cli
