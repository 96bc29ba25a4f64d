// Records what a reader library passes to its callbacks, for tests. The libraries take plain
// function pointers, so the recorder is one process-wide object.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "QnReaderTypes.h"

namespace testsupport {

struct CallbackEvent {
    int32_t event;
    int32_t value;
    std::vector<uint8_t> data;
    int32_t length;
    std::vector<uint8_t> serial;  // empty when the library passed NULL
    std::chrono::steady_clock::time_point when;
};

class CallbackRecorder {
  public:
    static CallbackRecorder &app();
    static CallbackRecorder &traffic();
    // Function pointers to register with SetCallback / SetCallbackDebug.
    static void appCallback(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                            const uint8_t *serial7);
    static void trafficCallback(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                                const uint8_t *serial7);

    void record(int32_t event, int32_t value, const uint8_t *data, int32_t length,
                const uint8_t *serial7);
    void clear();
    std::vector<CallbackEvent> events() const;
    size_t count(int32_t event, int32_t value = -1) const;
    // Waits until `predicate` holds over the recorded events or the deadline passes.
    bool waitFor(const std::function<bool(const std::vector<CallbackEvent> &)> &predicate,
                 std::chrono::milliseconds deadline = std::chrono::seconds(10)) const;
    bool waitForCount(int32_t event, int32_t value, size_t count,
                      std::chrono::milliseconds deadline = std::chrono::seconds(10)) const;
    // Bytes of data each record keeps (the active-report callback gets `length` bytes).
    void setKeepBytes(size_t bytes) { keepBytes_ = bytes; }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<CallbackEvent> events_;
    size_t keepBytes_ = 4096;
};

}  // namespace testsupport
