// --stdout: one JSON object per line, written by a thread of its own so a slow pipe reader
// holds only this output. A closed pipe is logged once and ends the output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "output.h"

namespace gateway {

class StdoutOutput : public Output {
  public:
    explicit StdoutOutput(Store &store);
    ~StdoutOutput() override;
    StdoutOutput(const StdoutOutput &) = delete;
    StdoutOutput &operator=(const StdoutOutput &) = delete;

    void wake() override;
    void finish(std::chrono::steady_clock::time_point deadline) override;
    bool ended() const override { return ended_; }
    std::uint64_t published() const override { return published_; }
    std::string name() const override { return "stdout"; }
    OutputBit bit() const override { return OutputBit::Stdout; }

  private:
    void writeLoop();
    // Writes all of `text` unless stopped or the pipe closed; false then.
    bool writeAll(const std::string &text);

    Store &store_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool fresh_ = true;  // the store may hold messages not taken yet
    bool flushing_ = false;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> ended_{false};
    std::atomic<std::uint64_t> published_{0};
    std::thread writer_;
};

}  // namespace gateway
