// What the reader writes to: one transport endpoint with at most one host.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace readersim {

using Bytes = std::vector<uint8_t>;

class HostLink {
  public:
    virtual ~HostLink() = default;
    // Sends reader output to the current host; false when there is none or it failed.
    // Thread-safe: answers, active reports and raw sends may come from different threads.
    virtual bool send(std::span<const uint8_t> bytes) = 0;

    // An answer held back to go out together with the next one (merge fault). Touched only
    // by the thread that answers this link's requests.
    Bytes heldAnswer;
};

// Called on a transport's thread with every complete request frame it received.
using FrameHandler = std::function<void(const Bytes &frame, HostLink &link)>;

}  // namespace readersim
