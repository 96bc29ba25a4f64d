#include "callback_recorder.h"

#include <algorithm>

namespace testsupport {

CallbackRecorder &CallbackRecorder::app() {
    static CallbackRecorder recorder;
    return recorder;
}

CallbackRecorder &CallbackRecorder::traffic() {
    static CallbackRecorder recorder;
    return recorder;
}

void CallbackRecorder::appCallback(int32_t event, int32_t value, const uint8_t *data,
                                   int32_t length, const uint8_t *serial7) {
    app().record(event, value, data, length, serial7);
}

void CallbackRecorder::trafficCallback(int32_t event, int32_t value, const uint8_t *data,
                                       int32_t length, const uint8_t *serial7) {
    traffic().record(event, value, data, length, serial7);
}

void CallbackRecorder::record(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                              const uint8_t *serial7) {
    CallbackEvent entry{event, value, {}, length, {}, std::chrono::steady_clock::now()};
    if (data && length > 0) {
        entry.data.assign(data, data + std::min<size_t>(size_t(length), keepBytes_));
    }
    if (serial7) entry.serial.assign(serial7, serial7 + 7);
    {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(entry));
    }
    changed_.notify_all();
}

void CallbackRecorder::clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

std::vector<CallbackEvent> CallbackRecorder::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

size_t CallbackRecorder::count(int32_t event, int32_t value) const {
    std::lock_guard lock(mutex_);
    return size_t(std::count_if(events_.begin(), events_.end(), [&](const CallbackEvent &e) {
        return e.event == event && (value < 0 || e.value == value);
    }));
}

bool CallbackRecorder::waitFor(
    const std::function<bool(const std::vector<CallbackEvent> &)> &predicate,
    std::chrono::milliseconds deadline) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return predicate(events_); });
}

bool CallbackRecorder::waitForCount(int32_t event, int32_t value, size_t wanted,
                                    std::chrono::milliseconds deadline) const {
    return waitFor(
        [&](const std::vector<CallbackEvent> &events) {
            return size_t(std::count_if(events.begin(), events.end(), [&](const CallbackEvent &e) {
                       return e.event == event && (value < 0 || e.value == value);
                   })) >= wanted;
        },
        deadline);
}

}  // namespace testsupport
