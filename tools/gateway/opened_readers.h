// Readers the gateway opens by address (--reader): their active-mode reports, or with a poll
// interval answer-mode inventories. A reader that cannot be opened is tried again with
// back-off; once open, the handle library reopens a lost link by itself and the reader's
// status follows its link events.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hub.h"

namespace gateway {

class OpenedReaders {
  public:
    // A zero poll interval takes the readers' active-mode reports. Answer waits run
    // `waitScalePercent` per cent of the library's (QnReader_SetWaitScale).
    OpenedReaders(Hub &hub, std::chrono::milliseconds pollInterval, int waitScalePercent);
    ~OpenedReaders();  // stops
    OpenedReaders(const OpenedReaders &) = delete;
    OpenedReaders &operator=(const OpenedReaders &) = delete;

    void add(const std::string &address);
    // Closes every reader (they go offline) and waits for their threads.
    void stop();

    struct Reader;

  private:
    void run(Reader &reader);
    // Opens the reader and takes its tags until stopped; false when it cannot be opened.
    bool serve(Reader &reader);
    // Waits up to `delay`; false once stopping.
    bool pause(std::chrono::milliseconds delay);

    Hub &hub_;
    std::chrono::milliseconds pollInterval_;
    int waitScalePercent_;
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::vector<std::unique_ptr<Reader>> readers_;
    std::vector<std::thread> threads_;
};

}  // namespace gateway
