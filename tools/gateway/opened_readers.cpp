#include "opened_readers.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <span>

#include "QnReader.h"
#include "backoff.h"
#include "hex_text.h"
#include "log.h"
#include "tag_text.h"

namespace gateway {

namespace {

constexpr std::uint8_t kAnyAddress = 0xFF;
constexpr auto kFirstRetry = std::chrono::milliseconds(1000);
constexpr auto kLongestRetry = std::chrono::milliseconds(30000);

}  // namespace

struct OpenedReaders::Reader {
    std::string address;
    std::string serial;
    std::atomic<bool> online{false};
    Hub *hub = nullptr;

    void setOnline(bool up) {
        if (online.exchange(up) == up) return;
        if (up) {
            hub->readerUp(serial);
        } else {
            hub->readerDown(serial);
        }
    }
};

namespace {

void onEvent(QnReader *, void *user, int32_t event, int32_t /*tag count*/, const uint8_t *data,
             int32_t length, const uint8_t *serial7) {
    auto *reader = static_cast<OpenedReaders::Reader *>(user);
    if (event == QN_EVENT_LINK_LOST) {
        log::line("reader " + reader->address + " lost; reopening");
        reader->setOnline(false);
    } else if (event == QN_EVENT_LINK_RESTORED) {
        log::line("reader " + reader->address + " back");
        reader->setOnline(true);
    } else if (event == QN_EVENT_DATA && data != nullptr && serial7 != nullptr) {
        const std::span records(data, tagrecord::reportRecordBytes(length));
        reader->hub->report(
            tagtext::reportSightings(hextext::compact(std::span(serial7, 7)), records, length));
    }
}

}  // namespace

OpenedReaders::OpenedReaders(Hub &hub, std::chrono::milliseconds pollInterval, int waitScalePercent)
    : hub_(hub), pollInterval_(pollInterval), waitScalePercent_(waitScalePercent) {}

OpenedReaders::~OpenedReaders() {
    stop();
}

void OpenedReaders::add(const std::string &address) {
    auto reader = std::make_unique<Reader>();
    reader->address = address;
    reader->hub = &hub_;
    Reader &added = *reader;
    readers_.push_back(std::move(reader));
    threads_.emplace_back([this, &added] { run(added); });
}

void OpenedReaders::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    for (std::thread &thread : threads_) thread.join();
    threads_.clear();
}

bool OpenedReaders::pause(std::chrono::milliseconds delay) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, delay, [this] { return stopping_; });
}

void OpenedReaders::run(Reader &reader) {
    tools::Backoff retry(kFirstRetry, kLongestRetry);
    while (!serve(reader) && pause(retry.next())) {
    }
}

bool OpenedReaders::serve(Reader &reader) {
    char error[256] = "";
    QnReader *handle = QnReader_Open(reader.address.c_str(), error, sizeof error);
    if (handle != nullptr) QnReader_SetWaitScale(handle, waitScalePercent_);
    std::array<std::uint8_t, 10> info{};
    if (handle != nullptr && !QnReader_GetDeviceSystemInfo(handle, kAnyAddress, info.data())) {
        std::snprintf(error, sizeof error, "the reader did not say who it is");
        QnReader_Close(handle);
        handle = nullptr;
    }
    if (handle == nullptr) {
        log::line("cannot open reader " + reader.address + ": " + error + "; trying again");
        return false;
    }
    reader.serial = hextext::compact(std::span(info).subspan(2, 7));
    log::line("opened reader " + reader.address + " (" + reader.serial + ")");
    reader.setOnline(true);
    QnReader_SetCallback(handle, onEvent, &reader);
    if (pollInterval_.count() == 0) {
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stopping_; });
    }
    while (pollInterval_.count() > 0 && pause(pollInterval_)) {
        std::uint8_t records[QN_TAG_RECORD_BYTES];
        std::uint16_t byteLength = 0, count = 0;
        if (QnReader_InventoryG2(handle, kAnyAddress, records, &byteLength, &count)) {
            hub_.report(tagtext::inventorySightings(reader.serial, records, byteLength));
        }
    }
    QnReader_Close(handle);
    reader.setOnline(false);
    return true;
}

}  // namespace gateway
