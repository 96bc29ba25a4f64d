// Helpers for the network reader server's tests: a loopback peer on a plain socket, and a
// thread-safe record of the server's events that tests wait on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace nettest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Generous: the sanitizer passes run these on a loaded two-core machine.
inline constexpr std::chrono::milliseconds kDeadline = 30s;

// A TCP client of 127.0.0.1.
class LoopbackPeer {
  public:
    LoopbackPeer() = default;
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    bool connect(std::uint16_t port);
    bool send(const Bytes &bytes);
    void close();
    // Closes with SO_LINGER 0, so the server sees a reset instead of an orderly end.
    void reset();
    // True once the server ended the connection (end of stream or reset) within the deadline.
    bool waitForEnd(std::chrono::milliseconds deadline = kDeadline);
    // Bytes the server sent; it never should.
    std::size_t bytesReceived() const { return m_received; }
    int fd() const { return m_fd; }

  private:
    int m_fd = -1;
    std::size_t m_received = 0;
};

// The server's end of the peer's connection among this process's descriptors (the server runs
// in the test's process), or -1.
int serverSideOf(const LoopbackPeer &peer);

// Polls `condition` every few milliseconds until it holds or the deadline passes.
bool eventually(const std::function<bool()> &condition,
                std::chrono::milliseconds deadline = kDeadline);

// Bytes 0, 1, 2, ... as (i * 7 + 3) mod 251: a pattern whose order can be checked.
Bytes pattern(std::size_t size);

// Events per connection, in arrival order: 'C' connected, 'R' received, 'D' disconnected.
struct ConnectionEvents {
    std::uint32_t peer = 0;
    std::string kinds;
    Bytes bytes;
    std::vector<std::uint32_t> blockSizes;
};

// Register `callback` with the server and `this` as the user pointer.
class EventLog {
  public:
    static void callback(std::uint32_t peer, std::int32_t connection, const std::uint8_t *data,
                         std::uint32_t length, void *user);

    // Waits until `condition` holds on the events, under the log's lock.
    bool waitUntil(const std::function<bool(const EventLog &)> &condition,
                   std::chrono::milliseconds deadline = kDeadline);
    // Connection numbers in the order they connected.
    std::vector<std::int32_t> connections() const;
    ConnectionEvents of(std::int32_t connection) const;
    std::size_t count(char kind) const;
    // Calls for one connection that overlapped, or came on an unknown connection.
    int violations() const;
    // Runs after every recorded event, outside the lock (e.g. to call the server back).
    void setReaction(std::function<void(std::int32_t connection, char kind)> reaction);

    // Unlocked, for waitUntil conditions.
    std::size_t countUnlocked(char kind) const;
    const std::map<std::int32_t, ConnectionEvents> &eventsUnlocked() const { return m_events; }

  private:
    void record(std::uint32_t peer, std::int32_t connection, const std::uint8_t *data,
                std::uint32_t length);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<std::int32_t, ConnectionEvents> m_events;
    std::map<std::int32_t, bool> m_inCall;
    std::vector<std::int32_t> m_order;
    int m_violations = 0;
    std::function<void(std::int32_t, char)> m_reaction;
};

}  // namespace nettest
