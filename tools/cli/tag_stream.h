// The tags an inventory or a watch sees, printed as they arrive: each sighting (ndjson), or one
// row per tag the moment it is first seen (table, csv). SIGINT and SIGTERM end a stream
// cleanly: the stream waits for them instead of dying of them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "backoff.h"
#include "output.h"
#include "session.h"
#include "tag_record.h"

namespace cli {

using Clock = std::chrono::system_clock;

using tagtext::Sighting;

class TagSink {
  public:
    explicit TagSink(Format format);
    // Writes the lines already queued.
    ~TagSink();
    TagSink(const TagSink &) = delete;
    TagSink &operator=(const TagSink &) = delete;

    // Safe from any thread. ndjson lines are written by a thread of their own, so the next
    // inventory round is not kept waiting for the pipe; a reader of the pipe that falls far
    // behind holds add() back rather than letting the sightings pile up.
    void add(std::vector<Sighting> sightings);
    // Writes the lines still queued.
    void finish();

  private:
    void printHeaderOnce();
    void printRowOfNewTag(const Sighting &sighting);
    void writeLines();
    void stopWriter();

    Format format_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<Sighting>> pending_;
    bool finishing_ = false;
    std::thread writer_;
    std::unordered_set<std::string> seenEpcs_;
    bool headerPrinted_ = false;
};

// How a stream ends: after its --duration (or its rounds), on SIGINT or SIGTERM, when
// --max-time runs out, or when the reader is lost; with --reconnect a lost reader is waited
// for instead: the handle is closed and the address opened again after waits that grow, so a
// long outage does not hammer the port; a line on stderr each time it goes and comes back.
class StreamEnd {
  public:
    StreamEnd(const GlobalOptions &global, double durationSeconds);

    // Waits up to `pause` (longer while the reader is away); false once the stream is over.
    bool pause(Session &session, std::chrono::milliseconds pause);
    // Once the output is complete: throws for an end that is a failure (a lost reader,
    // --max-time).
    void check(const Session &session, const std::string &what) const;

  private:
    enum class Reason { Running, Done, Stopped, TimedOut, LinkLost };
    Reason lookAround(Session &session);
    // While the reader is away: one attempt to open it again when its wait is over.
    void tryToReopen(Session &session);

    Clock::time_point durationEnd_, deadline_;
    bool reconnect_ = false;
    bool readerAway_ = false;
    tools::Backoff reopenWait_;
    Clock::time_point nextReopen_;
    Reason reason_ = Reason::Running;
};

}  // namespace cli
