// The wait before trying a peer again: it doubles after each failure up to a longest wait
// and starts over after a success, so a lost peer is neither hammered nor forgotten.
#pragma once

#include <chrono>

namespace tools {

class Backoff {
  public:
    Backoff(std::chrono::milliseconds first, std::chrono::milliseconds longest)
        : first_(first), longest_(longest), next_(first) {}

    // The wait before the next try; the one after it is longer.
    std::chrono::milliseconds next();
    void reset() { next_ = first_; }
    // No failure since the last success: the moment to say the peer is away.
    bool fresh() const { return next_ == first_; }

  private:
    std::chrono::milliseconds first_;
    std::chrono::milliseconds longest_;
    std::chrono::milliseconds next_;
};

}  // namespace tools
