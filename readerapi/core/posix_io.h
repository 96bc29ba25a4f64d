// Writing whole frames to non-blocking descriptors (serial ports, sockets), and the wake-up
// descriptor that ends a poll loop's wait.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <span>

namespace qn {

using WriteSome = ssize_t (*)(int fd, const void *bytes, size_t count);

// Writes every byte with `writeSome`, waiting in poll for room when the descriptor is full.
// False on an error, or when no room came within `roomWait`.
bool writeAll(int fd, std::span<const uint8_t> bytes, std::chrono::milliseconds roomWait,
              WriteSome writeSome);

// send(2) without SIGPIPE: a peer that closed fails the write, never the process.
ssize_t sendNoSignal(int fd, const void *bytes, size_t count);

// An eventfd that a poll loop watches beside its descriptors: a signal (a stop, new work)
// wakes the wait at once. fd() is -1 when none could be made; poll then ignores it.
class WakeEvent {
  public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent &) = delete;
    WakeEvent &operator=(const WakeEvent &) = delete;
    int fd() const { return fd_; }
    void signal();
    // Uses up every signal so far.
    void drain();

  private:
    int fd_;
};

}  // namespace qn
