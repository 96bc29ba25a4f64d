// --stdout: one JSON object per line, flushed at once so a pipe sees every message.
#pragma once

#include <mutex>

#include "output.h"

namespace gateway {

class StdoutOutput : public Output {
  public:
    void send(TagMessage message) override;
    void finish(std::chrono::steady_clock::time_point) override {}

  private:
    std::mutex mutex_;
};

}  // namespace gateway
