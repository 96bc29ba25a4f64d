// What the reader writes to: one transport endpoint with at most one peer.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace readersim {

using Bytes = std::vector<uint8_t>;

class Link {
public:
    virtual ~Link() = default;
    // Sends reader output to the current peer; false when there is none or it failed.
    // Thread-safe: answers, active reports and raw sends may come from different threads.
    virtual bool send(std::span<const uint8_t> bytes) = 0;

    // An answer held back to go out together with the next one (merge fault). Touched only
    // by the thread that answers this link's requests.
    Bytes heldAnswer;
};

// Called on a transport's thread with every complete request frame it received.
using FrameHandler = std::function<void(const Bytes &frame, Link &link)>;

// Writes every byte to a non-blocking descriptor, waiting for room at most `limit` in all.
// `writeSome` is write(2) or send(2) with MSG_NOSIGNAL.
bool writeFully(int fd, std::span<const uint8_t> bytes, std::chrono::milliseconds limit,
                const std::atomic<bool> &stopping,
                const std::function<long(int, const uint8_t *, size_t)> &writeSome);

// A wake-up descriptor for poll loops (eventfd).
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent &) = delete;
    WakeEvent &operator=(const WakeEvent &) = delete;
    int fd() const { return fd_; }
    void signal();
    void drain();

private:
    int fd_;
};

}  // namespace readersim
