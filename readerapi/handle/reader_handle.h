// One open reader of the handle library: its transport, link and callbacks, and the count
// of calls inside it, so that a close from any thread (or from the handle's own callback)
// frees it only once nothing runs in it any more.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "QnReader.h"
#include "link.h"
#include "reader_address.h"

namespace qn::handle {

// The link's callbacks, forwarded to the handle's callback with its user pointer until
// shutOff().
class HandleCallbacks final : public LinkListener {
  public:
    explicit HandleCallbacks(QnReader *reader) : reader_(reader) {}

    void set(Channel channel, QnReaderCallback callback, void *user);
    bool listening(Channel channel) const override;
    void deliver(Channel channel, int32_t event, int32_t value, const uint8_t *data, int32_t length,
                 const uint8_t *serial7) override;
    // No callback starts after this returns; callbacks running on other threads are waited
    // for (this thread's own, when it closes from a callback, cannot be).
    void shutOff();

  private:
    struct Slot {
        QnReaderCallback callback = nullptr;
        void *user = nullptr;
    };
    Slot &slot(Channel channel) { return channel == Channel::App ? app_ : traffic_; }
    const Slot &slot(Channel channel) const { return channel == Channel::App ? app_ : traffic_; }

    QnReader *reader_;
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    Slot app_;
    Slot traffic_;
    bool off_ = false;
    int running_ = 0;
};

// Opens the reader at `address` or says why not.
std::unique_ptr<QnReader> open(const std::string &address, std::string &reason);

// Closes and frees the reader, at once or, when this thread is inside one of its calls or
// callbacks, on a thread of its own once those have returned.
void close(std::unique_ptr<QnReader> reader);

// Keeps a handle alive for the length of one call; false when the handle is null or closing.
class Use {
  public:
    explicit Use(QnReader *reader);
    ~Use();
    Use(const Use &) = delete;
    Use &operator=(const Use &) = delete;
    explicit operator bool() const { return reader_ != nullptr; }

  private:
    QnReader *reader_;
};

}  // namespace qn::handle

struct QnReader {
    QnReader(std::string text, readeraddress::Address parsed, std::unique_ptr<qn::Transport> way);
    ~QnReader();

    const std::string address;
    const readeraddress::Address parsedAddress;
    const std::unique_ptr<qn::Transport> transport;
    qn::handle::HandleCallbacks callbacks{this};
    qn::Link link;

    // Calls in flight and the close that waits for them.
    bool enter();
    void leave();
    bool beginClose();
    void waitForCalls();

  private:
    std::mutex mutex_;
    std::condition_variable callsDone_;
    int calls_ = 0;
    bool closing_ = false;
};
