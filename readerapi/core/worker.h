// A thread with its own stop request, safe to stop from inside itself.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace qn {

class Worker {
  public:
    using Body = std::function<void(std::stop_token)>;

    ~Worker() { stop(); }

    // Starts the body unless a thread of this worker is still running.
    void startUnlessRunning(Body body);
    bool running() const { return alive_ && alive_->load(); }
    bool isCurrentThread() const;
    // Requests the stop and waits for the thread to end. From the worker's own thread the
    // wait is skipped (the thread ends once it returns to its loop), so a callback may close
    // the connection without deadlocking.
    void stop();

  private:
    void waitForDetachedThread();

    std::jthread thread_;
    std::shared_ptr<std::atomic<bool>> alive_;
    std::shared_ptr<std::atomic<bool>> detachedAlive_;
    std::thread::id detachedId_;
};

}  // namespace qn
