// The one interface a reader library's transport implements. The link (link.h) owns
// framing, waiting, threads and callbacks; a transport only moves bytes.
#pragma once

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "command_table.h"

namespace qn {

// Three distinct read outcomes: data, nothing within the wait, or the link is gone.
enum class ReadStatus { Data, Timeout, Lost };

struct ReadResult {
    ReadStatus status;
    size_t bytes;
};

// Per-transport constants that shape the shared link behaviour.
struct TransportProfile {
    TransportKind kind;
    std::chrono::milliseconds settleDelay;    // pause after a successful open
    std::chrono::milliseconds monitorPeriod;  // how often a lost link is reported and retried
    std::chrono::milliseconds readWait;       // longest wait of one receive-thread read
    size_t pendingCapacity;                   // receive thread's pending input buffer
    size_t readChunk;                         // most bytes taken by one read
    bool hasTagBuffer;                        // active reports are also stored for GetTagBuf
    bool matchesAddress;                      // frames carry and responses must match the address
};

class Transport {
  public:
    virtual ~Transport() = default;

    virtual const TransportProfile &profile() const = 0;

    // Opens the device the transport was last pointed at; closes nothing else.
    virtual bool open() = 0;
    // The monitor's reconnect. Transports whose device list can change re-resolve here.
    virtual bool reopen() { return open(); }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // True when every byte of the frame was accepted.
    virtual bool write(std::span<const uint8_t> frame) = 0;
    // Waits at most `wait` for input, then reads at most `buffer.size()` bytes.
    virtual ReadResult read(std::span<uint8_t> buffer, std::chrono::milliseconds wait) = 0;
    // A descriptor that becomes readable (or reports a hang-up) when input arrives, or -1.
    // With one, the receive thread sleeps in poll until input or a stop instead of waking
    // every read period, so an idle connection costs no processor time.
    virtual int pollFd() const { return -1; }

    // Why the last open or reopen failed, as an errno value (ETIMEDOUT, ECONNREFUSED, ENOENT,
    // ENODEV, ...); 0 before any failure.
    int openError() const { return openError_.load(); }

  protected:
    // Records a failed open's reason and returns false, for `return failOpen(errno);`.
    bool failOpen(int error) {
        openError_.store(error != 0 ? error : EIO);
        return false;
    }

  private:
    std::atomic<int> openError_{0};
};

}  // namespace qn
