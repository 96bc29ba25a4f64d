// Where a link's callbacks go. The specified libraries keep two plain function pointers
// (PlainCallbacks); a handle of the handle library adds its own pointer and user data and
// can shut its callbacks off for good.
#pragma once

#include <atomic>
#include <cstdint>

#include "QnReaderTypes.h"

namespace qn {

// The application callback (link events, active-mode reports) and the traffic callback
// (link events, every frame).
enum class Channel { App, Traffic };

class LinkListener {
  public:
    virtual ~LinkListener() = default;
    // False when nothing is registered on the channel: the link then skips the work of a
    // call, and reopens a lost link only while some channel listens.
    virtual bool listening(Channel channel) const = 0;
    virtual void deliver(Channel channel, int32_t event, int32_t value, const uint8_t *data,
                         int32_t length, const uint8_t *serial7) = 0;
};

class PlainCallbacks final : public LinkListener {
  public:
    void set(Channel channel, QnCallback callback) { slot(channel).store(callback); }

    bool listening(Channel channel) const override { return slot(channel).load() != nullptr; }
    void deliver(Channel channel, int32_t event, int32_t value, const uint8_t *data, int32_t length,
                 const uint8_t *serial7) override {
        if (QnCallback callback = slot(channel).load()) {
            callback(event, value, data, length, serial7);
        }
    }

  private:
    std::atomic<QnCallback> &slot(Channel channel) {
        return channel == Channel::App ? app_ : traffic_;
    }
    const std::atomic<QnCallback> &slot(Channel channel) const {
        return channel == Channel::App ? app_ : traffic_;
    }

    std::atomic<QnCallback> app_{nullptr};
    std::atomic<QnCallback> traffic_{nullptr};
};

}  // namespace qn
