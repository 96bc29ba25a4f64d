#include "worker.h"

#include <chrono>

namespace qn {

void Worker::startUnlessRunning(Body body) {
    if (running()) return;
    if (thread_.joinable()) thread_.join();  // ended by itself (link lost)
    waitForDetachedThread();
    alive_ = std::make_shared<std::atomic<bool>>(true);
    thread_ = std::jthread([body = std::move(body), alive = alive_](std::stop_token token) {
        body(token);
        alive->store(false);
    });
}

bool Worker::isCurrentThread() const {
    return thread_.joinable() && thread_.get_id() == std::this_thread::get_id();
}

void Worker::stop() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    if (isCurrentThread()) {
        // The next start waits for this thread to finish instead of taking it for running.
        detachedId_ = thread_.get_id();
        detachedAlive_ = std::move(alive_);
        thread_.detach();
        return;
    }
    thread_.join();
}

void Worker::waitForDetachedThread() {
    // A thread that stopped itself may still be finishing its last pass; the next thread
    // must not share the receive state with it. It cannot be waited for from inside itself.
    if (!detachedAlive_ || detachedId_ == std::this_thread::get_id()) return;
    while (detachedAlive_->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    detachedAlive_.reset();
}

}  // namespace qn
