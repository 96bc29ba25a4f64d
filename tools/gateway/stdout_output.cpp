#include "stdout_output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "log.h"

namespace gateway {

namespace {

constexpr std::size_t kTakeAtOnce = 256;
// How often a write blocked by a full pipe looks whether the gateway is stopping.
constexpr int kPollMs = 100;

}  // namespace

StdoutOutput::StdoutOutput(Store &store) : store_(store) {
    writer_ = std::thread([this] { writeLoop(); });
}

StdoutOutput::~StdoutOutput() {
    stopping_ = true;
    changed_.notify_all();
    writer_.join();
}

void StdoutOutput::wake() {
    {
        const std::lock_guard lock(mutex_);
        fresh_ = true;
    }
    changed_.notify_all();
}

bool StdoutOutput::writeAll(const std::string &text) {
    std::size_t written = 0;
    while (written < text.size()) {
        pollfd out{STDOUT_FILENO, POLLOUT, 0};
        if (stopping_) return false;
        if (::poll(&out, 1, kPollMs) <= 0) continue;
        const ssize_t result = ::write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (result < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (result < 0) {
            log::line("stdout closed (" + std::string(std::strerror(errno)) +
                      "); no more messages there");
            ended_ = true;
            return false;
        }
        written += std::size_t(result);
    }
    return true;
}

void StdoutOutput::writeLoop() {
    std::uint64_t cursor = 0;
    while (!stopping_ && !ended_) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return fresh_ || stopping_; });
            fresh_ = false;
        }
        for (;;) {
            const auto messages = store_.next(OutputBit::Stdout, cursor, kTakeAtOnce);
            if (messages.empty()) break;
            std::string text;
            std::vector<std::uint64_t> ids;
            for (const StoredMessage &message : messages) {
                text += message.json + '\n';
                ids.push_back(message.id);
            }
            if (!writeAll(text)) break;
            cursor = ids.back();
            store_.delivered(OutputBit::Stdout, ids);
            published_ += ids.size();
            deliveredNow(messages);
        }
        {
            const std::lock_guard lock(mutex_);
            if (flushing_) changed_.notify_all();
        }
    }
    if (ended_) store_.abandon(OutputBit::Stdout);
}

void StdoutOutput::finish(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    flushing_ = true;
    changed_.wait_until(lock, deadline,
                        [this] { return ended_ || store_.waiting(OutputBit::Stdout) == 0; });
    lock.unlock();
    stopping_ = true;
    changed_.notify_all();
}

}  // namespace gateway
